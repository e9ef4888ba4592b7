#include <QApplication>
#include <QStyleFactory>
#include <QTime>
#include <cstdio>
#include <iostream>
#include <memory>

#include "Clock.h"
#include "GPIB32.h"
#include "LibraryDriver.h"
#include "Options.h"
#include "SimulatedBus.h"
#include "frmMain.h"

namespace {

class SystemBeep final : public bus::Sound {
 public:
  void beep() override { QApplication::beep(); }
};

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

  // The driver is chosen here and nowhere else.
  bus::SteadyClock clock;
  std::unique_ptr<bus::Driver> driver;
  QString driverLine;
  if (options.driver != app::Options::Driver::Simulator) {
    const std::string path = options.driver == app::Options::Driver::Library
                                 ? options.driverPath
                                 : bus::LibraryDriver::defaultPath();
    auto library = std::make_unique<bus::LibraryDriver>(path);
    if (library->load()) {
      driverLine = QString::fromStdString("Driver: " + library->describe());
      driver = std::move(library);
    } else if (options.driver == app::Options::Driver::Library) {
      // Asked for by name: stay with it, so the operator sees every call fail with EDVR.
      std::cerr << "gpib-modbus-console: " << library->problem() << "\n";
      driverLine = QString::fromStdString(library->problem());
      driver = std::move(library);
    }
  }
  if (!driver) {
    auto simulated = std::make_unique<sim::SimulatedBus>(clock);
    // The simulated controller keeps the computer's time of day, as a set-up F4 would.
    const QTime now = QTime::currentTime();
    simulated->controller().setTimeOfDay(now.msecsSinceStartOfDay() / 1000.0);
    driver = std::move(simulated);
    driverLine = options.driver == app::Options::Driver::Simulator
                     ? "Driver: built-in simulated converter and Watlow F4 (--simulate)"
                     : "Driver: built-in simulated converter and Watlow F4 (no GPIB driver "
                       "library found)";
  }

  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  SystemBeep beep;
  bus::GPIB32 gpib(*driver, clock, beep);
  console::frmMain window(gpib, driverLine);
  window.show();
  return application.exec();
}
