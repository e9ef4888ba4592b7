// Every handler of the three windows that the operator can reach, under every fault the bus can
// show: driver errors and odd replies on the test bus, converter and controller faults on the
// simulator, and a driver library that is missing or incomplete.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <vector>

#include "LibraryDriver.h"
#include "Rig.h"
#include "TestBus.h"

namespace {

using reliability::Rig;

enum class Window { Main, Setup, Profile };

// One case: a fresh console on the simulator, the window under test brought to the state in
// which most of its controls are live, and the drivers a fault may plug in instead.
struct Case : Rig {
  explicit Case(Window which) : which(which) {
    using ui::setTextOf;
    if (which == Window::Main) {
      for (auto [box, text] : {std::pair{"txtReg", "100"},
                               {"txtOutput", "1"},
                               {"txtSetPt", "75"},
                               {"txtProfile", "1"},
                               {"txtCurAddr", "1"}})
        setTextOf(window.control(box), text);
      window.cmdDelete->click();  // brings up cmdConfirm
    } else if (which == Window::Setup) {
      window.cmd488_2Cmds->click();
      for (auto [box, text] :
           {std::pair{"txtESE", "255"}, {"txtSRE", "32"}, {"txtPSC", "0"}, {"txtNewAddr", "4"}})
        setTextOf(window.setupWindow()->control(box), text);
    } else {
      // A profile with a timed step and a ramp waiting for its end temperature: every step
      // type, both Set buttons and the selection are live.
      window.cmdCreate->click();
      auto* p = window.profileWindow();
      p->txtProfile->setText("1");
      p->cmdSetProfile->click();
      p->optStep[1]->click();
      p->cmdSetTime->click();
      p->txtTemp->setText("80");
      p->cmdSetTemp->click();
      p->optStep[2]->click();
      p->cmdSetTime->click();
    }
    rec.clear();
  }

  QWidget* form() const {
    if (which == Window::Setup) return window.setupWindow();
    if (which == Window::Profile) return window.profileWindow();
    return const_cast<console::MainWindow*>(&window);
  }
  const QHash<QString, QWidget*>& controls() const {
    if (which == Window::Setup) return window.setupWindow()->controls();
    if (which == Window::Profile) return window.profileWindow()->controls();
    return window.controls();
  }

