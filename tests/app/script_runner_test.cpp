#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "Form.h"
#include "MultiLineBox.h"
#include "ProfileWindow.h"
#include "RunnerFixture.h"
#include "SetupWindow.h"

namespace app_tests {
namespace {

const std::string kDiscovery =
    "click cmdInitialize\n"
    "expect sent \"*IDN?\"\n"
    "expect sent \"*ESE 255;*SRE 32\"\n"
    "expect sent \"FORM:TALK ASCII\"\n"
    "expect sent \"*ESR?\"\n"
    "expect sent \"R  0, 1\"\n"
    "expect sent \"R  901, 1\"\n";

TEST_F(RunnerTest, PassingScriptCountsItsExpectationsAndExitsZero) {
  const script::ScriptResult result = run(kDiscovery +
                                          "expect sent none\n"
                                          "expect pause 0.1\n"
                                          "expect pause 0.1\n"
                                          "expect beeps 0\n"
                                          "expect txtResults text \"Found F4 Watlow Controller\"\n"
                                          "expect cmdRdTemp enabled\n"
                                          "expect txtError text \"\"\n");
  EXPECT_EQ(report, "13 passed, 0 failed\n");
  EXPECT_EQ(result.passed, 13);
  EXPECT_EQ(result.failed, 0);
  EXPECT_EQ(result.exitStatus(), 0);
}

TEST_F(RunnerTest, EachFailedExpectationReportsItsLineExpectedAndActual) {
  const script::ScriptResult result =
      run("click cmdInitialize\n"
          "click cmdRdTemp\n"
          "# the simulated F4 starts at 75\n"
          "expect txtResults text \"Temperature = 80\"\n"
          "expect txtResults text \"Temperature = 75\"\n"
          "expect cmdSend disabled\n"
          "expect lblErrReg visible\n"
          "expect optUnits(1) selected\n"
          "expect beeps 1\n"
          "expect sent \"R  100, 2\"\n"
          "expect pause 1\n"
          "expect sent none\n"
          "expect sent \"R  100, 1\"\n");
  EXPECT_EQ(report,
            "line 4: expect txtResults text \"Temperature = 80\": expected \"Temperature = 80\", "
            "actual \"Temperature = 75\"\n"
            "line 6: expect cmdSend disabled: expected disabled, actual enabled\n"
            "line 7: expect lblErrReg visible: expected visible, actual hidden\n"
            "line 8: expect optUnits(1) selected: expected selected, actual unselected\n"
            "line 9: expect beeps 1: expected 1, actual 0\n"
            "line 10: expect sent \"R  100, 2\": expected \"R  100, 2\", actual \"*IDN?\"\n"
            "line 11: expect pause 1: expected 1, actual 0.1\n"
            "line 12: expect sent none: expected none, actual \"*ESE 255;*SRE 32\" and 5 more\n"
            "line 13: expect sent \"R  100, 1\": expected \"R  100, 1\", actual none\n"
            "1 passed, 9 failed\n");
  EXPECT_EQ(result.exitStatus(), 1);
}

TEST_F(RunnerTest, StepsTheOperatorCouldNotTakeFailAndDoNothing) {
  // Before discovery nearly every control is disabled; some are hidden by design.
  const script::ScriptResult result =
      run("click cmdRdTemp\n"
          "click cmdConfirm\n"
          "type txtDataEntry 5\n"
          "select optHex\n"
          "type txtReg 200\n"
          "key txtOutput Enter\n"
          "click optHex\n"
          "select cmdSend\n"
          "type cmdSend x\n"
          "key lblReg Enter\n"
          "expect cmdSend selected\n"
          "click cmdNothing\n"
          "select optUnits\n"
          "expect txtReg text \"\"\n"
          "expect sent none\n"
          "expect beeps 0\n");
  EXPECT_EQ(report,
            "line 1: click cmdRdTemp: cmdRdTemp is disabled\n"
            "line 2: click cmdConfirm: cmdConfirm is hidden\n"
            "line 3: type txtDataEntry 5: txtDataEntry is hidden\n"
            "line 4: select optHex: optHex is disabled\n"
            "line 5: type txtReg 200: txtReg is disabled\n"
            "line 6: key txtOutput Enter: txtOutput is disabled\n"
            "line 7: click optHex: optHex is not a button\n"
            "line 8: select cmdSend: cmdSend is not an option button\n"
            "line 9: type cmdSend x: cmdSend is not a text box\n"
            "line 10: key lblReg Enter: lblReg is not a text box\n"
            "line 11: expect cmdSend selected: cmdSend is not an option button\n"
            "line 12: click cmdNothing: no control cmdNothing in frmMain\n"
            "line 13: select optUnits: optUnits in frmMain is a control array: name one "
            "element, e.g. optUnits(0)\n"
            "3 passed, 13 failed\n");
  EXPECT_EQ(result.exitStatus(), 1);
  EXPECT_TRUE(rec.events().empty());
  EXPECT_FALSE(window.optHex->isChecked());
}

TEST_F(RunnerTest, BadLinesCountAsFailuresAndTheRestStillRuns) {
  const script::ScriptResult result =
      run("clik cmdInitialize\n"
          "click cmdInitialize\n"
          "expect beeps\n"
          "type txtReg \"\\q\"\n"
          "expect cmdRdTemp enabled\n");
  EXPECT_EQ(report,
            "line 1: clik cmdInitialize: unknown step \"clik\" (click, select, type, key, close, "
            "expect, wait, sim)\n"
            "line 3: expect beeps: expect beeps needs a count\n"
            "line 4: type txtReg \"\\q\": unknown escape \\q (use \\n, \\r, \\t, \\\\, \\\" or "
            "\\xNN)\n"
            "1 passed, 3 failed\n");
  EXPECT_EQ(result.exitStatus(), 1);
}

TEST_F(RunnerTest, OptionArraysByElementAndOneElementArraysEitherWay) {
  run(kDiscovery +
      "select optUnits(1)\n"
      "expect sent \"W  901, 1\"\n"
      "expect optUnits(1) selected\n"
      "expect optUnits(0) unselected\n"
      "select optUnits(1)\n"  // an operator's click on the selected option changes nothing
      "expect sent none\n"
      "select optCmdRead\n"
      "select optHex(1)\n"
      "expect optHex selected\n"
      "expect optHex(1) selected\n"
      "expect optDecimal(0) unselected\n");
  EXPECT_EQ(report, "13 passed, 0 failed\n");
}

TEST_F(RunnerTest, TypeReplacesTheTextAndEnterActsAsTheKey) {
  run(kDiscovery +
      "select optCmdRead\n"
      "type txtReg 12\n"
      "type txtReg 200\n"
      "expect txtReg text \"200\"\n"
      "key txtReg Enter\n"
      "type txtOutput 1\n"
      "key txtOutput Enter\n"
      "expect sent \"R  200, 1\"\n"
      "expect sent \"*STB?\"\n"
      "expect txtResults text \"Read Response = 0\"\n"
      "type txtOutput \"\"\n"
      "expect txtOutput text \"\"\n");
  EXPECT_EQ(report, "11 passed, 0 failed\n");
}

TEST_F(RunnerTest, StepsActInTheModalWindowUntilItIsHidden) {
  run(kDiscovery +
      "click cmdCreate\n"
      "click cmdRdTemp\n"
      "expect cmdSetProfile visible\n"
      "expect txtResults hidden\n"
      "type txtProfile 3\n"
      "click cmdSetProfile\n"
      "expect sent \"W  700, 1\"\n"
      "click cmdReturn\n"
      "expect cmdRdTemp enabled\n"
      "click cmdSetProfile\n");
  EXPECT_EQ(report,
            "line 9: click cmdRdTemp: no control cmdRdTemp in frmCProfile\n"
            "line 17: click cmdSetProfile: no control cmdSetProfile in frmMain\n"
            "10 passed, 2 failed\n");
  const std::vector<std::string>& events = rec.events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "show frmCProfile"), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), "hide frmCProfile"), 1);
  ASSERT_NE(window.profileWindow(), nullptr);
  EXPECT_FALSE(window.profileWindow()->isVisible());
}

