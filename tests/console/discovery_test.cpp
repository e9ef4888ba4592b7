#include <QGroupBox>

#include "ConsoleFixture.h"

namespace console_tests {
namespace {

const Lines kBusSetUp = {"SendIFC(0)", "ibsre(0, 1)", "ibtmo(0, 11)"};

Lines concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Everything the F4 path enables, and what it leaves alone.
void expectConsoleEnabled(console::MainWindow& w) {
  for (QWidget* c : std::initializer_list<QWidget*>{
           w.cmd488_2Cmds,  w.cmdRdErr,   w.cmdRdModel, w.cmdRdSN,    w.cmdRdSoft,
           w.cmdRdRev,      w.cmdRdDate,  w.cmdRdSetPt, w.cmdESR,     w.cmdStatic,
           w.cmdRdTemp,     w.cmdSend,    w.cmdClr,     w.cmdRdTemp2, w.cmdRdTime,
           w.cmdRunProfile, w.cmdStop,    w.cmdDelete,  w.cmdCreate,  w.cmdSetPt,
           w.cmdStopSetPt,  w.optDecimal, w.optHex,     w.optCmdRead, w.optCmdWrt,
           w.frmFormat,     w.frmCmdNum,  w.txtOutput,  w.txtReg,     w.optUnits[0],
           w.optUnits[1]})
    EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_FALSE(w.cmdChgAddr->isEnabled());
  EXPECT_FALSE(w.cmdConfirm->isEnabled());
  EXPECT_FALSE(w.lblReg->isHidden());
  EXPECT_FALSE(w.lblOutput->isHidden());
}

TEST_F(ConsoleTest, DiscoveryFindsTheF4) {
  scriptDiscovery("ORVANE,5630,1234,1.0\n", "5270\n", "1\n");
  window.cmdInitialize->click();
  EXPECT_EQ(rec.take(), concat({kBusSetUp,
                                {sent("*IDN?"), kRecv, sent("*ESE 255;*SRE 32"),
                                 sent("FORM:TALK ASCII"), sent("*ESR?"), kRecv, sent("R  0, 1"),
                                 kPause, kRecv, sent("R  901, 1"), kPause, kRecv}}));
  EXPECT_EQ(results(), "Found F4 Watlow Controller");
  EXPECT_EQ(gpib.ModelNumber, 5270);
  EXPECT_EQ(window.FirstTimeFlg, 1);
  EXPECT_EQ(window.Cmd, "R");
  EXPECT_EQ(window.Msg_Format, "FORM:TALK ASCII");
  EXPECT_TRUE(window.optCmdRead->isChecked());
  EXPECT_TRUE(window.optDecimal->isChecked());
  EXPECT_TRUE(window.optUnits[1]->isChecked()) << "register 901 = 1 selects Deg C";
  EXPECT_EQ(window.lblReg->text(), "Reg#      Number of registers");
  EXPECT_EQ(rec.beeps(), 0);
  expectConsoleEnabled(window);
}

struct UnitRow {
  std::string reply;
  int selected;
};

// The unit comes from register 901; an empty reply reads as 0 (Fahrenheit). Nothing is written.
TEST_F(ConsoleTest, DiscoveryChoosesTheUnitWithoutWritingIt) {
  const UnitRow rows[] = {{"0\n", 0}, {"1\n", 1}, {"", 0}, {"   ", 0}, {"2\n", 1}, {"abc\n", 0}};
  for (const auto& row : rows) {
    console::MainWindow w(gpib);
    rec.clear();
    scriptDiscovery("5630", "5270\n", row.reply);
    if (row.reply.empty()) bus.reply("0\n");  // leave nothing queued for the next row
    w.cmdInitialize->click();
    EXPECT_TRUE(w.optUnits[row.selected]->isChecked()) << row.reply;
    EXPECT_FALSE(w.optUnits[1 - row.selected]->isChecked()) << row.reply;
    for (const auto& e : rec.events()) EXPECT_EQ(e.find("W  901"), std::string::npos) << e;
    while (bus.pendingReplies()) bus::queryExchange(gpib, "drain");
  }
}

struct IdentityRow {
  std::string identity;
  bool found;
};

TEST_F(ConsoleTest, ConverterIdentityMustNameASupportedModel) {
  const IdentityRow rows[] = {
      {"ORVANE,5620,1,1\n", true},
      {"ORVANE,5630,1,1\n", true},
      {"X,5690\n", true},
      {"MODEL56301\n", true},
      {"ORVANE,5610,1,1\n", false},
      {"", false},
      {"5 6 3 0\n", false},
      {std::string("\0"
                   "5630",
                   5),
       true},
  };
  for (const auto& row : rows) {
    console::MainWindow w(gpib);
    rec.clear();
    if (row.found) {
      scriptDiscovery(row.identity);
    } else if (!row.identity.empty()) {
      bus.reply(row.identity);
    }
    w.cmdInitialize->click();
    if (row.found) {
      EXPECT_EQ(ui::toBytes(w.txtResults->text()), "Found F4 Watlow Controller") << row.identity;
    } else {
      EXPECT_EQ(ui::toBytes(w.txtResults->text()),
                "Did not find an Orvane Modbus Controller\r\nCheck connections and retry");
      EXPECT_TRUE(w.lblCmdResponse->isVisibleTo(&w));
      EXPECT_TRUE(w.cmd488_2Cmds->isEnabled());
      EXPECT_FALSE(w.cmdRdTemp->isEnabled());
      EXPECT_FALSE(w.frmFormat->isEnabled());
      EXPECT_FALSE(w.lblOutput->isVisibleTo(&w));
      EXPECT_EQ(rec.events().back(), "beep");
      EXPECT_EQ(rec.beeps(), 1);
      EXPECT_EQ(w.FirstTimeFlg, 1);
    }
    EXPECT_EQ(bus.pendingReplies(), 0u);
  }
}

TEST_F(ConsoleTest, UnexpectedModbusDeviceOpensOnlyTheAssembler) {
  scriptDiscovery("5630\n", "1234\n", "");
  window.cmdInitialize->click();
  EXPECT_EQ(results(), "Found unexpected Modbus device =  1234");
  EXPECT_EQ(rec.beeps(), 1);
  for (QWidget* c :
       std::initializer_list<QWidget*>{window.cmd488_2Cmds, window.txtOutput, window.txtReg,
                                       window.frmFormat, window.frmCmdNum})
    EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
  for (QWidget* c : std::initializer_list<QWidget*>{
           window.cmdSend, window.cmdClr, window.optDecimal, window.cmdRdTemp, window.optUnits[0]})
    EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
  EXPECT_TRUE(window.lblCmdResponse->isVisibleTo(&window));
  EXPECT_EQ(window.FirstTimeFlg, 1);
}

// No reply to the model register: the Modbus error fallback, ModelNumber stays 0.
TEST_F(ConsoleTest, SilentControllerIsAnUnexpectedDeviceZero) {
  bus.reply("5630\n");
  bus.reply("0\n");
  bus.reply("");  // «R  0, 1» answers nothing
  bus.reply("101\n");
  window.cmdInitialize->click();
  const Lines events = rec.take();
  const Lines tail(events.end() - 7, events.end());
  EXPECT_EQ(tail, (Lines{sent("R  0, 1"), kPause, kRecv, sent("E?"), kRecv, "beep", "beep"}));
  EXPECT_EQ(rec.beeps(), 2) << "the fallback's beep and the unexpected device's";
  EXPECT_EQ(results(), "Found unexpected Modbus device =  0");
  EXPECT_EQ(error(), "Modbus Error 101\n");
  EXPECT_EQ(gpib.ModelNumber, 0);
}

TEST_F(ConsoleTest, DriverErrorsStopTheInitialisation) {
  struct Row {
    const char* call;
    const char* label;
    size_t callsMade;
  };
  const Row rows[] = {
      {"SendIFC", "SendIFC Error", 1}, {"ibsre", "ibsre Error", 2}, {"ibtmo", "ibtmo Error", 3}};
  for (const auto& row : rows) {
    console::MainWindow w(gpib);
    rec.clear();
    bus.failNext(row.call, bus::ENEB);
    w.cmdInitialize->click();
    const Lines events = rec.take();
    ASSERT_EQ(events.size(), row.callsMade + 1) << row.call;
    EXPECT_EQ(events.back(), "ibonl(0, 0)");
    EXPECT_EQ(ui::toBytes(w.txtError->text()),
              std::string(row.label) + "   CMPL >iberr =  7 ENEB <No GPIB board>ibcnt =  0");
    EXPECT_TRUE(w.txtError->isVisibleTo(&w));
    EXPECT_FALSE(w.cmd488_2Cmds->isEnabled());
    EXPECT_EQ(rec.beeps(), 0);
    EXPECT_EQ(w.FirstTimeFlg, 1);
  }
}

// A second initialisation repeats everything; the options are already selected, so nothing is
// raised, and the unit choice still writes nothing.
TEST_F(ConsoleTest, PressingInitialiseTwiceRepeatsTheSequence) {
  scriptDiscovery("5630\n", "5270\n", "0\n");
  window.cmdInitialize->click();
  rec.clear();
  bus.reply("5630\n");
  bus.reply("5270\n");
  bus.reply("1\n");
  window.cmdInitialize->click();
  EXPECT_EQ(rec.take(), concat({kBusSetUp,
                                {sent("*IDN?"), kRecv, sent("*ESE 255;*SRE 32"), sent("R  0, 1"),
                                 kPause, kRecv, sent("R  901, 1"), kPause, kRecv}}));
  EXPECT_TRUE(window.optUnits[1]->isChecked());
  EXPECT_EQ(window.FirstTimeFlg, 1);
  // After discovery a click on the other unit writes it.
  window.optUnits[0]->click();
  EXPECT_EQ(rec.take(), (Lines{sent("W  901, 0")}));
}

TEST_F(ConsoleTest, ModelNumberOutOfRangeKeepsTheFormerValue) {
  gpib.ModelNumber = 5270;
  scriptDiscovery("5630\n", "70000\n", "");
  window.cmdInitialize->click();
  EXPECT_EQ(gpib.ModelNumber, 5270);
  EXPECT_EQ(error(), "Model number out of range (-32768 to 32767): 70000");
  EXPECT_TRUE(window.txtError->isVisibleTo(&window));
}

// The whole path on the simulated converter and controller.
TEST(DiscoveryOnSimulator, FindsTheF4AndReadsItsQueries) {
  SimConsole sim;
  auto& w = sim.w;
  auto& rec = sim.rec;
  w.cmdInitialize->click();
  EXPECT_EQ(ui::toBytes(w.txtResults->text()), "Found F4 Watlow Controller");
  EXPECT_TRUE(w.optUnits[0]->isChecked());
  EXPECT_EQ(rec.beeps(), 0);
  w.cmdRdTemp->click();
  EXPECT_EQ(ui::toBytes(w.txtResults->text()), "Temperature = 75");
  w.cmdRdModel->click();
  EXPECT_EQ(ui::toBytes(w.txtResults->text()), "Model# = 5270");
  w.cmdRdErr->click();
  EXPECT_EQ(ui::toBytes(w.txtResults->text()), "Modbus Error Register = 0\r\nNo Error");

  // Another Modbus address: the controller is not there, the queries fail with a time-out.
  w.txtCurAddr->setText("2");
  w.cmdChgAddr->click();
  rec.clear();
  w.cmdRdTemp->click();
  EXPECT_EQ(ui::toBytes(w.txtError->text()), "Modbus Error 101\n");
  EXPECT_EQ(rec.beeps(), 1);
  w.txtCurAddr->setText("1");
  w.cmdChgAddr->click();
  w.cmdRdSetPt->click();
  EXPECT_EQ(ui::toBytes(w.txtResults->text()), "Setpoint = 75");
}

}  // namespace
}  // namespace console_tests
