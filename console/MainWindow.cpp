#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <array>

#include "Form.h"
#include "MultiLineBox.h"
#include "ProfileWindow.h"
#include "SetupWindow.h"

namespace console {

namespace {

using ui::Kind;

// Client area of the window, and the line under it that names the driver.
constexpr int kClientWidth = 10020;
constexpr int kClientHeight = 8550;
constexpr int kDriverLineHeight = 300;

// Every control of the window, top to bottom; positions in twips within their container.
// Frames come before what lies in them, and the five query buttons that sit on the window
// over "ModBus Device Queries" come after that frame so that they stay on top of it.
const ui::ControlSpec kControls[] = {
    {"lblFormTop", Kind::Label, "GPIB to ModBus Temp Controller Program", 2280, 120, 4575, 255},
    {"lblTop2", Kind::Label, "For 5620, 5630 and 5690 Controllers", 2520, 480, 3735, 255},
    {"cmdInitialize", Kind::Button, "Initialize   GPIB Bus", 3600, 960, 1095, 855},
    {"cmd488_2Cmds", Kind::Button, "GPIB Commands, 488.2 Commands and Settings", 5520, 960, 2295,
     855},
    {"frmAddr", Kind::Frame, "ModBus Address", 360, 840, 2175, 975},
    {"txtCurAddr", Kind::TextBox, "", 240, 360, 735, 495, "frmAddr"},
    {"cmdChgAddr", Kind::Button, "Set", 1200, 360, 735, 495, "frmAddr"},
    {"frameCmds", Kind::Frame, "ModBus Device Queries", 360, 2160, 7455, 975},
    {"cmdRdErr", Kind::Button, "Read Err ", 4560, 240, 855, 615, "frameCmds"},
    {"cmdRdTemp", Kind::Button, "Read  Temp", 5520, 240, 855, 615, "frameCmds"},
    {"cmdRdSetPt", Kind::Button, "Read SetPt", 6480, 240, 855, 615, "frameCmds"},
    {"cmdRdModel", Kind::Button, "Read Model", 480, 2400, 975, 615},
    {"cmdRdSN", Kind::Button, "Read S/N", 1560, 2400, 735, 615},
    {"cmdRdSoft", Kind::Button, "Read Soft", 2400, 2400, 735, 615},
    {"cmdRdRev", Kind::Button, "Read Rev", 3240, 2400, 735, 615},
    {"cmdRdDate", Kind::Button, "Read  Date", 4080, 2400, 735, 615},
    {"frmESR", Kind::Frame, "", 8400, 2160, 1095, 975},
    {"cmdESR", Kind::Button, "Read ESR", 120, 240, 855, 615, "frmESR"},
    {"lblErrReg", Kind::Label, "Check Err Reg", 4560, 3120, 1575, 255},
    {"frmMBCmds", Kind::Frame, "Modbus Commands", 360, 3360, 9135, 1455},
    {"lblOutput", Kind::Label, "Assemble Output Command and Press Send", 2520, 240, 4695, 255,
     "frmMBCmds"},
    {"frmFormat", Kind::Frame, "Msg Format", 120, 480, 1575, 855, "frmMBCmds"},
    {"optDecimal", Kind::Option, "ASCII", 240, 360, 1095, 240, "frmFormat", 0},
    {"optHex", Kind::Option, "Hex", 240, 600, 1095, 240, "frmFormat", 1},
    {"frmCmdNum", Kind::Frame, "Command ", 1800, 480, 1335, 855, "frmMBCmds"},
    {"optCmdRead", Kind::Option, "Read", 120, 360, 1095, 255, "frmCmdNum", 0},
    {"optCmdWrt", Kind::Option, "Write", 120, 600, 1095, 240, "frmCmdNum", 1},
    {"lblReg", Kind::Label, "Reg#             Data Field", 3360, 480, 3015, 375, "frmMBCmds"},
    {"txtReg", Kind::TextBox, "", 3240, 840, 855, 375, "frmMBCmds"},
    {"txtOutput", Kind::TextBox, "", 4200, 840, 2175, 375, "frmMBCmds"},
    {"cmdSend", Kind::Button, "Send", 6480, 720, 735, 615, "frmMBCmds"},
    {"cmdClr", Kind::Button, "Clear ", 8040, 720, 735, 615, "frmMBCmds"},
    {"txtDataEntry", Kind::TextBox, "(Separate multiple data words with commas)", 3000, 4800, 4935,
     285},
    {"lblCmdResponse", Kind::Label, "Command Response", 360, 5160, 2175, 255},
    {"txtResults", Kind::MultiLineTextBox, "", 2640, 5040, 5535, 735},
    {"frmStaticCmds", Kind::Frame, "Static Commands", 360, 5880, 9255, 975},
    {"cmdStatic", Kind::Button, "Set Static Parameters", 120, 240, 1455, 615, "frmStaticCmds"},
    {"optUnits", Kind::Option, "Deg F", 1680, 360, 975, 255, "frmStaticCmds", 0},
    {"optUnits", Kind::Option, "Deg C", 1680, 600, 975, 255, "frmStaticCmds", 1},
    {"txtSetPt", Kind::TextBox, "", 2760, 360, 615, 495, "frmStaticCmds"},
    {"cmdSetPt", Kind::Button, "Set SetPt", 3480, 240, 855, 615, "frmStaticCmds"},
    {"cmdStopSetPt", Kind::Button, "Stop  SetPt", 4440, 240, 735, 615, "frmStaticCmds"},
    {"txtTemp", Kind::TextBox, "", 5400, 360, 495, 495, "frmStaticCmds"},
    {"cmdRdTemp2", Kind::Button, "Disp Temp", 6000, 240, 855, 615, "frmStaticCmds"},
    {"txtTime", Kind::TextBox, "", 6960, 360, 1215, 495, "frmStaticCmds"},
    {"cmdRdTime", Kind::Button, "Disp Time", 8280, 240, 855, 615, "frmStaticCmds"},
    {"frmProfile", Kind::Frame, "Profile Controls", 360, 7080, 6615, 975},
    {"txtProfile", Kind::TextBox, "", 360, 360, 615, 495, "frmProfile"},
    {"cmdRunProfile", Kind::Button, " Run   Profile", 1080, 240, 975, 615, "frmProfile"},
    {"cmdStop", Kind::Button, "Stop  Profile", 2160, 240, 855, 615, "frmProfile"},
    {"cmdDelete", Kind::Button, "Delete  Profile", 3240, 240, 975, 615, "frmProfile"},
    {"cmdConfirm", Kind::Button, "Confirm  Delete", 4320, 240, 975, 615, "frmProfile"},
    {"cmdCreate", Kind::Button, "Create  Profile", 5520, 240, 975, 615, "frmProfile"},
    {"cmdExit", Kind::Button, "Exit", 7440, 7320, 1095, 615},
    {"txtError", Kind::TextBox, "", 1800, 8160, 2895, 375},
    {"lblDriver", Kind::Label, "", 120, kClientHeight, kClientWidth - 240, kDriverLineHeight - 45},
};

}  // namespace

MainWindow::MainWindow(bus::GPIB32& gpib, const QString& driverLine, QWidget* parent)
    : QWidget(parent), gpib_(gpib) {
  setObjectName("frmMain");
  setWindowTitle("Main Form");
  setFixedSize(ui::twips(kClientWidth), ui::twips(kClientHeight + kDriverLineHeight));
  ui::setBackground(this, Qt::white);
  exitProgram = [] { QCoreApplication::exit(0); };

  controls_ = ui::buildControls(this, kControls);
  const auto& c = controls_;
  lblFormTop = ui::controlOf<QLabel>(c, "lblFormTop");
  lblFormTop->setFont(ui::formFont(12));
  lblFormTop->resize(
      std::max(lblFormTop->width(),
               QFontMetrics(lblFormTop->font()).horizontalAdvance(lblFormTop->text()) + 4),
      std::max(lblFormTop->height(), QFontMetrics(lblFormTop->font()).height()));
  lblTop2 = ui::controlOf<QLabel>(c, "lblTop2");
  lblErrReg = ui::controlOf<QLabel>(c, "lblErrReg");
  lblOutput = ui::controlOf<QLabel>(c, "lblOutput");
  lblReg = ui::controlOf<QLabel>(c, "lblReg");
  lblCmdResponse = ui::controlOf<QLabel>(c, "lblCmdResponse");
  lblDriver = ui::controlOf<QLabel>(c, "lblDriver");
  lblDriver->setFont(ui::formFont(8));
  lblDriver->setText(driverLine);
  cmdInitialize = ui::controlOf<QPushButton>(c, "cmdInitialize");
  cmd488_2Cmds = ui::controlOf<QPushButton>(c, "cmd488_2Cmds");
  cmdExit = ui::controlOf<QPushButton>(c, "cmdExit");
  cmdChgAddr = ui::controlOf<QPushButton>(c, "cmdChgAddr");
  cmdRdErr = ui::controlOf<QPushButton>(c, "cmdRdErr");
  cmdRdTemp = ui::controlOf<QPushButton>(c, "cmdRdTemp");
  cmdRdSetPt = ui::controlOf<QPushButton>(c, "cmdRdSetPt");
  cmdRdModel = ui::controlOf<QPushButton>(c, "cmdRdModel");
  cmdRdSN = ui::controlOf<QPushButton>(c, "cmdRdSN");
  cmdRdSoft = ui::controlOf<QPushButton>(c, "cmdRdSoft");
  cmdRdRev = ui::controlOf<QPushButton>(c, "cmdRdRev");
  cmdRdDate = ui::controlOf<QPushButton>(c, "cmdRdDate");
  cmdESR = ui::controlOf<QPushButton>(c, "cmdESR");
  cmdSend = ui::controlOf<QPushButton>(c, "cmdSend");
  cmdClr = ui::controlOf<QPushButton>(c, "cmdClr");
  cmdStatic = ui::controlOf<QPushButton>(c, "cmdStatic");
  cmdSetPt = ui::controlOf<QPushButton>(c, "cmdSetPt");
  cmdStopSetPt = ui::controlOf<QPushButton>(c, "cmdStopSetPt");
  cmdRdTemp2 = ui::controlOf<QPushButton>(c, "cmdRdTemp2");
  cmdRdTime = ui::controlOf<QPushButton>(c, "cmdRdTime");
  cmdRunProfile = ui::controlOf<QPushButton>(c, "cmdRunProfile");
  cmdStop = ui::controlOf<QPushButton>(c, "cmdStop");
  cmdDelete = ui::controlOf<QPushButton>(c, "cmdDelete");
  cmdConfirm = ui::controlOf<QPushButton>(c, "cmdConfirm");
  cmdCreate = ui::controlOf<QPushButton>(c, "cmdCreate");
  frmAddr = ui::controlOf<QGroupBox>(c, "frmAddr");
  frameCmds = ui::controlOf<QGroupBox>(c, "frameCmds");
  frmESR = ui::controlOf<QGroupBox>(c, "frmESR");
  frmMBCmds = ui::controlOf<QGroupBox>(c, "frmMBCmds");
  frmFormat = ui::controlOf<QGroupBox>(c, "frmFormat");
  frmCmdNum = ui::controlOf<QGroupBox>(c, "frmCmdNum");
  frmStaticCmds = ui::controlOf<QGroupBox>(c, "frmStaticCmds");
  frmProfile = ui::controlOf<QGroupBox>(c, "frmProfile");
  optDecimal = ui::controlOf<ui::OptionButton>(c, "optDecimal");
  optHex = ui::controlOf<ui::OptionButton>(c, "optHex");
  optCmdRead = ui::controlOf<ui::OptionButton>(c, "optCmdRead");
  optCmdWrt = ui::controlOf<ui::OptionButton>(c, "optCmdWrt");
  optUnits[0] = ui::controlOf<ui::OptionButton>(c, "optUnits(0)");
  optUnits[1] = ui::controlOf<ui::OptionButton>(c, "optUnits(1)");
  txtCurAddr = ui::controlOf<QLineEdit>(c, "txtCurAddr");
  txtReg = ui::controlOf<QLineEdit>(c, "txtReg");
  txtOutput = ui::controlOf<QLineEdit>(c, "txtOutput");
  txtDataEntry = ui::controlOf<QLineEdit>(c, "txtDataEntry");
  txtSetPt = ui::controlOf<QLineEdit>(c, "txtSetPt");
  txtTemp = ui::controlOf<QLineEdit>(c, "txtTemp");
  txtTime = ui::controlOf<QLineEdit>(c, "txtTime");
  txtProfile = ui::controlOf<QLineEdit>(c, "txtProfile");
  txtError = ui::controlOf<QLineEdit>(c, "txtError");
  txtResults = ui::controlOf<ui::MultiLineBox>(c, "txtResults");

  // Colours as the operator knows them.
  ui::setBackground(cmdExit, Qt::white);
  ui::setBackground(cmdClr, QColor(192, 192, 192));
  ui::setBackground(cmdConfirm, Qt::red);
  ui::setBackground(lblErrReg, Qt::red);
  ui::setBackground(txtTemp, kDisplayOff);
  // The time display starts in the system's window colour, not the window's white.
  ui::setBackground(txtTime, QApplication::palette().color(QPalette::Window));

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(2);

  connectHandlers();
  Form_Load();
}

MainWindow::~MainWindow() = default;

setup::SetupWindow* MainWindow::setupWindow() const { return setup_; }
profile::ProfileWindow* MainWindow::profileWindow() const { return profile_; }

void MainWindow::showError(const std::string& text) {
  txtError->setText(ui::fromBytes(text));
  txtError->setVisible(true);
}

void MainWindow::connectHandlers() {
  const std::pair<QPushButton*, void (MainWindow::*)()> clicks[] = {
      {cmdExit, &MainWindow::cmdExit_Click},
      {cmd488_2Cmds, &MainWindow::cmd488_2Cmds_Click},
      {cmdInitialize, &MainWindow::cmdInitialize_Click},
      {cmdRdModel, &MainWindow::cmdRdModel_Click},
      {cmdRdSN, &MainWindow::cmdRdSN_Click},
      {cmdRdSoft, &MainWindow::cmdRdSoft_Click},
      {cmdRdRev, &MainWindow::cmdRdRev_Click},
      {cmdRdDate, &MainWindow::cmdRdDate_Click},
      {cmdRdSetPt, &MainWindow::cmdRdSetPt_Click},
      {cmdRdTemp, &MainWindow::cmdRdTemp_Click},
      {cmdRdErr, &MainWindow::cmdRdErr_Click},
      {cmdSetPt, &MainWindow::cmdSetPt_Click},
      {cmdStopSetPt, &MainWindow::cmdStopSetPt_Click},
      {cmdStatic, &MainWindow::cmdStatic_Click},
      {cmdRdTemp2, &MainWindow::cmdRdTemp2_Click},
      {cmdRdTime, &MainWindow::cmdRdTime_Click},
      {cmdChgAddr, &MainWindow::cmdChgAddr_Click},
      {cmdSend, &MainWindow::cmdSend_Click},
      {cmdClr, &MainWindow::cmdClr_Click},
      {cmdESR, &MainWindow::cmdESR_Click},
      {cmdRunProfile, &MainWindow::cmdRunProfile_Click},
      {cmdStop, &MainWindow::cmdStop_Click},
      {cmdDelete, &MainWindow::cmdDelete_Click},
      {cmdConfirm, &MainWindow::cmdConfirm_Click},
      {cmdCreate, &MainWindow::cmdCreate_Click},
  };
  for (auto [button, handler] : clicks) connect(button, &QPushButton::clicked, this, handler);
  const std::pair<ui::OptionButton*, void (MainWindow::*)(int)> selections[] = {
      {optUnits[0], &MainWindow::optUnits_Click},  {optUnits[1], &MainWindow::optUnits_Click},
      {optCmdRead, &MainWindow::optCmdRead_Click}, {optCmdWrt, &MainWindow::optCmdWrt_Click},
      {optDecimal, &MainWindow::optDecimal_Click}, {optHex, &MainWindow::optHex_Click},
  };
  for (auto [option, handler] : selections)
    connect(option, &ui::OptionButton::selected, this, handler);
  connect(txtCurAddr, &QLineEdit::textChanged, this, &MainWindow::txtCurAddr_Change);
  connect(txtOutput, &QLineEdit::textChanged, this, &MainWindow::txtOutput_Change);
  connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1_Timer);
  txtReg->installEventFilter(this);
  txtOutput->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const int ascii = enter ? 13 : (key->text().isEmpty() ? 0 : key->text().at(0).unicode());
    if (watched == txtReg && TxtReg_KeyPress(ascii)) return true;
    if (watched == txtOutput && txtOutput_KeyPress(ascii)) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::Form_Load() {
  TempRdFlag = 0;
  TimeRdFlag = 0;
  txtError->clear();
  txtOutput->clear();
  txtReg->clear();
  gpib_.InterfaceName = "GPIB";
  gpib_.BoardIndex = 0;
  gpib_.ConverterAddr = 4;
  MBDevice = 1;
  txtCurAddr->setText(QString::number(MBDevice));

  cmdInitialize->setEnabled(true);
  cmdExit->setEnabled(true);
  for (QWidget* control : std::initializer_list<QWidget*>{
           cmdChgAddr, cmdRdErr,   cmd488_2Cmds, cmdRdModel,  cmdRdSN,       cmdRdSoft,
           cmdRdRev,   cmdRdDate,  cmdRdSetPt,   cmdESR,      cmdRdTemp,     cmdSend,
           cmdClr,     cmdRdTemp2, cmdRdTime,    cmdStatic,   cmdRunProfile, cmdStop,
           cmdConfirm, cmdDelete,  cmdCreate,    cmdSetPt,    cmdStopSetPt,  optDecimal,
           optHex,     optCmdRead, optCmdWrt,    optUnits[0], optUnits[1]})
    control->setEnabled(false);

  lblOutput->setVisible(false);
  lblReg->setVisible(false);
  lblCmdResponse->setVisible(false);
  txtOutput->setEnabled(false);
  txtReg->setEnabled(false);
  frmFormat->setEnabled(false);
  frmCmdNum->setEnabled(false);

  // Hidden from the start by their design.
  lblErrReg->setVisible(false);
  txtDataEntry->setVisible(false);
  cmdConfirm->setVisible(false);

  Timer1->start();
}

void MainWindow::cmdExit_Click() {
  if (exitProgram) exitProgram();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the window by its frame ends the program as "Exit" does.
  event->accept();
  cmdExit_Click();
}

void MainWindow::cmd488_2Cmds_Click() {
  txtResults->clear();
  if (!setup_) setup_ = new setup::SetupWindow(gpib_, this);
  ui::showModal(setup_);
  if (gpib_.observer()) gpib_.observer()->window(setup_->objectName().toStdString(), true);
}

void MainWindow::cmdCreate_Click() {
  txtResults->clear();
  if (!profile_) profile_ = new profile::ProfileWindow(gpib_, this);
  ui::showModal(profile_);
  if (gpib_.observer()) gpib_.observer()->window(profile_->objectName().toStdString(), true);
}

void MainWindow::refuse(const QString& message) {
  txtError->setText(message);
  txtError->setVisible(true);
  gpib_.Beep();
}

void MainWindow::showModbusError(bool withChecks) {
  const std::string text = bus::emptyReplyFallback(gpib_, withChecks ? checks() : nullptr);
  showError(text);
  txtResults->clear();
  gpib_.Beep();
}

bool MainWindow::registerQuery(const std::string& line, const char* label, bool withChecks) {
  if (bus::queryExchange(gpib_, line, withChecks ? checks() : nullptr)) {
    txtResults->setText(QString::fromLatin1(label) + ui::fromBytes(gpib_.ReplyBuf));
    return true;
  }
  showModbusError(withChecks);
  return false;
}

}  // namespace console
