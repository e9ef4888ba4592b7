// Run, stop and delete the controller's profiles; open the profile generator.
#include <QLineEdit>
#include <QPushButton>

#include "Form.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "Registers.h"

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
    using namespace f4;
    for (auto [reg, value] : {std::pair<int, float>{ProfileNumber, *profile},
                              {StepNumber, 1.0f},
                              {ProfileAction, ProfileActions::Run}})
      g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerWriteLine(reg, value), 1);
    errorRegisterReport(g, txtResults);
  }
  g.Beep();
}

void MainWindow::cmdStop_Click() {
  txtResults->clear();
  gpib_.Send_msg(gpib_.BoardIndex, gpib_.ConverterAddr, bus::registerWriteLine(f4::ProfileStop, 1),
                 1);
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
      write(f4::ProfileNumber, 1);
      write(f4::ProfileAction, f4::ProfileActions::DeleteAll);
    } else {
      write(f4::ProfileNumber, *profile);
      write(f4::StepNumber, 1);
      write(f4::ProfileAction, f4::ProfileActions::Delete);
    }
    write(f4::SaveChanges, 0);
    errorRegisterReport(g, txtResults);
  }
  g.Beep();
}

}  // namespace console
