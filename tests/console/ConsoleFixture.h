#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>
#include <vector>

#include "Clock.h"
#include "Form.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "Recorder.h"
#include "SimulatedBus.h"
#include "TestBus.h"

namespace console_tests {

using Lines = std::vector<std::string>;

// A fresh main window on the scripted test bus, in virtual time, with every bus call, pause
// and beep recorded.
class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    window.exitProgram = [this] { ++exits; };
  }

  static std::string sent(const std::string& line) { return "Send(0, 4, \"" + line + "\", NLend)"; }
  static inline const std::string kRecv = "Receive(0, 4, 256, STOPend)";
  static inline const std::string kPause = "pause 0.1";

  // Scripts the replies of a discovery that finds `identity`, then the model `model` and unit.
  void scriptDiscovery(const std::string& identity = "ORVANE,5630,1234,1.0\n",
                       const std::string& model = "5270\n", const std::string& unit = "0\n") {
    bus.reply(identity);
    bus.reply("0\n");  // *ESR? after FORM:TALK ASCII
    bus.reply(model);
    if (!unit.empty()) bus.reply(unit);
  }
  // Runs a discovery that finds the F4 and forgets its traffic.
  void discover() {
    scriptDiscovery();
    window.cmdInitialize->click();
    rec.clear();
  }

  std::string results() const { return ui::toBytes(window.txtResults->text()); }
  std::string error() const { return ui::toBytes(window.txtError->text()); }

  testing_support::TestBus bus;
  bus::VirtualClock clock;
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib{bus, clock, sound, &rec};
  console::MainWindow window{gpib};
  int exits = 0;
};

// A main window on the simulated converter and controller, in virtual time.
struct SimConsole {
  bus::VirtualClock clock;
  sim::SimulatedBus simBus{clock};
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib{simBus, clock, sound, &rec};
  console::MainWindow w{gpib};
};

}  // namespace console_tests