  Window which;
  testing_support::TestBus testBus;
  std::unique_ptr<bus::LibraryDriver> library;
};

// The handlers an operator can reach: every enabled, visible button and option, Enter in the
// assembler's two boxes, and the live display tick with both displays on.
std::vector<QString> handlersOf(Window which) {
  Case c(which);
  std::map<QWidget*, QString> named;
  for (auto it = c.controls().begin(); it != c.controls().end(); ++it) {
    auto* button = qobject_cast<QAbstractButton*>(it.value());
    if (!button || !button->isEnabled() || !button->isVisibleTo(c.form())) continue;
    QString& name = named[button];
    if (name.isEmpty() || it.key().contains('(')) name = it.key();  // "optUnits(1)"
  }
  std::vector<QString> handlers;
  for (const auto& [widget, name] : named) handlers.push_back(name);
  if (which == Window::Main)
    handlers.insert(handlers.end(), {"Enter txtReg", "Enter txtOutput", "Timer1_Timer"});
  std::sort(handlers.begin(), handlers.end());
  return handlers;
}

void run(Case& c, const QString& handler) {
  if (handler == "Timer1_Timer") {
    c.window.TempRdFlag = c.window.TimeRdFlag = 1;
    c.window.Timer1_Timer();
  } else if (handler.startsWith("Enter ")) {
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QCoreApplication::sendEvent(c.window.control(handler.mid(6)), &enter);
  } else if (auto* option = qobject_cast<ui::OptionButton*>(c.controls().value(handler))) {
    option->deselect();
    option->select();
  } else {
    c.click(c.controls().value(handler));
  }
}

struct Fault {
  std::string name;
  std::function<void(Case&)> apply;
};

std::vector<Fault> faults() {
  std::vector<Fault> all;
  const char* const kCalls[] = {"ibonl",    "ibsre", "ibtmo",   "SendIFC",       "DevClear",
                                "FindLstn", "Send",  "Receive", "ReadStatusByte"};
  struct DriverError {
    const char* name;
    std::vector<std::string> calls;
    int iberr, bits;
  };
  const DriverError driverErrors[] = {
      {"ENOL", {"Send", "DevClear"}, bus::ENOL, 0},
      {"time-out", {"Receive", "ReadStatusByte"}, bus::EABO, bus::TIMO},
      {"board offline", {std::begin(kCalls), std::end(kCalls)}, bus::ENEB, 0},
  };
  for (const auto& e : driverErrors)
    all.push_back({e.name, [e](Case& c) {
                     for (const auto& call : e.calls) c.testBus.failAlways(call, e.iberr, e.bits);
                     c.line.plug(c.testBus);
                   }});

  const std::pair<const char*, std::string> oddReplies[] = {
      {"empty reply", ""},
      {"reply over 256 bytes", std::string(300, '7') + "\n"},
      {"NUL byte", std::string("7\0"
                               "5\n",
                               4)},
      {"CR", "75\r\n"},
      {"non-ASCII", "7\xB0\xC3\xA9\n"},
      {"0xFF bytes", "\xFF\xFF\xFF\n"},
      {"1e400", "1e400\n"},
      {"-1e400", "-1e400\n"},
      {"NaN", "NaN\n"},
      {"&HFFFFFFFF", "&HFFFFFFFF\n"},
  };
  for (const auto& [name, bytes] : oddReplies)
    all.push_back({name, [bytes = bytes](Case& c) {
                     for (int i = 0; i < 64; ++i) c.testBus.reply(bytes);
                     c.line.plug(c.testBus);
                   }});

  for (int code : {1, 2, 3, 101})
    all.push_back({"Modbus error " + std::to_string(code),
                   [code](Case& c) { c.sim.failNextTransactions(1000, code); }});
  all.push_back({"converter silent", [](Case& c) { c.sim.setConverterSilent(true); }});
  all.push_back({"converter absent", [](Case& c) { c.sim.setConverterPresent(false); }});

  for (const auto& [name, path] :
       {std::pair<std::string, std::string>{"missing driver library", "/nonexistent/libgpib.so.0"},
        {"missing entry point", STANDIN_GPIB_PARTIAL}})
    all.push_back({name, [path = path](Case& c) {
                     c.library = std::make_unique<bus::LibraryDriver>(path);
                     c.line.plug(*c.library);
                   }});
  return all;
}

// Whatever a handler meets, it ends within this much of the bus's time.
constexpr double kVirtualTimeCap = 60.0;

TEST(FaultMatrix, EveryHandlerSurvivesEveryFaultAndTheConsoleWorksAfterwards) {
  const QRegularExpression temperature("^Temperature = -?[0-9A-F]+$");
  const std::vector<Fault> faultList = faults();
  int cases = 0;
  for (Window which : {Window::Main, Window::Setup, Window::Profile}) {
    for (const QString& handler : handlersOf(which)) {
      for (const Fault& fault : faultList) {
        SCOPED_TRACE(handler.toStdString() + " under " + fault.name);
        ++cases;
        Case c(which);
        fault.apply(c);
        const double start = c.clock.now();
        run(c, handler);
        EXPECT_LE(c.clock.now() - start, kVirtualTimeCap);

        // Back to a sound bus: an error report takes the board offline by design, and the
        // operator brings it back with Initialize.
        c.line.plug(c.sim);
        c.sim.clearFaults();
        if (!c.sim.online()) c.window.cmdInitialize->click();
        c.rec.clear();
        c.window.cmdRdTemp->click();
        EXPECT_EQ(c.rec.take(),
                  (std::vector<std::string>{"Send(0, 4, \"R  100, 1\", NLend)", "pause 0.1",
                                            "Receive(0, 4, 256, STOPend)"}));
        EXPECT_TRUE(temperature.match(QString::fromStdString(c.results())).hasMatch())
            << c.results();
      }
    }
  }
  ::testing::Test::RecordProperty("cases", cases);
  std::cout << "fault matrix: " << cases << " handler x fault cases (" << faultList.size()
            << " faults)\n";
  EXPECT_GT(cases, 1000);
}

}  // namespace
