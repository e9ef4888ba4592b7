#include "ProfileWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Form.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "Registers.h"

namespace profile {

namespace {

using ui::Kind;

constexpr int kClientWidth = 7800;
constexpr int kClientHeight = 6500;

// Every control of the window; positions in twips within their container. Frames come before
// what lies in them.
const ui::ControlSpec kControls[] = {
    {"frmSetProfile", Kind::Frame, "Select ProfileNumber", 240, 120, 2775, 1095},
    {"txtProfile", Kind::TextBox, "", 240, 480, 855, 405, "frmSetProfile"},
    {"cmdSetProfile", Kind::Button, "  Set   Profile", 1320, 360, 1215, 615, "frmSetProfile"},
    {"frmStep", Kind::Frame, "Step Number", 3240, 120, 1695, 1095},
    {"txtStepNum", Kind::TextBox, "", 240, 480, 1095, 405, "frmStep"},
    {"cmdReturn", Kind::Button, "Return to  Main Form", 5760, 360, 1695, 615},
    {"lblProfile", Kind::Label, "", 240, 1320, 7320, 255},
    {"frmGenProfile", Kind::Frame, "Step Generator", 240, 1680, 7320, 3240},
    {"frmStepType", Kind::Frame, "    Step Type", 240, 360, 2295, 1815, "frmGenProfile"},
    {"optStep", Kind::Option, "AutoStart Time", 240, 360, 1935, 255, "frmStepType", 0},
    {"optStep", Kind::Option, "Time", 240, 645, 1935, 255, "frmStepType", 1},
    {"optStep", Kind::Option, "Ramp", 240, 930, 1935, 255, "frmStepType", 2},
    {"optStep", Kind::Option, "Soak", 240, 1215, 1935, 255, "frmStepType", 3},
    {"optStep", Kind::Option, "End", 240, 1500, 1935, 255, "frmStepType", 4},
    {"lblStep", Kind::Label, "Select Step Type", 2760, 360, 4440, 495, "frmGenProfile"},
    {"lblSetTime", Kind::Label, "Enter Start Time", 2760, 960, 4440, 255, "frmGenProfile"},
    {"lblHHMMSS", Kind::Label, "HH        MM       SS", 2820, 1260, 2535, 255, "frmGenProfile"},
    {"txtHH", Kind::TextBox, "", 2760, 1530, 615, 375, "frmGenProfile"},
    {"txtMM", Kind::TextBox, "", 3540, 1530, 615, 375, "frmGenProfile"},
    {"txtSS", Kind::TextBox, "", 4320, 1530, 615, 375, "frmGenProfile"},
    {"cmdSetTime", Kind::Button, "Set ", 5280, 1410, 855, 615, "frmGenProfile"},
    {"lblTemp", Kind::Label, "Enter End Temp", 2760, 2220, 2295, 255, "frmGenProfile"},
    {"txtTemp", Kind::TextBox, "", 2760, 2520, 855, 375, "frmGenProfile"},
    {"cmdSetTemp", Kind::Button, " Set   Temp", 3840, 2490, 855, 615, "frmGenProfile"},
    {"txtResults", Kind::MultiLineTextBox, "", 240, 5040, 7320, 735},
    {"lblDone", Kind::Label, "Profile Completed - Select new profile number or return to main form",
     240, 5880, 7320, 495},
};

// What choosing a step type asks for, by optStep index.
struct StepType {
  float code;  // written to the step type register
  const char* prompt;
  const char* stepEnd;
  const char* presets[3];  // txtHH, txtMM, txtSS
  const char* timeCaption;
};
const StepType kStepTypes[] = {
    {f4::StepTypes::AutoStart,
     "Sets time of day to start profile",
     "Time",
     {"00", "00", "01"},
     "Enter Start Time"},
    {f4::StepTypes::Time,
     "Sets Time and End Point",
     "Temp",
     {"00", "00", "10"},
     "Enter Pause or Ramp Time"},
    {f4::StepTypes::Ramp,
     "Sets Ramp Rate and End Point",
     "Temp",
     {"00", "00", "01"},
     "Set rate in degrees/minute *10"},
    {f4::StepTypes::Soak, "Sets Soak Time", "Time", {"00", "00", "01"}, "Set Soak Time "},
    {f4::StepTypes::End, "Ends Profile", "Time", {nullptr, nullptr, nullptr}, nullptr},
};
constexpr int kAutoStart = 0, kTime = 1, kRamp = 2, kSoak = 3, kEnd = 4;

}  // namespace

ProfileWindow::ProfileWindow(bus::GPIB32& gpib, QWidget* parent) : QDialog(parent), gpib_(gpib) {
  setObjectName("frmCProfile");
  setWindowTitle("Profile Generator Form");
  setFixedSize(ui::twips(kClientWidth), ui::twips(kClientHeight));

  controls_ = ui::buildControls(this, kControls);
  const auto& c = controls_;
  txtResults = ui::controlOf<ui::MultiLineBox>(c, "txtResults");
  frmGenProfile = ui::controlOf<QGroupBox>(c, "frmGenProfile");
  frmStepType = ui::controlOf<QGroupBox>(c, "frmStepType");
  frmStep = ui::controlOf<QGroupBox>(c, "frmStep");
  frmSetProfile = ui::controlOf<QGroupBox>(c, "frmSetProfile");
  cmdSetTemp = ui::controlOf<QPushButton>(c, "cmdSetTemp");
  cmdSetTime = ui::controlOf<QPushButton>(c, "cmdSetTime");
  cmdSetProfile = ui::controlOf<QPushButton>(c, "cmdSetProfile");
  cmdReturn = ui::controlOf<QPushButton>(c, "cmdReturn");
  txtTemp = ui::controlOf<QLineEdit>(c, "txtTemp");
  txtHH = ui::controlOf<QLineEdit>(c, "txtHH");
  txtMM = ui::controlOf<QLineEdit>(c, "txtMM");
  txtSS = ui::controlOf<QLineEdit>(c, "txtSS");
  txtStepNum = ui::controlOf<QLineEdit>(c, "txtStepNum");
  txtProfile = ui::controlOf<QLineEdit>(c, "txtProfile");
  for (int i = 0; i < 5; ++i)
    optStep[i] =
        ui::controlOf<ui::OptionButton>(c, QStringLiteral("optStep(%1)").arg(i).toLatin1());
  lblStep = ui::controlOf<QLabel>(c, "lblStep");
  lblTemp = ui::controlOf<QLabel>(c, "lblTemp");
  lblHHMMSS = ui::controlOf<QLabel>(c, "lblHHMMSS");
  lblSetTime = ui::controlOf<QLabel>(c, "lblSetTime");
  lblProfile = ui::controlOf<QLabel>(c, "lblProfile");
  lblDone = ui::controlOf<QLabel>(c, "lblDone");
  txtResults->setVisible(false);
  txtResults->setReadOnly(true);

  // Enter in an entry box must not press a button behind the operator's back, as a dialog's
  // default button would.
  for (QPushButton* button : {cmdSetTemp, cmdSetTime, cmdSetProfile, cmdReturn}) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }

