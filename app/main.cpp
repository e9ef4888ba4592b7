#include <QApplication>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTime>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "Clock.h"
#include "ExtraWindows.h"
#include "GPIB32.h"
#include "LibraryDriver.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "Observers.h"
#include "Options.h"
#include "PrologixDriver.h"
#include "ScriptRunner.h"
#include "SimulatedBus.h"
#include "Trace.h"

namespace {

// How much of a path, an option or a library's complaint a message on standard error repeats.
constexpr std::size_t kQuotedProblem = 300;

class SystemBeep final : public bus::Sound {
 public:
  void beep() override { QApplication::beep(); }
};

// Why no window can open, or nothing when one may: the window systems Qt would try need their
// display named in the environment, and Qt aborts when it finds none.
std::string displayProblem() {
  auto named = [](const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
  };
  const char* chosen = std::getenv("QT_QPA_PLATFORM");
  std::string platforms = chosen != nullptr && *chosen != '\0' ? chosen : "xcb;wayland";
  for (size_t start = 0; start <= platforms.size();) {
    const size_t end = std::min(platforms.find(';', start), platforms.size());
    const std::string platform = platforms.substr(start, end - start);
    start = end + 1;
    if (platform.rfind("xcb", 0) == 0) {
      if (named("DISPLAY")) return {};
    } else if (platform.rfind("wayland", 0) == 0) {
      if (named("WAYLAND_DISPLAY")) return {};
    } else {
      return {};  // offscreen, vnc and the like need no display
    }
  }
  return "no display (set DISPLAY, or QT_QPA_PLATFORM=offscreen for a headless run)";
}

// A display that is named but does not answer shows only once Qt tries it, as a fatal message
// followed by an abort: end with a clear word instead.
QtMessageHandler qtMessages = nullptr;
void windowSystemStart(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    if (qtMessages) qtMessages(type, context, text);
    return;
  }
  const char* display = std::getenv("DISPLAY");
  std::cerr << "gpib-modbus-console: cannot open a window: the display "
            << bus::printableText(display ? display : "") << " did not answer (set DISPLAY, or "
            << "QT_QPA_PLATFORM=offscreen for a headless run)\n";
  std::_Exit(2);
}

