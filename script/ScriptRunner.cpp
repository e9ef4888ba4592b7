#include "ScriptRunner.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>

#include "Form.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "ProfileWindow.h"
#include "QuotedText.h"
#include "SetupWindow.h"
#include "SimulatedBus.h"

namespace script {

namespace {

// On virtual time the runner is the only source of ticks: a tick of the real timer would make
// the window talk to the bus while no simulated time passes.
class TimerGate final : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer; }
};

// How much of a script line, and of what a failed step met, a report repeats.
constexpr std::size_t kQuotedLine = 160;
constexpr std::size_t kQuotedFailure = 1000;

std::string quote(const std::string& bytes) { return "\"" + bus::escapeBytes(bytes) + "\""; }

bool isExpectation(StepKind kind) {
  switch (kind) {
    case StepKind::ExpectText:
    case StepKind::ExpectState:
    case StepKind::ExpectBeeps:
    case StepKind::ExpectSent:
    case StepKind::ExpectSentNone:
    case StepKind::ExpectPause:
      return true;
    default:
      return false;
  }
}

bool needsWindow(StepKind kind) {
  switch (kind) {
    case StepKind::Click:
    case StepKind::Select:
    case StepKind::Type:
    case StepKind::Key:
    case StepKind::Close:
    case StepKind::Open:
    case StepKind::ExpectText:
    case StepKind::ExpectState:
    case StepKind::Wait:
      return true;
    default:
      return false;
  }
}

bool isTextBox(const QWidget* control) {
  return qobject_cast<const QLineEdit*>(control) || qobject_cast<const ui::MultiLineBox*>(control);
}

bool readOnly(const QWidget* control) {
  if (auto* box = qobject_cast<const QLineEdit*>(control)) return box->isReadOnly();
  if (auto* box = qobject_cast<const ui::MultiLineBox*>(control)) return box->isReadOnly();
  return false;
}

// Ticks between event-loop turns while virtual time runs: often enough for the windows to
// repaint and tidy up, rarely enough not to slow a long wait.
constexpr int kTicksPerTurn = 250;

}  // namespace

ScriptRunner::ScriptRunner(console::MainWindow& window, bus::GPIB32& gpib, std::ostream& report)
    : window_(window), gpib_(gpib), report_(report) {
  window_.exitProgram = [this] { ended_ = true; };
}

ScriptRunner::~ScriptRunner() {
  if (timerGate_) window_.Timer1->removeEventFilter(timerGate_.get());
}

void ScriptRunner::setVirtualClock(bus::VirtualClock* clock) {
  virtualClock_ = clock;
  if (clock && !timerGate_) {
    timerGate_ = std::make_unique<TimerGate>();
    window_.Timer1->installEventFilter(timerGate_.get());
  } else if (!clock && timerGate_) {
    window_.Timer1->removeEventFilter(timerGate_.get());
    timerGate_.reset();
  }
}

std::optional<std::string> ScriptRunner::readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return text.str();
}

void ScriptRunner::driverCall(const bus::Call& call) {
  if (acting_ && call.routine == bus::Routine::Send) sent_.push_back(call.sent);
}

void ScriptRunner::pause(double seconds) {
  if (acting_) pauses_.push_back(seconds);
}

void ScriptRunner::beep() {
  if (acting_) ++beeps_;
}

ScriptResult ScriptRunner::run(std::string_view script) {
  ScriptResult result;
  settle();
  for (const ScriptLine& line : parseScript(script)) {
    if (stepStarting) stepStarting(line.number, line.source);
    std::string failure = line.error;
    if (line.step) {
      failure = perform(*line.step);
      settle();
    }
    if (!failure.empty()) {
      ++result.failed;
      // The line and what the step met are repeated as printable text: a script of odd bytes
      // must not reach the operator's terminal raw.
      report_ << "line " << line.number << ": " << bus::printableText(line.source, kQuotedLine)
              << ": " << bus::printableText(failure, kQuotedFailure) << "\n";
    } else if (isExpectation(line.step->kind)) {
      ++result.passed;
    }
  }
  report_ << result.passed << " passed, " << result.failed << " failed\n" << std::flush;
  return result;
}

void ScriptRunner::settle() {
  QCoreApplication::processEvents();
  // A window closed by its frame goes only when its deletion is delivered.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::string ScriptRunner::perform(const Step& step) {
  if (ended_ && needsWindow(step.kind)) return "the console has exited";
  switch (step.kind) {
    case StepKind::Click:
    case StepKind::Select:
    case StepKind::Type:
    case StepKind::Key:
    case StepKind::Close:
    case StepKind::Open: {
      acting_ = true;
      std::string failure = act(step);
      acting_ = false;
      return failure;
    }
    case StepKind::ExpectText:
    case StepKind::ExpectState:
      return expectControl(step);
    case StepKind::ExpectBeeps:
    case StepKind::ExpectSent:
    case StepKind::ExpectSentNone:
    case StepKind::ExpectPause:
      return expectTraffic(step);
    case StepKind::Wait:
      wait(step.seconds);
      return {};
    default:
      return simulate(step);
  }
}