  connect(cmdSetProfile, &QPushButton::clicked, this, &ProfileWindow::cmdSetProfile_Click);
  connect(cmdReturn, &QPushButton::clicked, this, &ProfileWindow::cmdReturn_Click);
  connect(cmdSetTime, &QPushButton::clicked, this, &ProfileWindow::cmdSetTime_Click);
  connect(cmdSetTemp, &QPushButton::clicked, this, &ProfileWindow::cmdSetTemp_Click);
  for (ui::OptionButton* option : optStep)
    connect(option, &ui::OptionButton::selected, this,
            [this](int index) { optStep_Click(static_cast<std::int16_t>(index)); });

  Form_Load();
}

void ProfileWindow::Form_Load() {
  for (QLineEdit* box : {txtProfile, txtStepNum, txtHH, txtMM, txtSS, txtTemp}) box->clear();
  for (QGroupBox* frame : {frmGenProfile, frmStep, frmStepType}) frame->setEnabled(false);
  for (ui::OptionButton* option : optStep) option->setEnabled(false);
  for (QLabel* label : {lblDone, lblStep, lblTemp, lblHHMMSS, lblSetTime}) label->setVisible(false);
  lblProfile->setText("Enter a profile number and press Set");
  lblProfile->setVisible(true);
  for (QLineEdit* box : {txtHH, txtMM, txtSS, txtTemp}) box->setVisible(false);
  txtStepNum->setEnabled(false);
  cmdSetTemp->setVisible(false);
  cmdSetTime->setVisible(false);
}