// Problems name paths and options as the operator gave them: printable, and cut when long.
int refuse(const std::string& problem) {
  std::cerr << "gpib-modbus-console: " << bus::printableText(problem, kQuotedProblem) << "\n";
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  const app::Options options = app::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options.error.empty()) {
    std::cerr << "gpib-modbus-console: " << options.error << "\n\n" << app::usageText();
    return 2;
  }
  if (options.help) {
    std::cout << app::usageText();
    return 0;
  }
  if (options.version) {
    std::cout << "gpib-modbus-console " << PROJECT_VERSION << "\n";
    return 0;
  }

  // Both files are checked before any window exists, so a typo costs nothing.
  std::optional<std::string> scriptText;
  if (!options.scriptPath.empty()) {
    scriptText = script::ScriptRunner::readFile(options.scriptPath);
    if (!scriptText) return refuse("cannot read the script " + options.scriptPath);
  }
  std::ofstream traceFile;
  std::ostream* traceStream = nullptr;
  if (options.tracePath == "-") {
    traceStream = &std::cout;
  } else if (!options.tracePath.empty()) {
    traceFile.open(options.tracePath, std::ios::binary | std::ios::trunc);
    if (!traceFile) return refuse("cannot write the trace " + options.tracePath);
    traceStream = &traceFile;
  }

  // On virtual time the simulator and the console's pauses share one clock that only the
  // script moves.
  bus::SteadyClock steadyClock;
  bus::VirtualClock virtualClock;
  bus::Clock& clock = options.virtualTime ? static_cast<bus::Clock&>(virtualClock) : steadyClock;

  // The driver is chosen here and nowhere else.
  std::unique_ptr<bus::Driver> driver;
  sim::SimulatedBus* simulator = nullptr;
  QString driverLine;
  prologix::PrologixDriver* adapter = nullptr;
  if (options.driver == app::Options::Driver::Prologix) {
    // Connected once the application exists (the serial port is a Qt object); until then
    // the driver line waits.
    auto link = prologix::linkFor(prologix::parseTarget(options.driverPath), options.baud);
    auto prologixDriver = std::make_unique<prologix::PrologixDriver>(std::move(link));
    adapter = prologixDriver.get();
    driver = std::move(prologixDriver);
  } else if (options.driver != app::Options::Driver::Simulator) {
    const std::string path = options.driver == app::Options::Driver::Library
                                 ? options.driverPath
                                 : bus::LibraryDriver::defaultPath();
    auto library = std::make_unique<bus::LibraryDriver>(path);
    if (library->load()) {
      driverLine = QString::fromStdString("Driver: " + library->describe());
      driver = std::move(library);
    } else if (options.driver == app::Options::Driver::Library) {
      // Asked for by name: stay with it, so the operator sees every call fail with EDVR.
      const std::string problem = bus::printableText(library->problem(), kQuotedProblem);
      std::cerr << "gpib-modbus-console: " << problem << "\n";
      driverLine = QString::fromStdString(problem);
      driver = std::move(library);
    }
  }
  if (!driver) {
    auto simulated = std::make_unique<sim::SimulatedBus>(clock);
    // The simulated controller keeps the computer's time of day, as a set-up F4 would. On
    // virtual time it starts at midnight and follows the script's clock, so runs repeat exactly.
    if (!options.virtualTime)
      simulated->controller().setTimeOfDay(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
    simulator = simulated.get();
    driver = std::move(simulated);
    driverLine = options.driver == app::Options::Driver::Simulator
                     ? "Driver: built-in simulated converter and Watlow F4 (--simulate)"
                     : "Driver: built-in simulated converter and Watlow F4 (no GPIB driver "
                       "library found)";
  }

  // Every bus event, for the trace file when one is asked for and for the bus monitor.
  bus::Observers observers;
  trace::Trace events(clock);
  std::optional<trace::TraceFile> traceWriter;
  if (traceStream) {
    traceWriter.emplace(*traceStream);
    events.addSink(std::ref(*traceWriter));
  }
  observers.add(&events);
  if (adapter) {
    adapter->onNote = [&events](const std::string& note) { events.adapter(note); };
    // Said once each time the adapter goes; every call meanwhile fails with EDVR.
    adapter->onProblem = [](const std::string& problem) {
      std::cerr << "gpib-modbus-console: " << bus::printableText(problem, kQuotedProblem) << "\n";
    };
  }
  if (simulator)
    simulator->converter().setFrameListener([&events](const modbus::RtuExchange& exchange) {
      events.frame(exchange.request, exchange.response, exchange.errorCode);
    });

  if (const std::string problem = displayProblem(); !problem.empty()) {
    std::cerr << "gpib-modbus-console: cannot open a window: " << problem << "\n";
    return 2;
  }
  qtMessages = qInstallMessageHandler(windowSystemStart);
  QApplication application(argc, argv);
  qInstallMessageHandler(qtMessages);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  if (adapter) {
    adapter->connect();
    driverLine = QString::fromStdString(bus::printableText(
        (adapter->problem().empty() ? "Driver: " : "") + adapter->describe(), kQuotedProblem));
  }
  SystemBeep beep;
  bus::GPIB32 gpib(*driver, clock, beep, &observers);
  console::MainWindow window(gpib, driverLine);
  // The extra windows remember their place, size and options, except in a scripted run.
  const QString remembered =
      scriptText
          ? QString()
          : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/windows.conf";
  extrawindows::ExtraWindows extras(
      window, clock, observers, events,
      {options.virtualTime, driverLine, options.logPath, simulator, remembered});
  window.show();
  if (!scriptText) return application.exec();

  script::ScriptRunner runner(window, gpib, std::cout);
  observers.add(&runner);
  runner.setSimulator(simulator);
  if (options.virtualTime) runner.setVirtualClock(&virtualClock);
  runner.stepStarting = [&events](int line, const std::string& source) {
    events.step(line, source);
  };
  const int status = runner.run(*scriptText).exitStatus();
  observers.remove(&runner);
  return status;
}
