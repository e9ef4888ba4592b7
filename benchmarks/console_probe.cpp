// The console as app/main.cpp builds it (steady clock, built-in simulator, one GPIB32, the main
// window), pressed by a program instead of a person, reporting on itself as key=value lines:
//
//   console_probe --startup [--launched SECONDS]
//       quits once the main window has painted; reports the time since SECONDS (the
//       launcher's wall clock just before exec) and the peak memory so far.
//   console_probe --live SECONDS [--trend] [--monitor RATE] [--heat] | --idle SECONDS
//       presses Initialize, then (live) both live displays, and lets the event loop run for
//       SECONDS: reports the CPU time used per second of wall time, the temperature display's
//       updates per second, and memory at the start and the end of the span. With --trend the
//       temperature trend window is open all the while. With --monitor the bus monitor is open,
//       its table already full (100,000 events), and RATE more events a second arrive on top of
//       the live displays' own. With --heat the chamber heats to 150 F and holds it (Static,
//       then the set point) while the displays run.
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTime>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Clock.h"
#include "ExtraWindows.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "Observers.h"
#include "SimulatedBus.h"

namespace {

class SystemBeep final : public bus::Sound {
 public:
  void beep() override { QApplication::beep(); }
};

double wallSeconds() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

double steadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// User plus system time of the whole process, all threads.
double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long peakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

long currentRssKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// Counts the temperature readings that reached the display: a read without error, with bytes,
// right after the temperature query was sent.
class TemperatureCounter final : public bus::Observer {
 public:
  void driverCall(const bus::Call& call) override {
    if (call.routine == bus::Routine::Send) {
      afterQuery_ = call.sent == query_;
    } else if (call.routine == bus::Routine::Receive) {
      if (afterQuery_ && !call.failed() && !call.received.empty()) ++count;
      afterQuery_ = false;
    }
  }
  long count = 0;

 private:
  const std::string query_ = bus::registerReadLine(100, 1);
  bool afterQuery_ = false;
};

// Notes when the window has been painted for the first time, after that paint is done.
class FirstPaint final : public QObject {
 public:
  explicit FirstPaint(std::function<void()> then) : then_(std::move(then)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && then_) {
      QTimer::singleShot(0, watched, std::move(then_));
      then_ = nullptr;
    }
    return false;
  }

 private:
  std::function<void()> then_;
};

void report(const char* key, double value) { std::printf("%s=%.6g\n", key, value); }