// Closing by the window frame or with Escape leaves the window as Return does: hidden, with
// everything kept for the next opening.
void ProfileWindow::reject() { cmdReturn_Click(); }

void ProfileWindow::cmdReturn_Click() {
  hide();
  if (gpib_.observer()) gpib_.observer()->window(objectName().toStdString(), false);
}

void ProfileWindow::write(float reg, float value) {
  gpib_.Send_msg(gpib_.BoardIndex, gpib_.ConverterAddr, bus::registerWriteLine(reg, value), 1);
}

void ProfileWindow::askModbusError() {
  auto& g = gpib_;
  g.Send_msg(g.BoardIndex, g.ConverterAddr, "E?", 1);
  g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
  g.ReplyBuf = bus::trimTrailingBlanks(g.ReplyBuf);
}

void ProfileWindow::reportModbusError() {
  std::string code = gpib_.ReplyBuf;
  if (!code.empty()) code.pop_back();  // the line terminator
  txtResults->setText("Modbus Error " + ui::fromBytes(code));
  txtResults->setVisible(true);
  gpib_.Beep();
}

void ProfileWindow::refuse(const QString& message) {
  txtResults->setText(message);
  txtResults->setVisible(true);
  gpib_.Beep();
}

std::optional<float> ProfileWindow::entryValue(QLineEdit* box, const char* what) {
  const auto value = bus::toSingle(bus::numericValue(ui::toBytes(box->text())));
  if (!value)
    refuse(QString::fromLatin1(what) +
           " entry out of range for a single-precision number: nothing sent");
  return value;
}

void ProfileWindow::cmdSetProfile_Click() {
  auto& g = gpib_;
  txtResults->clear();
  Step = 0;
  txtStepNum->clear();

  // The controller's outputs are set up for a profile on every press, whatever the entry.
  for (auto [reg, value] : f4::kOutputSetup) write(reg, value);

  const QString entry = txtProfile->text();
  const double value = bus::numericValue(ui::toBytes(entry));
  if (entry.isEmpty() || value > 255) {
    refuse("Improper Profile entry, redo");
    return;
  }
  const auto selected = bus::toSingle(value);
  if (!selected) {
    refuse("Profile number out of range for a single-precision number, redo");
    return;
  }
  Profile_num = *selected;

  // Selecting a profile number and then creating makes the controller give the new profile the
  // number it can: reading the selection back tells whether that is the one asked for. The
  // create action (1) is written rather than the number itself, which could be another action.
  write(f4::ProfileNumber, Profile_num);
  write(f4::ProfileAction, f4::ProfileActions::Create);
  g.Send_msg(g.BoardIndex, g.ConverterAddr, bus::registerReadLine(f4::ProfileNumber, 1), 1);
  g.Delay(0.4);
  g.Recv_msg(g.BoardIndex, g.ConverterAddr, g.ReplyBuf, 256);
  g.ReplyBuf = bus::trimTrailingBlanks(g.ReplyBuf);

  const double reported = bus::numericValue(g.ReplyBuf);
  const auto reportedSingle = bus::toSingle(reported);
  if (!reportedSingle || *reportedSingle != Profile_num) {
    const std::string number =
        reportedSingle ? bus::numberText(*reportedSingle) : bus::numberText(reported);
    txtResults->setText("Selected profile not available, F4 reports profile# " +
                        ui::fromBytes(number) + NL + "Return to Main Form and delete profiles");
    txtResults->setVisible(true);
    g.Beep();
    return;
  }

  lblProfile->setVisible(false);
  askModbusError();
  if (bus::numericValue(g.ReplyBuf) != 0) {
    reportModbusError();
    return;
  }
  txtResults->clear();
  txtResults->setVisible(false);
  for (QWidget* control :
       std::initializer_list<QWidget*>{frmGenProfile, frmStepType, frmStep, txtStepNum,
                                       optStep[kAutoStart], optStep[kTime], optStep[kEnd]})
    control->setEnabled(true);
  lblStep->setText("Select AutoStart or Time to start the profile");
  lblStep->setVisible(true);
}

void ProfileWindow::InsertStep(std::int16_t stepNumber) {
  write(f4::StepNumber, stepNumber);
  write(f4::ProfileAction, f4::ProfileActions::InsertStep);
}

