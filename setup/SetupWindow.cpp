#include "SetupWindow.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Form.h"
#include "MultiLineBox.h"
#include "NumberText.h"

namespace setup {

namespace {

using ui::Kind;

constexpr int kClientWidth = 9480;
constexpr int kClientHeight = 6840;

// Every control of the window; positions in twips within their container. Four columns of
// frames on three rows, the result box with its label under them, the two message boxes at the
// bottom. The five protocol buttons sit on the window over "488.2 Protocol" and so come after
// that frame, to stay on top of it.
const ui::ControlSpec kControls[] = {
    {"frmPSC", Kind::Frame, "Set PSC", 4800, 120, 2220, 1035},
    {"cmdSetPSC", Kind::Button, "Set", 1320, 390, 735, 495, "frmPSC"},
    {"txtPSC", Kind::TextBox, "", 120, 435, 1095, 405, "frmPSC"},
    {"txtGPIBErr", Kind::TextBox, "", 120, 6150, 9240, 375},
    {"frmSRE", Kind::Frame, "SRE Setting", 120, 120, 2220, 1035},
    {"cmdSetSRE", Kind::Button, "Set", 1320, 390, 735, 495, "frmSRE"},
    {"txtSRE", Kind::TextBox, "", 120, 435, 1095, 405, "frmSRE"},
    {"frmESE", Kind::Frame, "ESE Setting", 2460, 120, 2220, 1035},
    {"cmdSetESE", Kind::Button, "Set", 1320, 390, 735, 495, "frmESE"},
    {"txtESE", Kind::TextBox, "", 120, 435, 1095, 405, "frmESE"},
    {"frmMode", Kind::Frame, "RS485 Mode", 2460, 1275, 2220, 1215},
    {"optModeDis", Kind::Option, "Disabled", 240, 780, 1800, 300, "frmMode", 1},
    {"optModeEna", Kind::Option, "Enabled", 240, 420, 1800, 300, "frmMode", 0},
    {"frmSerialPoll", Kind::Frame, "", 4800, 1275, 2220, 1215},
    {"cmdSerialPoll", Kind::Button, "Serial    Poll", 562, 330, 1095, 735, "frmSerialPoll"},
    {"frmBaudRate", Kind::Frame, "Baud Rate", 120, 1275, 2220, 1215},
    {"cmdSetBaud", Kind::Button, "Set", 1320, 510, 735, 495, "frmBaudRate"},
    {"opt19200", Kind::Option, "19200", 240, 780, 1035, 300, "frmBaudRate", 1},
    {"opt9600", Kind::Option, "9600", 240, 420, 1035, 300, "frmBaudRate", 0},
    {"frmAddress", Kind::Frame, "GPIB Address", 7140, 120, 2220, 1035},
    {"cmdSetAddr", Kind::Button, "Set", 1320, 390, 735, 495, "frmAddress"},
    {"txtNewAddr", Kind::TextBox, "", 120, 435, 1095, 405, "frmAddress"},
    {"frameProtocols", Kind::Frame, "488.2 Protocol", 120, 2610, 5580, 1035},
    {"cmdSRE", Kind::Button, "*SRE?", 3480, 2970, 975, 615},
    {"cmdSav", Kind::Button, "*SAV", 4560, 2970, 975, 615},
    {"cmdFindLstn", Kind::Button, "FindLstn", 7522, 1605, 1455, 615},
    {"cmdESR", Kind::Button, "*ESR?", 1320, 2970, 975, 615},
    {"cmdSTB", Kind::Button, "*STB?", 2400, 2970, 975, 615},
    {"cmdIDN", Kind::Button, "*IDN?", 240, 2970, 975, 615},
    {"frameComCmds", Kind::Frame, "488.2 Common Commands", 5880, 2610, 3480, 1035},
    {"cmdCLR", Kind::Button, "*CLR", 120, 360, 975, 615, "frameComCmds"},
    {"cmdRST", Kind::Button, "*RST", 1200, 360, 975, 615, "frameComCmds"},
    {"cmdESE", Kind::Button, "*ESE?", 2280, 360, 975, 615, "frameComCmds"},
    {"txtError", Kind::TextBox, "", 120, 5640, 9240, 375},
    {"txtResults2", Kind::MultiLineTextBox, "", 120, 4080, 6960, 1275},
    {"cmdExit", Kind::Button, "Return to Main Form", 7260, 4380, 2100, 615},
    {"lblCmdResponse", Kind::Label, "Command Response", 120, 3780, 2400, 255},
};

}  // namespace

SetupWindow::SetupWindow(bus::GPIB32& gpib, QWidget* parent) : QDialog(parent), gpib_(gpib) {
  setObjectName("frm488_2Cmds");
  setWindowTitle("GPIB Commands and Setup");
  setAttribute(Qt::WA_DeleteOnClose);  // closed by its frame, it is made anew next time
  setFixedSize(ui::twips(kClientWidth), ui::twips(kClientHeight));

  controls_ = ui::buildControls(this, kControls);
  const auto& c = controls_;
  frmPSC = ui::controlOf<QGroupBox>(c, "frmPSC");
  frmSRE = ui::controlOf<QGroupBox>(c, "frmSRE");
  frmESE = ui::controlOf<QGroupBox>(c, "frmESE");
  frmMode = ui::controlOf<QGroupBox>(c, "frmMode");
  frmSerialPoll = ui::controlOf<QGroupBox>(c, "frmSerialPoll");
  frmBaudRate = ui::controlOf<QGroupBox>(c, "frmBaudRate");
  frmAddress = ui::controlOf<QGroupBox>(c, "frmAddress");
  frameProtocols = ui::controlOf<QGroupBox>(c, "frameProtocols");
  frameComCmds = ui::controlOf<QGroupBox>(c, "frameComCmds");
  cmdSetPSC = ui::controlOf<QPushButton>(c, "cmdSetPSC");
  cmdSetSRE = ui::controlOf<QPushButton>(c, "cmdSetSRE");
  cmdSetESE = ui::controlOf<QPushButton>(c, "cmdSetESE");
  cmdSerialPoll = ui::controlOf<QPushButton>(c, "cmdSerialPoll");
  cmdSetBaud = ui::controlOf<QPushButton>(c, "cmdSetBaud");
  cmdSetAddr = ui::controlOf<QPushButton>(c, "cmdSetAddr");
  cmdSRE = ui::controlOf<QPushButton>(c, "cmdSRE");
  cmdSav = ui::controlOf<QPushButton>(c, "cmdSav");
  cmdFindLstn = ui::controlOf<QPushButton>(c, "cmdFindLstn");
  cmdESR = ui::controlOf<QPushButton>(c, "cmdESR");
  cmdSTB = ui::controlOf<QPushButton>(c, "cmdSTB");
  cmdIDN = ui::controlOf<QPushButton>(c, "cmdIDN");
  cmdCLR = ui::controlOf<QPushButton>(c, "cmdCLR");
  cmdRST = ui::controlOf<QPushButton>(c, "cmdRST");
  cmdESE = ui::controlOf<QPushButton>(c, "cmdESE");
  cmdExit = ui::controlOf<QPushButton>(c, "cmdExit");
  txtPSC = ui::controlOf<QLineEdit>(c, "txtPSC");
  txtGPIBErr = ui::controlOf<QLineEdit>(c, "txtGPIBErr");
  txtSRE = ui::controlOf<QLineEdit>(c, "txtSRE");
  txtESE = ui::controlOf<QLineEdit>(c, "txtESE");
  txtNewAddr = ui::controlOf<QLineEdit>(c, "txtNewAddr");
  txtError = ui::controlOf<QLineEdit>(c, "txtError");
  optModeDis = ui::controlOf<ui::OptionButton>(c, "optModeDis");
  optModeEna = ui::controlOf<ui::OptionButton>(c, "optModeEna");
  opt19200 = ui::controlOf<ui::OptionButton>(c, "opt19200");
  opt9600 = ui::controlOf<ui::OptionButton>(c, "opt9600");
  txtResults2 = ui::controlOf<ui::MultiLineBox>(c, "txtResults2");
  lblCmdResponse = ui::controlOf<QLabel>(c, "lblCmdResponse");

  // A dialog's buttons would otherwise take Enter in any entry box as their own click: Enter
  // in the address box must not return to the main window or reset the converter.
  for (QPushButton* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  txtResults2->setReadOnly(true);
  // The message boxes appear when there is something to say.
  txtError->setVisible(false);
  txtGPIBErr->setVisible(false);
  // The search waits for the load action, which reads the converter first.
  cmdFindLstn->setEnabled(false);

  connectHandlers();
  Form_Load();
}

void SetupWindow::connectHandlers() {
  const std::pair<QPushButton*, void (SetupWindow::*)()> clicks[] = {
      {cmdExit, &SetupWindow::cmdExit_Click},
      {cmdCLR, &SetupWindow::cmdClr_Click},
      {cmdESE, &SetupWindow::cmdESE_Click},
      {cmdESR, &SetupWindow::cmdESR_Click},
      {cmdIDN, &SetupWindow::cmdIDN_Click},
      {cmdSRE, &SetupWindow::cmdSRE_Click},
      {cmdSTB, &SetupWindow::cmdSTB_Click},
      {cmdSav, &SetupWindow::cmdSav_Click},
      {cmdRST, &SetupWindow::cmdRST_Click},
      {cmdSetESE, &SetupWindow::cmdSetESE_Click},
      {cmdSetSRE, &SetupWindow::cmdSetSRE_Click},
      {cmdSetPSC, &SetupWindow::cmdSetPSC_Click},
      {cmdSetBaud, &SetupWindow::cmdSetBaud_Click},
      {cmdFindLstn, &SetupWindow::cmdFindLstn_Click},
      {cmdSetAddr, &SetupWindow::cmdSetAddr_Click},
      {cmdSerialPoll, &SetupWindow::cmdSerialPoll_Click},
  };
  for (auto [button, handler] : clicks) connect(button, &QPushButton::clicked, this, handler);
  const std::pair<ui::OptionButton*, void (SetupWindow::*)(int)> selections[] = {
      {opt9600, &SetupWindow::opt9600_Click},
      {opt19200, &SetupWindow::opt19200_Click},
      {optModeEna, &SetupWindow::optModeEna_Click},
      {optModeDis, &SetupWindow::optModeDis_Click},
  };
  for (auto [option, handler] : selections)
    connect(option, &ui::OptionButton::selected, this, handler);
}

void SetupWindow::showError(const std::string& text) {
  txtGPIBErr->setText(ui::fromBytes(text));
  txtGPIBErr->setVisible(true);
}

void SetupWindow::showMessage(const QString& text) {
  txtError->setText(text);
  txtError->setVisible(true);
}

void SetupWindow::appendResult(const QString& line) {
  txtResults2->setText(txtResults2->text() + NL + line);
}

void SetupWindow::queryNoWait(const std::string& line) {
  auto& g = gpib_;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, line, 1);
  // Nothing stale may pass for the reply when the interface gate keeps the read from happening.
  g.ReplyBuf.clear();
  g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
}

void SetupWindow::queryDirect(const std::string& line) {
  auto& g = gpib_;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, line, 1);
  g.ReceiveDirect(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 80);
}

