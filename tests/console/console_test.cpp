#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <string>

#include "BusHarness.h"
#include "Controls.h"
#include "Layout.h"
#include "MainWindow.h"
#include "SimulatedBus.h"
#include "TestBus.h"
#include "Texts.h"

namespace console_tests {
namespace {

using namespace testing_support;

void tick(QTimer* timer) { QMetaObject::invokeMethod(timer, "timeout"); }

const std::string kUnanswered = " | >E? | < | beep =>  ! Modbus Error ";
const std::string kReport = "ReadStatusByte Error   CMPL >iberr =  ";
const std::string kNotSingle = " out of range for a single-precision number: nothing sent";

// The main window on the scripted bus. The bus values start wrong: start-up must set them.
class Console : public ::testing::Test {
 protected:
  // An action's whole effect: its traffic, "=> " and txtResults, " ! " and txtError if shown.
  // txtResults starts as "old", txtError hidden and empty: every emptying and showing counts.
  template <class Act>
  std::string effect(Act act, const QStringList& replies = {}) {
    for (const QString& r : replies) b.driver.reply(ui::toBytes(r));
    type(w, "txtResults", "old"), type(w, "txtError", ""), w.control("txtError")->hide();
    act();
    const std::string shown = visible(w, "txtError") ? " ! " + text(w, "txtError") : "";
    return b.tap.take() + " => " + text(w, "txtResults") + shown;
  }
  // Presses the buttons named, blank-separated; "Timer1" is a tick of the timer.
  std::string press(const QString& buttons, const QStringList& replies = {}) {
    return effect([&] { act(buttons); }, replies);
  }
  void act(const QString& buttons) {
    for (const QString& n : buttons.split(' ')) n == "Timer1" ? tick(w.Timer1) : click(w, n);
  }
  std::string discover() { return press("cmdInitialize", {"ORVANE,5690\n", "0\n", "5270\n", "0"}); }
  // One operator action on a box: the entry typed into it first (emptied when none is given),
  // the buttons pressed, the replies waiting on the bus, and the action's whole effect.
  struct Row {
    std::string type = {};
    QString press;
    QStringList replies = {};
    std::string effect;
  };
  void play(const char* box, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      if (box) testing_support::type(w, box, row.type);
      EXPECT_EQ(press(row.press, row.replies), row.effect)
          << row.type << " " << row.press.toStdString();
    }
  }
  // Each control as "disabled NAME", "hidden NAME" or "selected NAME" where it is, txtError aside.
  QStringList state() const {
    QStringList out;
    for (auto [name, c] : w.controls().asKeyValueRange()) {
      auto* option = qobject_cast<ui::OptionButton*>(c);
      if (name == "txtError" || (option && !name.contains('('))) continue;  // listed as "opt(i)"
      if (!c->isEnabledTo(c->parentWidget())) out << "disabled " + name;
      if (c->isHidden()) out << "hidden " + name;
      if (option && option->isChecked()) out << "selected " + name;
    }
    return out;
  }
  // What changed since `before`, grouped: "disabled A B; enabled C; ..." where what was disabled,
  // hidden or selected is now enabled, shown or unselected.
  std::string changes(const QStringList& before) const {
    const QStringList now = state();
    const QHash<QString, QString> undone = {
        {"disabled", "enabled"}, {"hidden", "shown"}, {"selected", "unselected"}};
    QStringList changed;
    for (const QString& s : before)
      if (!now.contains(s)) changed << undone[s.section(' ', 0, 0)] + " " + s.section(' ', 1);
    for (const QString& s : now)
      if (!before.contains(s)) changed << s;
    changed.sort();
    QStringList groups;
    for (const QString& s : changed) {
      const QString word = s.section(' ', 0, 0), name = s.section(' ', 1);
      if (!groups.isEmpty() && groups.last().startsWith(word + " "))
        groups.last() += " " + name;
      else
        groups << s;
    }
    return groups.join("; ").toStdString();
  }