TEST_F(RunnerTest, CloseActsOnTheActiveWindowAndAClosedSetupWindowGoes) {
  run(kDiscovery +
      "click cmd488_2Cmds\n"
      "expect cmdExit visible\n"
      "close\n"
      "expect cmdRdTemp enabled\n");
  EXPECT_EQ(report, "8 passed, 0 failed\n");
  EXPECT_EQ(window.setupWindow(), nullptr);
  EXPECT_FALSE(runner.ended());
}

TEST_F(RunnerTest, ExitEndsTheConsoleAndLaterWindowStepsFail) {
  const script::ScriptResult result =
      run("click cmdExit\n"
          "click cmdInitialize\n"
          "expect cmdInitialize enabled\n"
          "wait 1\n"
          "expect sent none\n"
          "expect beeps 0\n");
  EXPECT_EQ(report,
            "line 2: click cmdInitialize: the console has exited\n"
            "line 3: expect cmdInitialize enabled: the console has exited\n"
            "line 4: wait 1: the console has exited\n"
            "2 passed, 3 failed\n");
  EXPECT_EQ(result.exitStatus(), 1);
  EXPECT_TRUE(runner.ended());
  EXPECT_TRUE(rec.events().empty());
}

TEST_F(RunnerTest, ClosingTheMainWindowEndsTheConsoleAsExitDoes) {
  run("close\nclick cmdInitialize\n");
  EXPECT_EQ(report,
            "line 2: click cmdInitialize: the console has exited\n"
            "0 passed, 1 failed\n");
  EXPECT_TRUE(runner.ended());
}

