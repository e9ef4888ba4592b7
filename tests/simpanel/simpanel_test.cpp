#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
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
    << "\nambient=" << plainNumberText(c.ambient()) << "\nrates=" << plainNumberText(r.heat) << "/"
    << plainNumberText(r.cool) << "/" << plainNumberText(r.drift) << "\nclock=" << c.timeOfDay()
    << "\nesr=" << int(b.converter().esr())
    << "\nchamber=" << (c.chamber().model() == sim::Chamber::Model::Linear ? "linear" : "thermal")
    << "\nplant=";
  const sim::Chamber::Plant& p = c.chamber().plant();
  for (double v : {p.thermalMass, p.heaterPower, p.coolerPower, p.roomLoss, p.deadTime})
    s << plainNumberText(v) << " ";
  const sim::Chamber::Loop& l = c.chamber().loop();
  s << "\nloop=" << plainNumberText(l.band) << " " << plainNumberText(l.integral) << " "
    << plainNumberText(l.derivative) << "\nlink=" << (b.converter().paced() ? "paced " : "instant ")
    << plainNumberText(b.converter().latency());
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
      {"txtIdentity=X,9,Y|cmdIdentity|optModelUnknown", "sim identity \"X,9,Y\"", "id=X,9,Y"},
      {"txtAmbient=-10.5|cmdAmbient", "sim ambient -10.5", "ambient=-10.5"},
      {"txtHeatRate=6|txtCoolRate=1.5|txtDriftRate=.25|cmdRates", "sim rates 6 1.5 0.25",
       "rates=6/1.5/0.25"},
      {"txtClock=12:30:05|cmdClock", "sim clock 12:30:05", "clock=45005"},
      {"cmdPowerCycle", "sim power-cycle", "esr=128"},
      {"optChamberLinear|optChamberLinear|optChamberThermal",
       "sim chamber linear; sim chamber thermal", ""},
      {"optChamberLinear", "sim chamber linear", "chamber=linear"},
      {"txtMass=5|txtHeater=3000|txtCooler=0|txtLoss= 12.5|txtDeadTime=2|cmdPlant",
       "sim plant 5 3000 0 12.5 2", "plant=5 3000 0 12.5 2 "},
      {"txtBand=8|txtIntegral=0|txtDerivative=3|cmdLoop", "sim loop 8 0 3", "loop=8 0 3"},
      {"txtLatency=20|cmdLatency", "sim latency 20", "link=paced 0.02"},
      {"chkLinkPaced", "sim link instant", "link=instant 0.005"},
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
      {"txtMass=heavy|cmdPlant", "The thermal mass must be a number, not \"heavy\""},
      {"txtMass=2.5|txtHeater=1|txtCooler=1|txtLoss=1|txtDeadTime=700|cmdPlant",
       "The dead time must lie from 0 to 600 s"},
      {"txtBand=0|txtIntegral=1|txtDerivative=1|cmdLoop",
       "The proportional band must lie above 0 and up to 10000 degrees"},
      {"txtLatency=-1|cmdLatency",
       "The link latency must be a number from 0 and up to 10000, not \"-1\""},
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
  p.bench.converter().setPaced(false);
  sim::WatlowF4& f4 = p.bench.controller();
  f4.setPlant({3, 2000, 1000, 8, 4});
  f4.write(700, 1), f4.write(300, 150);  // heating for half a minute
  p.clock.sleepFor(30);
  f4.write(901, 1);  // Celsius
  f4.setTimeOfDay(3723.9);
  p.panel.refresh();
  EXPECT_EQ(label(&p.panel, "lblState"),
            "Converter: absent, silent\nFailures pending: 2 with code 3\n"
            "Register faults: 5 answers -40; 100 answers nothing\nController baud: 9600\n"
            "Identity: ORVANE,5620,SIM-000417,2.10\nAmbient: 23.8889 C; temperature: 40.6 C\n"
            "Chamber: thermal, output 100 %: heater 2000 W, cooler 0 W, to the room 134 W\n"
            "Plant: mass 3 kJ/K, heater 2000 W, cooler 1000 W, loss 8 W/K, dead time 4 s\n"
            "Loop: band 5.55556 C, integral 20 s, derivative 0 s\n"
            "Linear rates: heat 3, cool 3, drift 0.5 degrees a second\nLink: instant\n"
            "Clock: 01:02:03");
  EXPECT_FALSE(p.panel.findChild<QAbstractButton*>("chkPresent")->isChecked());
  EXPECT_FALSE(p.panel.findChild<QAbstractButton*>("chkLinkPaced")->isChecked());
  EXPECT_TRUE(p.panel.findChild<QAbstractButton*>("optModel5620")->isChecked());
  EXPECT_TRUE(p.panel.findChild<QAbstractButton*>("optChamberThermal")->isChecked());
  // Opened, its boxes hold the settings as they are.
  p.panel.show();
  std::string boxes, uncaptioned;
  for (const QLineEdit* box : p.panel.findChildren<QLineEdit*>()) {
    boxes += box->objectName().toStdString() + "=" + box->text().toStdString() + " ";
    const auto captions = [box](const QLabel* l) {  // just to its left on its line
      const int gap = box->x() - l->geometry().right();
      return l->parent() == box->parent() && gap > 0 && gap < 12 &&
             std::abs(l->geometry().center().y() - box->geometry().center().y()) < 4;
    };
    if (std::ranges::none_of(p.panel.findChildren<QLabel*>(), captions))
      uncaptioned += box->objectName().toStdString() + " ";
  }
  EXPECT_EQ(uncaptioned, "");
  EXPECT_EQ(p.panel.findChild<QLabel*>("lblState")->alignment(), Qt::AlignLeft | Qt::AlignTop);
  EXPECT_EQ(boxes,
            "txtIdentity=ORVANE,5620,SIM-000417,2.10 txtFailCount= txtFailCode= txtRegister= "
            "txtRegisterValue= txtBaud=9600 txtAmbient=23.8889 txtClock=01:02:03 txtLatency=5 "
            "txtHeatRate=3 txtCoolRate=3 txtDriftRate=0.5 txtMass=3 txtHeater=2000 "
            "txtCooler=1000 txtLoss=8 txtDeadTime=4 txtBand=5.55556 txtIntegral=20 "
            "txtDerivative=0 ");
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
