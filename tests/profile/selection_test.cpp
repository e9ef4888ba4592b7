// The window as built, its start-up state, the profile selection and the return.
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "NumberText.h"
#include "ProfileFixture.h"

namespace profile_tests {
namespace {

struct ControlRow {
  const char* name;
  const char* className;
  const char* container;
  const char* caption;
};

TEST_F(ProfileTest, EveryControlSitsInItsContainerWithItsCaption) {
  const ControlRow rows[] = {
      {"txtResults", "ui::MultiLineBox", "frmCProfile", ""},
      {"frmGenProfile", "QGroupBox", "frmCProfile", "Step Generator"},
      {"cmdSetTemp", "ui::WrapButton", "frmGenProfile", " Set   Temp"},
      {"txtTemp", "QLineEdit", "frmGenProfile", ""},
      {"cmdSetTime", "ui::WrapButton", "frmGenProfile", "Set "},
      {"txtHH", "QLineEdit", "frmGenProfile", ""},
      {"txtMM", "QLineEdit", "frmGenProfile", ""},
      {"txtSS", "QLineEdit", "frmGenProfile", ""},
      {"frmStepType", "QGroupBox", "frmGenProfile", "    Step Type"},
      {"optStep(0)", "ui::OptionButton", "frmStepType", "AutoStart Time"},
      {"optStep(1)", "ui::OptionButton", "frmStepType", "Time"},
      {"optStep(2)", "ui::OptionButton", "frmStepType", "Ramp"},
      {"optStep(3)", "ui::OptionButton", "frmStepType", "Soak"},
      {"optStep(4)", "ui::OptionButton", "frmStepType", "End"},
      {"lblStep", "QLabel", "frmGenProfile", "Select Step Type"},
      {"lblTemp", "QLabel", "frmGenProfile", "Enter End Temp"},
      {"lblHHMMSS", "QLabel", "frmGenProfile", "HH        MM       SS"},
      {"lblSetTime", "QLabel", "frmGenProfile", "Enter Start Time"},
      {"frmStep", "QGroupBox", "frmCProfile", "Step Number"},
      {"txtStepNum", "QLineEdit", "frmStep", ""},
      {"frmSetProfile", "QGroupBox", "frmCProfile", "Select ProfileNumber"},
      {"cmdSetProfile", "ui::WrapButton", "frmSetProfile", "  Set   Profile"},
      {"txtProfile", "QLineEdit", "frmSetProfile", ""},
      {"cmdReturn", "ui::WrapButton", "frmCProfile", "Return to  Main Form"},
      {"lblProfile", "QLabel", "frmCProfile", "Enter a profile number and press Set"},
      {"lblDone", "QLabel", "frmCProfile",
       "Profile Completed - Select new profile number or return to main form"},
  };
  EXPECT_EQ(window.objectName(), "frmCProfile");
  EXPECT_EQ(window.windowTitle(), "Profile Generator Form");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    QWidget* c = control(row.name);
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->metaObject()->className(), row.className);
    EXPECT_EQ(c->parentWidget()->objectName(), row.container);
    EXPECT_EQ(text(row.name), QString::fromLatin1(row.caption));
    // Nothing is cut off by its container, and one-line captions fit their control.
    EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry())) << row.name;
    if (auto* label = qobject_cast<QLabel*>(c)) {
      const QFontMetrics metrics(label->font());
      const int lines = std::max(1, label->height() / metrics.height());
      EXPECT_LE(metrics.horizontalAdvance(label->text()), lines * label->width());
    }
  }
  // The option array stands top to bottom in index order, and the whole array is one group.
  for (int i = 1; i < 5; ++i) EXPECT_GT(window.optStep[i]->y(), window.optStep[i - 1]->y());
  EXPECT_EQ(window.optStep[0]->objectName(), "optStep");
}