void ProfileWindow::optStep_Click(std::int16_t Index) {
  auto& g = gpib_;
  txtResults->setVisible(false);
  if (Index < 0 || Index > 4) return;
  const StepType& type = kStepTypes[Index];

  ++Step;
  lblStep->setText(type.prompt);
  txtStepNum->setText(QString::fromLatin1(Index == kAutoStart ? bus::plainNumberText(Step)
                                                              : bus::numberText(int{Step})));
  StepEnd = type.stepEnd;
  InsertStep(Step);
  write(f4::StepType, type.code);

  const auto askForTime = [&] {
    QLineEdit* boxes[] = {txtHH, txtMM, txtSS};
    for (int i = 0; i < 3; ++i) boxes[i]->setText(QString::fromLatin1(type.presets[i]));
    if (Index == kRamp) {
      txtSS->setVisible(true);
    } else {
      for (QLineEdit* box : boxes) box->setVisible(true);
      lblHHMMSS->setVisible(true);
    }
    lblSetTime->setText(QString::fromLatin1(type.timeCaption));
    lblSetTime->setVisible(true);
    cmdSetTime->setVisible(true);
  };

  switch (Index) {
    case kAutoStart:
      write(f4::AutoStartKind, 1);
      write(f4::AutoStartDay, 0);
      g.Delay(0.4);
      askModbusError();
      if (bus::numericValue(g.ReplyBuf) == 0) {
        askForTime();
        return;
      }
      // The step was not made: the next choice takes the same number again.
      --Step;
      optStep[kAutoStart]->deselect();
      reportModbusError();
      return;
    case kTime:
    case kRamp:
      write(f4::WaitFor, 0);
      askForTime();
      return;
    case kSoak:
      write(f4::WaitFor, 0);
      write(f4::Event1, 0);
      askForTime();
      return;
    default:  // End: the controller's answer cannot stop the profile from being closed
      askModbusError();
      write(f4::EndAction, f4::EndActions::AllOff);
      write(f4::SaveChanges, 0);
      lblDone->setVisible(true);
      return;
  }
}

void ProfileWindow::completeStep() {
  write(f4::SaveChanges, 0);
  for (QWidget* control :
       std::initializer_list<QWidget*>{txtHH, txtMM, txtSS, lblSetTime, lblHHMMSS, cmdSetTime})
    control->setVisible(false);
  lblStep->setText("Select Step Type");
  lblStep->setVisible(true);
}

void ProfileWindow::cmdSetTime_Click() {
  auto& g = gpib_;
  txtResults->setVisible(false);
  const auto hours = entryValue(txtHH, "HH");
  if (!hours) return;
  const auto minutes = entryValue(txtMM, "MM");
  if (!minutes) return;
  const auto seconds = entryValue(txtSS, "SS");
  if (!seconds) return;

  write(f4::StepHours, *hours);
  write(f4::StepMinutes, *minutes);
  write(f4::StepSeconds, *seconds);
  write(f4::Event1, 0);
  write(f4::Event2, 0);
  g.Delay(0.5);
  askModbusError();
  if (bus::numericValue(g.ReplyBuf) != 0) {
    reportModbusError();
    return;
  }

  if (StepEnd == "Time") {
    completeStep();
    optStep[kAutoStart]->deselect();
    optStep[kSoak]->deselect();
    optStep[kRamp]->setEnabled(true);
    optStep[kSoak]->setEnabled(true);
  } else {
    lblTemp->setVisible(true);
    txtTemp->setVisible(true);
    cmdSetTemp->setVisible(true);
    txtTemp->setFocus();
  }
}

void ProfileWindow::cmdSetTemp_Click() {
  auto& g = gpib_;
  txtResults->setVisible(false);
  const auto temperature = entryValue(txtTemp, "Temp");
  if (!temperature) return;

  write(f4::EndTemperature, *temperature);
  write(f4::Event1, 0);
  g.Delay(0.5);
  askModbusError();
  if (bus::numericValue(g.ReplyBuf) != 0) {
    reportModbusError();
    return;
  }

  if (StepEnd == "Temp") {
    completeStep();
    lblTemp->setVisible(false);
    txtTemp->setVisible(false);
    cmdSetTemp->setVisible(false);
    optStep[kTime]->deselect();
    optStep[kRamp]->deselect();
    optStep[kRamp]->setEnabled(true);
    optStep[kSoak]->setEnabled(true);
  }
}

}  // namespace profile
