#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <sstream>
#include <string>

#include "BusHarness.h"
#include "Controls.h"
#include "ExtraWindows.h"
#include "Layout.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "Observers.h"
#include "SimulatedBus.h"
#include "SimulatorPanel.h"

namespace {

using bus::plainNumberText;

// The bench's state read from the simulator itself: "name=value" fields, one a line.
std::string fields(sim::SimulatedBus& b) {
  std::ostringstream s;
  sim::WatlowF4& c = b.controller();
  const sim::Chamber::Rates& r = c.chamber().rates();
  s << "present=" << b.converterPresent() << "\nsilent=" << b.converterSilent()
    << "\nfail=" << b.pendingFailures() << "/" << b.pendingFailureCode() << "\nfaults=";
  for (const auto& [reg, f] : b.registerFaults())
    s << reg << ":" << (f.silent ? "none" : std::to_string(f.value)) << " ";
  s << "\nbaud=" << b.controllerBaud() << "\nid=" << b.identity()
    << "\nambient=" << plainNumberText(c.ambient()) << "\nrates=" << plainNumberText(r.heat)
    << "/" << plainNumberText(r.cool) << "/" << plainNumberText(r.drift)
    << "\nclock=" << c.timeOfDay() << "\nesr=" << int(b.converter().esr());
  return s.str();
}

// "txtRegister=100|cmdRegisterNone": types into boxes, clicks buttons, in order.
void act(QWidget* panel, const QString& actions) {
  for (const QString& a : actions.split('|')) {
    auto* control = panel->findChild<QWidget*>(a.section('=', 0, 0));
    ASSERT_TRUE(control) << a.toStdString();
    if (auto* box = qobject_cast<QLineEdit*>(control))
      box->setText(a.section('=', 1));
    else
      qobject_cast<QAbstractButton*>(control)->click();
  }
}
std::string label(QWidget* panel, const char* name) {
  return panel->findChild<QLabel*>(name)->text().toStdString();
}

// The panel on a fresh bench, the steps it announced, and the fields of the bench that changed.
struct Panel {
  bus::VirtualClock clock;
  sim::SimulatedBus bench{clock};
  const QStringList before = QString::fromStdString(fields(bench)).split('\n');
  std::string said;
  simpanel::SimulatorPanel panel{
      bench, [this](const std::string& step) { said += (said.empty() ? "" : "; ") + step; }};

