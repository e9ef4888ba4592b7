// The converter's IEEE 488.2 common commands and status registers.
#include <QLineEdit>

#include "Form.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "SetupWindow.h"

namespace setup {

void SetupWindow::cmdClr_Click() {
  auto& g = gpib_;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "*CLS", 1);
  txtResults2->setText("Unit sent the *CLS command");
}

void SetupWindow::cmdESE_Click() {
  queryNoWait("*ESE?");
  txtResults2->setText("ESE = " + replyValueText());
  txtESE->setText(replyValueText());
}

void SetupWindow::cmdESR_Click() {
  queryNoWait("*ESR?");
  txtResults2->setText("ESR = " + replyValueText());
}

void SetupWindow::cmdIDN_Click() {
  queryNoWait("*IDN?");
  // Untrimmed on purpose: the operator sees the reply exactly as the converter filled it in.
  txtResults2->setText("IDN = " + ui::fromBytes(gpib_.ReplyBuf));
}

void SetupWindow::cmdSRE_Click() {
  queryNoWait("*SRE?");
  if (bus::busErrorDisplay(gpib_, "SRE Read Error", *this)) return;
  txtResults2->setText("SRE = " + replyValueText());
  txtSRE->setText(replyValueText());
}

void SetupWindow::cmdSTB_Click() {
  queryNoWait("*STB?");
  if (bus::busErrorDisplay(gpib_, bus::kReadStatusByteError, *this)) return;
  txtResults2->setText("STB = " + replyValueText());
}

void SetupWindow::cmdSav_Click() {
  auto& g = gpib_;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "*SAV 0", 1);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
  txtResults2->setText("Current Configuration Saved");
}

std::optional<float> SetupWindow::setValue(QLineEdit* entry, bool (*accepts)(float)) {
  txtResults2->clear();
  txtError->clear();
  // The range is judged on the value as it will be sent, so nothing past the limit gets through
  // by rounding to single precision.
  const std::optional<float> v = bus::toSingle(bus::numericValue(ui::toBytes(entry->text())));
  if (v && accepts(*v)) return v;
  showMessage("Invalid value, retry ");
  gpib_.Beep();
  entry->setFocus();
  return std::nullopt;
}

bool SetupWindow::sendSetting(const char* command, float value) {
  auto& g = gpib_;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, command + std::string(" ") + bus::numberText(value), 1);
  return !bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
}

void SetupWindow::cmdSetESE_Click() {
  if (const auto v = setValue(txtESE, [](float v) { return v >= 0 && v < 256; }))
    sendSetting("*ESE", *v);
}

void SetupWindow::cmdSetSRE_Click() {
  if (const auto v = setValue(txtSRE, [](float v) { return v >= 0 && v < 255; }))
    sendSetting("*SRE", *v);
}

void SetupWindow::cmdSetPSC_Click() {
  const auto v = setValue(txtPSC, [](float v) { return v >= 0 && v <= 1; });
  if (!v) return;
  txtPSC->setText(QString::fromStdString(bus::numberText(*v)));
  if (!sendSetting("*PSC", *v)) return;
  if (*v == 0)
    txtResults2->setText("Device set to restore the saved SRE and ESE values at power turn-on");
  else if (*v == 1)
    txtResults2->setText("Device set to clear SRE and ESE values at power turn-on");
}

void SetupWindow::cmdRST_Click() {
  auto& g = gpib_;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "*RST", 1);
  txtResults2->setText("Unit Reset");

  // A selection that changes runs the option action, which rewrites txtResults2 and ReplyBuf;
  // the lines below then follow what it wrote.
  queryDirect("SYST:COMM:SER:BAUD?");
  const double baud = replyValue();
  if (baud == 9600 || baud == 19200) {
    (baud == 9600 ? opt9600 : opt19200)->select();
    appendResult("Baud Rate = " + replyValueText());
  } else {
    appendResult("Baud rate needs setting");
  }

  queryDirect("SYST:COMM:SER:RS485?");
  g.ReplyBuf = bus::trimTrailingBlanks(g.ReplyBuf);
  if (replyValue() == 1) {
    appendResult("RS-485 Mode Enabled");
    optModeEna->select();
  } else {
    appendResult("RS-485 Mode Disabled");
    optModeDis->select();
  }
}

}  // namespace setup