  BusHarness<TestBus> b;
  bus::GPIB32& gpib =
      (b.gpib.InterfaceName = "", b.gpib.BoardIndex = 1, b.gpib.ConverterAddr = 9, b.gpib);
  console::MainWindow w{gpib, "test bus"};
};

TEST_F(Console, StartsWithOnlyInitializeExitAndTheAddressToUse) {
  EXPECT_EQ(changes({}),
            "disabled cmd488_2Cmds cmdChgAddr cmdClr cmdConfirm cmdCreate cmdDelete cmdESR "
            "cmdRdDate cmdRdErr cmdRdModel cmdRdRev cmdRdSN cmdRdSetPt cmdRdSoft cmdRdTemp "
            "cmdRdTemp2 cmdRdTime cmdRunProfile cmdSend cmdSetPt cmdStatic cmdStop cmdStopSetPt "
            "frmCmdNum frmFormat optCmdRead(0) optCmdWrt(1) optDecimal(0) optHex(1) optUnits(0) "
            "optUnits(1) txtOutput txtReg; hidden cmdConfirm lblCmdResponse lblErrReg lblOutput "
            "lblReg txtDataEntry");
  EXPECT_EQ(std::tuple(gpib.InterfaceName, gpib.BoardIndex, gpib.ConverterAddr, w.MBDevice,
                       text(w, "txtCurAddr"), w.TempRdFlag, w.TimeRdFlag, w.Cmd, w.Msg_Format,
                       w.FirstTimeFlg || w.Setpointoff),
            std::tuple("GPIB", 0, 4, 1, "1", 0, 0, "", "", false));
  EXPECT_TRUE(w.findChild<QTimer*>("Timer1")->isActive() && w.Timer1->interval() == 2);
  EXPECT_EQ(layoutProblems(&w, {{"txtDataEntry", "txtResults"}}), Lines{});
  QString looks = w.objectName() + " " + w.windowTitle() + " " + ui::textOf(w.control("lblDriver"));
  for (const char* name : {"lblFormTop", "lblDriver"})
    looks += " " + QString::number(w.control(name)->font().pointSizeF());
  for (QWidget* c : {(QWidget*)&w, w.control("cmdExit"), w.control("cmdClr"),
                     w.control("cmdConfirm"), w.control("lblErrReg"), w.control("txtTemp")})
    looks += " " + ui::background(c).name();
  EXPECT_EQ(looks,
            "frmMain Main Form test bus 12 8 #ffffff #ffffff #c0c0c0 #ff0000 #ff0000 #ffffff");
  // Start-up sent nothing. Editing the address enables "Set": it sends, opens the queries.
  const QStringList start = state();
  type(w, "txtCurAddr", "3.5");
  EXPECT_EQ(effect([&] { type(w, "txtError", "x"), click(w, "cmdChgAddr"); }), ">C  4 => ");
  EXPECT_EQ(text(w, "txtError"), "");
  EXPECT_EQ(changes(start),
            "enabled cmdChgAddr cmdClr cmdRdDate cmdRdModel cmdRdRev cmdRdSN cmdRdSoft "
            "optCmdRead(0) optCmdWrt(1) optDecimal(0) optHex(1)");
  b.driver.failNext("Send", bus::ENOL);
  play("txtCurAddr",
       {{.type = "-5",
         .press = "cmdChgAddr",
         .effect = ">C -5 | ibonl(0, 0) =>  ! " + kReport + "2 ENOL <No Listener>ibcnt =  0"},
        {.type = "70000",
         .press = "cmdChgAddr",
         .effect = "beep =>  ! Modbus address out of range (-32768 to 32767): nothing sent"}});
  // Exit, or closing by the frame, ends the program at once, with no bus call.
  int exits = 0;
  w.exitProgram = [&] { ++exits; };
  EXPECT_EQ(press("cmdExit"), " => old");
  EXPECT_TRUE(w.close() && exits == 2);
}

// Every path of the initialisation, one after another; then the windows it opens the way to.
TEST_F(Console, InitialisationOnEveryPathThenTheSetupAndProfileWindows) {
  const QStringList start = state();
  const std::string bus = "SendIFC(0) | ibsre(0, 1) | ibtmo(0, 11) | >*IDN? | < | ";
  const std::string found = bus + ">*ESE 255;*SRE 32 | ", model = ">R  0, 1 | ~0.1 | < | ";
  for (std::string call : {"SendIFC", "ibsre", "ibtmo"}) {
    b.driver.failNext(call, bus::ENEB);
    const std::string calls = bus.substr(0, bus.find(')', bus.find(call)) + 1);  // up to `call`
    EXPECT_EQ(press("cmdInitialize"),
              calls + " | ibonl(0, 0) => old ! " + call +
                  " Error   CMPL >iberr =  7 ENEB <No GPIB board>ibcnt =  0");
    EXPECT_EQ(w.FirstTimeFlg, 1);
  }
  EXPECT_EQ(
      press("cmdInitialize", {"ORVANE,5610\n"}),
      bus + "beep => Did not find an Orvane Modbus Controller\r\nCheck connections and retry");
  EXPECT_EQ(changes(start), "enabled cmd488_2Cmds; shown lblCmdResponse");
  EXPECT_EQ(w.FirstTimeFlg, 1);
  // A converter whose controller stays silent: model 0, an unexpected device.
  EXPECT_EQ(press("cmdInitialize", {"X56201\n", "0\n"}),
            found + ">FORM:TALK ASCII | >*ESR? | < | " + model + "ibonl(0, 0) | >E? | < | " +
                "ibonl(0, 0) | beep | beep => Found unexpected Modbus device =  0 ! Modbus Error ");
  EXPECT_EQ(changes(start),
            "enabled cmd488_2Cmds frmCmdNum frmFormat txtOutput txtReg; selected optCmdRead(0) "
            "optDecimal(0); shown lblCmdResponse lblOutput lblReg");
  EXPECT_EQ(press("cmdInitialize", {"5630\n", "70000\n"}),
            found + model + "beep => Found unexpected Modbus device =  0 ! Model number out of " +
                "range (-32768 to 32767): 70000");
  // The F4 at last, in Celsius: the unit is selected, not written, though a run came before.
  type(w, "txtOutput", "9"), w.control("lblCmdResponse")->hide();
  EXPECT_EQ(press("cmdInitialize", {"5620\n", "5270\n", "1\n"}),
            found + model + ">R  901, 1 | ~0.1 | < => Found F4 Watlow Controller");
  EXPECT_EQ(changes({}),
            "disabled cmdChgAddr cmdConfirm; hidden cmdConfirm lblErrReg txtDataEntry; selected "
            "optCmdRead(0) optDecimal(0) optUnits(1)");
  EXPECT_TRUE(w.FirstTimeFlg == 1 && text(w, "txtOutput").empty() &&
              w.focusWidget() == w.control("txtReg"));
  // Each window is made once and shown modally; the setup window's own traffic is its tests'.
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(press("cmd488_2Cmds").ends_with("show frm488_2Cmds => "));
    EXPECT_EQ(press("cmdCreate"), "show frmCProfile => ");
    for (QWidget* opened : {(QWidget*)w.setupWindow(), (QWidget*)w.profileWindow()}) {
      EXPECT_TRUE(opened->isVisible() && opened->isModal() && opened->parent() == &w);
      opened->hide();
    }
  }
  EXPECT_EQ(w.findChildren<QWidget*>(QRegularExpression("^frm(488_2Cmds|CProfile)$")).size(), 2);
}

