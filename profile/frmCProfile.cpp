#include "frmCProfile.h"

#include <QPushButton>

#include "Form.h"

namespace profile {

namespace {
using ui::Kind;
const ui::ControlSpec kControls[] = {
    {"cmdReturn", Kind::Button, "Return to  Main Form", 6000, 5520, 1455, 615},
};
}  // namespace

frmCProfile::frmCProfile(bus::GPIB32& gpib, QWidget* parent) : QDialog(parent), gpib_(gpib) {
  setObjectName("frmCProfile");
  setWindowTitle("Profile Generator Form");
  setFixedSize(ui::twips(7800), ui::twips(6480));
  controls_ = ui::buildControls(this, kControls);
  connect(qobject_cast<QPushButton*>(controls_.value("cmdReturn")), &QPushButton::clicked, this,
          [this] { cmdReturn_Click(); });
  Form_Load();
}

void frmCProfile::Form_Load() {}

void frmCProfile::cmdReturn_Click() {
  hide();
  if (gpib_.observer()) gpib_.observer()->window(objectName().toStdString(), false);
}

}  // namespace profile
