// The Modbus device address the converter talks to.
#include <QLineEdit>
#include <QPushButton>

#include "Form.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"

namespace console {

void MainWindow::txtCurAddr_Change() { cmdChgAddr->setEnabled(true); }

void MainWindow::cmdChgAddr_Click() {
  auto& g = gpib_;
  txtResults->clear();
  txtError->clear();
  const auto address = bus::toInt16(bus::numericValue(ui::toBytes(txtCurAddr->text())));
  if (!address) {
    refuse("Modbus address out of range (-32768 to 32767): nothing sent");
    return;
  }
  MBDevice = *address;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "C " + bus::numberText(static_cast<int>(MBDevice)), 1);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
  for (QWidget* control :
       std::initializer_list<QWidget*>{cmdRdModel, cmdRdSN, cmdRdSoft, cmdRdRev, cmdRdDate, cmdClr,
                                       optCmdRead, optCmdWrt, optDecimal, optHex})
    control->setEnabled(true);
}

}  // namespace console
