#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <string>
#include <vector>

#include "Clock.h"
#include "Form.h"
#include "GPIB32.h"
#include "MultiLineBox.h"
#include "Recorder.h"
#include "TestBus.h"
#include "frmCProfile.h"

namespace profile_tests {

using Lines = std::vector<std::string>;

inline std::string sent(const std::string& line) { return "Send(0, 4, \"" + line + "\", NLend)"; }
inline const std::string kRecv = "Receive(0, 4, 256, STOPend)";
inline const std::string kAskError = sent("E?");

// The writes that set the controller's outputs up before every selection.
inline Lines preparatoryWrites() {
  return {sent("W  700, 1"), sent("W  717, 2"), sent("W  500, 0"), sent("W  550, 0"),
          sent("W  507, 2")};
}

inline Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The profile generator on the scripted test bus, shown (so that visibility is what the
// operator sees), in virtual time, with every bus call, pause and beep recorded.
class ProfileTest : public ::testing::Test {
 protected:
  ProfileTest() {
    gpib.InterfaceName = "GPIB";
    window.show();
  }

  QWidget* control(const QString& name) const {
    QWidget* found = window.control(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  bool shown(const QString& name) const { return control(name)->isVisible(); }
  bool enabled(const QString& name) const { return control(name)->isEnabled(); }
  QString text(const QString& name) const { return ui::textOf(control(name)); }
  bool selected(int index) const { return window.optStep[index]->isChecked(); }

  void type(const QString& box, const QString& text) { ui::setTextOf(control(box), text); }
  // A press as the operator makes it: nothing happens when the button is disabled.
  void press(const QString& button) { qobject_cast<QAbstractButton*>(control(button))->click(); }
  void choose(int index) { window.optStep[index]->click(); }

  // Selects `profile` with the controller confirming it and reporting no error, and forgets
  // the traffic.
  void selectProfile(const QString& profile = "3") {
    ASSERT_EQ(bus.pendingReplies(), 0u) << "a reply left over from an earlier step";
    type("txtProfile", profile);
    bus.reply(profile.toStdString() + "\n");
    bus.reply("0\n");
    press("cmdSetProfile");
    ASSERT_TRUE(enabled("frmGenProfile")) << "selection of " << profile.toStdString();
    rec.clear();
  }

  // Chooses AutoStart Time and sets its start time, both answered without error: the first
  // completed step, which enables Ramp and Soak.
  void completeAutoStart() {
    bus.reply("0\n");
    choose(0);
    bus.reply("0\n");
    press("cmdSetTime");
    ASSERT_TRUE(enabled("optStep(2)"));
    rec.clear();
  }

  testing_support::TestBus bus;
  bus::VirtualClock clock;
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib{bus, clock, sound, &rec};
  profile::frmCProfile window{gpib};
};

}  // namespace profile_tests
