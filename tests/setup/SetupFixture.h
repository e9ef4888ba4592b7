#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Clock.h"
#include "Form.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "NumberText.h"
#include "Recorder.h"
#include "SetupWindow.h"
#include "TestBus.h"

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

inline Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline std::string sent(const std::string& line, int address = 4) {
  return "Send(0, " + std::to_string(address) + ", \"" + line + "\", NLend)";
}
inline std::string recv256(int address = 4) {
  return "Receive(0, " + std::to_string(address) + ", 256, STOPend)";
}
inline std::string recv80(int address = 4) {
  return "Receive(0, " + std::to_string(address) + ", 80, STOPend)";
}
// A command without reply, and a query answered with the ordinary 256-byte read.
inline Lines command(const std::string& line, int address = 4) { return {sent(line, address)}; }
inline Lines query(const std::string& line, int address = 4) {
  return {sent(line, address), recv256(address)};
}
// An option action: the setting, then its read-back with the direct 80-byte read.
inline Lines baudSet(const std::string& rate) {
  return {sent("SYST:COMM:SER:BAUD " + rate), sent("SYST:COMM:SER:BAUD?"), recv80()};
}
inline Lines modeSet(const std::string& word) {
  return {sent("SYST:COMM:SER:RS485 " + word), sent("SYST:COMM:SER:RS485?"), recv80()};
}
inline std::string padded(const std::string& reply, size_t size = 256) {
  return reply + std::string(size - reply.size(), ' ');
}
// The bus status reports, as shown in txtGPIBErr.
inline std::string report(const std::string& title, const std::string& status) {
  return title + " Error   " + status + ">ibcnt =  0";
}
inline const Lines kIbonl = {"ibonl(0, 0)"};  // the status check's reaction to a failed call
inline const std::string kAborted = "CMPL >iberr =  6 EABO <Op. aborted";
inline const std::string kNoListener = "CMPL >iberr =  2 ENOL <No Listener";

// What the converter answers at the window's creation, in the order it is asked.
struct LoadReplies {
  std::string sre = "32\n";
  std::string ese = "255\n";
  std::string baud = "9600\n";
  std::string baudAgain = "9600\n";  // read back by the option action the selection runs
  std::string rs485 = "1\n";
  std::string rs485Again = "1\n";
};
inline const LoadReplies k19200{.baud = "19200\n", .baudAgain = "19200\n"};

// The load traffic when the converter reports 9600 baud and RS-485 enabled.
inline Lines defaultLoadTraffic() {
  return query("*SRE?") + query("*ESE?") + query("SYST:COMM:SER:BAUD?") + baudSet("9600") +
         query("SYST:COMM:SER:RS485?") + modeSet("ON");
}

// Counts the paints of a widget.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// The setup window on the scripted test bus.
class SetupWindow : public ::testing::Test {
 protected:
  SetupWindow() { gpib.InterfaceName = "GPIB"; }
  ~SetupWindow() override {
    tap.during = nullptr;
    delete w.data();
  }

  // Creates the window (its load action runs) and shows it; the load traffic is taken.
  setup::SetupWindow& open(const LoadReplies& r = {}) {
    delete w.data();
    for (const std::string* reply : {&r.sre, &r.ese, &r.baud})
      if (!reply->empty()) bus.reply(*reply);
    if (bus::numericValue(r.baud) == 9600 || bus::numericValue(r.baud) == 19200)
      bus.reply(r.baudAgain);
    bus.reply(r.rs485);
    if (bus::numericValue(r.rs485) == 1 || bus::numericValue(r.rs485) == 0) bus.reply(r.rs485Again);
    w = new setup::SetupWindow(gpib);
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
  void press(const char* name) { click(qobject_cast<QAbstractButton*>(w->control(name))); }
  QString results() const { return w->txtResults2->text(); }
  static std::string bytes(const QString& text) { return ui::toBytes(text); }
  // The checked options, in a fixed order: by their captions.
  std::string checked() const {
    std::string names;
    for (auto* o : {w->opt9600, w->opt19200, w->optModeEna, w->optModeDis})
      if (o->isChecked()) names += (names.empty() ? "" : " ") + o->text().toStdString();
    return names;
  }
  // What txtResults2 showed, and how often it had been painted, at the first event that starts
  // with `prefix`.
  void watchResultsAt(const std::string& prefix, QString& shown, int& paints) {
    QApplication::processEvents();
    w->txtResults2->viewport()->installEventFilter(&counter);
    tap.during = [this, prefix, &shown, &paints](const std::string& event) {
      if (paints < 0 && event.starts_with(prefix)) shown = results(), paints = counter.paints;
    };
  }

  testing_support::TestBus bus;
  bus::VirtualClock clock;
  bus::SilentSound sound;
  Tap tap;
  bus::GPIB32 gpib{bus, clock, sound, &tap};
  QPointer<setup::SetupWindow> w;
  Lines loadTraffic;
  PaintCounter counter;
};

// The main window opens the setup window: created once, hidden by its return button, destroyed
// when closed by its frame.
class OpenedFromMain : public SetupWindow {
 protected:
  setup::SetupWindow& openFromMain() {
    for (const char* r : {"32\n", "255\n", "9600\n", "9600\n", "1\n", "1\n"}) bus.reply(r);
    main.cmd488_2Cmds_Click();
    if (!main.setupWindow()) throw std::logic_error("the setup window was not created");
    return *main.setupWindow();
  }
  console::MainWindow main{gpib};
};

}  // namespace setup_test
