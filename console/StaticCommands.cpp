// The controller as a thermostat: outputs, set point, unit, and the live displays.
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "Form.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "Registers.h"

namespace console {

namespace {
const char* const kSetPointTooLarge =
    "Set point out of range for a single-precision number: nothing sent";
}

void MainWindow::cmdSetPt_Click() {
  auto& g = gpib_;
  txtResults->clear();
  const QString entry = txtSetPt->text();
  if (entry.isEmpty()) {
    txtResults->setText("Improper Set Point data entry, " + NL + "Enter a numeric value or 'OFF' ");
    g.Beep();
    return;
  }
  std::optional<float> value;
  QString result;
  if (entry.toUpper() == "OFF") {
    value = bus::toSingle(Setpointoff.value_or(0));
    result = "SetPoint 1 set OFF";
  } else {
    value = bus::toSingle(bus::numericValue(ui::toBytes(entry)));
    result = "SetPoint 1 set to " + entry;
  }
  if (!value) return refuse(kSetPointTooLarge);
  txtResults->setText(result);
  g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerWriteLine(f4::SetPoint, *value), 1);
}

void MainWindow::cmdStopSetPt_Click() {
  auto& g = gpib_;
  txtResults->clear();
  const auto value = bus::toSingle(Setpointoff.value_or(0));
  if (!value) return refuse(kSetPointTooLarge);
  txtResults->setText("SetPoint 1 set OFF");
  g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerWriteLine(f4::SetPoint, *value), 1);
}

void MainWindow::cmdStatic_Click() {
  auto& g = gpib_;
  // Output 1A heats, 1B cools, 2 degrees of hysteresis.
  for (auto [reg, value] : f4::kOutputSetup)
    g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerWriteLine(reg, value), 1);
  txtResults->setText("Output 1A set for heat, Output 1B set for cooling" + NL +
                      "Hystersis set to 2 degrees");
  lblCmdResponse->setVisible(true);
  // The set point is "off" one below the controller's low limit.
  if (bus::queryExchange(g, bus::registerReadLine(f4::LowLimit, 1)))
    Setpointoff = bus::numericValue(g.ReplyBuf) - 1;
  else
    showModbusError(false);
}

void MainWindow::optUnits_Click(int index) {
  if (FirstTimeFlg != 1) return;
  gpib_.Send_msg(gpib_.BoardIndex, gpib_.ConverterAddr,
                 bus::registerWriteLine(f4::Unit, static_cast<float>(index)), 1);
}

void MainWindow::cmdRdTemp2_Click() {
  txtResults->clear();
  if (!Timer1->isActive()) Timer1->start();
  TempRdFlag = TempRdFlag == 0 ? 1 : 0;
  ui::setBackground(txtTemp, TempRdFlag ? kDisplayOn : kDisplayOff);
}

void MainWindow::cmdRdTime_Click() {
  txtResults->clear();
  if (!Timer1->isActive()) Timer1->start();
  TimeRdFlag = TimeRdFlag == 0 ? 1 : 0;
  ui::setBackground(txtTime, TimeRdFlag ? kDisplayOn : kDisplayOff);
}

void MainWindow::Timer1_Timer() {
  // With both displays off the tick has nothing to do: the timer rests until a display button
  // starts it again.
  if (TempRdFlag == 0 && TimeRdFlag == 0) {
    Timer1->stop();
    return;
  }
  if (TempRdFlag != 0) {
    if (bus::queryExchange(gpib_, bus::registerReadLine(f4::Temperature, 1)))
      txtTemp->setText(ui::fromBytes(gpib_.ReplyBuf));
    else
      showModbusError(false);
  }
  if (TimeRdFlag != 0) {
    if (bus::queryExchange(gpib_, bus::registerReadLine(f4::TimeOfDay, 3)))
      txtTime->setText(ui::fromBytes(gpib_.ReplyBuf));
    else
      showModbusError(false);
  }
}

}  // namespace console
