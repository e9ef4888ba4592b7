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

#include "BusHarness.h"
#include "Controls.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "ProfileWindow.h"
#include "SetupWindow.h"
#include "SimulatedBus.h"
#include "TestBus.h"

namespace {

// Hands every call to the simulator or, while a fault is on, to the test bus.
struct SwitchBus final : bus::Driver {
  explicit SwitchBus(bus::Clock& clock) : sim(clock) {}
  // clang-format off
  void ibonl(int u, int v) override { to->ibonl(u, v); }
  void ibsre(int u, int v) override { to->ibsre(u, v); }
  void ibtmo(int u, int c) override { to->ibtmo(u, c); }
  void SendIFC(int b) override { to->SendIFC(b); }
  void DevClear(int b, bus::Addr4882 a) override { to->DevClear(b, a); }
  void FindLstn(int b, const bus::Addr4882* p, bus::Addr4882* r, int n) override { to->FindLstn(b, p, r, n); }
  void ReadStatusByte(int b, bus::Addr4882 a, std::int16_t* r) override { to->ReadStatusByte(b, a, r); }
  void Send(int b, bus::Addr4882 a, const char* d, long n, bus::EotMode m) override { to->Send(b, a, d, n, m); }
  void Receive(int b, bus::Addr4882 a, char* d, long n, int t) override { to->Receive(b, a, d, n, t); }
  bus::Status status() const override { return to->status(); }
  std::string describe() const override { return to->describe(); }
  // clang-format on
  sim::SimulatedBus sim;
  testing_support::TestBus test;
  bus::Driver* to = &sim;
};

// A console after discovery, with the window under test where most of its controls are live:
// for the profile generator a timed step done and a ramp waiting for its temperature.
struct Case : testing_support::BusHarness<SwitchBus> {
  explicit Case(int which) {
    main.exitProgram = [] {};
    main.cmdInitialize->click();
    main.Timer1->stop();  // ticks are run by hand
    const char* const steps[3][8] = {
        {"txtReg=100", "txtOutput=1", "txtSetPt=75", "txtProfile=1", "cmdDelete"},
        {"txtESE=255", "txtSRE=32", "txtPSC=0", "txtNewAddr=4"},
        {"txtProfile=1", "cmdSetProfile", "optStep(1)", "cmdSetTime", "txtTemp=80", "cmdSetTemp",
         "optStep(2)", "cmdSetTime"}};
    if (which == 1) main.cmd488_2Cmds->click();
    if (which == 2) main.cmdCreate->click();
    form = which == 1   ? static_cast<QWidget*>(main.setupWindow())
           : which == 2 ? static_cast<QWidget*>(main.profileWindow())
                        : &main;
    controls = which == 1   ? &main.setupWindow()->controls()
               : which == 2 ? &main.profileWindow()->controls()
                            : &main.controls();
    for (const char* step : steps[which])
      if (QString s = step; s.contains('='))
        ui::setTextOf(controls->value(s.section('=', 0, 0)), s.section('=', 1));
      else if (step)
        qobject_cast<QAbstractButton*>(controls->value(s))->click();
    tap.take();
  }
  console::MainWindow main{gpib};
  QWidget* form = nullptr;
  const QHash<QString, QWidget*>* controls = nullptr;
};

// Every enabled, visible button and option (array elements by index), Enter in the assembler's
// boxes, and a tick with both live displays on.
std::vector<QString> handlersOf(int which) {
  Case c(which);
  std::map<QWidget*, QString> named;
  for (auto it = c.controls->begin(); it != c.controls->end(); ++it)
    if (auto* b = qobject_cast<QAbstractButton*>(*it);
        b && b->isEnabled() && b->isVisibleTo(c.form))
      if (QString& name = named[b]; name.isEmpty() || it.key().contains('(')) name = it.key();
  std::vector<QString> handlers;
  for (const auto& entry : named) handlers.push_back(entry.second);
  if (which == 0) handlers.insert(handlers.end(), {"Enter txtReg", "Enter txtOutput", "tick"});
  return handlers;
}

void run(Case& c, const QString& handler) {
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
  if (handler == "tick")
    c.main.TempRdFlag = c.main.TimeRdFlag = 1, c.main.Timer1_Timer();
  else if (handler.startsWith("Enter "))
    QCoreApplication::sendEvent(c.main.control(handler.mid(6)), &enter);
  else if (auto* option = qobject_cast<ui::OptionButton*>(c.controls->value(handler)))
    option->deselect(), option->select();
  else
    qobject_cast<QAbstractButton*>(c.controls->value(handler))->click();
}

std::vector<std::pair<std::string, std::function<void(SwitchBus&)>>> faults() {
  std::vector<std::pair<std::string, std::function<void(SwitchBus&)>>> all;
  const std::vector<std::string> every = {"ibonl",   "ibsre",    "ibtmo",
                                          "SendIFC", "DevClear", "FindLstn",
                                          "Send",    "Receive",  "ReadStatusByte"};
  const std::tuple<const char*, std::vector<std::string>, int, int> driverErrors[] = {
      {"ENOL", {"Send", "DevClear"}, bus::ENOL, 0},
      {"time-out", {"Receive", "ReadStatusByte"}, bus::EABO, bus::TIMO},
      {"board offline", every, bus::ENEB, 0},
      {"driver unusable", every, bus::EDVR, 0}};
  for (const auto& [name, calls, iberr, bits] : driverErrors)
    all.push_back({name, [calls, iberr, bits](SwitchBus& b) {
                     for (const auto& call : calls) b.test.failAlways(call, iberr, bits);
                     b.to = &b.test;
                   }});
  for (std::string bytes : {"", "\n", "7\xB0\xC3\xA9\xFF\n", "1e400\n", "-1e400\n", "NaN\n",
                            "&HFFFFFFFF\n", "OVERLONG", "NUL"}) {
    if (bytes == "OVERLONG") bytes = std::string(300, '7') + "\n";
    if (bytes == "NUL")
      bytes = std::string(
          "7\0"
          "5\r\n",
          5);
    all.push_back({"reply \"" + bus::escapeBytes(bytes) + "\"", [bytes](SwitchBus& b) {
                     for (int i = 0; i < 64; ++i) b.test.reply(bytes);
                     b.to = &b.test;
                   }});
  }
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