// Each query answered, then not: only the queries of the controller's identity report time-outs.
TEST_F(Console, QueriesShowTheReplyOrTheConvertersError) {
  discover();
  const std::string checked = " | ibonl(0, 0) | >E? | < | ibonl(0, 0) | beep =>  ! Modbus Error ";
  for (auto [button, line, label, checks] : {std::tuple{"cmdRdModel", "0, 1", "Model# = ", true},
                                             {"cmdRdSN", "1, 2", "Serial Number = ", true},
                                             {"cmdRdSoft", "3, 1", "Software Revision = ", true},
                                             {"cmdRdRev", "4, 1", "Revision Code = ", true},
                                             {"cmdRdDate", "5, 1", "Mfgr Date = ", true},
                                             {"cmdRdSetPt", "300, 1", "Setpoint = ", false},
                                             {"cmdRdTemp", "100, 1", "Temperature = ", false}}) {
    const std::string sent = ">R  " + std::string(line) + " | ~0.1 | <";
    EXPECT_EQ(press(button, {"1187\r\n  "}), sent + " => " + label + "1187\r");
    EXPECT_EQ(press(button), sent + (checks ? checked : kUnanswered));
  }
  // The error register explained; txtError hidden once it is read, "Check Err Reg" on every path.
  std::string meanings;
  for (double code : {0, 1, 2, 3, 100, 101, 200, 201, 300})
    meanings += console::modbusErrorExplanation(code) + ", ";
  EXPECT_EQ(meanings,
            "No Error, Exception Code #1, Exception Code #2, Exception Code #3, CRC Error, "
            "Timeout Error, Undefined Error, Partial message received, Undefined Error, ");
  auto read = [&](const QStringList& replies) {
    return effect([&] { w.control("txtError")->show(), click(w, "cmdRdErr"); }, replies);
  };
  EXPECT_EQ(read({"201\n  "}),
            ">E? | < => Modbus Error Register = 201\r\nPartial message received");
  EXPECT_EQ(read({}), ">E? | < | ibonl(0, 0) => Modbus Error Register = \r\nNo Error");
  w.control("lblErrReg")->show(), b.driver.failNext("Send", bus::ENOL);
  EXPECT_EQ(press("cmdRdErr"), ">E? => ");
  EXPECT_FALSE(visible(w, "lblErrReg"));
}

