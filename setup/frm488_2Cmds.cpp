#include "frm488_2Cmds.h"

#include <QPushButton>

#include "Form.h"

namespace setup {

namespace {
using ui::Kind;
const ui::ControlSpec kControls[] = {
    {"cmdExit", Kind::Button, "Return to Main Form", 7680, 6000, 1455, 615},
};
}  // namespace

frm488_2Cmds::frm488_2Cmds(bus::GPIB32& gpib, QWidget* parent) : QDialog(parent), gpib_(gpib) {
  setObjectName("frm488_2Cmds");
  setWindowTitle("GPIB Commands and Setup");
  setAttribute(Qt::WA_DeleteOnClose);  // closed by its frame, it is made anew next time
  setFixedSize(ui::twips(9480), ui::twips(6840));
  controls_ = ui::buildControls(this, kControls);
  connect(qobject_cast<QPushButton*>(controls_.value("cmdExit")), &QPushButton::clicked, this,
          [this] { cmdExit_Click(); });
  Form_Load();
}

void frm488_2Cmds::Form_Load() {}

void frm488_2Cmds::cmdExit_Click() {
  hide();
  if (gpib_.observer()) gpib_.observer()->window(objectName().toStdString(), false);
}

}  // namespace setup
