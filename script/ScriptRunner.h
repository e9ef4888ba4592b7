#pragma once

#include <QHash>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "Clock.h"
#include "GPIB32.h"
#include "Observer.h"
#include "ScriptParser.h"

class QObject;
class QWidget;

namespace console {
class MainWindow;
}
namespace sim {
class SimulatedBus;
}

namespace script {

struct ScriptResult {
  int passed = 0;  // expectations met
  int failed = 0;  // expectations not met, steps that could not be carried out, unreadable lines
  int exitStatus() const { return failed == 0 ? 0 : 1; }
};

// Carries out a script's steps on the console's windows as an operator would, checking what the
// windows show and what crossed the bus. It observes the bus (hand it to GPIB32, alone or with a
// trace) to see the lines sent, the pauses and the beeps that the steps' actions cause.
class ScriptRunner final : public bus::Observer {
 public:
  // Failures and the closing count go to `report`. Takes over the window's exitProgram: an Exit
  // ends the console's part of the script instead of the process.
  ScriptRunner(console::MainWindow& window, bus::GPIB32& gpib, std::ostream& report);
  ~ScriptRunner() override;

  // The built-in simulator, for the `sim` steps; without one they fail.
  void setSimulator(sim::SimulatedBus* simulator) { simulator_ = simulator; }
  // Runs on virtual time: a wait advances `clock` while the runner ticks the window's timer
  // itself. Without a clock, waits run the real event loop.
  void setVirtualClock(bus::VirtualClock* clock);

  // Told of each step just before it runs (for a trace).
  std::function<void(int line, const std::string& source)> stepStarting;

  ScriptResult run(std::string_view script);

  // Whether Exit (or closing the main window) has ended the console.
  bool ended() const { return ended_; }

  void driverCall(const bus::Call& call) override;
  void pause(double seconds) override;
  void beep() override;

  // The whole file; empty when it cannot be read.
  static std::optional<std::string> readFile(const std::string& path);

 private:
  struct Window {
    QWidget* widget;
    const QHash<QString, QWidget*>* controls;
  };
  // The modal window while one is shown, else the main window.
  Window activeWindow() const;
  QWidget* findInWindow(const std::string& name, std::string& problem) const;
  // The control `name` names in the active window; nullptr with `problem` set when none.
  QWidget* find(const std::string& name, std::string& problem) const;
  // Empty when the operator could act on `control`, else why not.
  static std::string unusable(const std::string& name, const QWidget* control);

  // Each returns the failure, empty when the step passed.
  std::string perform(const Step& step);
  std::string act(const Step& step);
  std::string expectControl(const Step& step);
  std::string expectTraffic(const Step& step);
  std::string simulate(const Step& step);
  void wait(double seconds);
  void settle();

  console::MainWindow& window_;
  bus::GPIB32& gpib_;
  std::ostream& report_;
  sim::SimulatedBus* simulator_ = nullptr;
  bus::VirtualClock* virtualClock_ = nullptr;
  std::unique_ptr<QObject> timerGate_;

  std::deque<std::string> sent_;
  std::deque<double> pauses_;
  int beeps_ = 0;
  bool ended_ = false;
  // Only what the steps' own actions cause goes into the queues and the beep count. The live
  // displays' polling while a wait runs (or, on real time, whenever the event loop turns) would
  // bury it under a number of lines that depends on timing; the trace still shows all of it.
  bool acting_ = false;
};

}  // namespace script