// Set point, static parameters and unit; the live displays, their switches and the timer.
TEST_F(Console, SetPointStaticParametersUnitsAndLiveDisplays) {
  discover(), w.control("lblCmdResponse")->hide();
  const std::string off = " => SetPoint 1 set OFF", large = "beep =>  ! Set point" + kNotSingle;
  const std::string statics =
      ">W  700, 1 | >W  717, 2 | >W  500, 0 | >W  550, 0 | >W  507, 2 | >R  602, 1 | ~0.1 | <";
  play("txtSetPt",
       {{.press = "cmdStopSetPt", .effect = ">W  300, 0" + off},
        {.type = "72.5", .press = "cmdSetPt", .effect = ">W  300, 72.5 => SetPoint 1 set to 72.5"},
        {.type = "off", .press = "cmdSetPt", .effect = ">W  300, 0" + off},
        {.press = "cmdSetPt",
         .effect = "beep => Improper Set Point data entry, \r\nEnter a numeric value or 'OFF' "},
        {.type = "1e39", .press = "cmdSetPt", .effect = large},
        {.type = "OFF",
         .press = "cmdStatic",
         .replies = {"-100\n"},
         .effect =
             statics +
             " => Output 1A set for heat, Output 1B set for cooling\r\nHystersis set to 2 degrees"},
        {.type = "OFF", .press = "cmdSetPt", .effect = ">W  300,-101" + off},
        {.type = "OFF", .press = "cmdStatic", .effect = statics + kUnanswered},
        {.type = "OFF", .press = "cmdStopSetPt", .effect = ">W  300,-101" + off},
        {.press = "optUnits(1) optUnits(1) optUnits(0)",
         .effect = ">W  901, 1 | >W  901, 0 => old"}});
  EXPECT_TRUE(visible(w, "lblCmdResponse"));
  const std::string temp = ">R  100, 1 | ~0.1 | <", time = ">R  1916, 3 | ~0.1 | <";
  auto colour = [&](const char* box) { return ui::background(w.control(box)).name(); };
  w.Timer1->stop();
  play(nullptr, {{.press = "cmdRdTemp2", .effect = " => "},
                 {.press = "Timer1", .replies = {"80\n"}, .effect = temp + " => old"}});
  EXPECT_TRUE(w.Timer1->isActive());
  w.Timer1->stop();
  play(nullptr,
       {{.press = "cmdRdTime", .effect = " => "},
        {.press = "Timer1", .effect = temp + " | >E? | < | beep | " + time + kUnanswered}});
  EXPECT_TRUE(w.Timer1->isActive() && w.TempRdFlag == 1 && w.TimeRdFlag == 1);
  EXPECT_EQ(colour("txtTemp") + colour("txtTime"), "#ff9080#ff9080");
  play(nullptr, {{.press = "cmdRdTemp2", .effect = " => "},
                 {.press = "Timer1", .replies = {"13,5,59\n"}, .effect = time + " => old"},
                 {.press = "cmdRdTime Timer1", .effect = " => "}});
  EXPECT_FALSE(w.Timer1->isActive());  // both displays off: the timer rests after a silent tick
  EXPECT_EQ(colour("txtTemp") + colour("txtTime"), "#ffffff#ffffff");
  EXPECT_EQ(text(w, "txtTemp") + " " + text(w, "txtTime"), "80 13,5,59");
}

