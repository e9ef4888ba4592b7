#include <QTest>

#include "ConsoleFixture.h"

namespace console_tests {
namespace {

struct SetPointRow {
  const char* entry;
  const char* line;  // nullptr: nothing sent
  const char* result;
};

TEST_F(ConsoleTest, SetPointEntries) {
  discover();
  const SetPointRow rows[] = {
      {"75", "W  300, 75", "SetPoint 1 set to 75"},
      {"off", "W  300, 0", "SetPoint 1 set OFF"},
      {"Off", "W  300, 0", "SetPoint 1 set OFF"},
      {" OFF", "W  300, 0", "SetPoint 1 set to  OFF"},
      {"abc", "W  300, 0", "SetPoint 1 set to abc"},
      {"0.5", "W  300, .5", "SetPoint 1 set to 0.5"},
      {"-40", "W  300,-40", "SetPoint 1 set to -40"},
      {"72.5", "W  300, 72.5", "SetPoint 1 set to 72.5"},
      {"", nullptr, "Improper Set Point data entry, \r\nEnter a numeric value or 'OFF' "},
      {"1e39", nullptr, ""},
  };
  for (const auto& row : rows) {
    window.txtError->clear();
    window.txtSetPt->setText(row.entry);
    window.cmdSetPt->click();
    EXPECT_EQ(results(), row.result) << row.entry;
    if (row.line) {
      EXPECT_EQ(rec.take(), (Lines{sent(row.line)})) << row.entry;
    } else {
      EXPECT_EQ(rec.take(), (Lines{"beep"})) << row.entry;
    }
  }
  EXPECT_EQ(error(), "Set point out of range for a single-precision number: nothing sent");
}

TEST_F(ConsoleTest, StaticParametersTeachTheSetPointOffValue) {
  discover();
  window.cmdStopSetPt->click();
  EXPECT_EQ(rec.take(), (Lines{sent("W  300, 0")}));
  bus.reply("-100\n");
  window.cmdStatic->click();
  EXPECT_EQ(rec.take(), (Lines{sent("W  700, 1"), sent("W  717, 2"), sent("W  500, 0"),
                               sent("W  550, 0"), sent("W  507, 2"), sent("R  602, 1"), kPause,
                               kRecv}));
  EXPECT_EQ(results(),
            "Output 1A set for heat, Output 1B set for cooling\r\nHystersis set to 2 degrees");
  EXPECT_TRUE(window.lblCmdResponse->isVisibleTo(&window));
  EXPECT_EQ(window.Setpointoff, -101);
  window.cmdStopSetPt->click();
  EXPECT_EQ(rec.take(), (Lines{sent("W  300,-101")}));
  EXPECT_EQ(results(), "SetPoint 1 set OFF");
  window.txtSetPt->setText("OFF");
  window.cmdSetPt->click();
  EXPECT_EQ(rec.take(), (Lines{sent("W  300,-101")}));
  // No answer from 602: the fallback, and the value learnt before stays.
  bus.reply("");
  bus.reply("2\n");
  window.cmdStatic->click();
  EXPECT_EQ(error(), "Modbus Error 2\n");
  EXPECT_EQ(rec.beeps(), 1);
  EXPECT_EQ(window.Setpointoff, -101);
}

TEST_F(ConsoleTest, UnitClicksWriteOnlyAfterDiscovery) {
  window.optUnits[0]->setEnabled(true);
  window.optUnits[1]->setEnabled(true);
  window.optUnits[1]->click();  // FirstTimeFlg still empty: nothing is written
  EXPECT_TRUE(rec.take().empty());
  window.FirstTimeFlg = 0;
  window.optUnits[0]->click();
  EXPECT_TRUE(rec.take().empty());
  discover();
  ASSERT_TRUE(window.optUnits[0]->isChecked());
  window.optUnits[1]->click();
  EXPECT_EQ(rec.take(), (Lines{sent("W  901, 1")}));
  window.optUnits[1]->click();
  EXPECT_TRUE(rec.take().empty());
}

TEST_F(ConsoleTest, DisplaySwitchesAndTheirColours) {
  discover();
  window.txtResults->setText("x");
  window.cmdRdTemp2->click();
  EXPECT_EQ(results(), "");
  EXPECT_EQ(window.TempRdFlag, 1);
  EXPECT_EQ(ui::background(window.txtTemp), QColor(255, 144, 128));
  bus.reply("80\n");
  window.Timer1_Timer();
  EXPECT_EQ(window.txtTemp->text(), "80");
  EXPECT_EQ(rec.take(), (Lines{sent("R  100, 1"), kPause, kRecv}));
  window.cmdRdTemp2->click();
  EXPECT_EQ(window.TempRdFlag, 0);
  EXPECT_EQ(ui::background(window.txtTemp), QColor(255, 255, 255));
  EXPECT_EQ(window.txtTemp->text(), "80") << "the last value stays";
  window.Timer1_Timer();
  EXPECT_TRUE(rec.take().empty()) << "a tick with both displays off sends nothing";

  window.cmdRdTime->click();
  EXPECT_EQ(ui::background(window.txtTime), QColor(255, 144, 128));
  bus.reply("13,5,59\n");
  window.Timer1_Timer();
  EXPECT_EQ(rec.take(), (Lines{sent("R  1916, 3"), kPause, kRecv}));
  EXPECT_EQ(window.txtTime->text(), "13,5,59");
  // No answer: every tick ends in the fallback with a beep.
  window.Timer1_Timer();
  EXPECT_EQ(rec.take(), (Lines{sent("R  1916, 3"), kPause, kRecv, sent("E?"), kRecv, "beep"}));
  window.cmdRdTime->click();
  EXPECT_EQ(ui::background(window.txtTime), QColor(255, 255, 255));
}

// Live display against the simulated controller: each tick reads temperature, then time, with
// their pauses, and the temperature climbs toward a new set point.
TEST(LiveDisplayOnSimulator, FollowsTheControllerTowardItsSetPoint) {
  SimConsole sim;
  auto& w = sim.w;
  auto& rec = sim.rec;
  w.cmdInitialize->click();
  w.cmdStatic->click();
  w.txtSetPt->setText("150");
  w.cmdSetPt->click();
  w.cmdRdTemp2->click();
  w.cmdRdTime->click();
  rec.clear();
  std::vector<int> temps;
  for (int tick = 0; tick < 400; ++tick) {
    w.Timer1_Timer();
    if (tick == 0) {
      const Lines expected = {"Send(0, 4, \"R  100, 1\", NLend)", "pause 0.1",
                              "Receive(0, 4, 256, STOPend)", "Send(0, 4, \"R  1916, 3\", NLend)",
                              "pause 0.1", "Receive(0, 4, 256, STOPend)"};
      EXPECT_EQ(rec.take(), expected);
    }
    temps.push_back(w.txtTemp->text().toInt());
  }
  EXPECT_EQ(rec.beeps(), 0);
  EXPECT_LT(temps.front(), 100);
  for (size_t i = 1; i < temps.size(); ++i) EXPECT_GE(temps[i], temps[i - 1]) << i;
  EXPECT_EQ(temps.back(), 150) << "settles on the set point after 80 s";
  EXPECT_EQ(w.txtTime->text().count(','), 2);
}

}  // namespace
}  // namespace console_tests
