// What one query exchange (send, 0.1 s pause, receive, trim) costs above its pause: on the
// simulated bus in-process, and on the same simulator loaded as a driver library. The pause
// runs on a virtual clock, so every microsecond measured is ours.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "Clock.h"
#include "Exchange.h"
#include "GPIB32.h"
#include "LibraryDriver.h"
#include "NumberText.h"
#include "SimulatedBus.h"

namespace {

// The live temperature display's query.
const std::string& temperatureQuery() {
  static const std::string line = bus::registerReadLine(100, 1);
  return line;
}

void exchangeLoop(benchmark::State& state, bus::GPIB32& gpib) {
  gpib.InterfaceName = "GPIB";
  if (!bus::queryExchange(gpib, temperatureQuery()) || gpib.ReplyBuf.empty()) {
    state.SkipWithError("the simulator gave no reply to the temperature query");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(bus::queryExchange(gpib, temperatureQuery()));
    benchmark::DoNotOptimize(gpib.ReplyBuf.data());
  }
}

void BM_QueryExchange_InProcess(benchmark::State& state) {
  bus::VirtualClock clock;
  sim::SimulatedBus simulated(clock);
  bus::SilentSound sound;
  bus::GPIB32 gpib(simulated, clock, sound);
  exchangeLoop(state, gpib);
}

// The library keeps its own steady clock for the devices; the console's pause is the only one
// an exchange makes, and it runs on the virtual clock here. So that the library's serial link
// does not make the read wait out its transaction in real time, the link is instant.
void BM_QueryExchange_Library(benchmark::State& state) {
  setenv("GPIBSIM_LINK", "instant", 1);
  const char* path = std::getenv("GPIBSIM_LIBRARY");
  bus::LibraryDriver library(path && *path ? path : GPIBSIM_LIBRARY);
  if (!library.load()) {
    state.SkipWithError(library.problem().c_str());
    return;
  }
  bus::VirtualClock clock;
  bus::SilentSound sound;
  bus::GPIB32 gpib(library, clock, sound);
  exchangeLoop(state, gpib);
}

BENCHMARK(BM_QueryExchange_InProcess)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryExchange_Library)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
