#pragma once

#include "Clock.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "Observers.h"
#include "SimulatedBus.h"
#include "Trace.h"

namespace testing_support {

// The main window on the simulated bench in virtual time, its traffic traced as the console
// traces it: what the extra windows are built beside.
struct SimulatedConsole {
  SimulatedConsole() {
    gpib.InterfaceName = "GPIB";
    observers.add(&events);
  }
  bus::VirtualClock clock;
  sim::SimulatedBus driver{clock};
  bus::SilentSound sound;
  bus::Observers observers;
  trace::Trace events{clock};
  bus::GPIB32 gpib{driver, clock, sound, &observers};
  console::MainWindow main{gpib, "Driver: test bench"};
};

}  // namespace testing_support
