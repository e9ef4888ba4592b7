// A scripted run in virtual time: both live displays on for a long time while converter faults
// come and go at random. The script runner carries out the steps; a tally of the bus events
// between them tells how many ticks ran and how many of them showed a fault.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>

#include "NumberText.h"
#include "Observers.h"
#include "Rig.h"
#include "ScriptRunner.h"

namespace {

// Peak resident set of this process, in kB.
long peakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMemoryMeasured = false;  // the sanitizer's quarantine grows by design
#else
constexpr bool kMemoryMeasured = true;
#endif

// Each tick reads the temperature first; each display that gets no reply asks for E? and beeps.
struct Tally final : bus::Observer {
  void driverCall(const std::string& call, const bus::Status&, const std::string*) override {
    if (call == "Send(0, 4, \"R  100, 1\", NLend)") ++ticks;
    if (call == "Send(0, 4, \"E?\", NLend)") ++errorQueries;
  }
  void beep() override { ++beeps; }
  long ticks = 0, errorQueries = 0, beeps = 0;
};

// Virtual seconds one tick of both displays takes: two 0.1 s pauses when the converter answers;
// when it does not, each display also waits out the 1 s time-out of its read and, silent or
// absent, that of the E? read too. Waiting a little less than n ticks runs exactly n of them.
constexpr double kHealthyTick = 0.2, kFailedTransactionTick = 2.2, kNoConverterTick = 4.2;
std::string waitFor(long ticks, double tickSeconds) {
  // Not std::to_string: a script is the same text in every locale.
  return "wait " + bus::plainNumberText(ticks * tickSeconds - 0.1) + "\n";
}

TEST(Soak, LiveDisplaysThroughComingAndGoingFaults) {
  const char* env = std::getenv("SOAK_TICKS");
  const long ticks = env ? std::atol(env) : 100000;
  reliability::Rig r;
  std::ostringstream report;
  script::ScriptRunner runner(r.window, r.gpib, report);
  runner.setSimulator(&r.sim);
  runner.setVirtualClock(&r.clock);
  Tally tally;
  bus::Observers observers;  // no recorder: a long run must not keep its events
  observers.add(&runner);
  observers.add(&tally);
  r.gpib.setObserver(&observers);

  auto run = [&](const std::string& script) {
    report.str("");
    const script::ScriptResult result = runner.run(script);
    ASSERT_EQ(result.failed, 0) << report.str();
  };
  run("click cmdRdTemp2\nclick cmdRdTime\n");

  std::mt19937 random(20260409);
  const QRegularExpression temperature("^-?\\d+$"), timeOfDay("^\\d+,\\d+,\\d+$");
  long rssAt1000 = 0, faultTicks = 0;
  while (tally.ticks < ticks) {
    // A while of good answers: every tick shows both readings, nothing beeps.
    const long healthy = 5 + static_cast<long>(random() % 50);
    Tally before = tally;
    run(waitFor(healthy, kHealthyTick));
    ASSERT_EQ(tally.ticks - before.ticks, healthy);
    ASSERT_EQ(tally.errorQueries - before.errorQueries, 0);
    ASSERT_EQ(tally.beeps - before.beeps, 0);
    ASSERT_TRUE(temperature.match(r.window.txtTemp->text()).hasMatch());
    ASSERT_TRUE(timeOfDay.match(r.window.txtTime->text()).hasMatch());
    if (rssAt1000 == 0 && tally.ticks >= 1000) rssAt1000 = peakRssKb();

    // Then a fault for a few ticks: each display shows the converter's error and beeps.
    const int kinds[] = {1, 2, 3, 101, 0, -1};  // Modbus error codes; 0 silent, -1 absent
    const int fault = kinds[random() % std::size(kinds)];
    const long lasting = 1 + static_cast<long>(random() % 20);
    before = tally;
    if (fault > 0) {
      run("sim modbus-error " + std::to_string(fault) + " " + std::to_string(2 * lasting) + "\n" +
          waitFor(lasting, kFailedTransactionTick) + "expect txtError text \"Modbus Error " +
          std::to_string(fault) + "\\n\"\n");
    } else {
      const std::string on = fault == 0 ? "sim silent on\n" : "sim absent\n";
      const std::string off = fault == 0 ? "sim silent off\n" : "sim present\n";
      run(on + waitFor(lasting, kNoConverterTick) + off +
          "expect txtError text \"Modbus Error \"\n");
    }
    ASSERT_EQ(tally.ticks - before.ticks, lasting);
    ASSERT_EQ(tally.errorQueries - before.errorQueries, 2 * lasting);
    ASSERT_EQ(tally.beeps - before.beeps, 2 * lasting);
    faultTicks += lasting;
  }
  const long rssAtEnd = peakRssKb();
  std::cout << "soak: " << tally.ticks << " ticks, " << faultTicks << " under a fault, peak RSS "
            << rssAt1000 << " kB at 1000 ticks, " << rssAtEnd << " kB at " << tally.ticks << "\n";
  ::testing::Test::RecordProperty("rss_kb_at_1000", static_cast<int>(rssAt1000));
  ::testing::Test::RecordProperty("rss_kb_at_end", static_cast<int>(rssAtEnd));
  if (kMemoryMeasured && ticks >= 100000) {
    EXPECT_LT(rssAtEnd - rssAt1000, 5 * 1024);
  }
}

}  // namespace
