// Every handler of the three windows that the operator can reach, under every fault the bus can
// show: driver errors and odd replies on the test bus, converter and controller faults on the
// simulator. None may crash or hang, and afterwards the console works again.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <functional>
#include <iostream>
#include <map>

#include "Bench.h"
#include "Controls.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "ProfileWindow.h"
#include "SetupWindow.h"
#include "SimulatedBus.h"
#include "TestBus.h"

namespace {

using testing_support::type;

// Hands every call to whichever driver is plugged in: a window brought up on the simulator
// meets a fault on the test bus and comes back to the simulator afterwards.
struct SwitchBus final : bus::Driver {
  explicit SwitchBus(bus::Clock& clock) : sim(clock) {}
  void ibonl(int ud, int v) override { to->ibonl(ud, v); }
  void ibsre(int ud, int v) override { to->ibsre(ud, v); }
  void ibtmo(int ud, int code) override { to->ibtmo(ud, code); }
  void SendIFC(int board) override { to->SendIFC(board); }
  void DevClear(int board, bus::Addr4882 a) override { to->DevClear(board, a); }
  void FindLstn(int board, const bus::Addr4882* pads, bus::Addr4882* out, int n) override {
    to->FindLstn(board, pads, out, n);
  }
  void ReadStatusByte(int board, bus::Addr4882 a, std::int16_t* r) override {
    to->ReadStatusByte(board, a, r);
  }
  void Send(int board, bus::Addr4882 a, const char* d, long n, bus::EotMode m) override {
    to->Send(board, a, d, n, m);
  }
  void Receive(int board, bus::Addr4882 a, char* b, long n, int t) override {
    to->Receive(board, a, b, n, t);
  }
  bus::Status status() const override { return to->status(); }
  std::string describe() const override { return to->describe(); }
  sim::SimulatedBus sim;
  testing_support::TestBus test;
  bus::Driver* to = &sim;
};

// A console after discovery, with the window under test where most of its controls are live.
struct Case : testing_support::Bench<SwitchBus> {
  explicit Case(int which) {
    main.exitProgram = [] {};
    main.cmdInitialize->click();
    main.Timer1->stop();  // ticks are run by hand
    if (which == 0) {
      for (auto [box, text] : {std::pair{"txtReg", "100"},
                               {"txtOutput", "1"},
                               {"txtSetPt", "75"},
                               {"txtProfile", "1"}})
        type(main, box, text);
      main.cmdDelete->click();  // brings up cmdConfirm
      form = &main;
    } else if (which == 1) {
      main.cmd488_2Cmds->click();
      for (auto [box, text] :
           {std::pair{"txtESE", "255"}, {"txtSRE", "32"}, {"txtPSC", "0"}, {"txtNewAddr", "4"}})
        type(*main.setupWindow(), box, text);
      form = main.setupWindow();
    } else {  // a timed step done and a ramp waiting for its temperature: every button is live
      main.cmdCreate->click();
      auto& p = *main.profileWindow();
      for (const char* step : {"txtProfile=1", "cmdSetProfile", "optStep(1)", "cmdSetTime",
                               "txtTemp=80", "cmdSetTemp", "optStep(2)", "cmdSetTime"})
        if (const QString s = step; s.contains('='))
          type(p, s.section('=', 0, 0), s.section('=', 1).toStdString());
        else
          qobject_cast<QAbstractButton*>(p.control(s))->click();
      form = &p;
    }
    tap.take();
  }
  console::MainWindow main{gpib};
  QWidget* form = nullptr;
};

const QHash<QString, QWidget*>& controlsOf(const Case& c) {
  if (auto* w = qobject_cast<setup::SetupWindow*>(c.form)) return w->controls();
  if (auto* w = qobject_cast<profile::ProfileWindow*>(c.form)) return w->controls();
  return c.main.controls();
}

// Every enabled, visible button and option (array elements by index), Enter in the assembler's
// boxes, and a tick with both live displays on.
std::vector<QString> handlersOf(int which) {
  Case c(which);
  std::map<QWidget*, QString> named;
  const auto& controls = controlsOf(c);
  for (auto it = controls.begin(); it != controls.end(); ++it)
    if (auto* b = qobject_cast<QAbstractButton*>(*it);
        b && b->isEnabled() && b->isVisibleTo(c.form))
      if (QString& name = named[b]; name.isEmpty() || it.key().contains('(')) name = it.key();
  std::vector<QString> handlers;
  for (const auto& entry : named) handlers.push_back(entry.second);
  if (which == 0) handlers.insert(handlers.end(), {"Enter txtReg", "Enter txtOutput", "tick"});
  return handlers;
}

void run(Case& c, const QString& handler) {
  if (handler == "tick") {
    c.main.TempRdFlag = c.main.TimeRdFlag = 1;
    c.main.Timer1_Timer();
  } else if (handler.startsWith("Enter ")) {
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QCoreApplication::sendEvent(c.main.control(handler.mid(6)), &enter);
  } else if (auto* option = qobject_cast<ui::OptionButton*>(controlsOf(c).value(handler))) {
    option->deselect();
    option->select();
  } else {
    qobject_cast<QAbstractButton*>(controlsOf(c).value(handler))->click();
  }
}

std::vector<std::pair<std::string, std::function<void(SwitchBus&)>>> faults() {
  std::vector<std::pair<std::string, std::function<void(SwitchBus&)>>> all;
  const std::tuple<const char*, std::vector<std::string>, int, int> driverErrors[] = {
      {"ENOL", {"Send", "DevClear"}, bus::ENOL, 0},
      {"time-out", {"Receive", "ReadStatusByte"}, bus::EABO, bus::TIMO},
      {"board offline",
       {"ibonl", "ibsre", "ibtmo", "SendIFC", "DevClear", "FindLstn", "Send", "Receive",
        "ReadStatusByte"},
       bus::ENEB,
       0},
      {"driver unusable",
       {"ibonl", "ibsre", "ibtmo", "SendIFC", "DevClear", "FindLstn", "Send", "Receive",
        "ReadStatusByte"},
       bus::EDVR,
       0},
  };
  for (const auto& [name, calls, iberr, bits] : driverErrors)
    all.push_back({name, [calls, iberr, bits](SwitchBus& b) {
                     for (const auto& call : calls) b.test.failAlways(call, iberr, bits);
                     b.to = &b.test;
                   }});
  for (const std::string& bytes : std::vector<std::string>{"", "\n", std::string(300, '7') + "\n",
                                                           std::string("7\0"
                                                                       "5\r\n",
                                                                       5),
                                                           "\xB0\xC3\xA9\xFF\n", "1e400\n",
                                                           "-1e400\n", "NaN\n", "&HFFFFFFFF\n"})
    all.push_back({"reply \"" + bus::escapeBytes(bytes) + "\"", [bytes](SwitchBus& b) {
                     for (int i = 0; i < 64; ++i) b.test.reply(bytes);
                     b.to = &b.test;
                   }});
  for (int code : {2, 101})
    all.push_back({"Modbus error " + std::to_string(code),
                   [code](SwitchBus& b) { b.sim.failNextTransactions(1000, code); }});
  all.push_back({"converter silent", [](SwitchBus& b) { b.sim.setConverterSilent(true); }});
  all.push_back({"converter absent", [](SwitchBus& b) { b.sim.setConverterPresent(false); }});
  return all;
}

TEST(FaultMatrix, EveryHandlerSurvivesEveryFaultAndTheConsoleWorksAfterwards) {
  int cases = 0;
  const auto faultList = faults();
  for (int which : {0, 1, 2})
    for (const QString& handler : handlersOf(which))
      for (const auto& [fault, apply] : faultList) {
        SCOPED_TRACE(handler.toStdString() + " under " + fault);
        ++cases;
        Case c(which);
        apply(c.driver);
        const double start = c.clock.now();
        run(c, handler);
        EXPECT_LE(c.clock.now() - start, 60.0) << "the handler hangs on the fault";
        // Back to a sound bus; a bus error report takes the board offline, and the operator
        // brings it back with Initialize.
        c.driver.to = &c.driver.sim;
        c.driver.sim.clearFaults();
        if (!c.driver.sim.online()) c.main.cmdInitialize->click();
        c.tap.take();
        c.main.cmdRdTemp->click();
        EXPECT_EQ(c.tap.take(), ">R  100, 1 | ~0.1 | <");
        EXPECT_TRUE(testing_support::text(c.main, "txtResults").starts_with("Temperature = "));
      }
  std::cout << "fault matrix: " << cases << " handler x fault cases\n";
  EXPECT_GT(cases, 900);
}

}  // namespace
