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
#include "MasterLink.h"
#include "NumberText.h"
#include "Observers.h"
#include "Options.h"
#include "PrologixDriver.h"
#include "ScriptRunner.h"
#include "SimulatedBus.h"
#include "SoftwareConverter.h"
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

// Says what the command line asks for at once (a mistake, the help, the version) and the exit
// status; nothing when the console is to run.
std::optional<int> answerAtOnce(const app::Options& options) {
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
  return std::nullopt;
}

// The script to run and where the trace goes, both checked before any window exists so that a
// typo costs nothing.
struct Files {
  std::optional<std::string> script;
  std::ofstream traceFile;
  std::ostream* trace = nullptr;
};

// Why a file cannot be used; empty when both are ready.
std::string openFiles(const app::Options& options, Files& files) {
  if (!options.scriptPath.empty()) {
    files.script = script::ScriptRunner::readFile(options.scriptPath);
    if (!files.script) return "cannot read the script " + options.scriptPath;
  }
  if (options.tracePath == "-") {
    files.trace = &std::cout;
  } else if (!options.tracePath.empty()) {
    files.traceFile.open(options.tracePath, std::ios::binary | std::ios::trunc);
    if (!files.traceFile) return "cannot write the trace " + options.tracePath;
    files.trace = &files.traceFile;
  }
  return {};
}

// The driver the console runs on, and the parts of it some windows need to know.
struct ChosenDriver {
  std::unique_ptr<bus::Driver> driver;
  sim::SimulatedBus* simulator = nullptr;       // the built-in simulator, when it is the driver
  prologix::PrologixDriver* adapter = nullptr;  // a GPIB adapter, when it is the driver
  // The console's own converter and its Modbus link, when it is the driver.
  converter::SoftwareConverter* softwareConverter = nullptr;
  modbusmaster::MasterLink* modbusLink = nullptr;
  QString line;  // what the main window says of it
};

// The driver is chosen here and nowhere else: an adapter, the console's own converter on a
// Modbus link, a named library, the platform's library when it loads, otherwise the built-in
// simulator.
ChosenDriver chooseDriver(const app::Options& options, bus::Clock& clock) {
  ChosenDriver chosen;
  if (options.driver == app::Options::Driver::Modbus) {
    // Opened once the trace can hear what the link says (connectModbus).
    const app::Options::ModbusLine& line = options.modbusLine;
    std::string problem;
    std::unique_ptr<modbusmaster::MasterLink> link =
        modbusmaster::linkFor(options.driverPath, {line.baud, line.parity, line.stopBits}, problem);
    chosen.modbusLink = link.get();
    auto software = std::make_unique<converter::SoftwareConverter>(
        clock, std::move(link), modbus::SerialSettings{line.baud, true});
    chosen.softwareConverter = software.get();
    chosen.driver = std::move(software);
    return chosen;
  }
  if (options.driver == app::Options::Driver::Prologix) {
    // Connected once the application exists (the serial port is a Qt object); until then
    // the driver line waits.
    auto link = prologix::linkFor(prologix::parseTarget(options.driverPath), options.baud);
    auto adapter = std::make_unique<prologix::PrologixDriver>(std::move(link));
    chosen.adapter = adapter.get();
    chosen.driver = std::move(adapter);
    return chosen;
  }
  if (options.driver == app::Options::Driver::Library) {
    auto library = std::make_unique<bus::LibraryDriver>(options.driverPath);
    if (library->load()) {
      chosen.line = QString::fromStdString("Driver: " + library->describe());
    } else {
      // Asked for by name: stay with it, so the operator sees every call fail with EDVR.
      const std::string problem = bus::printableText(library->problem(), kQuotedProblem);
      std::cerr << "gpib-modbus-console: " << problem << "\n";
      chosen.line = QString::fromStdString(problem);
    }
    chosen.driver = std::move(library);
    return chosen;
  }
  if (options.driver != app::Options::Driver::Simulator) {
    // The platform's libraries in turn; the simulator when none loads.
    std::string problems;
    if (auto library =
            bus::LibraryDriver::firstThatLoads(bus::LibraryDriver::defaultPaths(), problems)) {
      chosen.line = QString::fromStdString("Driver: " + library->describe());
      chosen.driver = std::move(library);
      return chosen;
    }
  }
  auto simulated = std::make_unique<sim::SimulatedBus>(clock);
  // The simulated controller keeps the computer's time of day, as a set-up F4 would. On
  // virtual time it starts at midnight and follows the script's clock, so runs repeat exactly.
  if (!options.virtualTime)
    simulated->controller().setTimeOfDay(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
  chosen.simulator = simulated.get();
  chosen.driver = std::move(simulated);
  chosen.line = options.driver == app::Options::Driver::Simulator
                    ? "Driver: built-in simulated converter and Watlow F4 (--simulate)"
                    : "Driver: built-in simulated converter and Watlow F4 (no GPIB driver "
                      "library found)";
  return chosen;
}

// What the driver does beyond its calls goes into the trace too: an adapter's notes (and its
// problems, said once on standard error), the simulator's Modbus frames.
void traceDriver(ChosenDriver& chosen, trace::Trace& events) {
  if (chosen.adapter) {
    chosen.adapter->onNote = [&events](const std::string& note) { events.adapter(note); };
    // Said once each time the adapter goes; every call meanwhile fails with EDVR.
    chosen.adapter->onProblem = [](const std::string& problem) {
      std::cerr << "gpib-modbus-console: " << bus::printableText(problem, kQuotedProblem) << "\n";
    };
  }
  const auto frames = [&events](const modbus::RtuExchange& exchange) {
    events.frame(exchange.request, exchange.response, exchange.errorCode);
  };
  if (chosen.simulator) chosen.simulator->converter().setFrameListener(frames);
  if (chosen.softwareConverter) {
    chosen.softwareConverter->converter().setFrameListener(frames);
    // The link's coming and going: in the trace, and its troubles once on standard error.
    chosen.modbusLink->onNote = [&events](const std::string& note) {
      events.adapter(note);
      if (note.rfind("connected: ", 0) != 0)
        std::cerr << "gpib-modbus-console: " << bus::printableText(note, kQuotedProblem) << "\n";
    };
  }
}

// The console's own converter opens its Modbus link at start; the driver line says how that
// went. A link that cannot be opened is tried again with each transaction.
void connectModbus(ChosenDriver& chosen) {
  if (!chosen.modbusLink) return;
  chosen.modbusLink->open();
  const std::string& problem = chosen.modbusLink->problem();
  chosen.line = QString::fromStdString(bus::printableText(
      "Driver: " + (problem.empty() ? chosen.softwareConverter->describe()
                                    : "software converter at GPIB address " +
                                          std::to_string(converter::SoftwareConverter::kAddress) +
                                          " on " + problem),
      kQuotedProblem));
}

// An adapter connects once the application exists; the driver line then says how that went.
void connectAdapter(ChosenDriver& chosen) {
  if (!chosen.adapter) return;
  chosen.adapter->connect();
  chosen.line = QString::fromStdString(bus::printableText(
      (chosen.adapter->problem().empty() ? "Driver: " : "") + chosen.adapter->describe(),
      kQuotedProblem));
}

// Runs the script on the windows as an operator would and gives the exit status.
int runScript(const std::string& text, console::MainWindow& window, bus::GPIB32& gpib,
              bus::Observers& observers, trace::Trace& events, ChosenDriver& chosen,
              bus::VirtualClock* virtualClock) {
  script::ScriptRunner runner(window, gpib, std::cout);
  observers.add(&runner);
  runner.setSimulator(chosen.simulator);
  if (virtualClock) runner.setVirtualClock(virtualClock);
  runner.stepStarting = [&events](int line, const std::string& source) {
    events.step(line, source);
  };
  const int status = runner.run(text).exitStatus();
  observers.remove(&runner);
  return status;
}

}  // namespace

