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

struct ChoiceRow {
  int index;
  Lines wire;  // after the common insertion of step 2
  QString prompt, stepNumber;
  std::string stepEnd;
  QString presets[3];
  QString timeCaption;
  // txtHH, txtMM, txtSS, lblHHMMSS, lblSetTime, cmdSetTime, lblDone
  bool shows[7];
};

TEST_F(ProfileTest, EachStepTypeInsertsItsStepWritesItsCodeAndAsksForItsValues) {
  const ChoiceRow rows[] = {
      {0,
       {sent("W  4003, 0"), sent("W  4004, 1"), sent("W  4008, 0"), "pause 0.4", kAskError, kRecv},
       "Sets time of day to start profile",
       "2",
       "Time",
       {"00", "00", "01"},
       "Enter Start Time",
       {true, true, true, true, true, true, false}},
      {1,
       {sent("W  4003, 1"), sent("W  4012, 0")},
       "Sets Time and End Point",
       " 2",
       "Temp",
       {"00", "00", "10"},
       "Enter Pause or Ramp Time",
       {true, true, true, true, true, true, false}},
      {2,
       {sent("W  4003, 2"), sent("W  4012, 0")},
       "Sets Ramp Rate and End Point",
       " 2",
       "Temp",
       {"00", "00", "01"},
       "Set rate in degrees/minute *10",
       {false, false, true, false, true, true, false}},
      {3,
       {sent("W  4003, 3"), sent("W  4012, 0"), sent("W  4046, 0")},
       "Sets Soak Time",
       " 2",
       "Time",
       {"00", "00", "01"},
       "Set Soak Time ",
       {true, true, true, true, true, true, false}},
      // End leaves the boxes as they were: here the leftovers of the completed first step.
      {4,
       {sent("W  4003, 5"), kAskError, kRecv, sent("W  4060, 2"), sent("W  25, 0")},
       "Ends Profile",
       " 2",
       "Time",
       {"x", "y", "z"},
       "Enter Start Time",
       {false, false, false, false, false, false, true}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.index);
    selectProfile("3");
    completeAutoStart();
    type("txtHH", "x");
    type("txtMM", "y");
    type("txtSS", "z");
    type("txtResults", "old");
    window.txtResults->setVisible(true);
    // Only AutoStart Time and End ask for the error register.
    if (row.index == 0 || row.index == 4) bus.reply("0\n");
    choose(row.index);
    EXPECT_EQ(rec.take(), (Lines{sent("W  4001, 2"), sent("W  4002, 2")} + row.wire));
    EXPECT_EQ(window.Step, 2);
    EXPECT_EQ(text("lblStep"), row.prompt);
    EXPECT_EQ(text("txtStepNum"), row.stepNumber);
    EXPECT_EQ(window.StepEnd, row.stepEnd);
    EXPECT_EQ(text("txtHH"), row.presets[0]);
    EXPECT_EQ(text("txtMM"), row.presets[1]);
    EXPECT_EQ(text("txtSS"), row.presets[2]);
    EXPECT_EQ(text("lblSetTime"), row.timeCaption);
    const char* names[] = {"txtHH",      "txtMM",      "txtSS",  "lblHHMMSS",
                           "lblSetTime", "cmdSetTime", "lblDone"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(shown(names[i]), row.shows[i]) << names[i];
    EXPECT_FALSE(shown("txtResults"));
    EXPECT_FALSE(shown("txtTemp"));
    EXPECT_FALSE(shown("lblTemp"));
    EXPECT_TRUE(selected(row.index));
    EXPECT_EQ(rec.beeps(), 0);
    EXPECT_EQ(bus.pendingReplies(), 0u);
    // Starts the next row on a fresh selection: the finished step type must be free again.
    window.optStep[row.index]->deselect();
  }
}

TEST_F(ProfileTest, FirstStepAfterASelectionIsNumberOne) {
  struct Row {
    int index;
    QString shownAs;
  };
  for (const Row& row : {Row{0, "1"}, Row{1, " 1"}, Row{4, " 1"}}) {
    SCOPED_TRACE(row.index);
    selectProfile("3");
    if (row.index != 1) bus.reply("0\n");
    choose(row.index);
    EXPECT_EQ(rec.take().at(0), sent("W  4001, 1"));
    EXPECT_EQ(text("txtStepNum"), row.shownAs);
    window.optStep[row.index]->deselect();
  }
}

TEST_F(ProfileTest, AutoStartRefusedByTheControllerGivesItsStepNumberBack) {
  selectProfile("3");
  bus.reply("4\n");
  choose(0);
  EXPECT_EQ(rec.take(),
            (Lines{sent("W  4001, 1"), sent("W  4002, 2"), sent("W  4003, 0"), sent("W  4004, 1"),
                   sent("W  4008, 0"), "pause 0.4", kAskError, kRecv, "beep"}));
  EXPECT_EQ(text("txtResults"), "Modbus Error 4");
  EXPECT_TRUE(shown("txtResults"));
  EXPECT_EQ(window.Step, 0);
  EXPECT_FALSE(selected(0));
  for (const char* name : {"txtHH", "txtMM", "txtSS", "lblSetTime", "cmdSetTime", "lblHHMMSS"})
    EXPECT_FALSE(shown(name)) << name;

  // The same number is used again, and choosing a type hides the old message.
  bus.reply("0\n");
  choose(0);
  EXPECT_EQ(rec.take().at(0), sent("W  4001, 1"));
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
  EXPECT_EQ(rec.take(),
            (Lines{sent("W  4009, 0"), sent("W  4010, 0"), sent("W  4011, 25"), sent("W  4046, 0"),
                   sent("W  4048, 0"), "pause 0.5", kAskError, kRecv}));
  EXPECT_TRUE(shown("txtTemp"));
  EXPECT_TRUE(shown("cmdSetTemp"));
  EXPECT_TRUE(shown("lblTemp"));
  EXPECT_EQ(window.focusWidget(), control("txtTemp"));
  // The step is not complete before its end temperature.
  EXPECT_TRUE(shown("txtSS"));
  EXPECT_TRUE(selected(2));
  EXPECT_EQ(text("lblStep"), "Sets Ramp Rate and End Point");

  type("txtTemp", "150.5");
  bus.reply("0\n");
  press("cmdSetTemp");
  EXPECT_EQ(rec.take(), (Lines{sent("W  4044, 150.5"), sent("W  4046, 0"), "pause 0.5", kAskError,
                               kRecv, sent("W  25, 0")}));
  for (const char* name : {"txtHH", "txtMM", "txtSS", "lblSetTime", "lblHHMMSS", "cmdSetTime",
                           "txtTemp", "cmdSetTemp", "lblTemp"})
    EXPECT_FALSE(shown(name)) << name;
  EXPECT_EQ(text("lblStep"), "Select Step Type");
  EXPECT_FALSE(selected(2));
}

struct TimeEntryRow {
  QString hh, mm, ss;
  Lines writes;
};

TEST_F(ProfileTest, TimeEntriesAreWrittenAsTheirNumericValueWithoutChecks) {
  const TimeEntryRow rows[] = {
      {"00", "", "00", {sent("W  4009, 0"), sent("W  4010, 0"), sent("W  4011, 0")}},
      {"01", "75", "10", {sent("W  4009, 1"), sent("W  4010, 75"), sent("W  4011, 10")}},
      {"  7", "abc", "-3", {sent("W  4009, 7"), sent("W  4010, 0"), sent("W  4011,-3")}},
      {"1.5", "12x", ".5", {sent("W  4009, 1.5"), sent("W  4010, 12"), sent("W  4011, .5")}},
      {"100000",
       "&H1F",
       "1e3",
       {sent("W  4009, 100000"), sent("W  4010, 31"), sent("W  4011, 1000")}},
  };
  selectProfile("3");
  bus.reply("0\n");
  choose(1);
  for (const auto& row : rows) {
    SCOPED_TRACE((row.hh + "/" + row.mm + "/" + row.ss).toStdString());
    rec.clear();
    type("txtHH", row.hh);
    type("txtMM", row.mm);
    type("txtSS", row.ss);
    bus.reply("0\n");
    press("cmdSetTime");
    EXPECT_EQ(rec.take(), (row.writes + Lines{sent("W  4046, 0"), sent("W  4048, 0"), "pause 0.5",
                                              kAskError, kRecv}));
    EXPECT_TRUE(shown("txtTemp"));
  }
}

TEST_F(ProfileTest, EntriesBeyondASingleAreRefusedAndNothingIsSent) {
  struct Row {
    const char* box;
    const char* button;
    QString message;
  };
  const Row rows[] = {
      {"txtHH", "cmdSetTime", "HH entry out of range for a single-precision number: nothing sent"},
      {"txtMM", "cmdSetTime", "MM entry out of range for a single-precision number: nothing sent"},
      {"txtSS", "cmdSetTime", "SS entry out of range for a single-precision number: nothing sent"},
      {"txtTemp", "cmdSetTemp",
       "Temp entry out of range for a single-precision number: nothing sent"},
  };
  selectProfile("3");
  choose(1);
  bus.reply("0\n");
  press("cmdSetTime");  // shows the temperature box
  rec.clear();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.box);
    for (const char* box : {"txtHH", "txtMM", "txtSS", "txtTemp"}) type(box, "1");
    type(row.box, "-4e38");
    press(row.button);
    EXPECT_EQ(rec.take(), Lines{"beep"});
    EXPECT_EQ(text("txtResults"), row.message);
    EXPECT_TRUE(shown("txtResults"));
    EXPECT_TRUE(shown("txtTemp"));
    EXPECT_TRUE(selected(1));
  }
  EXPECT_EQ(window.Step, 1);
}

