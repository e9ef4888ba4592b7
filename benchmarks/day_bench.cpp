// A simulated day of live display in virtual time: 432,000 temperature readings (both live
// displays on, a tick of two 0.1 s queries every 0.2 s for 86,400 s) while the thermal chamber
// heats to 150 F and holds it, every Modbus transaction paced on the link. Timed once a run:
//
//   BM_DayOfReadings_Simulator  the simulated bench alone: the ticks' queries sent and read on
//                               the SimulatedBus through GPIB32, the chamber stepped every 0.1 s
//   BM_DayOfLiveDisplay_Console the main window's own ticks (Timer1_Timer) on the same bench:
//                               what the console adds (texts, display updates)
//
// Both end with the temperature read back, which must be 150, so that a day that went wrong
// does not pass for a fast one.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QStyleFactory>
#include <cstdlib>
#include <string>

#include "Clock.h"
#include "Exchange.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "SimulatedBus.h"

namespace {

constexpr long kTicks = 432000;  // a day at one tick each 0.2 s

// The bench heating to 150 F: outputs set up, set point written, as cmdStatic and cmdSetPt do.
void heatTo150(bus::GPIB32& gpib) {
  gpib.InterfaceName = "GPIB";
  for (const char* line : {"W 700,1", "W 717,2", "W 300,150"})
    gpib.Send_msg(gpib.BoardIndex, gpib.ConverterAddr, line, 1);
}

void checkEnd(benchmark::State& state, bus::GPIB32& gpib) {
  const bool read = bus::queryExchange(gpib, bus::registerReadLine(100, 1));
  if (!read || gpib.ReplyBuf != "150")
    state.SkipWithError(("the day ended at " + gpib.ReplyBuf).c_str());
  state.counters["readings"] = static_cast<double>(kTicks);
}

void BM_DayOfReadings_Simulator(benchmark::State& state) {
  const std::string temperature = bus::registerReadLine(100, 1);
  const std::string time = bus::registerReadLine(1916, 3);
  for (auto _ : state) {
    bus::VirtualClock clock;
    sim::SimulatedBus simulated(clock);
    bus::SilentSound sound;
    bus::GPIB32 gpib(simulated, clock, sound);
    heatTo150(gpib);
    for (long tick = 0; tick < kTicks; ++tick) {
      benchmark::DoNotOptimize(bus::queryExchange(gpib, temperature));
      benchmark::DoNotOptimize(bus::queryExchange(gpib, time));
    }
    state.PauseTiming();
    checkEnd(state, gpib);
    state.ResumeTiming();
  }
}

void BM_DayOfLiveDisplay_Console(benchmark::State& state) {
  for (auto _ : state) {
    bus::VirtualClock clock;
    sim::SimulatedBus simulated(clock);
    bus::SilentSound sound;
    bus::GPIB32 gpib(simulated, clock, sound);
    console::MainWindow window(gpib);
    window.exitProgram = [] {};
    window.cmdInitialize_Click();
    heatTo150(gpib);
    window.TempRdFlag = window.TimeRdFlag = 1;
    for (long tick = 0; tick < kTicks; ++tick) window.Timer1_Timer();
    state.PauseTiming();
    checkEnd(state, gpib);
    if (window.txtTemp->text() != "150") state.SkipWithError("the display did not show 150");
    state.ResumeTiming();
  }
}

BENCHMARK(BM_DayOfReadings_Simulator)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DayOfLiveDisplay_Console)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
