#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace {

class Profiles : public simtest::BusFixture {
 protected:
  // The profile selection as the profile generator makes it; returns what 4000 reads after.
  std::string select(int profile) {
    for (const char* line : {"W  700, 1", "W  717, 2", "W  500, 0", "W  550, 0", "W  507, 2"})
      send(line);
    send("W  4000, " + std::to_string(profile));
    send("W  4002, 1");
    return ask("R  4000, 1");
  }

  // A timed step from the current temperature to 150 over five minutes, then an end step that
  // switches all outputs off: the step editor's exact traffic.
  void buildTwoStepProfile() {
    run({"W  4001, 1", "W  4002, 2", "W  4003, 1", "W  4012, 0", "W  4009, 0", "W  4010, 5",
         "W  4011, 0", "W  4046, 0", "W  4048, 0"});
    EXPECT_EQ(ask("E?"), "0\n");
    run({"W  4044, 150", "W  4046, 0"});
    EXPECT_EQ(ask("E?"), "0\n");
    run({"W  25, 0", "W  4001, 2", "W  4002, 2", "W  4003, 5"});
    EXPECT_EQ(ask("E?"), "0\n");
    run({"W  4060, 2", "W  25, 0"});
    EXPECT_EQ(ask("E?"), "0\n");
  }
};

TEST_F(Profiles, SelectionTakesTheLowestFreeNumberOnlyAndAFullStoreAnswersZero) {
  // Every selection creates a profile at the lowest free number, whatever was asked for.
  const std::pair<int, const char*> rows[] = {{1, "1\n"}, {1, "2\n"}, {5, "3\n"}, {41, "4\n"}};
  for (const auto& [selected, reads] : rows) EXPECT_EQ(select(selected), reads) << selected;
  EXPECT_EQ(ask("E?"), "0\n");
  for (int i = 5; i <= 40; ++i) ASSERT_EQ(select(i), std::to_string(i) + "\n");
  EXPECT_EQ(select(7), "0\n");
  EXPECT_EQ(bus.controller().profileCount(), 40);
}

TEST_F(Profiles, BuildAndReadBack) {
  ASSERT_EQ(select(1), "1\n");
  buildTwoStepProfile();
  EXPECT_EQ(bus.controller().stepCount(1), 2);
  EXPECT_EQ(ask("W  4001, 1;R  4003, 1;R  4009, 3;R  4044, 1;R  4012, 1"), "1;0,5,0;150;0\n");
  EXPECT_EQ(ask("W  4001, 2;R  4003, 1;R  4060, 1"), "5;2\n");
  EXPECT_EQ(ask("W  4001, 3;R  4003, 1"), "0\n");  // no third step: its registers read 0
}

TEST_F(Profiles, StepEditingRefusals) {
  ASSERT_EQ(select(1), "1\n");
  struct Row {
    const char* line;
    const char* error;
  };
  const Row rows[] = {
      {"W  4003, 1", "3\n"},                           // no step 1 yet
      {"W  4001, 2", "0\n"},   {"W  4002, 2", "3\n"},  // cannot insert past the end
      {"W  4001, 1", "0\n"},   {"W  4002, 2", "0\n"},    {"W  4003, 4", "3\n"},
      {"W  4003, 1", "0\n"},   {"W  4010, 75", "3\n"},   {"W  4011, 60", "3\n"},
      {"W  4009, 100", "3\n"}, {"W  4044, 1001", "3\n"}, {"W  4044,-101", "3\n"},
      {"W  4060, 4", "3\n"},   {"W  4046, 2", "3\n"},    {"W  4003, 2", "0\n"},
      {"W  4011, 0", "3\n"},   {"W  4011, 25", "0\n"},   {"W  4003, 0", "0\n"},
      {"W  4009, 24", "3\n"},  {"W  4009, 23", "0\n"},   {"W  4004, 1", "0\n"},
      {"W  4008, 0", "0\n"},   {"W  4008, 8", "3\n"},    {"W  4002, 4", "0\n"},  // delete step
      {"W  4003, 1", "3\n"},   {"W  4000, 2", "0\n"},    {"W  4002, 3", "3\n"},  // no profile 2
      {"W  4002, 5", "3\n"},   {"W  4002, 7", "3\n"},
  };
  for (const Row& row : rows) {
    send(row.line);
    EXPECT_EQ(ask("E?"), row.error) << row.line;
  }
  EXPECT_EQ(bus.controller().stepCount(1), 0);
}

TEST_F(Profiles, InsertPutsTheNewStepBeforeTheSelectedOne) {
  ASSERT_EQ(select(1), "1\n");
  run({"W  4001, 1", "W  4002, 2", "W  4003, 5", "W  4002, 2", "W  4003, 3"});
  EXPECT_EQ(ask("E?"), "0\n");
  run({"W  4001, 2"});
  EXPECT_EQ(ask("R  4003, 1"), "5\n");  // the end step moved down
  run({"W  4001, 1"});
  EXPECT_EQ(ask("R  4003, 1"), "3\n");
}

