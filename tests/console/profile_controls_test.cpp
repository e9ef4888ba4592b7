#include "ConsoleFixture.h"
#include "ProfileWindow.h"

namespace console_tests {
namespace {

struct ProfileRow {
  const char* entry;
  bool confirm;  // Confirm Delete instead of Run
  Lines writes;  // empty: refused
};

TEST_F(ConsoleTest, RunAndDeleteProfiles) {
  discover();
  const ProfileRow rows[] = {
      {"3", false, {"W  4000, 3", "W  4001, 1", "W  4002, 5"}},
      {"255", false, {"W  4000, 255", "W  4001, 1", "W  4002, 5"}},
      {"ALL", false, {"W  4000, 0", "W  4001, 1", "W  4002, 5"}},
      {"2.5", false, {"W  4000, 2.5", "W  4001, 1", "W  4002, 5"}},
      {"-1", false, {"W  4000,-1", "W  4001, 1", "W  4002, 5"}},
      {"256", false, {}},
      {"", false, {}},
      {"3", true, {"W  4000, 3", "W  4001, 1", "W  4002, 3", "W  25, 0"}},
      {"all", true, {"W  4000, 1", "W  4002, 255", "W  25, 0"}},
      {"All", true, {"W  4000, 1", "W  4002, 255", "W  25, 0"}},
      {"", true, {}},
      {"256", true, {}},
  };
  for (const auto& row : rows) {
    window.txtProfile->setText(row.entry);
    if (!row.writes.empty()) bus.reply("0\n");
    if (row.confirm) {
      window.cmdDelete->click();
      EXPECT_TRUE(window.cmdConfirm->isVisibleTo(&window));
      EXPECT_TRUE(window.cmdConfirm->isEnabled());
      window.cmdConfirm->click();
      EXPECT_FALSE(window.cmdConfirm->isVisibleTo(&window));
    } else {
      window.cmdRunProfile->click();
    }
    Lines expected;
    for (const auto& w : row.writes) expected.push_back(sent(w));
    if (!row.writes.empty()) {
      expected.insert(expected.end(), {"pause 0.3", sent("E?"), kRecv});
      EXPECT_EQ(results(), "Modbus Error 0") << row.entry;
    } else {
      EXPECT_EQ(results(), "Improper Profile entry, redo") << row.entry;
    }
    expected.push_back("beep");
    EXPECT_EQ(rec.take(), expected) << row.entry << (row.confirm ? " confirm" : " run");
  }
}

TEST_F(ConsoleTest, ErrorReportCutsTheTerminatorAndSurvivesNoAnswer) {
  discover();
  window.txtProfile->setText("4");
  bus.reply("3\n");
  window.cmdRunProfile->click();
  EXPECT_EQ(results(), "Modbus Error 3");
  window.cmdRunProfile->click();  // "E?" unanswered
  EXPECT_EQ(results(), "Modbus Error ");
}

TEST_F(ConsoleTest, StopAndCreate) {
  discover();
  window.txtProfile->clear();
  window.txtResults->setText("x");
  window.cmdStop->click();
  EXPECT_EQ(rec.take(), (Lines{sent("W  1217, 1")}));
  EXPECT_EQ(results(), "");
  window.txtResults->setText("x");
  window.cmdCreate->click();
  ASSERT_NE(window.profileWindow(), nullptr);
  EXPECT_TRUE(window.profileWindow()->isVisible());
  EXPECT_EQ(results(), "");
  window.profileWindow()->hide();
}

TEST_F(ConsoleTest, ProfileNumberThatIsNotASingleIsRefused) {
  discover();
  window.txtProfile->setText("-1e39");
  window.cmdRunProfile->click();
  EXPECT_EQ(error(), "Profile number out of range for a single-precision number: nothing sent");
  EXPECT_EQ(rec.take(), (Lines{"beep"}));
}

}  // namespace
}  // namespace console_tests
