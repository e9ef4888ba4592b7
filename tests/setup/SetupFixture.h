#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "Clock.h"
#include "Form.h"
#include "GPIB32.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "Recorder.h"
#include "TestBus.h"
#include "frm488_2Cmds.h"

namespace setup_test {

using Lines = std::vector<std::string>;

// Records every event as the Recorder does and lets a test look at the window at the moment of
// an event, while the handler that caused it is still running.
class Tap final : public bus::Observer {
 public:
  std::function<void(const std::string& event)> during;

  void driverCall(const std::string& call, const bus::Status& after,
                  const std::string* received) override {
    rec_.driverCall(call, after, received);
    seen();
  }
  void pause(double seconds) override { rec_.pause(seconds), seen(); }
  void beep() override { rec_.beep(), seen(); }
  void window(const std::string& name, bool shown) override { rec_.window(name, shown), seen(); }

  Lines take() { return rec_.take(); }

 private:
  void seen() {
    if (during) during(rec_.events().back());
  }
  bus::Recorder rec_;
};

inline std::string sent(const std::string& line, int address = 4) {
  return "Send(0, " + std::to_string(address) + ", \"" + line + "\", NLend)";
}
inline std::string recv256(int address = 4) {
  return "Receive(0, " + std::to_string(address) + ", 256, STOPend)";
}
inline std::string recv80(int address = 4) {
  return "Receive(0, " + std::to_string(address) + ", 80, STOPend)";
}

inline Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// What the converter answers at the window's creation, in the order it is asked.
struct LoadReplies {
  std::string sre = "32\n";
  std::string ese = "255\n";
  std::string baud = "9600\n";
  std::string baudAgain = "9600\n";  // read back by the option action the selection runs
  std::string rs485 = "1\n";
  std::string rs485Again = "1\n";
};

// The load traffic when the converter reports 9600 baud and RS-485 enabled.
inline Lines defaultLoadTraffic() {
  return {sent("*SRE?"),
          recv256(),
          sent("*ESE?"),
          recv256(),
          sent("SYST:COMM:SER:BAUD?"),
          recv256(),
          sent("SYST:COMM:SER:BAUD 9600"),
          sent("SYST:COMM:SER:BAUD?"),
          recv80(),
          sent("SYST:COMM:SER:RS485?"),
          recv256(),
          sent("SYST:COMM:SER:RS485 ON"),
          sent("SYST:COMM:SER:RS485?"),
          recv80()};
}

// The setup window on the scripted test bus.
class SetupWindow : public ::testing::Test {
 protected:
  SetupWindow() { gpib.InterfaceName = "GPIB"; }
  ~SetupWindow() override { delete w.data(); }

  // Creates the window (its load action runs) and shows it; the load traffic is taken.
  setup::frm488_2Cmds& open(const LoadReplies& r = {}) {
    for (const std::string* reply : {&r.sre, &r.ese, &r.baud})
      if (!reply->empty()) bus.reply(*reply);
    if (bus::numericValue(r.baud) == 9600 || bus::numericValue(r.baud) == 19200)
      bus.reply(r.baudAgain);
    bus.reply(r.rs485);
    if (bus::numericValue(r.rs485) == 1 || bus::numericValue(r.rs485) == 0) bus.reply(r.rs485Again);
    w = new setup::frm488_2Cmds(gpib);
    w->show();
    w->activateWindow();
    (void)QTest::qWaitForWindowActive(w);
    loadTraffic = tap.take();
    return *w;
  }

  static void click(QAbstractButton* button) {
    if (qobject_cast<QPushButton*>(button))
      QTest::mouseClick(button, Qt::LeftButton);
    else
      button->click();  // an option's caption area is narrower than the control
  }
  QString results() const { return w->txtResults2->text(); }
  static std::string bytes(const QString& text) { return ui::toBytes(text); }

  testing_support::TestBus bus;
  bus::VirtualClock clock;
  bus::SilentSound sound;
  Tap tap;
  bus::GPIB32 gpib{bus, clock, sound, &tap};
  QPointer<setup::frm488_2Cmds> w;
  Lines loadTraffic;
};

}  // namespace setup_test