struct SetErrorRow {
  const char* button;
  std::string reply;
  QString results;
};

TEST_F(ProfileTest, ModbusErrorAfterASetLeavesTheEntryForARetry) {
  const SetErrorRow rows[] = {
      {"cmdSetTime", "3\n", "Modbus Error 3"},
      {"cmdSetTime", "-1", "Modbus Error -"},
      {"cmdSetTemp", "12\n", "Modbus Error 12"},
      {"cmdSetTemp", "7", "Modbus Error "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.button) + " " + row.reply);
    selectProfile("3");
    choose(1);
    if (std::string(row.button) == "cmdSetTemp") {
      bus.reply("0\n");
      press("cmdSetTime");
    }
    type("txtHH", "02");
    type("txtTemp", "90");
    rec.clear();
    bus.reply(row.reply);
    press(row.button);
    const Lines writes = std::string(row.button) == "cmdSetTime"
                             ? Lines{sent("W  4009, 2"), sent("W  4010, 0"), sent("W  4011, 10"),
                                     sent("W  4046, 0"), sent("W  4048, 0")}
                             : Lines{sent("W  4044, 90"), sent("W  4046, 0")};
    EXPECT_EQ(rec.take(), (writes + Lines{"pause 0.5", kAskError, kRecv, "beep"}));
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
    EXPECT_EQ(rec.take().back(),
              std::string(row.button) == "cmdSetTime" ? kRecv : sent("W  25, 0"));
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
  EXPECT_EQ(rec.take(),
            (Lines{sent("W  4044, 80"), sent("W  4046, 0"), "pause 0.5", kAskError, kRecv}));
  EXPECT_TRUE(shown("txtTemp"));
  EXPECT_TRUE(shown("cmdSetTemp"));
  EXPECT_TRUE(shown("txtHH"));
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
  EXPECT_EQ(rec.take(),
            (Lines{sent("W  4009, 0"), sent("W  4010, 30"), sent("W  4011, 1"), sent("W  4046, 0"),
                   sent("W  4048, 0"), "pause 0.5", kAskError, kRecv, sent("W  25, 0")}));
  EXPECT_FALSE(selected(3));
  for (const char* name : {"txtHH", "txtMM", "txtSS", "lblSetTime", "lblHHMMSS", "cmdSetTime"})
    EXPECT_FALSE(shown(name)) << name;
  EXPECT_FALSE(shown("txtTemp"));
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
    EXPECT_EQ(rec.take(), (Lines{sent("W  4001, 1"), sent("W  4002, 2"), sent("W  4003, 5"),
                                 kAskError, kRecv, sent("W  4060, 2"), sent("W  25, 0")}));
    EXPECT_TRUE(shown("lblDone"));
    EXPECT_FALSE(shown("txtResults"));
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
