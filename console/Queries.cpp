// One-click queries of the controller and of the converter's Modbus error register.
#include <QLabel>
#include <QLineEdit>

#include "Form.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "Registers.h"
#include "Texts.h"

namespace console {

void MainWindow::cmdRdModel_Click() {
  txtResults->clear();
  ReadModel();
}

void MainWindow::cmdRdSN_Click() {
  txtResults->clear();
  registerQuery(bus::registerReadLine(f4::SerialNumber, 2), "Serial Number = ", true);
}

void MainWindow::cmdRdSoft_Click() {
  txtResults->clear();
  registerQuery(bus::registerReadLine(f4::SoftwareRevision, 1), "Software Revision = ", true);
}

void MainWindow::cmdRdRev_Click() {
  txtResults->clear();
  registerQuery(bus::registerReadLine(f4::RevisionCode, 1), "Revision Code = ", true);
}

void MainWindow::cmdRdDate_Click() {
  txtResults->clear();
  registerQuery(bus::registerReadLine(f4::ManufactureDate, 1), "Mfgr Date = ", true);
}

void MainWindow::cmdRdSetPt_Click() {
  txtResults->clear();
  registerQuery(bus::registerReadLine(f4::SetPoint, 1), "Setpoint = ", false);
}

void MainWindow::cmdRdTemp_Click() {
  txtResults->clear();
  registerQuery(bus::registerReadLine(f4::Temperature, 1), "Temperature = ", false);
}

void MainWindow::cmdRdErr_Click() {
  auto& g = gpib_;
  txtResults->clear();
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "E?", 1);
  if (!g.failed()) {
    g.ReplyBuf.assign(10, ' ');
    g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
    bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
    g.ReplyBuf = bus::cutAtLineFeed(bus::trimTrailingBlanks(g.ReplyBuf));
    txtResults->setText("Modbus Error Register = " + ui::fromBytes(g.ReplyBuf));
    txtError->setVisible(false);
    const double code = bus::numericValue(g.ReplyBuf);
    txtResults->setText(txtResults->text() + NL +
                        QString::fromStdString(modbusErrorExplanation(code)));
  }
  lblErrReg->setVisible(false);
}

}  // namespace console
