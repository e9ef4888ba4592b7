// The setup window's handlers for the converter's serial link settings: baud rate and RS-485
// mode.
#include "Form.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "SetupWindow.h"

namespace setup {

void SetupWindow::baudOption(const char* rate) {
  gpib_.Send_msg(gpib_.BoardIndex, gpib_.ConverterAddr, std::string("SYST:COMM:SER:BAUD ") + rate,
                 1);
  queryDirect("SYST:COMM:SER:BAUD?");
  txtResults2->setText("Baud Rate = " + replyValueText());
  // Any other rate leaves the controller unreachable over the link.
  if (replyValue() != 9600 && replyValue() != 19200) appendResult("Baud rate needs setting");
}

void SetupWindow::modeOption(const char* word) {
  gpib_.Send_msg(gpib_.BoardIndex, gpib_.ConverterAddr, std::string("SYST:COMM:SER:RS485 ") + word,
                 1);
  queryDirect("SYST:COMM:SER:RS485?");
  gpib_.ReplyBuf = bus::trimTrailingBlanks(gpib_.ReplyBuf);
  txtResults2->setText(replyValue() == 1 ? "RS485 mode is enabled" : "RS485 mode is disabled");
}

void SetupWindow::opt9600_Click(int /*index*/) { baudOption("9600"); }
void SetupWindow::opt19200_Click(int /*index*/) { baudOption("19200"); }
void SetupWindow::optModeEna_Click(int /*index*/) { modeOption("ON"); }
void SetupWindow::optModeDis_Click(int /*index*/) { modeOption("OFF"); }

void SetupWindow::cmdSetBaud_Click() {
  auto& g = gpib_;
  std::string line;
  if (opt9600->isChecked())
    line = "SYST:COMM:SER 9600";
  else if (opt19200->isChecked())
    line = "SYST:COMM:SER 19200";
  else
    return;  // no rate chosen, nothing to set
  g.Send_msg(g.BoardIndex, g.ConverterAddr, line, 1);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
  txtResults2->setText("Baud Rate Set");
}

}  // namespace setup
