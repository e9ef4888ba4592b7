#include <QTest>

#include "ConsoleFixture.h"

namespace console_tests {
namespace {

struct RegisterRow {
  const char* reg;
  const char* data;
  const char* line;
};

TEST_F(ConsoleTest, ReadLinesAreBuiltFromTheRegisterAndDataTexts) {
  discover();
  const RegisterRow rows[] = {
      {"", "", "R  0, 1"},          {"100", "2", "R  100, 2"},   {"100", "", "R  100, 1"},
      {"-5", "", "R -5, 1"},        {"12abc", "", "R  12, 1"},   {"&H10", "", "R  16, 1"},
      {"1e3", "", "R  1000, 1"},    {"12.5", "", "R  12.5, 1"},  {"0.5", "", "R  .5, 1"},
      {"100", " 2 ,x", "R  100,  2 ,x"},
  };
  for (const auto& row : rows) {
    window.txtReg->setText(row.reg);
    window.txtOutput->setText(row.data);
    bus.reply("75\n");
    bus.reply("0\n");
    window.cmdSend->click();
    EXPECT_EQ(rec.take(), (Lines{sent(row.line), kPause, kRecv, sent("*STB?"), kRecv})) << row.reg;
    EXPECT_EQ(results(), "Read Response = 75");
  }
}

TEST_F(ConsoleTest, WriteSendsNoReadAndNoPause) {
  discover();
  window.optCmdWrt->click();
  EXPECT_EQ(window.Cmd, "W");
  EXPECT_EQ(window.lblReg->text(), "Reg#      Output Data");
  EXPECT_TRUE(window.txtDataEntry->isVisibleTo(&window));
  window.txtReg->setText("300");
  window.txtOutput->setText("10,20,30");
  bus.reply("0\n");
  window.cmdSend->click();
  EXPECT_EQ(rec.take(), (Lines{sent("W  300, 10,20,30"), sent("*STB?"), kRecv}));
  EXPECT_FALSE(window.txtDataEntry->isVisibleTo(&window)) << "hidden after a write";
  EXPECT_TRUE(window.optCmdWrt->isChecked());
  window.optCmdRead->click();
  EXPECT_EQ(window.lblReg->text(), "Reg#      Number of registers");
}

struct ReplyRow {
  std::string reply;
  std::string results;
  std::string error;
  int beeps;
};

TEST_F(ConsoleTest, ReadRepliesAndTheStatusByte) {
  discover();
  const ReplyRow rows[] = {
      {"123\n", "Read Response = 123", "", 0},
      {"\n", "Read Response = ", "", 0},
      {"007B,0001\n", "Read Response = 007B,0001", "", 0},
      {"", "", "Modbus Error 2\n", 1},
  };
  for (const auto& row : rows) {
    window.txtError->clear();
    bus.reply(row.reply);
    if (row.reply.empty()) bus.reply("2\n");
    bus.reply("16\n");
    const int before = rec.beeps();
    window.cmdSend->click();
    EXPECT_EQ(results(), row.results) << row.reply;
    EXPECT_EQ(error(), row.error) << row.reply;
    EXPECT_EQ(rec.beeps() - before, row.beeps);
  }
  struct Stb {
    const char* reply;
    bool flagged;
  };
  for (const Stb& s : {Stb{"16\n", false}, Stb{"32\n", true}, Stb{"96\n", true},
                       Stb{"1e400\n", false}, Stb{"", false}}) {
    window.lblErrReg->setVisible(false);
    bus.reply("1\n");
    if (*s.reply) bus.reply(s.reply);
    const int before = rec.beeps();
    window.cmdSend->click();
    EXPECT_EQ(window.lblErrReg->isVisibleTo(&window), s.flagged) << s.reply;
    EXPECT_EQ(rec.beeps() - before, s.flagged ? 1 : 0) << s.reply;
  }
}

TEST_F(ConsoleTest, EnterKeys) {
  discover();
  window.show();
  window.activateWindow();
  window.txtReg->setFocus();
  window.txtReg->setText("100");
  QTest::keyClick(window.txtReg, Qt::Key_Return);
  EXPECT_TRUE(rec.take().empty()) << "Enter in the register box never sends";
  EXPECT_EQ(window.txtReg->text(), "100");
  EXPECT_TRUE(window.TxtReg_KeyPress(13));
  EXPECT_FALSE(window.TxtReg_KeyPress('a'));
  QTest::keyClicks(window.txtOutput, "1");
  bus.reply("75\n");
  bus.reply("0\n");
  QTest::keyClick(window.txtOutput, Qt::Key_Return);
  EXPECT_EQ(rec.take(), (Lines{sent("R  100, 1"), kPause, kRecv, sent("*STB?"), kRecv}));
  EXPECT_EQ(window.txtOutput->text(), "1");
}

TEST_F(ConsoleTest, ClearLeavesSendDisabled) {
  discover();
  window.txtReg->setText("5");
  window.txtOutput->setText("3");
  window.cmdDelete->click();
  window.txtError->setText("e");
  window.cmdClr->click();
  EXPECT_EQ(window.txtReg->text(), "");
  EXPECT_EQ(window.txtOutput->text(), "");
  EXPECT_FALSE(window.cmdSend->isEnabled());
  EXPECT_FALSE(window.cmdConfirm->isVisibleTo(&window));
  EXPECT_FALSE(window.cmdConfirm->isEnabled());
  EXPECT_FALSE(window.txtError->isVisibleTo(&window));
  EXPECT_EQ(error(), "");
  EXPECT_EQ(window.Cmd, "R");
  window.txtOutput->setText("x");
  EXPECT_TRUE(window.cmdSend->isEnabled());
  EXPECT_TRUE(rec.events().empty());
}

TEST_F(ConsoleTest, FormatSwitchChecksTheEventStatusRegister) {
  discover();
  bus.reply("0\n");
  window.optHex->click();
  EXPECT_EQ(rec.take(), (Lines{sent("FORM:TALK HEXL"), sent("*ESR?"), kRecv}));
  EXPECT_EQ(window.Msg_Format, "FORM:TALK HEXL");
  bus.reply("32\n");
  window.optDecimal->click();
  EXPECT_EQ(error(), "ESR Reg Error = 32\n");
  EXPECT_EQ(rec.beeps(), 1);
  EXPECT_TRUE(window.optDecimal->isChecked());
}

TEST_F(ConsoleTest, ReadEsrShowsThePlainValue) {
  discover();
  for (auto [reply, shown] : {std::pair{"32\n", "ESR = 32"}, {"", "ESR = 0"}, {"4.5", "ESR = 4.5"}}) {
    if (*reply) bus.reply(reply);
    window.cmdESR->click();
    EXPECT_EQ(rec.take(), (Lines{sent("*ESR?"), kRecv}));
    EXPECT_EQ(results(), shown);
  }
}

TEST_F(ConsoleTest, BadAssemblerEntriesAreRefused) {
  discover();
  window.txtReg->setText("1e39");
  window.cmdSend->click();
  EXPECT_EQ(error(), "Register number out of range for a single-precision number: nothing sent");
  window.txtReg->setText("1");
  window.txtOutput->setText("1\n*RST");
  window.cmdSend->click();
  EXPECT_EQ(error(),
            "The data field holds a line break, which would split the command line: nothing sent");
  EXPECT_EQ(rec.take(), (Lines{"beep", "beep"}));
}

}  // namespace
}  // namespace console_tests
