// Register reads and writes composed by hand, the reply format, and the event status register.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "AssemblerLine.h"
#include "Form.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"

namespace console {

void MainWindow::optCmdRead_Click(int) {
  Cmd = "R";
  txtReg->setFocus();
  lblReg->setText("Reg#      Number of registers");
  txtDataEntry->setVisible(false);
  txtResults->clear();
}

void MainWindow::optCmdWrt_Click(int) {
  Cmd = "W";
  txtReg->setFocus();
  lblReg->setText("Reg#      Output Data");
  txtDataEntry->setVisible(true);
  txtResults->clear();
}

bool MainWindow::TxtReg_KeyPress(int keyAscii) {
  if (keyAscii != 13) return false;
  txtOutput->setFocus();
  return true;
}

bool MainWindow::txtOutput_KeyPress(int keyAscii) {
  if (keyAscii != 13) return false;
  cmdSend_Click();
  return true;
}

void MainWindow::txtOutput_Change() { cmdSend->setEnabled(true); }

void MainWindow::cmdSend_Click() {
  auto& g = gpib_;
  const auto board = g.BoardIndex;
  const auto addr = g.ConverterAddr;
  txtResults->clear();
  const AssembledLine assembled =
      assemblerLine(Cmd, ui::toBytes(txtReg->text()), ui::toBytes(txtOutput->text()));
  if (assembled.refusal) return refuse(QString::fromLatin1(assembled.refusal));
  g.Send_msg(board, addr, assembled.line, 1);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
  if (Cmd == "R") {
    g.Delay(0.1);
    g.Recv_msg(board, addr, g.ReplyBuf, 256);
    bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
    g.ReplyBuf = bus::trimTrailingBlanks(g.ReplyBuf);
    if (!g.ReplyBuf.empty()) {
      g.ReplyBuf = bus::cutAtLineFeed(g.ReplyBuf);
      txtResults->setText("Read Response = " + ui::fromBytes(g.ReplyBuf));
    } else {
      showModbusError(true);
    }
  }
  txtDataEntry->setVisible(false);

  // Did the converter flag an error (bit 5 of its status byte)?
  g.Send_msg(board, addr, "*STB?", 1);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
  g.Recv_msg(board, addr, g.ReplyBuf, 256);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, *this);
  const auto statusByte = bus::toInt16(bus::numericValue(g.ReplyBuf));
  if (statusByte && (*statusByte & 32)) {
    lblErrReg->setVisible(true);
    g.Beep();
  }
}

void MainWindow::cmdClr_Click() {
  txtOutput->clear();
  txtReg->clear();
  txtDataEntry->setVisible(false);
  cmdSend->setEnabled(false);
  cmdConfirm->setVisible(false);
  cmdConfirm->setEnabled(false);
  txtResults->clear();
  txtError->setVisible(false);
  txtError->clear();
}

namespace {
void switchFormat(bus::GPIB32& g, MainWindow& window, const std::string& command) {
  window.Msg_Format = command;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, window.Msg_Format, 1);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, window);
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "*ESR?", 1);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, window);
  g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
  bus::busErrorDisplay(g, bus::kReadStatusByteError, window);
  g.ReplyBuf = bus::trimTrailingBlanks(g.ReplyBuf);
  if (bus::numericValue(g.ReplyBuf) != 0) {
    window.showError("ESR Reg Error = " + g.ReplyBuf);
    g.Beep();
  }
}
}  // namespace

void MainWindow::optDecimal_Click(int) { switchFormat(gpib_, *this, "FORM:TALK ASCII"); }

void MainWindow::optHex_Click(int) { switchFormat(gpib_, *this, "FORM:TALK HEXL"); }

void MainWindow::cmdESR_Click() {
  auto& g = gpib_;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "*ESR?", 1);
  g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
  txtResults->setText(
      QString::fromStdString("ESR = " + bus::plainNumberText(bus::numericValue(g.ReplyBuf))));
}

}  // namespace console
