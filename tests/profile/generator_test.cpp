// The profile generator as the main window opens it, on the scripted bus: the selection, each step
// type, the entries, the error paths, the window kept between openings; traffic compared whole.
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>

#include "BusHarness.h"
#include "Controls.h"
#include "Layout.h"
#include "MainWindow.h"
#include "ProfileWindow.h"
#include "TestBus.h"

namespace {

using namespace testing_support;

const std::string kTimeEntry = "lblStep lblSetTime lblHHMMSS txtHH txtMM txtSS cmdSetTime";
const std::string kTempEntry = kTimeEntry + " lblTemp txtTemp cmdSetTemp";
const std::string kAsk = " | >E? | <", kSettle = " | >W  4046, 0 | >W  4048, 0 | ~0.5" + kAsk;

class Generator : public ::testing::Test {
 protected:
  // Queues the replies (each ends in a line feed), clicks as an operator would, gives the traffic.
  std::string press(const std::string& name, const std::string& replies = "") {
    for (size_t at = 0, end; (end = replies.find('\n', at)) != std::string::npos; at = end + 1)
      bench.driver.reply(replies.substr(at, end + 1 - at));
    click(w, QString::fromStdString(name));
    EXPECT_EQ(bench.driver.pendingReplies(), 0u) << name << ": a reply left unread";
    return bench.tap.take();
  }
  // A selection the controller confirms without error.
  void select(const std::string& entry = "3") {
    type(w, "txtProfile", entry), press("cmdSetProfile", entry + "\n0\n");
  }
  // Named texts, the controls shown, the types offered, the one selected: "3/lblStep | 0 1 4 | 1".
  std::string seen(std::initializer_list<const char*> texts = {}) const {
    std::string said, shown, offered = " |", chosen = " |";
    for (const char* name : texts) said += text(w, name) + "/";
    for (const char* name :
         {"txtResults", "lblProfile", "lblStep", "lblSetTime", "lblHHMMSS", "txtHH", "txtMM",
          "txtSS", "cmdSetTime", "lblTemp", "txtTemp", "cmdSetTemp", "lblDone"})
      if (visible(w, name)) shown += (shown.empty() ? "" : " ") + std::string(name);
    for (int i = 0; i < 5; ++i) {
      if (w.optStep[i]->isEnabled()) offered += " " + std::to_string(i);
      if (w.optStep[i]->isChecked()) chosen += " " + std::to_string(i);
    }
    return said + shown + offered + chosen;
  }