  std::string changed() {
    const QStringList after = QString::fromStdString(fields(bench)).split('\n');
    QStringList out;
    for (qsizetype i = 0; i < after.size(); ++i)
      if (after[i] != before[i]) out << after[i];
    return out.join(' ').toStdString();
  }
};

TEST(SimulatorPanel, EachActionChangesTheBenchAndIsAnnouncedAsItsStep) {
  const char* const rows[][3] = {
      {"chkPresent", "sim absent", "present=0"},
      {"chkSilent", "sim silent on", "silent=1"},
      {"txtFailCount=3|txtFailCode=2|cmdFail", "sim modbus-error 2 3", "fail=3/2"},
      {"txtRegister=100|txtRegisterValue=-40|cmdRegisterValue", "sim register 100 -40",
       "faults=100:65496 "},
      {"txtRegister= 200 |cmdRegisterNone", "sim register 200 none", "faults=200:none "},
      {"txtRegister=9|txtRegisterValue=8|cmdRegisterValue|cmdRegisterClear",
       "sim register 9 8; sim register 9 clear", ""},
      {"txtBaud=4800|cmdBaud", "sim baud 4800", "baud=4800"},
      {"txtIdentity=A,\"1\",2\\3|cmdIdentity", R"(sim identity "A,\"1\",2\\3")", R"(id=A,"1",2\3)"},
      {"optModel5690|optModel5690", "sim model 5690", "id=ORVANE,5690,SIM-000417,2.10"},
      {"optModelUnknown", "sim model 5600", "id=ORVANE,5600,SIM-000417,2.10"},
      {"txtAmbient=-10.5|cmdAmbient", "sim ambient -10.5", "ambient=-10.5"},
      {"txtHeatRate=6|txtCoolRate=1.5|txtDriftRate=.25|cmdRates", "sim rates 6 1.5 0.25",
       "rates=6/1.5/0.25"},
      {"txtClock=12:30:05|cmdClock", "sim clock 12:30:05", "clock=45005"},
      {"cmdPowerCycle", "sim power-cycle", "esr=128"},
  };
  for (const auto& [actions, announced, changed] : rows) {
    Panel p;
    act(&p.panel, actions);
    EXPECT_EQ(p.said, announced) << actions;
    EXPECT_EQ(p.changed(), changed) << actions;
  }
}

TEST(SimulatorPanel, BadInputIsRefusedWithAMessageAndChangesNothing) {
  const char* const rows[][2] = {
      {"txtFailCount=x|txtFailCode=2|cmdFail",
       "The count of transactions must be a whole number from 1 to 65535, not \"x\""},
      {"txtFailCount=1|txtFailCode=|cmdFail",
       "The Modbus error code must be a whole number from 1 to 65535, not \"\""},
      {"txtRegister=1|txtRegisterValue=99999999999999999999|cmdRegisterValue",
       "The register's value must be a whole number from -32768 to 65535, not "
       "\"99999999999999999999\""},
      {"txtAmbient=nan|cmdAmbient",
       "The ambient must be a number from -1000 and up to 3000, not \"nan\""},
      {"txtHeatRate=3|txtCoolRate=0|txtDriftRate=1|cmdRates",
       "The cool rate must be a number above 0 and up to 1000, not \"0\""},
      {"txtClock=24:00:00|cmdClock",
       "The clock must be a time of day HH:MM:SS from 00:00:00 to 23:59:59, not \"24:00:00\""},
  };
  for (const auto& [actions, message] : rows) {
    Panel p;
    act(&p.panel, actions);
    EXPECT_EQ(label(&p.panel, "lblMessage"), message) << actions;
    EXPECT_EQ(p.said + p.changed(), "") << actions;
  }
}

TEST(SimulatorPanel, ShowsChangesMadeBehindItsBack) {
  Panel p;
  p.bench.setConverterPresent(false);
  p.bench.setConverterSilent(true);
  p.bench.failNextTransactions(2, 3);
  p.bench.setRegisterSilent(100);
  p.bench.setRegisterValue(5, 0xFFD8);
  p.bench.converter().setModel("5620");
  p.bench.controller().write(901, 1);  // Celsius
  p.bench.controller().setTimeOfDay(3723.9);
  p.panel.refresh();
  EXPECT_EQ(label(&p.panel, "lblState"),
            "Converter: absent, silent\nFailures pending: 2 with code 3\n"
            "Register faults: 5 answers -40; 100 answers nothing\nController baud: 9600\n"
            "Identity: ORVANE,5620,SIM-000417,2.10\nAmbient: 23.8889 C; temperature: 23.9 C\n"
            "Rates: heat 3, cool 3, drift 0.5 degrees a second\nClock: 01:02:03");
  EXPECT_FALSE(p.panel.findChild<QAbstractButton*>("chkPresent")->isChecked());
  EXPECT_TRUE(p.panel.findChild<QAbstractButton*>("optModel5620")->isChecked());
}

// The operator's reason for the panel: a fault set there reaches the console's error box.
TEST(SimulatorPanel, AFailureSetOnThePanelReachesTheConsole) {
  testing_support::BusHarness<sim::SimulatedBus> b;
  bus::Observers observers;
  console::MainWindow main(b.gpib, "Driver: test bench");
  trace::Trace events(b.clock);
  std::string announced;
  events.addSink([&](const trace::Event& e) { announced += e.text + "|"; });
  extrawindows::ExtraWindows::Settings settings;
  settings.simulator = &b.driver;
  extrawindows::ExtraWindows extras(main, b.clock, observers, events, settings);
  auto* entry = main.findChild<QAction*>("actSimulator");
  ASSERT_TRUE(entry);
  entry->trigger();
  ASSERT_TRUE(extras.openSimulator()->isVisible());
  EXPECT_EQ(testing_support::layoutProblems(extras.openSimulator()), std::vector<std::string>{});
  testing_support::click(main, "cmdInitialize");
  act(extras.openSimulator(), "txtFailCount=1|txtFailCode=2|cmdFail");
  testing_support::click(main, "cmdRdTemp");
  EXPECT_EQ(testing_support::text(main, "txtError"), "Modbus Error 2\n");
  testing_support::click(main, "cmdRdTemp");
  EXPECT_EQ(testing_support::text(main, "txtResults"), "Temperature = 75");
  EXPECT_EQ(announced, "sim modbus-error 2 1|");  // into the trace, and so the monitor
}

// Without the simulator there is nothing to set: no View > Simulator.
TEST(SimulatorPanel, NoMenuEntryOnADriverLibrary) {
  testing_support::BusHarness<sim::SimulatedBus> b;
  bus::Observers observers;
  console::MainWindow main(b.gpib, "Driver: test bench");
  trace::Trace events(b.clock);
  extrawindows::ExtraWindows extras(main, b.clock, observers, events, {});
  EXPECT_FALSE(main.findChild<QAction*>("actSimulator") || extras.openSimulator());
}

}  // namespace
