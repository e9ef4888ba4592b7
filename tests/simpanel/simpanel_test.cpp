#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <string>
#include <vector>

#include "Bench.h"
#include "Controls.h"
#include "Layout.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "Observers.h"
#include "SimulatedBus.h"
#include "SimulatorPanel.h"
#include "Workbench.h"

namespace {

using Fields = std::vector<std::string>;

// The bench's state read from the simulator itself, one "name=value" a field.
Fields fields(sim::SimulatedBus& b) {
  std::string faults;
  for (const auto& [reg, f] : b.registerFaults())
    faults += " " + std::to_string(reg) + ":" + (f.silent ? "none" : std::to_string(f.value));
  sim::WatlowF4& c = b.controller();
  return {
      "present=" + std::to_string(b.converterPresent()),
      "silent=" + std::to_string(b.converterSilent()),
      "fail=" + std::to_string(b.pendingFailures()) + "/" + std::to_string(b.pendingFailureCode()),
      "faults=" + faults,
      "baud=" + std::to_string(b.controllerBaud()),
      "id=" + b.identity(),
      "ambient=" + bus::plainNumberText(c.ambient()),
      "rates=" + bus::plainNumberText(c.heatRate()) + "/" + bus::plainNumberText(c.coolRate()) +
          "/" + bus::plainNumberText(c.driftRate()),
      "clock=" + bus::plainNumberText(c.timeOfDay()),
      "esr=" + std::to_string(b.converter().esr())};
}

// The panel on a fresh bench, the steps it announced, and what changed on the bench.
struct Panel {
  bus::VirtualClock clock;
  sim::SimulatedBus bench{clock};
  const Fields before = fields(bench);
  std::string said;
  simpanel::SimulatorPanel panel{
      bench, [this](const std::string& step) { said += (said.empty() ? "" : "; ") + step; }};

