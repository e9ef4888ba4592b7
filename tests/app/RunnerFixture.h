#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Clock.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "Observers.h"
#include "Recorder.h"
#include "ScriptRunner.h"
#include "SimulatedBus.h"

namespace app_tests {

// The console on the simulator in virtual time, with a script runner and a recorder both
// watching the bus, as main() wires them.
class RunnerTest : public ::testing::Test {
 protected:
  RunnerTest() {
    observers.add(&rec);
    observers.add(&runner);
    runner.setSimulator(&simulator);
    runner.setVirtualClock(&clock);
    window.show();
  }

  // Runs `script` and keeps its report in `report`.
  script::ScriptResult run(const std::string& script) {
    out.str("");
    const script::ScriptResult result = runner.run(script);
    report = out.str();
    return result;
  }

  // How many times `line` went to the converter in what the recorder saw.
  int sends(const std::string& line) const {
    int count = 0;
    for (const std::string& event : rec.events())
      count += event == "Send(0, 4, \"" + line + "\", NLend)";
    return count;
  }

  bus::VirtualClock clock;
  sim::SimulatedBus simulator{clock};
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::Observers observers;
  bus::GPIB32 gpib{simulator, clock, sound, &observers};
  console::MainWindow window{gpib};
  std::ostringstream out;
  script::ScriptRunner runner{window, gpib, out};
  std::string report;
};

}  // namespace app_tests
