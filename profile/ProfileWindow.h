#pragma once

#include <QDialog>
#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "GPIB32.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class MultiLineBox;
class OptionButton;
}  // namespace ui

namespace profile {

// The profile generator: selects a profile number in the controller and builds it step by step.
// Created on the first "Create  Profile" and only hidden afterwards, so it keeps its state
// between openings.
class ProfileWindow final : public QDialog {
  Q_OBJECT
 public:
  explicit ProfileWindow(bus::GPIB32& gpib, QWidget* parent = nullptr);

  // A control by name ("cmdSetTime", "optStep(2)").
  QWidget* control(const QString& name) const { return controls_.value(name); }
  const QHash<QString, QWidget*>& controls() const { return controls_; }

  // Window-level variables.
  const QString NL = QStringLiteral("\r\n");
  std::int16_t Step = 0;  // number of the step being built in the selected profile
  std::string StepEnd;  // "Time": the time entry completes the step; "Temp": a temperature follows
  float Profile_num = 0;  // the profile selected with cmdSetProfile

  // Event handlers and the window's routines.
  void Form_Load();
  void cmdSetProfile_Click();
  void cmdReturn_Click();
  void optStep_Click(std::int16_t Index);
  void InsertStep(std::int16_t stepNumber);
  void cmdSetTime_Click();
  void cmdSetTemp_Click();

  void reject() override;

  // Controls.
  ui::MultiLineBox* txtResults;
  QGroupBox *frmGenProfile, *frmStepType, *frmStep, *frmSetProfile;
  QPushButton *cmdSetTemp, *cmdSetTime, *cmdSetProfile, *cmdReturn;
  QLineEdit *txtTemp, *txtHH, *txtMM, *txtSS, *txtStepNum, *txtProfile;
  ui::OptionButton* optStep[5];
  QLabel *lblStep, *lblTemp, *lblHHMMSS, *lblSetTime, *lblProfile, *lblDone;

 private:
  void write(float reg, float value);
  // Asks the converter for its Modbus error register; the trimmed answer is left in ReplyBuf.
  void askModbusError();
  // "Modbus Error " and the answer without its terminator, in a visible txtResults, a beep.
  void reportModbusError();
  // An entry that cannot be sent: the message in a visible txtResults, a beep.
  void refuse(const QString& message);
  // The value of an entry box as it goes on the wire; refused (and empty) when it does not fit.
  std::optional<float> entryValue(QLineEdit* box, const char* what);
  // After the entry that completes a step: save the edit and ask for the next step type.
  void completeStep();

  bus::GPIB32& gpib_;
  QHash<QString, QWidget*> controls_;
};

}  // namespace profile
