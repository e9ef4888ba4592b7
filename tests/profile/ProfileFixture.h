#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <string>
#include <type_traits>
#include <vector>

#include "Clock.h"
#include "Form.h"
#include "GPIB32.h"
#include "MultiLineBox.h"
#include "ProfileWindow.h"
#include "Recorder.h"
#include "SimulatedBus.h"
#include "TestBus.h"

namespace profile_tests {

using Lines = std::vector<std::string>;

inline std::string sent(const std::string& line) { return "Send(0, 4, \"" + line + "\", NLend)"; }
inline const std::string kRecv = "Receive(0, 4, 256, STOPend)";
inline const std::string kAskError = sent("E?");
// A register write with its value as number text, e.g. W(4011, " .5"); whole numbers as numbers.
inline std::string W(int reg, const std::string& text) {
  return sent("W  " + std::to_string(reg) + "," + text);
}
inline std::string W(int reg, int value) {
  return W(reg, (value < 0 ? "" : " ") + std::to_string(value));
}

inline Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The writes that set the controller's outputs up before every selection.
inline const Lines kPreparatory = {W(700, 1), W(717, 2), W(500, 0), W(550, 0), W(507, 2)};
inline const Lines kAsked = {kAskError, kRecv};  // the "E?" check
inline const Lines kSettled = Lines{"pause 0.5"} + kAsked;
inline const Lines kCompleted = {W(25, 0)};
// InsertStep and the type code of a new step.
inline Lines inserted(int step, int type) { return {W(4001, step), W(4002, 2), W(4003, type)}; }
// Set Time and Set Temp with their values as number text.
inline Lines timeSet(const std::string& hh, const std::string& mm, const std::string& ss) {
  return Lines{W(4009, hh), W(4010, mm), W(4011, ss), W(4046, 0), W(4048, 0)} + kSettled;
}
inline Lines tempSet(const std::string& temp) {
  return Lines{W(4044, temp), W(4046, 0)} + kSettled;
}

// The profile generator on a bus (the scripted test bus or the simulator), shown (so that
// visibility is what the operator sees), in virtual time, with every bus call, pause and beep
// recorded.
template <class Bus>
class WindowOn : public ::testing::Test {
 protected:
  WindowOn() {
    gpib.InterfaceName = "GPIB";
    window.show();
  }
  static Bus makeBus(bus::VirtualClock& clock) {
    if constexpr (std::is_constructible_v<Bus, bus::VirtualClock&>)
      return Bus(clock);
    else
      return Bus();
  }

  QWidget* control(const QString& name) const {
    QWidget* found = current->control(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
  }
  bool shown(const QString& name) const { return control(name)->isVisible(); }
  bool enabled(const QString& name) const { return control(name)->isEnabled(); }
  QString text(const QString& name) const { return ui::textOf(control(name)); }
  bool selected(int index) const { return current->optStep[index]->isChecked(); }
  // The names among `names` whose controls are shown, separated by blanks.
  std::string visible(std::initializer_list<const char*> names) const {
    std::string list;
    for (const char* name : names)
      if (shown(name)) list += (list.empty() ? "" : " ") + std::string(name);
    return list;
  }
  // The three time boxes, separated by blanks.
  QString times() const { return text("txtHH") + " " + text("txtMM") + " " + text("txtSS"); }

  void type(const QString& box, const QString& text) { ui::setTextOf(control(box), text); }
  // A press as the operator makes it: nothing happens when the button is disabled.
  void press(const QString& button) { qobject_cast<QAbstractButton*>(control(button))->click(); }
  void choose(int index) { current->optStep[index]->click(); }

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

  bus::VirtualClock clock;
  Bus bus = makeBus(clock);
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib{bus, clock, sound, &rec};
  profile::ProfileWindow window{gpib};
  profile::ProfileWindow* current = &window;  // the window the helpers act on
};
using ProfileTest = WindowOn<testing_support::TestBus>;
using SimulatedProfile = WindowOn<sim::SimulatedBus>;

}  // namespace profile_tests
