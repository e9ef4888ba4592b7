#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Collector.h"
#include "DataLog.h"
#include "EventTable.h"
#include "LibraryWindow.h"
#include "MonitorWindow.h"
#include "Plan.h"
#include "Readings.h"
#include "SimulatorPanel.h"
#include "TrendWindow.h"

class QAction;
class QMenu;
class QMenuBar;

namespace bus {
class Clock;
class Observers;
}  // namespace bus
namespace console {
class MainWindow;
}
namespace sim {
class SimulatedBus;
}

namespace extrawindows {

// What sits beside the main window: its menu bar (View, Help), the readings the console makes
// gathered for the trend and the data log, and the extra windows opened from the menu.
class ExtraWindows final : public QObject {
  Q_OBJECT
 public:
  struct Settings {
    bool virtualTime = false;
    QString driverLine{};   // as shown under the main window
    std::string logPath{};  // --log FILE; empty for none
    // The built-in simulator, when the console runs on it: View offers its panel. Every change
    // made there goes into the trace as the script step that makes it.
    sim::SimulatedBus* simulator = nullptr;
    // The file where the extra windows keep their place, size and options between runs; empty
    // for none (a scripted run starts the same way every time).
    QString rememberIn{};
  };

  // Watches the bus through `observers` (it makes no call of its own) on `clock`, and keeps the
  // newest events of `events` for the bus monitor from the start.
  ExtraWindows(console::MainWindow& main, const bus::Clock& clock, bus::Observers& observers,
               trace::Trace& events, Settings settings);
  ~ExtraWindows() override;

  // Opens (creating on first use) and raises the trend window.
  trend::TrendWindow* openTrend();
  monitor::MonitorWindow* openMonitor();
  profilelibrary::LibraryWindow* openLibrary();
  // Opens (creating on first use) and raises the simulator panel; nullptr without a simulator.
  simpanel::SimulatorPanel* openSimulator();
  void showAbout();

  QMenu* viewMenu() const { return view_; }
  const trend::Readings& readings() const { return readings_; }
  trend::DataLog& log() { return log_; }
  trend::TrendWindow* trendWindow() const { return trend_; }
  monitor::EventTable& events() { return events_; }
  // The About text: program, version and driver.
  QString aboutText() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Restores an extra window's place, size and the given options, and keeps them when it hides.
  void remember(QWidget* window, QStringList options);
  void keep(QWidget* window);
  void record(const trend::Record& record);
  void logStopped(const std::string& problem);
  // Draws the set point `profile` plans on the trend, when it is the profile that runs.
  void showPlan(const profilelibrary::Profile& profile);

  console::MainWindow& main_;
  bus::Observers& observers_;
  Settings settings_;
  std::int64_t originEpochMs_;
  trend::Collector collector_;
  trend::Readings readings_;
  trend::DataLog log_;
  QMenuBar* menuBar_ = nullptr;
  QMenu* view_ = nullptr;
  QPointer<trend::TrendWindow> trend_;
  QHash<QWidget*, QStringList> remembered_;
  trace::Trace& trace_;
  // Until the monitor first opens only the newest events are kept, so a console that never
  // opens it keeps its memory flat; from then on the monitor's full buffer.
  static constexpr std::size_t kEventsBeforeMonitor = 1000;
  monitor::EventTable events_{kEventsBeforeMonitor};
  QPointer<monitor::MonitorWindow> monitor_;
  QPointer<simpanel::SimulatorPanel> simulator_;
  QPointer<profilelibrary::LibraryWindow> library_;
  // The profile run last started: which, when (elapsed seconds) and from what temperature.
  struct Run {
    int profile = 0;
    double start = 0;
    double from = 0;
  };
  std::optional<Run> run_;
  trend::Plan plan_;
};

}  // namespace extrawindows