  BusHarness<TestBus> bench;
  console::MainWindow main{bench.gpib};
  profile::ProfileWindow& w = (main.cmdCreate_Click(), *main.profileWindow());
  const std::string opening = bench.tap.take();
};

TEST_F(Generator, OpensLockedAwaitingAProfileNumber) {
  EXPECT_EQ(opening + "/" + w.windowTitle().toStdString(),
            "show frmCProfile/Profile Generator Form");
  EXPECT_EQ(layoutProblems(&w, {{"cmdSetTime", "lblHHMMSS"}}), Lines{});
  EXPECT_EQ(seen({"lblProfile"}), "Enter a profile number and press Set/lblProfile | |");
  // Locked on their own as well as by their frames.
  for (const char* f : {"frmGenProfile", "frmStepType", "frmStep"}) EXPECT_FALSE(enabled(w, f));
  EXPECT_FALSE(find(w, "txtStepNum")->isEnabledTo(find(w, "frmStep")));
  for (QWidget* option : w.optStep) EXPECT_FALSE(option->isEnabledTo(find(w, "frmStepType")));
  EXPECT_TRUE(find(w, "txtResults")->property("readOnly").toBool());
  // Enter in an entry box must not press a button.
  for (QPushButton* button : {w.cmdSetTemp, w.cmdSetTime, w.cmdSetProfile, w.cmdReturn})
    EXPECT_FALSE(button->autoDefault() || button->isDefault());
}

TEST_F(Generator, SelectionIsConfirmedByReadingTheProfileBack) {
  const std::string refused = "/txtResults lblProfile | |";
  const std::string readBack = " | >W  4002, 1 | >R  4000, 1 | ~0.4 | <";
  const struct {
    std::string entry, replies, traffic, results;  // traffic after the preparatory writes
  } rows[] = {
      {"3", "7\n", " | >W  4000, 3" + readBack + " | beep",
       "Selected profile not available, F4 reports profile#  7\r\n"
       "Return to Main Form and delete profiles/txtResults lblProfile | |"},
      {"256", "", " | beep", "Improper Profile entry, redo" + refused},
      {"", "", " | beep", "Improper Profile entry, redo" + refused},
      {"1e39", "", " | beep", "Improper Profile entry, redo" + refused},
      {"-1e39", "", " | beep",
       "Profile number out of range for a single-precision number, redo" + refused},
      {"255", "255\n5\n", " | >W  4000, 255" + readBack + kAsk + " | beep",
       "Modbus Error 5/txtResults | |"},
      {"3", "3\n0\n", " | >W  4000, 3" + readBack + kAsk, "/lblStep | 0 1 4 |"},
  };
  for (const auto& row : rows) {
    w.Step = 4, type(w, "txtStepNum", "4"), type(w, "txtProfile", row.entry);
    EXPECT_EQ(press("cmdSetProfile", row.replies),
              ">W  700, 1 | >W  717, 2 | >W  500, 0 | >W  550, 0 | >W  507, 2" + row.traffic);
    EXPECT_EQ(std::to_string(w.Step) + seen({"txtStepNum", "txtResults"}), "0/" + row.results);
  }
  EXPECT_EQ(text(w, "lblStep"), "Select AutoStart or Time to start the profile");
}

TEST_F(Generator, TwoStepProfileGoesOnTheWireInOrder) {
  type(w, "txtProfile", "3");
  for (const char* reply : {"3\n", "0\n", "0\n", "0\n", "0\n"}) bench.driver.reply(reply);
  click(w, "cmdSetProfile"), click(w, "optStep(1)");
  type(w, "txtHH", "00"), type(w, "txtMM", "05"), type(w, "txtSS", "00"), click(w, "cmdSetTime");
  EXPECT_EQ(w.focusWidget(), find(w, "txtTemp"));
  type(w, "txtTemp", "150"), click(w, "cmdSetTemp");
  // The first completed step offers Ramp and Soak for the life of the window.
  EXPECT_EQ(seen({"lblStep"}), "Select Step Type/lblStep | 0 1 2 3 4 |");
  click(w, "optStep(4)");
  EXPECT_EQ(bench.tap.take(),
            ">W  700, 1 | >W  717, 2 | >W  500, 0 | >W  550, 0 | >W  507, 2 | >W  4000, 3 | "
            ">W  4002, 1 | >R  4000, 1 | ~0.4 | < | >E? | < | >W  4001, 1 | >W  4002, 2 | "
            ">W  4003, 1 | >W  4012, 0 | >W  4009, 0 | >W  4010, 5 | >W  4011, 0 | >W  4046, 0 | "
            ">W  4048, 0 | ~0.5 | >E? | < | >W  4044, 150 | >W  4046, 0 | ~0.5 | >E? | < | "
            ">W  25, 0 | >W  4001, 2 | >W  4002, 2 | >W  4003, 5 | >E? | < | >W  4060, 2 | "
            ">W  25, 0");
  // A new selection restarts the numbering and leaves the editor as it was.
  select("4");
  EXPECT_EQ(seen(), "lblStep lblDone | 0 1 2 3 4 | 4");
  EXPECT_EQ(press("optStep(1)"), ">W  4001, 1 | >W  4002, 2 | >W  4003, 1 | >W  4012, 0");
}

TEST_F(Generator, EachStepTypeWritesItsCodeAndAsksForItsValues) {
  const std::string all = "/" + kTimeEntry + " | 0 1 2 3 4 | ";
  const struct {
    std::string reply, traffic, seen;  // traffic after the step's insertion
  } rows[] = {
      {"0\n", "0 | >W  4004, 1 | >W  4008, 0 | ~0.4" + kAsk,
       "2/Sets time of day to start profile/00/00/01/Enter Start Time" + all + "0"},
      {"", "1 | >W  4012, 0",
       " 2/Sets Time and End Point/00/00/10/Enter Pause or Ramp Time" + all + "1"},
      {"", "2 | >W  4012, 0",
       " 2/Sets Ramp Rate and End Point/00/00/01/Set rate in degrees/minute *10/lblStep lblSetTime "
       "txtSS cmdSetTime | 0 1 2 3 4 | 2"},
      {"", "3 | >W  4012, 0 | >W  4046, 0",
       " 2/Sets Soak Time/00/00/01/Set Soak Time " + all + "3"},
      // End leaves the boxes alone, and the controller's error does not keep it from closing.
      {"9\n", "5" + kAsk + " | >W  4060, 2 | >W  25, 0",
       " 2/Ends Profile/x/y/z/Enter Start Time/lblStep lblDone | 0 1 2 3 4 | 4"},
  };
  for (int index = 0; index < 5; ++index) {
    const auto& row = rows[index];
    select(), press("optStep(0)", "0\n"), press("cmdSetTime", "0\n");
    type(w, "txtHH", "x"), type(w, "txtMM", "y"), type(w, "txtSS", "z");
    EXPECT_EQ(press("optStep(" + std::to_string(index) + ")", row.reply),
              ">W  4001, 2 | >W  4002, 2 | >W  4003, " + row.traffic);
    EXPECT_EQ(seen({"txtStepNum", "lblStep", "txtHH", "txtMM", "txtSS", "lblSetTime"}), row.seen);
    w.optStep[index]->deselect();
  }
}

TEST_F(Generator, AutoStartRefusedGivesItsStepNumberBack) {
  select();
  const std::string autoStart =
      ">W  4001, 1 | >W  4002, 2 | >W  4003, 0 | >W  4004, 1 | >W  4008, 0 | ~0.4" + kAsk;
  EXPECT_EQ(press("optStep(0)", "4\n"), autoStart + " | beep");
  EXPECT_EQ(seen({"txtResults"}), "Modbus Error 4/txtResults lblStep | 0 1 4 |");
  EXPECT_EQ(press("optStep(0)", "0\n"), autoStart);
  type(w, "txtMM", "");  // an empty box goes as 0
  EXPECT_EQ(press("cmdSetTime", "0\n"),
            ">W  4009, 0 | >W  4010, 0 | >W  4011, 1" + kSettle + " | >W  25, 0");
  EXPECT_EQ(seen({"txtStepNum"}), "1/lblStep | 0 1 2 3 4 |");
  press("optStep(2)"), type(w, "txtSS", "25");
  EXPECT_EQ(press("cmdSetTime", "0\n"), ">W  4009, 0 | >W  4010, 0 | >W  4011, 25" + kSettle);
  type(w, "txtTemp", "150.5");
  EXPECT_EQ(press("cmdSetTemp", "0\n"),
            ">W  4044, 150.5 | >W  4046, 0 | ~0.5" + kAsk + " | >W  25, 0");
  EXPECT_EQ(seen(), "lblStep | 0 1 2 3 4 |");
  press("optStep(3)"), press("cmdSetTime", "0\n");
  EXPECT_EQ(seen(), "lblStep | 0 1 2 3 4 |");
}

TEST_F(Generator, ModbusErrorAfterASetLeavesTheEntryForARetry) {
  select(), press("optStep(1)"), type(w, "txtHH", "02");
  EXPECT_EQ(press("cmdSetTime", "3\n"),
            ">W  4009, 2 | >W  4010, 0 | >W  4011, 10" + kSettle + " | beep");
  EXPECT_EQ(seen({"txtResults"}), "Modbus Error 3/txtResults " + kTimeEntry + " | 0 1 4 | 1");
  press("cmdSetTime", "0\n");
  EXPECT_EQ(seen(), kTempEntry + " | 0 1 4 | 1");
  type(w, "txtTemp", "90");
  const std::string setTemp = ">W  4044, 90 | >W  4046, 0 | ~0.5" + kAsk;
  EXPECT_EQ(press("cmdSetTemp", "12\n"), setTemp + " | beep");
  // AutoStart chosen in the middle: its time ends the step now, so Set Temp only writes.
  press("optStep(0)", "0\n");
  EXPECT_EQ(press("cmdSetTemp", "0\n"), setTemp);
  EXPECT_EQ(seen(), kTempEntry + " | 0 1 4 | 0");
}

TEST_F(Generator, EntriesBeyondASingleAreRefusedWithNothingSent) {
  select(), press("optStep(1)"), press("cmdSetTime", "0\n");  // on to the temperature
  for (const std::string box : {"txtHH", "txtMM", "txtSS", "txtTemp"}) {
    for (const char* each : {"txtHH", "txtMM", "txtSS", "txtTemp"}) type(w, each, "1");
    type(w, box.c_str(), "-4e38");
    EXPECT_EQ(press(box == "txtTemp" ? "cmdSetTemp" : "cmdSetTime"), "beep");
    EXPECT_EQ(text(w, "txtResults"),
              box.substr(3) + " entry out of range for a single-precision number: nothing sent");
  }
  EXPECT_TRUE(visible(w, "txtResults"));
  // An index outside the array only hides the message.
  w.optStep_Click(-1), w.optStep_Click(5);
  EXPECT_EQ(bench.tap.take() + seen({"txtStepNum"}), " 1/" + kTempEntry + " | 0 1 4 | 1");
}

TEST_F(Generator, ReturnOnlyHidesAndTheNextOpeningShowsTheWindowAsLeft) {
  select(), press("optStep(1)"), type(w, "txtMM", "05");
  const std::function<void()> ways[] = {[&] { click(w, "cmdReturn"); }, [&] { w.close(); },
                                        [&] { QTest::keyClick(&w, Qt::Key_Escape); }};
  for (const auto& leave : ways) {
    leave();
    EXPECT_FALSE(w.isVisible());
    main.cmdCreate_Click();
    EXPECT_EQ(main.profileWindow(), &w);
    EXPECT_EQ(bench.tap.take(), "hide frmCProfile | show frmCProfile");
    EXPECT_EQ(seen({"txtProfile", "txtMM"}), "3/05/" + kTimeEntry + " | 0 1 4 | 1");
  }
}

}  // namespace