// The simulated F4 heats at 3 degrees a second; a tick of the temperature display takes 0.1 s.
TEST(LiveDisplayOnTheSimulator, FollowsTheHeaterTickByTick) {
  BusHarness<sim::SimulatedBus> b;
  b.driver.controller().setChamberModel(sim::Chamber::Model::Linear);  // 3 degrees a second
  console::MainWindow w{b.gpib};
  type(w, "txtSetPt", "90");
  for (const char* button : {"cmdInitialize", "cmdStatic", "cmdSetPt", "cmdRdTemp2"})
    click(w, button);
  std::string shown;  // the display after each tick
  for (int ticks = 0; ticks < 12; ++ticks)
    shown += (b.tap.take(), tick(w.Timer1), text(w, "txtTemp") + " ");
  EXPECT_EQ(b.tap.take() + ": " + shown,
            ">R  100, 1 | ~0.1 | <: 75 75 76 76 76 77 77 77 77 78 78 78 ");
}

// Every send and read of the assembler and of the format switch is followed by its status check.
TEST_F(Console, AssemblerFormatSwitchAndEnterKeys) {
  discover();
  const std::string read = ">R  100, 1 | ~0.1 | <", stb = " | >*STB? | <", esr = " | >*ESR? | <";
  const std::string off = " | ibonl(0, 0)", timeout = kReport + "6 EABO <Op. aborted>ibcnt =  0";
  play("txtReg",
       {{.type = "100",
         .press = "cmdSend",
         .replies = {"75\nx", "96\n"},
         .effect = read + stb + " | beep => Read Response = 75"},
        {.type = "1e39", .press = "cmdSend", .effect = "beep =>  ! Register number" + kNotSingle}});
  b.driver.failAlways("Receive", bus::EABO, bus::TIMO);
  play("txtReg",
       {{.type = "100",
         .press = "cmdSend",
         .effect = read + off + " | >E? | <" + off + " | beep" + stb + off + " =>  ! " + timeout},
        {.type = "300", .press = "optCmdWrt", .effect = " => "}});
  EXPECT_TRUE(visible(w, "lblErrReg") && visible(w, "txtDataEntry") &&
              w.focusWidget() == w.control("txtReg"));
  EXPECT_EQ(text(w, "lblReg"), "Reg#      Output Data");
  b.driver.failAlways("Send", bus::ENOL);
  play("txtOutput", {{.type = "10,20,30",
                      .press = "cmdSend",
                      .effect = ">W  300, 10,20,30" + off + " | >*STB?" + off + " | <" + off +
                                " =>  ! " + timeout},
                     {.press = "optHex",
                      .effect = ">FORM:TALK HEXL" + off + " | >*ESR?" + off + " | <" + off +
                                " => old ! " + timeout}});
  b.driver.clearFailures();
  EXPECT_FALSE(visible(w, "txtDataEntry"));
  play("txtOutput",
       {{.type = "1\n*RST",
         .press = "cmdSend",
         .effect =
             "beep =>  ! The data field holds a line break, which would split the command line: "
             "nothing sent"},
        {.press = "optDecimal",
         .replies = {"32\n"},
         .effect = ">FORM:TALK ASCII" + esr + " | beep => old ! ESR Reg Error = 32\n"},
        {.press = "optHex", .replies = {"0\n"}, .effect = ">FORM:TALK HEXL" + esr + " => old"},
        {.press = "cmdESR", .replies = {"32\n"}, .effect = ">*ESR? | < => ESR = 32"},
        {.press = "optCmdWrt optCmdRead", .effect = " => "}});
  EXPECT_TRUE(text(w, "lblReg") == "Reg#      Number of registers" && !visible(w, "txtDataEntry"));
  // Enter in the register box only moves on; Enter in the data box sends, as a keypad's does.
  QTest::keyClicks(w.control("txtReg"), "5\r");
  EXPECT_TRUE(b.tap.take().empty() && w.focusWidget() == w.control("txtOutput"));
  QTest::keyClicks(w.control("txtOutput"), "2");
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);  // no text, as on a keypad
  EXPECT_EQ(
      effect([&] { QApplication::sendEvent(w.control("txtOutput"), &enter); }, {"7\n", "1\n"}),
      ">R  3005, 2 | ~0.1 | < | >*STB? | < => Read Response = 7");
}