ScriptRunner::Window ScriptRunner::activeWindow() const {
  if (auto* setup = window_.setupWindow(); setup && setup->isVisible())
    return {setup, &setup->controls()};
  if (auto* profile = window_.profileWindow(); profile && profile->isVisible())
    return {profile, &profile->controls()};
  return {&window_, &window_.controls()};
}

// WINDOW.NAME: a control of an extra window (trend, ...), which must be open.
QWidget* ScriptRunner::findInWindow(const std::string& name, std::string& problem) const {
  const std::size_t dot = name.find('.');
  const QString window = QString::fromStdString(name.substr(0, dot));
  const QString control = QString::fromStdString(name.substr(dot + 1));
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() != window || !top->isVisible()) continue;
    if (auto* found = top->findChild<QWidget*>(control)) return found;
    problem = "no control " + control.toStdString() + " in " + window.toStdString();
    return nullptr;
  }
  problem =
      "the window " + window.toStdString() + " is not open (open " + window.toStdString() + ")";
  return nullptr;
}

QWidget* ScriptRunner::find(const std::string& name, std::string& problem) const {
  if (name.find('.') != std::string::npos) return findInWindow(name, problem);
  const Window active = activeWindow();
  const QString key = QString::fromStdString(name);
  QWidget* control = active.controls->value(key);
  const std::string where = active.widget->objectName().toStdString();
  if (!control) {
    problem = "no control " + name + " in " + where;
    return nullptr;
  }
  if (!key.contains('(') && qobject_cast<QRadioButton*>(control)) {
    // A bare name stands for an array's element only when the array has no other.
    QStringList elements;
    for (auto it = active.controls->begin(); it != active.controls->end(); ++it)
      if (it.key().startsWith(key + '(')) elements << it.key();
    if (elements.size() > 1) {
      elements.sort();
      problem = name + " in " + where + " is a control array: name one element, e.g. " +
                elements.front().toStdString();
      return nullptr;
    }
  }
  return control;
}

std::string ScriptRunner::unusable(const std::string& name, const QWidget* control) {
  if (!control->isVisibleTo(control->window())) return name + " is hidden";
  if (!control->isEnabled()) return name + " is disabled";
  return {};
}

std::string ScriptRunner::act(const Step& step) {
  if (step.kind == StepKind::Close) {
    activeWindow().widget->close();
    return {};
  }
  if (step.kind == StepKind::Open) {
    // The main window's menu entry that opens the window: actTrend for "trend".
    std::string action = "act" + step.name;
    action[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(action[3])));
    auto* entry = window_.findChild<QAction*>(QString::fromStdString(action));
    if (!entry) return "no menu entry opens " + step.name;
    if (!entry->isEnabled()) return "the menu entry for " + step.name + " is disabled";
    entry->trigger();
    return {};
  }
  std::string problem;
  QWidget* control = find(step.name, problem);
  if (!control) return problem;
  switch (step.kind) {
    case StepKind::Click: {
      QAbstractButton* button = qobject_cast<QPushButton*>(control);
      if (!button) button = qobject_cast<QCheckBox*>(control);
      if (!button) return step.name + " is not a button";
      if (auto why = unusable(step.name, control); !why.empty()) return why;
      button->click();
      return {};
    }
    case StepKind::Select: {
      auto* option = qobject_cast<QRadioButton*>(control);
      if (!option) return step.name + " is not an option button";
      if (auto why = unusable(step.name, control); !why.empty()) return why;
      option->click();
      return {};
    }
    case StepKind::Type: {
      if (!isTextBox(control)) return step.name + " is not a text box";
      if (auto why = unusable(step.name, control); !why.empty()) return why;
      if (readOnly(control)) return step.name + " is read-only";
      ui::setTextOf(control, ui::fromBytes(step.text));
      return {};
    }
    case StepKind::Key: {
      if (!isTextBox(control)) return step.name + " is not a text box";
      if (auto why = unusable(step.name, control); !why.empty()) return why;
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
      QApplication::sendEvent(control, &press);
      QApplication::sendEvent(control, &release);
      return {};
    }
    default:
      return "not an action";
  }
}

std::string ScriptRunner::expectControl(const Step& step) {
  std::string problem;
  QWidget* control = find(step.name, problem);
  if (!control) return problem;
  if (step.kind == StepKind::ExpectText) {
    const std::string actual = ui::toBytes(ui::textOf(control));
    if (actual == step.text) return {};
    return "expected " + quote(step.text) + ", actual " + quote(actual);
  }
  ControlState actual = step.state;
  switch (step.state) {
    case ControlState::Visible:
    case ControlState::Hidden:
      actual =
          control->isVisibleTo(control->window()) ? ControlState::Visible : ControlState::Hidden;
      break;
    case ControlState::Enabled:
    case ControlState::Disabled:
      actual = control->isEnabled() ? ControlState::Enabled : ControlState::Disabled;
      break;
    case ControlState::Selected:
    case ControlState::Unselected: {
      auto* option = qobject_cast<QAbstractButton*>(control);
      if (!option || !option->isCheckable()) return step.name + " is not an option button";
      actual = option->isChecked() ? ControlState::Selected : ControlState::Unselected;
      break;
    }
  }
  if (actual == step.state) return {};
  return std::string("expected ") + stateName(step.state) + ", actual " + stateName(actual);
}

