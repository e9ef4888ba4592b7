// Bus initialisation and discovery of the converter and the controller behind it.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Form.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "Registers.h"

namespace console {

namespace {
constexpr std::int16_t kWatlowF4 = 5270;
const char* const kSupportedConverters[] = {"5620", "5630", "5690"};
}  // namespace

void MainWindow::cmdInitialize_Click() {
  auto& g = gpib_;
  FirstTimeFlg = 0;

  // Take the bus: interface clear, remote enable, a 1 s time-out. A failure ends the attempt.
  g.SendIFC(g.BoardIndex);
  if (bus::busErrorDisplay(g, "SendIFC Error", *this)) return void(FirstTimeFlg = 1);
  g.ibsre(g.BoardIndex, 1);
  if (bus::busErrorDisplay(g, "ibsre Error", *this)) return void(FirstTimeFlg = 1);
  g.ibtmo(g.BoardIndex, 11);
  if (bus::busErrorDisplay(g, "ibtmo Error", *this)) return void(FirstTimeFlg = 1);
  cmd488_2Cmds->setEnabled(true);

  // Who is at the converter's address? The driver's time-out bounds the wait.
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "*IDN?", 1);
  g.ReplyBuf.assign(80, ' ');
  g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
  bool supported = false;
  for (const char* model : kSupportedConverters)
    supported = supported || g.ReplyBuf.find(model) != std::string::npos;

  if (!supported) {
    txtResults->setText("Did not find an Orvane Modbus Controller" + NL +
                        "Check connections and retry");
    lblCmdResponse->setVisible(true);
  } else {
    txtResults->setText("IDN = " + ui::fromBytes(g.ReplyBuf));
    g.Send_msg(g.BoardIndex, g.ConverterAddr, "*ESE 255;*SRE 32", 1);
    txtOutput->clear();
    lblOutput->setVisible(true);
    lblReg->setVisible(true);
    lblCmdResponse->setVisible(true);
    txtOutput->setEnabled(true);
    txtReg->setEnabled(true);
    frmCmdNum->setEnabled(true);
    frmFormat->setEnabled(true);
    // Selecting runs the options' own actions: the assembler reads, the converter talks ASCII.
    optCmdRead->select();
    optCmdWrt->deselect();
    optDecimal->select();
    optHex->deselect();
    ReadModel();

    if (g.ModelNumber == kWatlowF4) {
      for (QWidget* control : std::initializer_list<QWidget*>{
               cmdRdErr,      cmdRdModel, cmdRdSN,   cmdRdSoft, cmdRdRev, cmdRdDate,    cmdRdSetPt,
               cmdESR,        cmdStatic,  cmdRdTemp, cmdSend,   cmdClr,   cmdRdTemp2,   cmdRdTime,
               cmdRunProfile, cmdStop,    cmdDelete, cmdCreate, cmdSetPt, cmdStopSetPt, optDecimal,
               optHex,        optCmdRead, optCmdWrt, frmFormat, frmCmdNum})
        control->setEnabled(true);
      lblReg->setVisible(true);
      lblOutput->setVisible(true);
      txtOutput->setEnabled(true);
      txtReg->setEnabled(true);
      txtResults->setText("Found F4 Watlow Controller");
      optUnits[0]->setEnabled(true);
      optUnits[1]->setEnabled(true);

      // The unit the controller works in; FirstTimeFlg = 0 keeps the selection from writing it.
      g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerReadLine(f4::Unit, 1), 1);
      g.Delay(0.1);
      g.ReplyBuf.assign(10, ' ');
      g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
      g.ReplyBuf = bus::trimTrailingBlanks(g.ReplyBuf);
      optUnits[bus::numericValue(g.ReplyBuf) == 0 ? 0 : 1]->select();
      FirstTimeFlg = 1;
      return;
    }
    txtResults->setText("Found unexpected Modbus device = " +
                        QString::fromStdString(bus::numberText(static_cast<int>(g.ModelNumber))));
    lblCmdResponse->setVisible(true);
  }
  g.Beep();
  FirstTimeFlg = 1;
}

void MainWindow::ReadModel() {
  if (!bus::queryExchange(gpib_, bus::registerReadLine(f4::Model, 1), checks())) {
    showModbusError(true);  // ModelNumber keeps its former value
    return;
  }
  txtResults->setText("Model# = " + ui::fromBytes(gpib_.ReplyBuf));
  const double value = bus::numericValue(gpib_.ReplyBuf);
  if (auto model = bus::toInt16(value)) {
    gpib_.ModelNumber = *model;
  } else {
    // ModelNumber is a 16-bit number: keep the last one rather than store nonsense.
    showError("Model number out of range (-32768 to 32767): " + gpib_.ReplyBuf);
  }
}

}  // namespace console