TEST_F(ProfileTest, StartsAwaitingASelectionWithoutTouchingTheBus) {
  const struct {
    const char* name;
    bool shown, enabled;
  } rows[] = {
      {"txtResults", false, true},   {"frmGenProfile", true, false}, {"frmStepType", true, false},
      {"frmStep", true, false},      {"txtStepNum", true, false},    {"optStep(0)", true, false},
      {"optStep(1)", true, false},   {"optStep(2)", true, false},    {"optStep(3)", true, false},
      {"optStep(4)", true, false},   {"lblDone", false, true},       {"lblStep", false, false},
      {"lblTemp", false, false},     {"lblHHMMSS", false, false},    {"lblSetTime", false, false},
      {"txtHH", false, false},       {"txtMM", false, false},        {"txtSS", false, false},
      {"txtTemp", false, false},     {"cmdSetTemp", false, false},   {"cmdSetTime", false, false},
      {"lblProfile", true, true},    {"frmSetProfile", true, true},  {"txtProfile", true, true},
      {"cmdSetProfile", true, true}, {"cmdReturn", true, true},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(shown(row.name), row.shown) << row.name;
    EXPECT_EQ(enabled(row.name), row.enabled) << row.name;
  }
  for (const char* box :
       {"txtProfile", "txtStepNum", "txtHH", "txtMM", "txtSS", "txtTemp", "txtResults"})
    EXPECT_EQ(text(box), "") << box;
  // Frames re-enabled later must not free the options with them: each is disabled on its own.
  window.frmGenProfile->setEnabled(true);
  window.frmStepType->setEnabled(true);
  for (auto* option : window.optStep) EXPECT_FALSE(option->isEnabled());
  EXPECT_TRUE(rec.events().empty());
}

TEST_F(ProfileTest, RefusedEntriesStopAfterThePreparatoryWritesWithAVisibleMessage) {
  const QString improper = "Improper Profile entry, redo";
  const std::pair<QString, QString> rows[] = {
      {"256", improper},
      {"", improper},
      {"1e39", improper},
      {"-1e39", "Profile number out of range for a single-precision number, redo"},
  };
  for (const auto& [entry, message] : rows) {
    SCOPED_TRACE(entry.toStdString());
    window.Step = 4;
    type("txtStepNum", " 4");
    type("txtProfile", entry);
    press("cmdSetProfile");
    EXPECT_EQ(rec.take(), kPreparatory + Lines{"beep"});
    EXPECT_EQ(text("txtResults"), message);
    EXPECT_EQ(window.Step, 0);
    EXPECT_EQ(text("txtStepNum"), "");
    EXPECT_EQ(visible({"txtResults", "lblProfile"}), "txtResults lblProfile");
    EXPECT_FALSE(enabled("frmGenProfile"));
  }
}

TEST_F(ProfileTest, SelectionReadsTheProfileBackThenAsksForTheModbusError) {
  const QString notAvailable = "Selected profile not available, F4 reports profile# ";
  const QString deleteThem = "\r\nReturn to Main Form and delete profiles";
  using R = std::vector<std::string>;  // the replies to «R  4000, 1», then to "E?"
  const struct {
    QString entry;
    R replies;
    std::string selectLine;  // the 4000 write
    bool asksError;
    QString results;  // shown when not empty; the editor is unlocked when empty
  } rows[] = {
      {"3", R{"3\n", "0\n"}, "W  4000, 3", true, ""},
      {"3", R{"7\n"}, "W  4000, 3", false, notAvailable + " 7" + deleteThem},
      // No answer reads as profile 0: a refusal for 3, a confirmation for 0.
      {"3", R{}, "W  4000, 3", false, notAvailable + " 0" + deleteThem},
      {"0", R{"", "0\n"}, "W  4000, 0", true, ""},
      {"-2", R{"-2\n", "0\n"}, "W  4000,-2", true, ""},
      {"2.5", R{"  2.5  \n", "0\n"}, "W  4000, 2.5", true, ""},
      {"abc", R{"0\n", "0\n"}, "W  4000, 0", true, ""},
      {"255", R{"1e39\n"}, "W  4000, 255", false, notAvailable + " 1E+39" + deleteThem},
      {"3", R{"3\n", "5\n"}, "W  4000, 3", true, "Modbus Error 5"},
      {"3", R{"3\n", "11\r\n"}, "W  4000, 3", true, "Modbus Error 11\r"},
      // The last character goes whatever it is; with nothing left nothing more is cut.
      {"3", R{"3\n", "5"}, "W  4000, 3", true, "Modbus Error "},
      {"3", R{"3\n", ""}, "W  4000, 3", true, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.entry.toStdString() + " / " + row.results.toStdString());
    const bool unlocked = row.results.isEmpty();
    profile::ProfileWindow fresh(gpib);
    fresh.show();
    current = &fresh;
    type("txtProfile", row.entry);
    for (const auto& reply : row.replies) bus.reply(reply);
    rec.clear();
    press("cmdSetProfile");
    const Lines readBack = {sent(row.selectLine), W(4002, 1), sent("R  4000, 1"), "pause 0.4",
                            kRecv};
    EXPECT_EQ(rec.take(), (kPreparatory + readBack + (row.asksError ? kAsked : Lines{}) +
                           (unlocked ? Lines{} : Lines{"beep"})));
    EXPECT_EQ(bus.pendingReplies(), 0u);
    EXPECT_EQ(text("txtResults"), row.results);
    EXPECT_EQ(shown("txtResults"), !unlocked);
    EXPECT_EQ(fresh.Profile_num, bus::numericValue(row.entry.toStdString()));
    // The prompt goes once the controller has confirmed the profile, even on a Modbus error.
    EXPECT_EQ(shown("lblProfile"), !row.asksError);
    for (const char* name : {"frmGenProfile", "frmStepType", "frmStep", "txtStepNum", "optStep(0)",
                             "optStep(1)", "optStep(4)"})
      EXPECT_EQ(enabled(name), unlocked) << name;
    // Ramp and Soak wait for the first completed step.
    EXPECT_FALSE(enabled("optStep(2)") || enabled("optStep(3)"));
    if (unlocked) {
      EXPECT_EQ(text("lblStep"), "Select AutoStart or Time to start the profile");
    }
    EXPECT_EQ(shown("lblStep"), unlocked);
    current = &window;
  }
}

