#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace {

using Controller = simtest::BusFixture;

TEST_F(Controller, PowerOnRegisters) {
  const std::pair<int, int> rows[] = {
      {0, 5270}, {100, 75}, {200, 0},  {300, 75}, {602, -100}, {603, 1000}, {901, 0},
      {700, 0},  {717, 0},  {500, 0},  {550, 0},  {507, 2},    {25, 0},     {1217, 0},
      {1916, 0}, {1917, 0}, {1918, 0}, {4000, 1}, {4001, 1},   {4003, 0},
  };
  for (const auto& [reg, value] : rows) EXPECT_EQ(registerValue(reg), value) << reg;
  EXPECT_EQ(bus.controller().profileCount(), 0);
  EXPECT_FALSE(bus.controller().profileRunning());
}

TEST_F(Controller, WritesAndTheirExceptions) {
  struct Row {
    int reg;
    int value;
    std::uint8_t exception;
  };
  const Row rows[] = {
      {300, 1000, 0}, {300, 1001, 3}, {300, -100, 0}, {300, -101, 0}, {300, -32768, 0},
      {0, 5270, 2},   {1, 0, 2},      {5, 0, 2},      {100, 80, 2},   {200, 2, 2},
      {9999, 0, 2},   {101, 0, 2},    {4005, 0, 2},   {4061, 0, 2},   {901, 2, 3},
      {901, -1, 3},   {700, 3, 3},    {717, 2, 0},    {500, 1, 0},    {550, 2, 3},
      {507, 1000, 3}, {25, 0, 0},     {25, 1, 3},     {1217, 0, 0},   {1217, 2, 3},
      {1916, 24, 3},  {1917, 60, 3},  {1918, -1, 3},  {1916, 23, 0},  {602, 1000, 3},
      {603, -100, 3}, {4000, 0, 3},   {4000, 41, 3},  {4000, 40, 0},  {4001, 0, 3},
      {4001, 257, 3}, {4002, 6, 3},   {4002, 0, 3},   {4003, 1, 3},  // no profile 40
  };
  for (const Row& row : rows)
    EXPECT_EQ(bus.controller().write(row.reg, static_cast<std::int16_t>(row.value)), row.exception)
        << row.reg << " <- " << row.value;
}

TEST_F(Controller, SetPointAtOrBelowLowLimitMeansOff) {
  ASSERT_EQ(bus.controller().write(602, 50), 0);
  ASSERT_EQ(bus.controller().write(700, 1), 0);
  ASSERT_EQ(bus.controller().write(717, 2), 0);
  bus.controller().setAmbient(60);
  ASSERT_EQ(bus.controller().write(300, 50), 0);  // at the limit: off
  clock.sleepFor(40);
  EXPECT_EQ(registerValue(100), 60);              // drifted to ambient at half a degree a second
  ASSERT_EQ(bus.controller().write(300, 51), 0);  // above it: controlled again
  clock.sleepFor(1);
  EXPECT_EQ(registerValue(100), 57);
  clock.sleepFor(2);
  EXPECT_EQ(registerValue(100), 51);
}

TEST_F(Controller, UnitChangeConvertsValues) {
  ASSERT_EQ(bus.controller().write(300, 212), 0);
  for (int unit : {1, 1}) {  // the same unit again converts nothing twice
    ASSERT_EQ(bus.controller().write(901, static_cast<std::int16_t>(unit)), 0);
    EXPECT_EQ(ask("R  300, 1;R  100, 1;R  602, 2;R  901, 1"), "100;24;-73,538;1\n");
  }
  ASSERT_EQ(bus.controller().write(901, 0), 0);
  EXPECT_EQ(ask("R  300, 1;R  100, 1"), "212;75\n");
}

TEST_F(Controller, TimeOfDayFollowsTheClock) {
  bus.controller().setTimeOfDay(13 * 3600 + 5 * 60 + 7);
  EXPECT_EQ(ask("R  1916, 3"), "13,5,7\n");
  clock.sleepFor(60);
  EXPECT_EQ(ask("R  1916, 3"), "13,6,7\n");
  clock.sleepFor(11 * 3600);
  EXPECT_EQ(ask("R  1916, 3"), "0,6,7\n");  // past midnight
  send("W  1917, 30");
  EXPECT_EQ(ask("R  1916, 3"), "0,30,7\n");
}

// ---- temperature in virtual time -------------------------------------------------------------

struct Course {
  const char* name;
  std::vector<std::string> setup;
  double ambient;
  std::vector<std::pair<double, int>> readings;  // seconds after setup, temperature read
};

void PrintTo(const Course& course, std::ostream* os) { *os << course.name; }

const Course kCourses[] = {
    {"stands still at power on", {}, 75, {{0, 75}, {3600, 75}}},
    {"no outputs set up: set point does nothing", {"W  300, 150"}, 75, {{100, 75}}},
    {"heats at three degrees a second and settles exactly",
     {"W  700, 1", "W  717, 2", "W  300, 150"},
     75,
     {{1, 78}, {10, 105}, {24, 147}, {25, 150}, {26, 150}, {3600, 150}}},
    {"cools to a lower set point",
     {"W  700, 1", "W  717, 2", "W  300, 60"},
     75,
     {{2, 69}, {5, 60}, {100, 60}}},
    {"heat only cannot cool: drifts and holds at set point",
     {"W  700, 1", "W  300, 70"},
     65,
     {{4, 73}, {10, 70}, {100, 70}}},
    {"set point off drifts to ambient",
     {"W  700, 1", "W  717, 2", "W  300,-101"},
     65,
     {{10, 70}, {20, 65}, {1000, 65}}},
    {"ambient change with no control", {}, 85, {{10, 80}, {20, 85}}},
    {"celsius set point settles exactly",
     {"W  901, 1", "W  700, 1", "W  717, 2", "W  300, 30"},
     24,
     {{1, 27}, {3, 30}, {60, 30}}},
    {"readings are whole degrees, halves up",
     {"W  700, 1", "W  717, 2", "W  300, 80"},
     75,
     {{1.5, 80}, {100, 80}}},
};

class TemperatureCourse : public simtest::BusFixture,
                          public ::testing::WithParamInterface<Course> {};

TEST_P(TemperatureCourse, FollowsTheClock) {
  for (const std::string& line : GetParam().setup) send(line);
  bus.controller().setAmbient(GetParam().ambient);
  const double start = clock.now();
  for (const auto& [at, expected] : GetParam().readings) {
    clock.sleepFor(start + at - clock.now());
    EXPECT_EQ(ask("R  100, 1"), std::to_string(expected) + "\n") << "after " << at << " s";
  }
}

INSTANTIATE_TEST_SUITE_P(Courses, TemperatureCourse, ::testing::ValuesIn(kCourses));

}  // namespace
