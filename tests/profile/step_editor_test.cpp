// The step editor: choosing step types, the time and temperature entries, completion and End.
#include <QLabel>
#include <QLineEdit>

#include "ProfileFixture.h"

namespace profile_tests {
namespace {

TEST_F(ProfileTest, TwoStepProfileGoesOnTheWireExactly) {
  selectProfile("3");
  choose(1);
  EXPECT_EQ(text("txtStepNum"), " 1");
  type("txtHH", "00");
  type("txtMM", "05");
  type("txtSS", "00");
  bus.reply("0\n");
  press("cmdSetTime");
  EXPECT_TRUE(shown("txtTemp"));
  type("txtTemp", "150");
  bus.reply("0\n");
  press("cmdSetTemp");
  bus.reply("0\n");
  choose(4);

  // Written out in full: the reference sequence of the two-step profile.
  EXPECT_EQ(rec.take(), (Lines{sent("W  4001, 1"),
                               sent("W  4002, 2"),
                               sent("W  4003, 1"),
                               sent("W  4012, 0"),
                               sent("W  4009, 0"),
                               sent("W  4010, 5"),
                               sent("W  4011, 0"),
                               sent("W  4046, 0"),
                               sent("W  4048, 0"),
                               "pause 0.5",
                               sent("E?"),
                               kRecv,
                               sent("W  4044, 150"),
                               sent("W  4046, 0"),
                               "pause 0.5",
                               sent("E?"),
                               kRecv,
                               sent("W  25, 0"),
                               sent("W  4001, 2"),
                               sent("W  4002, 2"),
                               sent("W  4003, 5"),
                               sent("E?"),
                               kRecv,
                               sent("W  4060, 2"),
                               sent("W  25, 0")}));
  EXPECT_EQ(window.Step, 2);
  EXPECT_EQ(text("txtStepNum"), " 2");
  EXPECT_EQ(text("lblStep"), "Ends Profile");
  EXPECT_TRUE(shown("lblDone"));
  EXPECT_FALSE(shown("txtResults"));
  EXPECT_EQ(rec.beeps(), 0);
}

TEST_F(ProfileTest, EachStepTypeInsertsItsStepWritesItsCodeAndAsksForItsValues) {
  const std::string all = "txtHH txtMM txtSS lblHHMMSS lblSetTime cmdSetTime";
  const Lines autoStart = {W(4003, 0), W(4004, 1), W(4008, 0), "pause 0.4"};
  const struct {
    Lines wire;  // after the common insertion of step 2
    QString prompt, stepNumber;
    std::string stepEnd;
    QString presets, timeCaption;
    std::string shown;
  } rows[] = {
      {autoStart + kAsked, "Sets time of day to start profile", "2", "Time", "00 00 01",
       "Enter Start Time", all},
      {Lines{W(4003, 1), W(4012, 0)}, "Sets Time and End Point", " 2", "Temp", "00 00 10",
       "Enter Pause or Ramp Time", all},
      {Lines{W(4003, 2), W(4012, 0)}, "Sets Ramp Rate and End Point", " 2", "Temp", "00 00 01",
       "Set rate in degrees/minute *10", "txtSS lblSetTime cmdSetTime"},
      {Lines{W(4003, 3), W(4012, 0), W(4046, 0)}, "Sets Soak Time", " 2", "Time", "00 00 01",
       "Set Soak Time ", all},
      // End leaves the boxes as they were: here the leftovers of the completed first step.
      {Lines{W(4003, 5)} + kAsked + Lines{W(4060, 2)} + kCompleted, "Ends Profile", " 2", "Time",
       "x y z", "Enter Start Time", "lblDone"},
  };
  for (int index = 0; index < 5; ++index) {
    SCOPED_TRACE(index);
    const auto& row = rows[index];
    selectProfile("3");
    completeAutoStart();
    type("txtHH", "x"), type("txtMM", "y"), type("txtSS", "z");
    type("txtResults", "old");
    window.txtResults->setVisible(true);
    if (index == 0 || index == 4) bus.reply("0\n");  // only these two ask for the error register
    choose(index);
    EXPECT_EQ(rec.take(), (Lines{W(4001, 2), W(4002, 2)} + row.wire));
    EXPECT_EQ(window.Step, 2);
    EXPECT_EQ(text("lblStep"), row.prompt);
    EXPECT_EQ(text("txtStepNum"), row.stepNumber);
    EXPECT_EQ(window.StepEnd, row.stepEnd);
    EXPECT_EQ(times(), row.presets);
    EXPECT_EQ(text("lblSetTime"), row.timeCaption);
    EXPECT_EQ(visible({"txtHH", "txtMM", "txtSS", "lblHHMMSS", "lblSetTime", "cmdSetTime",
                       "lblDone", "txtResults", "txtTemp", "lblTemp"}),
              row.shown);
    EXPECT_TRUE(selected(index));
    EXPECT_EQ(rec.beeps(), 0);
    EXPECT_EQ(bus.pendingReplies(), 0u);
    // Starts the next row on a fresh selection: the finished step type must be free again.
    window.optStep[index]->deselect();
  }
}

TEST_F(ProfileTest, FirstStepAfterASelectionIsNumberOne) {
  for (const auto& [index, shownAs] : {std::pair{0, "1"}, {1, " 1"}, {4, " 1"}}) {
    SCOPED_TRACE(index);
    selectProfile("3");
    if (index != 1) bus.reply("0\n");
    choose(index);
    EXPECT_EQ(rec.take().at(0), W(4001, 1));
    EXPECT_EQ(text("txtStepNum"), shownAs);
    window.optStep[index]->deselect();
  }
}

TEST_F(ProfileTest, AutoStartRefusedByTheControllerGivesItsStepNumberBack) {
  selectProfile("3");
  bus.reply("4\n");
  choose(0);
  EXPECT_EQ(rec.take(),
            (inserted(1, 0) + Lines{W(4004, 1), W(4008, 0), "pause 0.4"} + kAsked + Lines{"beep"}));
  EXPECT_EQ(text("txtResults"), "Modbus Error 4");
  EXPECT_TRUE(shown("txtResults"));
  EXPECT_EQ(window.Step, 0);
  EXPECT_FALSE(selected(0));
  EXPECT_EQ(visible({"txtHH", "txtMM", "txtSS", "lblSetTime", "cmdSetTime", "lblHHMMSS"}), "");

  // The same number is used again, and choosing a type hides the old message.
  bus.reply("0\n");
  choose(0);
  EXPECT_EQ(rec.take().at(0), W(4001, 1));
  EXPECT_EQ(window.Step, 1);
  EXPECT_FALSE(shown("txtResults"));
  EXPECT_TRUE(shown("txtHH"));
}

TEST_F(ProfileTest, RampRateOf25IsWrittenAsTypedAndTheTemperatureFollows) {
  selectProfile("3");
  completeAutoStart();
  choose(2);
  rec.clear();
  type("txtSS", "25");
  bus.reply("0\n");
  press("cmdSetTime");
  EXPECT_EQ(rec.take(), timeSet(" 0", " 0", " 25"));
  EXPECT_EQ(visible({"txtTemp", "cmdSetTemp", "lblTemp", "txtSS"}),
            "txtTemp cmdSetTemp lblTemp txtSS");
  EXPECT_EQ(window.focusWidget(), control("txtTemp"));
  // The step is not complete before its end temperature.
  EXPECT_TRUE(selected(2));
  EXPECT_EQ(text("lblStep"), "Sets Ramp Rate and End Point");

  type("txtTemp", "150.5");
  bus.reply("0\n");
  press("cmdSetTemp");
  EXPECT_EQ(rec.take(), tempSet(" 150.5") + kCompleted);
  EXPECT_EQ(visible({"txtHH", "txtMM", "txtSS", "lblSetTime", "lblHHMMSS", "cmdSetTime", "txtTemp",
                     "cmdSetTemp", "lblTemp"}),
            "");
  EXPECT_EQ(text("lblStep"), "Select Step Type");
  EXPECT_FALSE(selected(2));
}

TEST_F(ProfileTest, TimeEntriesAreWrittenAsTheirNumericValueWithoutChecks) {
  const struct {
    QString hh, mm, ss;
    std::string hhSent, mmSent, ssSent;
  } rows[] = {
      {"00", "", "00", " 0", " 0", " 0"},
      {"01", "75", "10", " 1", " 75", " 10"},
      {"  7", "abc", "-3", " 7", " 0", "-3"},
      {"1.5", "12x", ".5", " 1.5", " 12", " .5"},
      {"100000", "&H1F", "1e3", " 100000", " 31", " 1000"},
  };
  selectProfile("3");
  bus.reply("0\n");
  choose(1);
  for (const auto& row : rows) {
    SCOPED_TRACE((row.hh + "/" + row.mm + "/" + row.ss).toStdString());
    rec.clear();
    type("txtHH", row.hh), type("txtMM", row.mm), type("txtSS", row.ss);
    bus.reply("0\n");
    press("cmdSetTime");
    EXPECT_EQ(rec.take(), timeSet(row.hhSent, row.mmSent, row.ssSent));
    EXPECT_TRUE(shown("txtTemp"));
  }
}

TEST_F(ProfileTest, EntriesBeyondASingleAreRefusedAndNothingIsSent) {
  selectProfile("3");
  choose(1);
  bus.reply("0\n");
  press("cmdSetTime");  // shows the temperature box
  rec.clear();
  for (const char* box : {"txtHH", "txtMM", "txtSS", "txtTemp"}) {
    SCOPED_TRACE(box);
    for (const char* each : {"txtHH", "txtMM", "txtSS", "txtTemp"}) type(each, "1");
    type(box, "-4e38");
    press(box == std::string("txtTemp") ? "cmdSetTemp" : "cmdSetTime");
    EXPECT_EQ(rec.take(), Lines{"beep"});
    EXPECT_EQ(text("txtResults"),
              QString(box + 3) + " entry out of range for a single-precision number: nothing sent");
    EXPECT_TRUE(shown("txtResults"));
    EXPECT_TRUE(shown("txtTemp"));
    EXPECT_TRUE(selected(1));
  }
  EXPECT_EQ(window.Step, 1);
}

TEST_F(ProfileTest, ModbusErrorAfterASetLeavesTheEntryForARetry) {
  const struct {
    const char* button;
    std::string reply;
    QString results;
  } rows[] = {
      {"cmdSetTime", "3\n", "Modbus Error 3"},
      {"cmdSetTime", "-1", "Modbus Error -"},
      {"cmdSetTemp", "12\n", "Modbus Error 12"},
      {"cmdSetTemp", "7", "Modbus Error "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.button) + " " + row.reply);
    const bool time = std::string(row.button) == "cmdSetTime";
    selectProfile("3");
    choose(1);
    if (!time) bus.reply("0\n"), press("cmdSetTime");
    type("txtHH", "02");
    type("txtTemp", "90");
    rec.clear();
    bus.reply(row.reply);
    press(row.button);
    EXPECT_EQ(rec.take(), (time ? timeSet(" 2", " 0", " 10") : tempSet(" 90")) + Lines{"beep"});
    EXPECT_EQ(text("txtResults"), row.results);
    EXPECT_TRUE(shown("txtResults"));
    EXPECT_EQ(text("txtHH"), "02");
    EXPECT_TRUE(shown("txtHH"));
    EXPECT_TRUE(selected(1));
    EXPECT_EQ(text("lblStep"), "Sets Time and End Point");

    // Pressed again with the controller content, the entry goes through and the message goes.
    bus.reply("0\n");
    press(row.button);
    EXPECT_FALSE(shown("txtResults"));
    // Set Time of a Time step leads on to the temperature; Set Temp completes the step.
    EXPECT_EQ(rec.take().back(), time ? kRecv : W(25, 0));
    window.optStep[1]->deselect();
  }
}

TEST_F(ProfileTest, SetTempWhileTheStepEndsWithItsTimeOnlyWritesAndAsks) {
  selectProfile("3");
  completeAutoStart();
  choose(1);
  bus.reply("0\n");
  press("cmdSetTime");
  ASSERT_TRUE(shown("txtTemp"));
  choose(3);  // Soak, in the middle of the Time step: the temperature box stays
  ASSERT_EQ(window.StepEnd, "Time");
  rec.clear();
  type("txtTemp", "80");
  bus.reply("0\n");
  press("cmdSetTemp");
  EXPECT_EQ(rec.take(), tempSet(" 80"));
  EXPECT_EQ(visible({"txtTemp", "cmdSetTemp", "txtHH"}), "txtTemp cmdSetTemp txtHH");
  EXPECT_TRUE(selected(3));
  EXPECT_EQ(text("lblStep"), "Sets Soak Time");
  EXPECT_EQ(window.Step, 3);
}

TEST_F(ProfileTest, SoakCompletesWithItsTimeAndFreesItsOption) {
  selectProfile("3");
  completeAutoStart();
  EXPECT_FALSE(selected(0));
  EXPECT_EQ(text("lblStep"), "Select Step Type");
  choose(3);
  type("txtMM", "30");
  bus.reply("0\n");
  rec.clear();
  press("cmdSetTime");
  EXPECT_EQ(rec.take(), timeSet(" 0", " 30", " 1") + kCompleted);
  EXPECT_FALSE(selected(3));
  EXPECT_EQ(
      visible({"txtHH", "txtMM", "txtSS", "lblSetTime", "lblHHMMSS", "cmdSetTime", "txtTemp"}), "");
  EXPECT_EQ(text("lblStep"), "Select Step Type");
  // Once freed, Ramp and Soak stay enabled through further selections.
  selectProfile("5");
  EXPECT_TRUE(enabled("optStep(2)"));
  EXPECT_TRUE(enabled("optStep(3)"));
}

TEST_F(ProfileTest, EndShowsTheCompletionWhateverTheErrorRegisterSays) {
  for (const std::string reply : {"0\n", "9\n", "", "garbage"}) {
    SCOPED_TRACE(reply);
    selectProfile("3");
    window.lblDone->setVisible(false);
    if (!reply.empty()) bus.reply(reply);
    choose(4);
    EXPECT_EQ(rec.take(), inserted(1, 5) + kAsked + Lines{W(4060, 2)} + kCompleted);
    EXPECT_EQ(visible({"lblDone", "txtResults"}), "lblDone");
    window.optStep[4]->deselect();
  }
}

TEST_F(ProfileTest, AnIndexOutsideTheArrayOnlyHidesTheResults) {
  selectProfile("3");
  window.txtResults->setVisible(true);
  for (std::int16_t index : {-1, 5, 32767}) {
    window.optStep_Click(index);
    EXPECT_FALSE(shown("txtResults"));
    EXPECT_EQ(window.Step, 0);
  }
  EXPECT_TRUE(rec.events().empty());
}

}  // namespace
}  // namespace profile_tests
