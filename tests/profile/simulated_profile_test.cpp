// A profile built in the window ends up in the simulated Watlow F4, step by step.
#include "ProfileFixture.h"

namespace profile_tests {
namespace {

// What the operator sees in txtResults.
QString results(const profile::ProfileWindow& window) {
  return window.txtResults->isVisible() ? window.txtResults->text() : "";
}

// A field of a stored step, read the way a Modbus master would.
int field(sim::SimulatedBus& bus, int profileNumber, int step, int reg) {
  auto& f4 = bus.controller();
  EXPECT_EQ(f4.write(4000, static_cast<std::int16_t>(profileNumber)), 0);
  EXPECT_EQ(f4.write(4001, static_cast<std::int16_t>(step)), 0);
  std::int16_t value = -999;
  EXPECT_EQ(f4.read(reg, value), 0) << "register " << reg;
  return value;
}

TEST_F(SimulatedProfile, AutoStartRampSoakAndEndAreStoredInTheController) {
  gpib.ibtmo(0, 11);
  type("txtProfile", "1");
  press("cmdSetProfile");
  ASSERT_TRUE(enabled("optStep(0)")) << results(window).toStdString();
  EXPECT_EQ(bus.controller().profileCount(), 1);

  choose(0);  // AutoStart at the presets: one second past midnight
  press("cmdSetTime");
  ASSERT_EQ(results(window), "");
  choose(2);  // Ramp at 2.5 degrees a minute to 150
  type("txtSS", "25");
  press("cmdSetTime");
  type("txtTemp", "150");
  press("cmdSetTemp");
  ASSERT_EQ(results(window), "");
  choose(3);  // Soak for five minutes
  type("txtMM", "05");
  press("cmdSetTime");
  ASSERT_EQ(results(window), "");
  choose(4);
  EXPECT_TRUE(shown("lblDone"));
  EXPECT_EQ(results(window), "");
  EXPECT_EQ(rec.beeps(), 0);
  EXPECT_EQ(bus.converter().errorRegister(), 0);

  ASSERT_EQ(bus.controller().stepCount(1), 4);
  struct Expect {
    int step, reg, value;
  };
  const Expect stored[] = {
      {1, 4003, 0}, {1, 4004, 1},  {1, 4008, 0},   {1, 4009, 0}, {1, 4010, 0}, {1, 4011, 1},
      {2, 4003, 2}, {2, 4011, 25}, {2, 4044, 150}, {2, 4012, 0}, {3, 4003, 3}, {3, 4009, 0},
      {3, 4010, 5}, {3, 4011, 1},  {3, 4046, 0},   {4, 4003, 5}, {4, 4060, 2},
  };
  for (const auto& e : stored)
    EXPECT_EQ(field(bus, 1, e.step, e.reg), e.value) << e.step << "/" << e.reg;
}

TEST_F(SimulatedProfile, AProfileTheControllerCannotGiveIsReportedWithTheNumberItGave) {
  // Profile 1 exists already, so asking for it makes the controller create number 2.
  gpib.ibtmo(0, 11);
  type("txtProfile", "1");
  press("cmdSetProfile");
  ASSERT_TRUE(enabled("frmGenProfile"));
  press("cmdSetProfile");
  EXPECT_EQ(results(window),
            "Selected profile not available, F4 reports profile#  2\r\n"
            "Return to Main Form and delete profiles");
  EXPECT_EQ(rec.beeps(), 1);

  // The controller made profile 2 all the same; it waits, empty, to be deleted.
  EXPECT_EQ(bus.controller().profileCount(), 2);

  // Out of the controller's range entirely: the selection write is refused, the read-back shows
  // the profile still selected.
  type("txtProfile", "200");
  press("cmdSetProfile");
  EXPECT_EQ(results(window),
            "Selected profile not available, F4 reports profile#  3\r\n"
            "Return to Main Form and delete profiles");
}

}  // namespace
}  // namespace profile_tests