TEST_F(Profiles, DeleteOneAndDeleteAll) {
  for (int i = 1; i <= 3; ++i) ASSERT_EQ(select(i), std::to_string(i) + "\n");
  run({"W  4000, 2", "W  4001, 1", "W  4002, 3", "W  25, 0"});
  EXPECT_EQ(ask("E?"), "0\n");
  EXPECT_EQ(bus.controller().stepCount(2), -1);
  EXPECT_EQ(bus.controller().profileCount(), 2);
  run({"W  4000, 2", "W  4001, 1", "W  4002, 3"});
  EXPECT_EQ(ask("E?"), "3\n");  // already gone
  send("W  25, 0");
  EXPECT_EQ(ask("E?"), "0\n");  // the register tells of the last transaction only
  EXPECT_EQ(select(3), "2\n");  // the freed number is taken first
  run({"W  4000, 1", "W  4002, 255", "W  25, 0"});
  EXPECT_EQ(ask("E?"), "0\n");
  EXPECT_EQ(bus.controller().profileCount(), 0);
}

TEST_F(Profiles, RunFollowsTheStepsAndEndsWithOutputsOff) {
  ASSERT_EQ(select(1), "1\n");
  buildTwoStepProfile();
  bus.controller().setAmbient(70);
  run({"W  4000, 1", "W  4001, 1", "W  4002, 5"});
  EXPECT_EQ(ask("E?"), "0\n");
  EXPECT_TRUE(bus.controller().profileRunning());
  EXPECT_EQ(ask("R  200, 1"), "2\n");

  // Set point, temperature and mode: 75 to 150 in 300 s is a quarter of a degree a second, and
  // the heater keeps up with it; the end step switches the outputs off.
  const std::pair<double, const char*> readings[] = {
      {0, "75;75;2\n"},    {100, "100;100;2\n"}, {150, "113;113;2\n"}, {299, "150;150;2\n"},
      {302, "75;149;0\n"}, {322, "75;139;0\n"},  {1000, "75;70;0\n"},
  };
  const double start = clock.now();
  for (const auto& [at, reads] : readings) {
    clock.sleepFor(start + at - clock.now());
    EXPECT_EQ(ask("R  300, 1;R  100, 1;R  200, 1"), reads) << at;
  }
}

TEST_F(Profiles, RampRateSoakAndAutoStart) {
  ASSERT_EQ(select(1), "1\n");
  // Start at 00:01:00, ramp at 1 degree a minute x 60 (1 degree a second) to 95, soak 30 s,
  // then end holding the last set point.
  run({"W  4001, 1", "W  4002, 2", "W  4003, 0", "W  4004, 1", "W  4008, 0", "W  4009, 0",
       "W  4010, 1", "W  4011, 0", "W  25, 0"});
  run({"W  4001, 2", "W  4002, 2", "W  4003, 2", "W  4012, 0", "W  4009, 0", "W  4010, 0",
       "W  4011, 600", "W  4046, 0", "W  4048, 0", "W  4044, 95", "W  4046, 0", "W  25, 0"});
  run({"W  4001, 3", "W  4002, 2", "W  4003, 3", "W  4012, 0", "W  4046, 0", "W  4009, 0",
       "W  4010, 0", "W  4011, 30", "W  25, 0"});
  run({"W  4001, 4", "W  4002, 2", "W  4003, 5", "W  4060, 0", "W  25, 0"});
  ASSERT_EQ(ask("E?"), "0\n");
  ASSERT_EQ(bus.controller().stepCount(1), 4);

  run({"W  4000, 1", "W  4001, 1", "W  4002, 5"});
  const std::pair<double, const char*> readings[] = {{30, "75\n"},  {60, "75\n"},  {70, "85\n"},
                                                     {80, "95\n"},  {115, "95\n"}, {500, "95\n"}};
  for (const auto& [at, temperature] : readings) {
    clock.sleepFor(at - clock.now());
    EXPECT_EQ(ask("R  100, 1"), temperature) << at;
  }
  EXPECT_FALSE(bus.controller().profileRunning());
  EXPECT_EQ(ask("R  300, 1"), "95\n");  // held
  send("W  300, 75");
  clock.sleepFor(20);
  EXPECT_EQ(ask("R  100, 1"), "75\n");
}

TEST_F(Profiles, StopAndRefusalsWhileRunning) {
  ASSERT_EQ(select(1), "1\n");
  buildTwoStepProfile();
  run({"W  4000, 1", "W  4001, 1", "W  4002, 5"});
  ASSERT_TRUE(bus.controller().profileRunning());
  // Neither delete (3), delete all (255), step type (4003) nor insert (2) of the running one.
  for (const char* line : {"W  4002, 3", "W  4002, 255", "W  4003, 3", "W  4002, 2"}) {
    send(line);
    EXPECT_EQ(ask("E?"), "3\n") << line;
  }
  clock.sleepFor(100);
  send("W  1217, 1");
  EXPECT_EQ(ask("E?"), "0\n");
  EXPECT_FALSE(bus.controller().profileRunning());
  EXPECT_EQ(ask("R  200, 1;R  300, 1"), "0;75\n");  // back to set point 1
  clock.sleepFor(60);
  EXPECT_EQ(ask("R  100, 1"), "75\n");
}

TEST_F(Profiles, RunningNothingIsRefused) {
  for (const char* line : {"W  4000, 9;W  4001, 1;W  4002, 5", "W  4002, 1;W  4002, 5"}) {
    send(line);  // no profile 9; then profile 1 made but empty
    EXPECT_EQ(ask("E?"), "3\n") << line;
  }
}

}  // namespace
