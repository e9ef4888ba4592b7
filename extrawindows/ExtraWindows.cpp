#include "ExtraWindows.h"

#include <QAbstractButton>
#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QSettings>
#include <iostream>

#include "Form.h"
#include "MainWindow.h"
#include "Observers.h"
#include "TrendWindow.h"

namespace extrawindows {

ExtraWindows::ExtraWindows(console::MainWindow& main, const bus::Clock& clock,
                     bus::Observers& observers, trace::Trace& events, Settings settings)
    : main_(main),
      observers_(observers),
      settings_(std::move(settings)),
      originEpochMs_(QDateTime::currentMSecsSinceEpoch()),
      collector_(clock),
      log_(settings_.virtualTime
               ? std::function<std::string(double)>()
               : [origin = originEpochMs_](double elapsed) {
                   return trend::isoLocalTime(origin + static_cast<std::int64_t>(elapsed * 1000));
                 }),
      trace_(events) {
  observers_.add(&collector_);
  events.addSink([this](const trace::Event& event) { events_.add(event); });
  collector_.addListener([this](const trend::Record& r) { record(r); });
  log_.stopped = [this](const std::string& problem) { logStopped(problem); };
  if (!settings_.logPath.empty() && !log_.open(settings_.logPath))
    std::cerr << "gpib-modbus-console: " << log_.problem() << "; the console runs without it\n";

  menuBar_ = new QMenuBar;
  menuBar_->setObjectName("mnuBar");
  view_ = menuBar_->addMenu("&View");
  view_->setObjectName("mnuView");
  QAction* trend = view_->addAction("Temperature &Trend", this, [this] { openTrend(); });
  trend->setObjectName("actTrend");
  trend->setShortcut(QKeySequence("Ctrl+T"));
  QAction* monitor = view_->addAction("&Bus Monitor", this, [this] { openMonitor(); });
  monitor->setObjectName("actMonitor");
  monitor->setShortcut(QKeySequence("Ctrl+M"));
  QAction* library = view_->addAction("&Profile Library", this, [this] { openLibrary(); });
  library->setObjectName("actLibrary");
  library->setShortcut(QKeySequence("Ctrl+L"));
  if (settings_.simulator) {
    QAction* simulator = view_->addAction("&Simulator", this, [this] { openSimulator(); });
    simulator->setObjectName("actSimulator");
    simulator->setShortcut(QKeySequence("Ctrl+K"));
  }
  QMenu* help = menuBar_->addMenu("&Help");
  help->setObjectName("mnuHelp");
  help->addAction("&About", this, [this] { showAbout(); })->setObjectName("actAbout");
  ui::placeMenuBar(&main_, menuBar_);
}

ExtraWindows::~ExtraWindows() {
  observers_.remove(&collector_);
  for (QWidget* window : remembered_.keys())
    if (window->isVisible()) keep(window);
  delete trend_.data();
  delete monitor_.data();
  delete simulator_.data();
  delete library_.data();
}

void ExtraWindows::record(const trend::Record& r) {
  readings_.add(r);
  log_.write(r);
  if (r.event == trend::EventKind::ProfileRun) {
    // The plan starts where the chamber is when the run starts.
    run_ = Run{r.profile, r.elapsed, r.temperature.value_or(r.setPoint.value_or(0.0))};
    if (library_)
      if (const auto it = library_->readBack().find(r.profile); it != library_->readBack().end())
        showPlan(it->second);
  }
  if (trend_) trend_->changed();
}

void ExtraWindows::showPlan(const profilelibrary::Profile& profile) {
  if (!run_ || profile.number != run_->profile || profile.number == 0) return;
  trend::Plan plan{profile.number, {}, {}};
  for (const profilelibrary::PlanPoint& p : profilelibrary::plannedCurve(profile, run_->from)) {
    if (plan.stepStarts.empty() || plan.stepStarts.back().second != p.step)
      plan.stepStarts.push_back({run_->start + p.seconds, p.step});
    plan.points.push_back({run_->start + p.seconds, p.setPoint});
  }
  plan_ = std::move(plan);
  if (trend_) trend_->setPlan(plan_);
}

void ExtraWindows::logStopped(const std::string& problem) {
  std::cerr << "gpib-modbus-console: " << problem << "\n";
  if (trend_) trend_->logStopped();
}

trend::TrendWindow* ExtraWindows::openTrend() {
  if (!trend_) {
    trend_ = new trend::TrendWindow(readings_, log_, {settings_.virtualTime, originEpochMs_});
    remember(trend_, {"optSpan1m", "optSpan10m", "optSpan1h", "optSpanAll", "chkFollow"});
  }
  trend_->setPlan(plan_);
  trend_->show();
  trend_->raise();
  trend_->redraw();
  return trend_;
}

monitor::MonitorWindow* ExtraWindows::openMonitor() {
  if (!monitor_) {
    events_.setCapacity(monitor::EventTable::kCapacity);
    monitor_ = new monitor::MonitorWindow(events_);
    remember(monitor_, {"chkCalls", "chkData", "chkModbus", "chkConsole", "chkSim", "chkFollow"});
  }
  monitor_->show();
  monitor_->raise();
  return monitor_;
}

profilelibrary::LibraryWindow* ExtraWindows::openLibrary() {
  if (!library_) {
    library_ = new profilelibrary::LibraryWindow(main_.gpib());
    // A running profile read back shows its plan on the trend.
    library_->profileRead = [this](const profilelibrary::Profile& p) { showPlan(p); };
    remember(library_, {});
  }
  library_->show();
  library_->raise();
  return library_;
}

simpanel::SimulatorPanel* ExtraWindows::openSimulator() {
  if (!settings_.simulator) return nullptr;
  if (!simulator_) {
    simulator_ = new simpanel::SimulatorPanel(
        *settings_.simulator, [this](const std::string& step) { trace_.sim(step); });
    remember(simulator_, {});  // its state is the bench's, never an old run's
  }
  simulator_->show();
  simulator_->raise();
  return simulator_;
}

void ExtraWindows::remember(QWidget* window, QStringList options) {
  if (settings_.rememberIn.isEmpty()) return;
  QSettings kept(settings_.rememberIn, QSettings::IniFormat);
  kept.beginGroup(window->objectName());
  if (kept.contains("geometry")) window->restoreGeometry(kept.value("geometry").toByteArray());
  for (const QString& name : options) {
    auto* button = window->findChild<QAbstractButton*>(name);
    if (!button || !kept.contains(name)) continue;
    // An option button is chosen by checking it; unchecking one would leave none chosen.
    const bool on = kept.value(name).toBool();
    if (on || !qobject_cast<QRadioButton*>(button)) button->setChecked(on);
  }
  remembered_.insert(window, options);
  window->installEventFilter(this);
}

void ExtraWindows::keep(QWidget* window) {
  QSettings kept(settings_.rememberIn, QSettings::IniFormat);
  kept.beginGroup(window->objectName());
  kept.setValue("geometry", window->saveGeometry());
  for (const QString& name : remembered_.value(window))
    if (auto* button = window->findChild<QAbstractButton*>(name))
      kept.setValue(name, button->isChecked());
}

bool ExtraWindows::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Hide)
    if (auto* window = qobject_cast<QWidget*>(watched); window && remembered_.contains(window))
      keep(window);
  return QObject::eventFilter(watched, event);
}

QString ExtraWindows::aboutText() const {
  return QString(
             "GPIB-Modbus Console %1\n\nTests and demonstrates a GPIB-to-Modbus converter "
             "and the Watlow F4 controller behind it.\n\n%2")
      .arg(PROJECT_VERSION, settings_.driverLine);
}

void ExtraWindows::showAbout() {
  auto* box = new QMessageBox(QMessageBox::Information, "About GPIB-Modbus Console", aboutText(),
                              QMessageBox::Ok, &main_);
  box->setObjectName("about");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace extrawindows