// Deleting takes two presses, and the confirming press disarms the delete again.
TEST_F(Console, ProfilesRunStopAndDeleteAndClearDisarms) {
  discover();
  const QStringList start = state();
  EXPECT_EQ(press("cmdDelete"), " => ");
  EXPECT_EQ(changes(start), "enabled cmdConfirm; shown cmdConfirm");
  const std::string report = " | ~0.3 | >E? | < | beep => Modbus Error ";
  const std::string improper = "beep => Improper Profile entry, redo";
  play("txtProfile", {{.type = "3",
                       .press = "cmdDelete cmdConfirm",
                       .effect = ">W  4000, 3 | >W  4001, 1 | >W  4002, 3 | >W  25, 0" + report},
                      {.type = "all",
                       .press = "cmdDelete cmdConfirm",
                       .replies = {"0\n"},
                       .effect = ">W  4000, 1 | >W  4002, 255 | >W  25, 0" + report + "0"},
                      {.press = "cmdDelete cmdConfirm", .effect = improper},
                      {.type = "255",
                       .press = "cmdRunProfile",
                       .replies = {"3\n"},
                       .effect = ">W  4000, 255 | >W  4001, 1 | >W  4002, 5" + report + "3"},
                      {.type = "256", .press = "cmdRunProfile", .effect = improper},
                      {.type = "-1e39",
                       .press = "cmdRunProfile",
                       .effect = "beep =>  ! Profile number" + kNotSingle},
                      {.press = "cmdStop", .effect = ">W  1217, 1 => "}});
  EXPECT_EQ(changes(start), "");
  // Clear empties the assembler, hides the hint and the error, and disarms a delete.
  play("txtReg", {{.type = "5", .press = "optCmdWrt cmdDelete", .effect = " => "}});
  type(w, "txtOutput", "3");
  const QStringList before = state();
  EXPECT_EQ(
      effect([&] { type(w, "txtError", "e"), w.control("txtError")->show(), click(w, "cmdClr"); }),
      " => ");
  EXPECT_EQ(text(w, "txtReg") + text(w, "txtOutput") + text(w, "txtError"), "");
  EXPECT_EQ(changes(before), "disabled cmdConfirm cmdSend; hidden cmdConfirm txtDataEntry");
  type(w, "txtOutput", "x");
  EXPECT_EQ(changes(before), "disabled cmdConfirm; hidden cmdConfirm txtDataEntry");
}

}  // namespace
}  // namespace console_tests