double SetupWindow::replyValue() const { return bus::numericValue(gpib_.ReplyBuf); }

QString SetupWindow::replyValueText() const {
  return QString::fromStdString(bus::plainNumberText(replyValue()));
}

void SetupWindow::Form_Load() {
  auto& g = gpib_;
  NL = QStringLiteral("\r\n");
  txtError->clear();
  txtResults2->clear();
  txtNewAddr->setText(QString::fromStdString(bus::numberText(static_cast<int>(g.ConverterAddr))));
  cmdFindLstn->setEnabled(true);

  queryNoWait("*SRE?");
  if (!bus::busErrorDisplay(g, "SRE Read Error", *this)) txtSRE->setText(replyValueText());

  queryNoWait("*ESE?");
  txtESE->setText(replyValueText());
  txtResults2->clear();

  // Selecting an option runs its action, which hands the converter its own setting back and
  // reads it again.
  queryNoWait("SYST:COMM:SER:BAUD?");
  if (replyValue() == 9600) {
    opt9600->select();
  } else if (replyValue() == 19200) {
    opt19200->select();
  } else {
    showMessage("Unexpected baud rate = " + ui::fromBytes(g.ReplyBuf));
  }

  queryNoWait("SYST:COMM:SER:RS485?");
  if (replyValue() == 1) {
    optModeEna->select();
  } else if (replyValue() == 0) {
    optModeDis->select();
  } else {
    showMessage("Unexpected RS485 Response = " + ui::fromBytes(g.ReplyBuf));
  }
  // The option actions' read-backs are not what the operator opened the window for.
  txtResults2->clear();
}

void SetupWindow::cmdExit_Click() {
  auto& g = gpib_;
  // The converter takes the serial settings chosen here into use only now.
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "SYST:COMM:SER:UPDATE", 1);
  txtResults2->setText("Returning to main form");
  repaint();  // the waits below handle no events, so paint now or the text is never seen
  g.Beep();
  g.Delay(0.1);
  g.DevClear(g.BoardIndex, g.ConverterAddr);
  bus::busErrorDisplay(g, "DevClear Error", *this);
  g.Delay(1);
  txtResults2->clear();
  hide();
  if (g.observer()) g.observer()->window(objectName().toStdString(), false);
}

void SetupWindow::closeEvent(QCloseEvent* event) {
  // Closed by its frame: no update and no device clear; the window goes (WA_DeleteOnClose).
  event->accept();
  if (isVisible() && gpib_.observer()) gpib_.observer()->window(objectName().toStdString(), false);
}

void SetupWindow::keyPressEvent(QKeyEvent* event) {
  // Escape would close the dialog behind the operator's back, skipping the exit action.
  if (event->key() == Qt::Key_Escape) return event->accept();
  QDialog::keyPressEvent(event);
}

}  // namespace setup
