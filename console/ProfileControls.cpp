// Run, stop and delete the controller's profiles; open the profile generator.
#include <QLineEdit>
#include <QPushButton>

#include "Form.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"

namespace console {

namespace {

// Shows the converter's Modbus error register after a profile action, whatever it says.
void errorRegisterReport(bus::GPIB32& g, ui::MultiLineBox* results) {
  g.Delay(0.3);
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "E?", 1);
  g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
  g.ReplyBuf = bus::trimTrailingBlanks(g.ReplyBuf);
  if (!g.ReplyBuf.empty()) g.ReplyBuf.pop_back();  // the line terminator
  results->setText("Modbus Error " + ui::fromBytes(g.ReplyBuf));
}

}  // namespace

std::optional<float> MainWindow::acceptedProfileEntry() {
  const QString text = txtProfile->text();
  const double value = bus::numericValue(ui::toBytes(text));
  if (text.isEmpty() || value > 255) {
    txtResults->setText("Improper Profile entry, redo");
    return std::nullopt;
  }
  const auto single = bus::toSingle(value);
  if (!single) showError("Profile number out of range for a single-precision number: nothing sent");
  return single;
}

void MainWindow::cmdRunProfile_Click() {
  auto& g = gpib_;
  txtResults->clear();
  if (const auto profile = acceptedProfileEntry()) {
    for (auto [reg, value] : {std::pair{4000.0f, *profile}, {4001.0f, 1.0f}, {4002.0f, 5.0f}})
      g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerWriteLine(reg, value), 1);
    errorRegisterReport(g, txtResults);
  }
  g.Beep();
}

void MainWindow::cmdStop_Click() {
  txtResults->clear();
  gpib_.Send_msg(gpib_.BoardIndex, gpib_.ConverterAddr, bus::registerWriteLine(1217, 1), 1);
}

void MainWindow::cmdDelete_Click() {
  cmdConfirm->setVisible(true);
  cmdConfirm->setEnabled(true);
  txtResults->clear();
}

void MainWindow::cmdConfirm_Click() {
  auto& g = gpib_;
  txtResults->clear();
  cmdConfirm->setEnabled(false);
  cmdConfirm->setVisible(false);
  if (const auto profile = acceptedProfileEntry()) {
    auto write = [&](float reg, float value) {
      g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerWriteLine(reg, value), 1);
    };
    if (txtProfile->text().toUpper() == "ALL") {
      write(4000, 1);
      write(4002, 255);
    } else {
      write(4000, *profile);
      write(4001, 1);
      write(4002, 3);
    }
    write(25, 0);
    errorRegisterReport(g, txtResults);
  }
  g.Beep();
}

}  // namespace console