TEST_F(ProfileTest, ANewSelectionRestartsTheStepsButLeavesTheEditorAsItWas) {
  selectProfile("3");
  choose(1);  // Time, left in the middle of its entry
  bus.reply("0\n");
  press("cmdSetTime");
  bus.reply("0\n");
  choose(4);  // End
  ASSERT_TRUE(shown("lblDone"));
  ASSERT_EQ(window.Step, 2);

  // A refused entry changes nothing of the editor either.
  type("txtProfile", "300");
  press("cmdSetProfile");
  EXPECT_EQ(window.Step, 0);
  EXPECT_TRUE(enabled("optStep(4)"));
  EXPECT_TRUE(shown("lblDone"));

  selectProfile("4");
  EXPECT_EQ(window.Step, 0);
  EXPECT_EQ(window.Profile_num, 4.0f);
  EXPECT_EQ(text("txtStepNum"), "");
  EXPECT_TRUE(selected(4));
  EXPECT_EQ(visible({"lblDone", "txtHH", "txtMM", "txtSS", "txtTemp", "cmdSetTemp", "cmdSetTime"}),
            "lblDone txtHH txtMM txtSS txtTemp cmdSetTemp cmdSetTime");
  EXPECT_EQ(text("lblStep"), "Select AutoStart or Time to start the profile");
  // The next step of the new profile is number 1 again.
  choose(1);
  EXPECT_EQ(rec.take(), inserted(1, 1) + Lines{W(4012, 0)});
}

TEST_F(ProfileTest, ReturnOnlyHidesAndTheWindowComesBackAsItWasLeft) {
  selectProfile("3");
  bus.reply("0\n");
  choose(0);
  type("txtMM", "05");
  rec.clear();
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    if (way == 0) press("cmdReturn");
    if (way == 1) window.close();
    if (way == 2) QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(rec.take(), Lines{"hide frmCProfile"});
    ui::showModal(&window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(text("txtProfile") + text("txtMM") + text("txtStepNum"), "3051");
    EXPECT_EQ(window.Step, 1);
    EXPECT_EQ(window.StepEnd, "Time");
    EXPECT_TRUE(selected(0));
    EXPECT_EQ(visible({"lblProfile", "cmdSetTime"}), "cmdSetTime");
    EXPECT_TRUE(enabled("frmGenProfile"));
    EXPECT_TRUE(rec.events().empty());
  }
}

}  // namespace
}  // namespace profile_tests