int main(int argc, char* argv[]) {
  const app::Options options = app::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto status = answerAtOnce(options)) return *status;
  Files files;
  if (const std::string problem = openFiles(options, files); !problem.empty())
    return refuse(problem);

  // On virtual time the simulator and the console's pauses share one clock that only the
  // script moves.
  bus::SteadyClock steadyClock;
  bus::VirtualClock virtualClock;
  bus::Clock& clock = options.virtualTime ? static_cast<bus::Clock&>(virtualClock) : steadyClock;
  ChosenDriver chosen = chooseDriver(options, clock);

  // Every bus event, for the trace file when one is asked for and for the bus monitor.
  bus::Observers observers;
  trace::Trace events(clock);
  std::optional<trace::TraceFile> traceWriter;
  if (files.trace) events.addSink(std::ref(traceWriter.emplace(*files.trace)));
  observers.add(&events);
  traceDriver(chosen, events);

  if (const std::string problem = displayProblem(); !problem.empty()) {
    std::cerr << "gpib-modbus-console: cannot open a window: " << problem << "\n";
    return 2;
  }
  qtMessages = qInstallMessageHandler(windowSystemStart);
  QApplication application(argc, argv);
  qInstallMessageHandler(qtMessages);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  connectAdapter(chosen);
  connectModbus(chosen);

  SystemBeep beep;
  bus::GPIB32 gpib(*chosen.driver, clock, beep, &observers);
  console::MainWindow window(gpib, chosen.line);
  // The extra windows remember their place, size and options, except in a scripted run.
  const QString remembered =
      files.script
          ? QString()
          : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + "/windows.conf";
  extrawindows::ExtraWindows extras(
      window, clock, observers, events,
      {options.virtualTime, chosen.line, options.logPath, chosen.simulator, remembered});
  window.show();
  if (!files.script) return application.exec();
  return runScript(*files.script, window, gpib, observers, events, chosen,
                   options.virtualTime ? &virtualClock : nullptr);
}