int usage() {
  std::cerr << "usage: console_probe --startup [--launched SECONDS] | --live SECONDS [--trend] "
               "[--monitor RATE] [--heat] | --idle SECONDS\n";
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  const double entered = wallSeconds();
  enum class Mode { None, Startup, Live, Idle } mode = Mode::None;
  double launched = 0, span = 0;
  bool trendOpen = false, heat = false;
  int monitorRate = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--startup") {
      mode = Mode::Startup;
    } else if (arg == "--trend") {
      trendOpen = true;
    } else if (arg == "--heat") {
      heat = true;
    } else if (arg == "--monitor" && hasValue) {
      monitorRate = std::atoi(argv[++i]);
    } else if (arg == "--launched" && hasValue) {
      launched = std::atof(argv[++i]);
    } else if ((arg == "--live" || arg == "--idle") && hasValue) {
      mode = arg == "--live" ? Mode::Live : Mode::Idle;
      span = std::atof(argv[++i]);
    } else {
      return usage();
    }
  }
  if (mode == Mode::None || (mode != Mode::Startup && span <= 0)) return usage();
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  // As app/main.cpp with --simulate.
  bus::SteadyClock clock;
  sim::SimulatedBus simulated(clock);
  simulated.controller().setTimeOfDay(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  SystemBeep beep;
  TemperatureCounter temperatures;
  bus::Observers observers;
  observers.add(&temperatures);
  bus::GPIB32 gpib(simulated, clock, beep, &observers);
  const QString driverLine = "Driver: built-in simulated converter and Watlow F4 (--simulate)";
  console::MainWindow window(gpib, driverLine);
  trace::Trace events(clock);
  observers.add(&events);
  simulated.converter().setFrameListener([&events](const modbus::RtuExchange& exchange) {
    events.frame(exchange.request, exchange.response, exchange.errorCode);
  });
  extrawindows::ExtraWindows::Settings settings;
  settings.driverLine = driverLine;
  extrawindows::ExtraWindows extras(window, clock, observers, events, settings);
  window.exitProgram = [] {};

  std::vector<std::pair<double, long>> rssSamples;
  double startWall = 0, startCpu = 0;
  long startUpdates = 0, ticks = 0, startPeak = 0;
  QObject::connect(window.Timer1, &QTimer::timeout, [&] { ++ticks; });

  auto finish = [&] {
    const double wall = steadySeconds() - startWall;
    const double cpu = cpuSeconds() - startCpu;
    report("span_s", wall);
    report("cpu_percent", 100.0 * cpu / wall);
    report("temp_updates_per_s", (temperatures.count - startUpdates) / wall);
    report("timer_ticks_per_s", ticks / wall);
    report("txtTemp_filled", window.txtTemp->text().isEmpty() ? 0 : 1);
    report("error_shown", window.txtError->text().isEmpty() ? 0 : 1);
    report("peak_rss_start_kb", startPeak);
    report("peak_rss_end_kb", peakRssKb());
    for (const auto& [at, kb] : rssSamples) std::printf("rss_kb_at_%.0fs=%ld\n", at, kb);
    std::fflush(stdout);
    QCoreApplication::exit(0);
  };

  auto begin = [&] {
    window.cmdInitialize->click();
    if (mode == Mode::Live) {
      if (!window.cmdRdTemp2->isEnabled() || !window.cmdRdTime->isEnabled()) {
        std::cerr << "console_probe: the live display buttons stay disabled after Initialize: "
                  << window.txtError->text().toStdString() << "\n";
        QCoreApplication::exit(1);
        return;
      }
      if (heat) {
        window.cmdStatic->click();
        window.txtSetPt->setText("150");
        window.cmdSetPt->click();
      }
      window.cmdRdTemp2->click();
      window.cmdRdTime->click();
      if (trendOpen) extras.openTrend();
      if (monitorRate > 0) {
        // A transaction's worth of events, as the live display makes them: five a round.
        const bus::Call sent{.routine = bus::Routine::Send,
                             .address = 4,
                             .sent = "R  100, 1",
                             .after = {0x0120, 0, 10, 10}},
            read{.routine = bus::Routine::Receive,
                 .address = 4,
                 .count = 256,
                 .received = "75\n",
                 .after = {0x2120, 0, 3, 3}};
        const std::vector<std::uint8_t> request{1, 3, 0, 100, 0, 1, 0xC5, 0xD5},
            response{1, 3, 2, 0, 75, 0xF8, 0x73};
        auto round = [&events, sent, read, request, response] {
          events.frame(request, response, 0);
          events.driverCall(sent);
          events.driverCall(read);
        };
        // Six events a round; the table starts full (it keeps 100,000 once the monitor opened).
        extras.openMonitor();
        for (int n = 0; n < 100000 / 6 + 1; ++n) round();
        // Rounds owed by the steady clock, so the rate holds whatever the timer's jitter.
        auto* feeder = new QTimer(&window);
        feeder->setInterval(10);
        const double fed = steadySeconds();
        auto done = std::make_shared<long>(0);
        QObject::connect(feeder, &QTimer::timeout, [round, done, fed, monitorRate] {
          const long owed = static_cast<long>((steadySeconds() - fed) * monitorRate / 6);
          for (; *done < owed; ++*done) round();
        });
        feeder->start();
      }
    }
    startPeak = peakRssKb();
    startUpdates = temperatures.count;
    ticks = 0;
    startWall = steadySeconds();
    startCpu = cpuSeconds();
    // Memory at each tenth of the span, to see whether it stays flat.
    auto* sampler = new QTimer(&window);
    sampler->setInterval(static_cast<int>(span * 100));
    QObject::connect(sampler, &QTimer::timeout,
                     [&] { rssSamples.emplace_back(steadySeconds() - startWall, currentRssKb()); });
    sampler->start();
    QTimer::singleShot(static_cast<int>(span * 1000), &window, finish);
  };

  FirstPaint painted([&] {
    if (mode == Mode::Startup) {
      if (launched > 0) report("startup_ms", 1000.0 * (wallSeconds() - launched));
      report("main_to_shown_ms", 1000.0 * (wallSeconds() - entered));
      report("peak_rss_kb", peakRssKb());
      std::fflush(stdout);
      QCoreApplication::exit(0);
    } else {
      begin();
    }
  });
  window.installEventFilter(&painted);
  window.show();
  return application.exec();
}
