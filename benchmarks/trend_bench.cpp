// The temperature trend over a whole working day: 24 h of readings at 5 a second (432,000) with
// a set point written every ten minutes.
//   BM_ReduceFullDay   the reduction of the whole day to the chart's pixel columns
//   BM_RedrawFullDay   one redraw of the trend window showing the whole day, painting included
//   BM_MemoryFullDay   the readings' memory, counted and as resident memory grew (MB)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

#include "DataLog.h"
#include "Readings.h"
#include "TrendWindow.h"

namespace {

constexpr int kReadings = 24 * 3600 * 5;

long residentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// A chamber cycling between set points, with a little noise, and a failed reading now and then.
void fillDay(trend::Readings& readings) {
  trend::Record r;
  for (int i = 0; i < kReadings; ++i) {
    r.elapsed = i * 0.2;
    if (i % 3000 == 0) {
      r.what = trend::Record::What::Event;
      r.event = trend::EventKind::SetPointWritten;
      r.setPoint = (i / 3000) % 2 ? 150 : 75;
      r.eventText = "set point";
      readings.add(r);
      r.event.reset();
      r.eventText.clear();
    }
    r.what = trend::Record::What::Temperature;
    r.temperature = i % 997 == 0 ? std::nullopt
                                 : std::optional<double>(110 + 40 * std::sin(i / 9000.0) + (i % 7));
    readings.add(r);
  }
}

const trend::Readings& day() {
  static trend::Readings readings;
  if (readings.empty()) fillDay(readings);
  return readings;
}

void BM_ReduceFullDay(benchmark::State& state) {
  const auto& readings = day();
  for (auto _ : state) {
    auto lines = trend::reduce(readings.temperature(), 0, readings.last(), 900);
    benchmark::DoNotOptimize(lines);
  }
}
BENCHMARK(BM_ReduceFullDay)->Unit(benchmark::kMillisecond);

void BM_RedrawFullDay(benchmark::State& state) {
  trend::DataLog log;
  trend::TrendWindow window(day(), log, {true, 0});
  window.resize(1000, 600);
  window.show();
  window.setSpan(0);
  QApplication::processEvents();
  auto* view = window.findChild<QChartView*>();
  for (auto _ : state) {
    window.redraw();
    view->viewport()->repaint();
  }
}
BENCHMARK(BM_RedrawFullDay)->Unit(benchmark::kMillisecond);

void BM_MemoryFullDay(benchmark::State& state) {
  for (auto _ : state) {
    const long before = residentKb();
    trend::Readings readings;
    fillDay(readings);
    state.counters["counted_MB"] = readings.memoryBytes() / 1e6;
    state.counters["resident_MB"] = (residentKb() - before) / 1024.0;
  }
}
BENCHMARK(BM_MemoryFullDay)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