  template <class T = QWidget>
  T* get(const std::string& name) {
    auto* control = panel.findChild<T*>(QString::fromStdString(name));
    EXPECT_TRUE(control) << name;
    return control;
  }
  // "txtRegister=100|cmdRegisterNone": types into boxes, clicks buttons, in order.
  void act(const std::string& actions) {
    for (const QString& a : QString::fromStdString(actions).split('|')) {
      const qsizetype eq = a.indexOf('=');
      if (eq < 0)
        get<QAbstractButton>(a.toStdString())->click();
      else
        get<QLineEdit>(a.left(eq).toStdString())->setText(a.mid(eq + 1));
    }
  }
  std::string changed() {
    std::string out;
    const Fields after = fields(bench);
    for (std::size_t i = 0; i < after.size(); ++i)
      if (after[i] != before[i]) out += (out.empty() ? "" : " ") + after[i];
    return out;
  }
};

TEST(SimulatorPanel, EachActionChangesTheBenchAndIsAnnouncedAsItsStep) {
  const struct {
    const char* actions;
    const char* announced;
    const char* changed;
  } rows[] = {
      {"chkPresent", "sim absent", "present=0"},
      {"chkSilent|chkSilent", "sim silent on; sim silent off", ""},
      {"chkSilent", "sim silent on", "silent=1"},
      {"txtFailCount=3|txtFailCode=2|cmdFail", "sim modbus-error 2 3", "fail=3/2"},
      {"txtRegister=100|txtRegisterValue=-40|cmdRegisterValue", "sim register 100 -40",
       "faults= 100:65496"},
      {"txtRegister= 200 |cmdRegisterNone", "sim register 200 none", "faults= 200:none"},
      {"txtRegister=100|txtRegisterValue=80|cmdRegisterValue|cmdRegisterClear",
       "sim register 100 80; sim register 100 clear", ""},
      {"txtBaud=4800|cmdBaud", "sim baud 4800", "baud=4800"},
      {"txtIdentity=ACME,\"1\",2\\3|cmdIdentity", "sim identity \"ACME,\\\"1\\\",2\\\\3\"",
       "id=ACME,\"1\",2\\3"},
      {"optModel5690|optModel5690", "sim model 5690", "id=ORVANE,5690,SIM-000417,2.10"},
      {"optModelUnknown", "sim model 5600", "id=ORVANE,5600,SIM-000417,2.10"},
      {"optModel5630", "", ""},
      {"txtAmbient=-10.5|cmdAmbient", "sim ambient -10.5", "ambient=-10.5"},
      {"txtHeatRate=6|txtCoolRate=1.5|txtDriftRate=.25|cmdRates", "sim rates 6 1.5 0.25",
       "rates=6/1.5/0.25"},
      {"txtClock=12:30:05|cmdClock", "sim clock 12:30:05", "clock=45005"},
      {"cmdPowerCycle", "sim power-cycle", "esr=128"},
  };
  for (const auto& row : rows) {
    Panel p;
    p.act(row.actions);
    EXPECT_EQ(p.said, row.announced) << row.actions;
    EXPECT_EQ(p.changed(), row.changed) << row.actions;
    // The message line repeats the last step taken.
    const std::string said = row.announced;
    const std::size_t last = said.rfind("; ");
    EXPECT_EQ(p.get<QLabel>("lblMessage")->text().toStdString(),
              last == std::string::npos ? said : said.substr(last + 2));
  }
}

TEST(SimulatorPanel, BadInputIsRefusedWithAMessageAndChangesNothing) {
  const std::pair<const char*, const char*> rows[] = {
      {"txtFailCount=x|txtFailCode=2|cmdFail",
       "The count of transactions must be a whole number from 1 to 65535, not \"x\""},
      {"txtFailCount=1|txtFailCode=|cmdFail",
       "The Modbus error code must be a whole number from 1 to 65535, not \"\""},
      {"txtRegister=65536|cmdRegisterNone",
       "The register must be a whole number from 0 to 65535, not \"65536\""},
      {"txtRegister=1|txtRegisterValue=99999999999999999999|cmdRegisterValue",
       "The register's value must be a whole number from -32768 to 65535, not "
       "\"99999999999999999999\""},
      {"txtRegister=|cmdRegisterClear",
       "The register must be a whole number from 0 to 65535, not \"\""},
      {"txtBaud=0|cmdBaud", "The baud rate must be a whole number from 1 to 1000000, not \"0\""},
      {"txtAmbient=nan|cmdAmbient",
       "The ambient must be a number from -1000 and up to 3000, not \"nan\""},
      {"txtHeatRate=3|txtCoolRate=0|txtDriftRate=1|cmdRates",
       "The cool rate must be a number above 0 and up to 1000, not \"0\""},
      {"txtClock=24:00:00|cmdClock",
       "The clock must be a time of day HH:MM:SS from 00:00:00 to 23:59:59, not \"24:00:00\""},
      {"txtClock=1:00:00|cmdClock",
       "The clock must be a time of day HH:MM:SS from 00:00:00 to 23:59:59, not \"1:00:00\""},
  };
  for (const auto& [actions, message] : rows) {
    Panel p;
    p.act(actions);
    EXPECT_EQ(p.get<QLabel>("lblMessage")->text().toStdString(), message) << actions;
    EXPECT_EQ(p.said, "") << actions;
    EXPECT_EQ(p.changed(), "") << actions;
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
  EXPECT_EQ(p.get<QLabel>("lblState")->text().toStdString(),
            "Converter: absent, silent\nFailures pending: 2 with code 3\n"
            "Register faults: 5 answers -40; 100 answers nothing\nController baud: 9600\n"
            "Identity: ORVANE,5620,SIM-000417,2.10\nAmbient: 23.8889 C; temperature: 23.9 C\n"
            "Rates: heat 3, cool 3, drift 0.5 degrees a second\nClock: 01:02:03");
  EXPECT_FALSE(p.get<QAbstractButton>("chkPresent")->isChecked());
  EXPECT_TRUE(p.get<QAbstractButton>("chkSilent")->isChecked());
  EXPECT_TRUE(p.get<QAbstractButton>("optModel5620")->isChecked());
  p.bench.setIdentity("ACME,1,2,3");
  p.panel.refresh();
  EXPECT_TRUE(p.get<QAbstractButton>("optModelUnknown")->isChecked());
}

// The operator's reason for the panel: a fault set there reaches the console's error box.
TEST(SimulatorPanel, AFailureSetOnThePanelReachesTheConsole) {
  testing_support::Bench<sim::SimulatedBus> b;
  console::MainWindow main(b.gpib, "Driver: test bench");
  simpanel::SimulatorPanel panel(b.driver, {});
  testing_support::click(main, "cmdInitialize");
  panel.findChild<QLineEdit*>("txtFailCount")->setText("1");
  panel.findChild<QLineEdit*>("txtFailCode")->setText("2");
  panel.findChild<QAbstractButton*>("cmdFail")->click();
  testing_support::click(main, "cmdRdTemp");
  EXPECT_EQ(testing_support::text(main, "txtError"), "Modbus Error 2\n");
  testing_support::click(main, "cmdRdTemp");
  EXPECT_EQ(testing_support::text(main, "txtResults"), "Temperature = 75");
}

// View > Simulator exists only on the simulator; it opens the panel scripts reach as "simulator".
TEST(SimulatorPanel, OpensFromTheViewMenuOnlyOnTheSimulator) {
  for (const bool simulated : {false, true}) {
    testing_support::Bench<sim::SimulatedBus> b;
    bus::Observers observers;
    console::MainWindow main(b.gpib, "Driver: test bench");
    workbench::Workbench::Settings settings;
    settings.simulator = simulated ? &b.driver : nullptr;
    workbench::Workbench bench(main, b.clock, observers, settings);
    auto* entry = main.findChild<QAction*>("actSimulator");
    ASSERT_EQ(entry != nullptr, simulated);
    if (!entry) continue;
    EXPECT_EQ(entry->shortcut().toString(), "Ctrl+K");
    entry->trigger();
    ASSERT_TRUE(bench.openSimulator());
    EXPECT_EQ(bench.openSimulator()->objectName(), "simulator");
    EXPECT_TRUE(bench.openSimulator()->isVisible());
    EXPECT_EQ(testing_support::layoutProblems(bench.openSimulator()), std::vector<std::string>{});
  }
}

}  // namespace
