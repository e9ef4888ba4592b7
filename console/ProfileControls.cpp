// Run, stop and delete the controller's profiles; open the profile generator.
#include <QLineEdit>
#include <QPushButton>

#include "Form.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "frmMain.h"

namespace console {

namespace {

// The profile number typed, when it may be sent: not empty, not above 255, a single.
// Refusals are shown by the caller.
enum class Entry { Ok, Improper, TooLarge };
Entry checkProfileEntry(const QString& text, float& value) {
  if (text.isEmpty()) return Entry::Improper;
  const double v = bus::numericValue(ui::toBytes(text));
  if (v > 255) return Entry::Improper;
  const auto single = bus::toSingle(v);
  if (!single) return Entry::TooLarge;
  value = *single;
  return Entry::Ok;
}

}  // namespace

// Shows the converter's Modbus error register after a profile action, whatever it says.
static void errorRegisterReport(bus::GPIB32& g, ui::MultiLineBox* results) {
  g.Delay(0.3);
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "E?", 1);
  g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
  g.ReplyBuf = bus::trimTrailingBlanks(g.ReplyBuf);
  if (!g.ReplyBuf.empty()) g.ReplyBuf.pop_back();  // the line terminator
  results->setText("Modbus Error " + ui::fromBytes(g.ReplyBuf));
}

void frmMain::cmdRunProfile_Click() {
  auto& g = gpib_;
  txtResults->clear();
  float profile = 0;
  switch (checkProfileEntry(txtProfile->text(), profile)) {
    case Entry::Improper:
      txtResults->setText("Improper Profile entry, redo");
      break;
    case Entry::TooLarge:
      showError("Profile number out of range for a single-precision number: nothing sent");
      break;
    case Entry::Ok:
      for (auto [reg, value] : {std::pair{4000.0f, profile}, {4001.0f, 1.0f}, {4002.0f, 5.0f}})
        g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerWriteLine(reg, value), 1);
      errorRegisterReport(g, txtResults);
      break;
  }
  g.Beep();
}

void frmMain::cmdStop_Click() {
  txtResults->clear();
  gpib_.Send_msg(gpib_.BoardIndex, gpib_.ConverterAddr, bus::registerWriteLine(1217, 1), 1);
}

void frmMain::cmdDelete_Click() {
  cmdConfirm->setVisible(true);
  cmdConfirm->setEnabled(true);
  txtResults->clear();
}

void frmMain::cmdConfirm_Click() {
  auto& g = gpib_;
  txtResults->clear();
  cmdConfirm->setEnabled(false);
  cmdConfirm->setVisible(false);
  float profile = 0;
  switch (checkProfileEntry(txtProfile->text(), profile)) {
    case Entry::Improper:
      txtResults->setText("Improper Profile entry, redo");
      break;
    case Entry::TooLarge:
      showError("Profile number out of range for a single-precision number: nothing sent");
      break;
    case Entry::Ok: {
      auto write = [&](float reg, float value) {
        g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerWriteLine(reg, value), 1);
      };
      if (txtProfile->text().toUpper() == "ALL") {
        write(4000, 1);
        write(4002, 255);
      } else {
        write(4000, profile);
        write(4001, 1);
        write(4002, 3);
      }
      write(25, 0);
      errorRegisterReport(g, txtResults);
      break;
    }
  }
  g.Beep();
}

}  // namespace console