std::string ScriptRunner::expectTraffic(const Step& step) {
  switch (step.kind) {
    case StepKind::ExpectBeeps: {
      const int actual = std::exchange(beeps_, 0);
      if (actual == step.number) return {};
      return "expected " + std::to_string(step.number) + ", actual " + std::to_string(actual);
    }
    case StepKind::ExpectSent: {
      if (sent_.empty()) return "expected " + quote(step.text) + ", actual none";
      const std::string actual = std::move(sent_.front());
      sent_.pop_front();
      if (actual == step.text) return {};
      return "expected " + quote(step.text) + ", actual " + quote(actual);
    }
    case StepKind::ExpectSentNone: {
      if (sent_.empty()) return {};
      // Forget the unchecked lines, so that one miss does not fail every later check.
      std::string actual = quote(sent_.front());
      if (sent_.size() > 1) actual += " and " + std::to_string(sent_.size() - 1) + " more";
      sent_.clear();
      return "expected none, actual " + actual;
    }
    case StepKind::ExpectPause: {
      const std::string expected = bus::plainNumberText(step.seconds);
      if (pauses_.empty()) return "expected " + expected + ", actual none";
      const double actual = pauses_.front();
      pauses_.pop_front();
      if (std::abs(actual - step.seconds) <= 1e-9) return {};
      return "expected " + expected + ", actual " + bus::plainNumberText(actual);
    }
    default:
      return "not an expectation";
  }
}

std::string ScriptRunner::simulate(const Step& step) {
  if (!simulator_) return "sim steps need the built-in simulator (--simulate)";
  sim::SimulatedBus& s = *simulator_;
  switch (step.kind) {
    case StepKind::SimPresent:
      s.setConverterPresent(step.flag);
      break;
    case StepKind::SimSilent:
      s.setConverterSilent(step.flag);
      break;
    case StepKind::SimModbusError:
      s.failNextTransactions(static_cast<int>(step.count), static_cast<int>(step.number));
      break;
    case StepKind::SimRegister:
      s.setRegisterValue(static_cast<int>(step.number), static_cast<std::uint16_t>(step.value));
      break;
    case StepKind::SimRegisterNone:
      s.setRegisterSilent(static_cast<int>(step.number));
      break;
    case StepKind::SimReply:
      s.setNextReply(step.text);
      break;
    case StepKind::SimIdentity:
      s.setIdentity(step.text);
      break;
    case StepKind::SimBaud:
      s.setControllerBaud(static_cast<int>(step.number));
      break;
    case StepKind::SimClock:
      s.controller().setTimeOfDay(static_cast<double>(step.number));
      break;
    case StepKind::SimModel:
      s.converter().setModel(step.text);
      break;
    case StepKind::SimAmbient:
      s.controller().setAmbient(step.degrees.at(0));
      break;
    case StepKind::SimRates:
      s.controller().setRates(step.degrees.at(0), step.degrees.at(1), step.degrees.at(2));
      break;
    case StepKind::SimPowerCycle:
      s.converter().powerCycle();
      break;
    case StepKind::SimRegisterOk:
      s.clearRegisterFault(static_cast<int>(step.number));
      break;
    case StepKind::SimChamber:
      s.controller().setChamberModel(step.flag ? sim::Chamber::Model::Linear
                                               : sim::Chamber::Model::Thermal);
      break;
    case StepKind::SimPlant: {
      const std::vector<double>& d = step.degrees;
      s.controller().setPlant({d.at(0), d.at(1), d.at(2), d.at(3), d.at(4)});
      break;
    }
    case StepKind::SimLoop:
      s.controller().setLoop({step.degrees.at(0), step.degrees.at(1), step.degrees.at(2)});
      break;
    case StepKind::SimLatency:
      s.converter().setLatency(step.seconds);
      break;
    case StepKind::SimLink:
      s.converter().setPaced(step.flag);
      break;
    default:
      return "not a sim step";
  }
  return {};
}

void ScriptRunner::wait(double seconds) {
  if (!virtualClock_) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::lround(seconds * 1000)), &loop, &QEventLoop::quit);
    loop.exec();
    return;
  }
  bus::VirtualClock& clock = *virtualClock_;
  const double interval = std::max(1, window_.Timer1->interval()) / 1000.0;
  const double end = clock.now() + seconds;
  for (int tick = 1; clock.now() < end - 1e-9 && !ended_; ++tick) {
    const double next = clock.now() + interval;
    if (window_.Timer1->isActive()) window_.Timer1_Timer();
    // A tick that took longer than the interval (a time-out) is followed at once by the next.
    if (clock.now() < next) clock.sleepFor(std::min(next, end) - clock.now());
    if (tick % kTicksPerTurn == 0) settle();
  }
}

}  // namespace script