TEST_F(RunnerTest, SimStepsNeedTheSimulator) {
  runner.setSimulator(nullptr);
  const script::ScriptResult result = run("sim absent\nsim baud 19200\n");
  EXPECT_EQ(report,
            "line 1: sim absent: sim steps need the built-in simulator (--simulate)\n"
            "line 2: sim baud 19200: sim steps need the built-in simulator (--simulate)\n"
            "0 passed, 2 failed\n");
  EXPECT_EQ(result.exitStatus(), 1);
}

TEST_F(RunnerTest, SimStepsReachTheSimulatedDevices) {
  run(kDiscovery +
      "sim register 100 -40\n"
      "click cmdRdTemp\n"
      "expect txtResults text \"Temperature = -40\"\n"
      "sim register 100 none\n"
      "click cmdRdTemp\n"
      "expect txtError text \"Modbus Error 101\\n\"\n"
      "sim register 100 80\n"
      "click cmdRdTemp\n"
      "expect txtResults text \"Temperature = 80\"\n"
      "expect beeps 1\n");
  EXPECT_EQ(report, "10 passed, 0 failed\n");
}

TEST_F(RunnerTest, VirtualWaitTicksTheTimerAndMovesTheClockByItsLength) {
  run(kDiscovery + "expect pause 0.1\nexpect pause 0.1\nclick cmdRdTemp2\n");
  const double start = clock.now();
  rec.clear();
  run("wait 1\n");
  // Each tick of the display asks for the temperature and pauses 0.1 s for the answer.
  EXPECT_EQ(sends("R  100, 1"), 10);
  EXPECT_GE(clock.now() - start, 1.0);
  EXPECT_LT(clock.now() - start, 1.1);
  // The polling is the display's, not a step's: it stays out of the queues.
  run("expect sent none\nexpect beeps 0\nclick cmdRdTemp\nexpect pause 0.1\nexpect pause 0.1\n");
  EXPECT_EQ(report, "line 5: expect pause 0.1: expected 0.1, actual none\n3 passed, 1 failed\n");

  // With both displays off the timer's ticks do nothing, and the wait still ends on time.
  run("click cmdRdTemp2\n");
  rec.clear();
  const double quiet = clock.now();
  run("wait 120\n");
  EXPECT_NEAR(clock.now() - quiet, 120.0, 1e-6);
  EXPECT_TRUE(rec.events().empty());
}

TEST_F(RunnerTest, VirtualTimeKeepsTheRealTimerFromTicking) {
  run(kDiscovery + "click cmdRdTemp2\n");
  rec.clear();
  QTest::qWait(50);  // some 25 real ticks of the 2 ms timer
  EXPECT_EQ(sends("R  100, 1"), 0);
  EXPECT_TRUE(window.Timer1->isActive());
}

TEST_F(RunnerTest, RealTimeWaitRunsTheEventLoopForItsLength) {
  runner.setVirtualClock(nullptr);
  run(kDiscovery + "click cmdRdTemp2\n");
  rec.clear();
  QElapsedTimer elapsed;
  elapsed.start();
  run("wait 0.2\n");
  EXPECT_GE(elapsed.elapsed(), 195);
  EXPECT_GT(sends("R  100, 1"), 0);
}

}  // namespace
}  // namespace app_tests
