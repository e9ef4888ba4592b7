// The IEEE 488.2 buttons, the three set actions and the reset.
#include "SetupFixture.h"

namespace setup_test {
namespace {

std::string padded(const std::string& reply, size_t size) {
  return reply + std::string(size - reply.size(), ' ');
}

struct QueryRow {
  const char* button;
  const char* reply;  // nullptr: nothing queued, the read times out
  Lines traffic;
  std::string results;
  const char* ese;  // txtESE afterwards
  const char* sre;  // txtSRE afterwards
};

TEST_F(SetupWindow, CommonCommandButtonsSendReadAndShow) {
  const QueryRow rows[] = {
      {"cmdCLR", nullptr, {sent("*CLS")}, "Unit sent the *CLS command", "255", "32"},
      {"cmdESE", "16\n", {sent("*ESE?"), recv256()}, "ESE = 16", "16", "32"},
      {"cmdESR", "0.5\n", {sent("*ESR?"), recv256()}, "ESR = 0.5", "255", "32"},
      {"cmdESR", nullptr, {sent("*ESR?"), recv256()}, "ESR = 0", "255", "32"},
      {"cmdIDN",
       "ORVANE,5630,0,1.2  \n",
       {sent("*IDN?"), recv256()},
       "IDN = " + padded("ORVANE,5630,0,1.2  \n", 256),
       "255",
       "32"},
      {"cmdSRE", "48\n", {sent("*SRE?"), recv256()}, "SRE = 48", "255", "48"},
      {"cmdSTB", "64\n", {sent("*STB?"), recv256()}, "STB = 64", "255", "32"},
      {"cmdSav", nullptr, {sent("*SAV 0")}, "Current Configuration Saved", "255", "32"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.button) + " " + (row.reply ? row.reply : "(none)"));
    delete w.data();
    auto& win = open();
    if (row.reply) bus.reply(row.reply);
    click(qobject_cast<QAbstractButton*>(win.control(row.button)));
    EXPECT_EQ(tap.take(), row.traffic);
    EXPECT_EQ(bytes(results()), row.results);
    EXPECT_EQ(win.txtESE->text(), row.ese);
    EXPECT_EQ(win.txtSRE->text(), row.sre);
    EXPECT_FALSE(win.txtGPIBErr->isVisible());
    EXPECT_EQ(bus.pendingReplies(), 0u);
  }
}

struct FailureRow {
  const char* button;
  const char* failing;  // driver call made to fail
  Lines traffic;
  const char* results;  // "old" when left alone
  const char* report;   // empty: no check, nothing shown
};

TEST_F(SetupWindow, StatusChecksSitWhereTheButtonsNeedThem) {
  const std::string idnOfNothing = "IDN = " + std::string(256, ' ');  // the read's own blanks
  const FailureRow rows[] = {
      {"cmdSRE",
       "Receive",
       {sent("*SRE?"), recv256(), "ibonl(0, 0)"},
       "old",
       "SRE Read Error   CMPL >iberr =  6 EABO <Op. aborted>ibcnt =  0"},
      {"cmdSTB",
       "Receive",
       {sent("*STB?"), recv256(), "ibonl(0, 0)"},
       "old",
       "ReadStatusByte Error   CMPL >iberr =  6 EABO <Op. aborted>ibcnt =  0"},
      {"cmdSav",
       "Send",
       {sent("*SAV 0"), "ibonl(0, 0)"},
       "Current Configuration Saved",
       "ReadStatusByte Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0"},
      {"cmdESE", "Receive", {sent("*ESE?"), recv256()}, "ESE = 0", ""},
      {"cmdESR", "Send", {sent("*ESR?"), recv256()}, "ESR = 0", ""},
      {"cmdIDN", "Receive", {sent("*IDN?"), recv256()}, idnOfNothing.c_str(), ""},
      {"cmdCLR", "Send", {sent("*CLS")}, "Unit sent the *CLS command", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.button);
    delete w.data();
    auto& win = open();
    win.txtResults2->setText("old");
    bus.failNext(row.failing, std::string(row.failing) == "Send" ? bus::ENOL : bus::EABO);
    click(qobject_cast<QAbstractButton*>(win.control(row.button)));
    EXPECT_EQ(tap.take(), row.traffic);
    EXPECT_EQ(bytes(results()), row.results);
    EXPECT_EQ(bytes(win.txtGPIBErr->text()), row.report);
    EXPECT_EQ(win.txtGPIBErr->isVisible(), *row.report != '\0');
    EXPECT_EQ(win.txtSRE->text(), "32");
  }
}

struct SetRow {
  const char* button;
  const char* entryName;
  const char* typed;
  const char* line;  // nullptr: refused
  const char* results;
  const char* entryAfter;
};

TEST_F(SetupWindow, SetActionsSendValuesInRangeAndRefuseTheRest) {
  const SetRow rows[] = {
      {"cmdSetESE", "txtESE", "255", "*ESE  255", "", "255"},
      {"cmdSetESE", "txtESE", "0", "*ESE  0", "", "0"},
      {"cmdSetESE", "txtESE", "3.5", "*ESE  3.5", "", "3.5"},
      {"cmdSetESE", "txtESE", "", "*ESE  0", "", ""},
      {"cmdSetESE", "txtESE", "&H20", "*ESE  32", "", "&H20"},
      {"cmdSetESE", "txtESE", "256", nullptr, "", "256"},
      {"cmdSetESE", "txtESE", "-1", nullptr, "", "-1"},
      {"cmdSetESE", "txtESE", "255.99999999", nullptr, "", "255.99999999"},  // 256 as sent
      {"cmdSetESE", "txtESE", "1E39", nullptr, "", "1E39"},  // no single-precision number
      {"cmdSetESE", "txtESE", "1E400", nullptr, "", "1E400"},
      {"cmdSetSRE", "txtSRE", "16", "*SRE  16", "", "16"},
      {"cmdSetSRE", "txtSRE", "254", "*SRE  254", "", "254"},
      {"cmdSetSRE", "txtSRE", "255", nullptr, "", "255"},
      {"cmdSetSRE", "txtSRE", "256", nullptr, "", "256"},
      {"cmdSetSRE", "txtSRE", "-1", nullptr, "", "-1"},
      {"cmdSetSRE", "txtSRE", "-1E39", nullptr, "", "-1E39"},
      {"cmdSetPSC", "txtPSC", "0.5", "*PSC  .5", "", " .5"},
      {"cmdSetPSC", "txtPSC", "1", "*PSC  1",
       "Device set to clear SRE and ESE values at power turn-on", " 1"},
      {"cmdSetPSC", "txtPSC", "0", "*PSC  0",
       "Device set to restore the saved SRE and ESE values at power turn-on", " 0"},
      {"cmdSetPSC", "txtPSC", "1.5", nullptr, "", "1.5"},
      {"cmdSetPSC", "txtPSC", "-0.1", nullptr, "", "-0.1"},
  };
  auto& win = open();
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.button) + " \"" + row.typed + "\"");
    auto* entry = qobject_cast<QLineEdit*>(win.control(row.entryName));
    win.cmdExit->setFocus();
    win.txtResults2->setText("old");
    win.txtError->setText("old");
    win.txtError->setVisible(false);
    entry->setText(row.typed);
    click(qobject_cast<QAbstractButton*>(win.control(row.button)));
    EXPECT_EQ(entry->text(), row.entryAfter);
    EXPECT_EQ(results(), row.results);
    if (row.line) {
      EXPECT_EQ(tap.take(), Lines{sent(row.line)});
      EXPECT_EQ(win.txtError->text(), "");
      EXPECT_FALSE(win.txtError->isVisible());
    } else {
      EXPECT_EQ(tap.take(), Lines{"beep"});
      EXPECT_EQ(win.txtError->text(), "Invalid value, retry ");
      EXPECT_TRUE(win.txtError->isVisible());
      EXPECT_TRUE(entry->hasFocus());
    }
  }
}

TEST_F(SetupWindow, AFailedSetIsReportedAndPscThenSaysNothing) {
  auto& win = open();
  for (const char* button : {"cmdSetESE", "cmdSetSRE", "cmdSetPSC"}) {
    SCOPED_TRACE(button);
    win.txtESE->setText("8"), win.txtSRE->setText("8"), win.txtPSC->setText("1");
    win.txtGPIBErr->clear();
    bus.failNext("Send", bus::ENOL);
    click(qobject_cast<QAbstractButton*>(win.control(button)));
    EXPECT_EQ(tap.take().back(), "ibonl(0, 0)");
    EXPECT_EQ(bytes(win.txtGPIBErr->text()),
              "ReadStatusByte Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0");
    EXPECT_TRUE(win.txtGPIBErr->isVisible());
    EXPECT_EQ(results(), "");
  }
}

struct ResetRow {
  const char* what;
  std::vector<std::string> replies;  // in the order they are read
  bool start19200;                   // selections before the reset (else 9600 and Enabled)
  Lines traffic;
  std::string results;
  bool b9600, b19200, ena, dis;
};

TEST_F(SetupWindow, ResetReadsTheSettingsBackDirectly) {
  const Lines head = {sent("*RST"), sent("SYST:COMM:SER:BAUD?"), recv80()};
  const Lines mode = {sent("SYST:COMM:SER:RS485?"), recv80()};
  const Lines modeOff = {sent("SYST:COMM:SER:RS485 OFF"), sent("SYST:COMM:SER:RS485?"), recv80()};
  const std::string nl = "\r\n";
  const ResetRow rows[] = {
      {"settings unchanged: three lines",
       {"9600\n", "1\n"},
       false,
       head + mode,
       "Unit Reset" + nl + "Baud Rate = 9600" + nl + "RS-485 Mode Enabled",
       true,
       false,
       true,
       false},
      {"a changed rate runs the option action, the line follows its result",
       {"9600\n", "9600\n", "1\n"},
       true,
       head + Lines{sent("SYST:COMM:SER:BAUD 9600"), sent("SYST:COMM:SER:BAUD?"), recv80()} + mode,
       "Baud Rate = 9600" + nl + "Baud Rate = 9600" + nl + "RS-485 Mode Enabled",
       true,
       false,
       true,
       false},
      {"4800: needs setting, nothing selected anew",
       {"4800\n", "1\n"},
       false,
       head + mode,
       "Unit Reset" + nl + "Baud rate needs setting" + nl + "RS-485 Mode Enabled",
       true,
       false,
       true,
       false},
      {"RS-485 2 counts as disabled and selects Disabled, whose action replaces the text",
       {"9600\n", "2\n", "0\n"},
       false,
       head + mode + modeOff,
       "RS485 mode is disabled",
       true,
       false,
       false,
       true},
      {"RS-485 ON is no number: disabled",
       {"19200\n", "19200\n", "ON\n", "1\n"},
       false,
       head + Lines{sent("SYST:COMM:SER:BAUD 19200"), sent("SYST:COMM:SER:BAUD?"), recv80()} +
           mode + modeOff,
       "RS485 mode is enabled",
       false,
       true,
       false,
       true},
      {"no answers at all",
       {},
       false,
       head + mode + modeOff,
       "RS485 mode is disabled",
       true,
       false,
       false,
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    delete w.data();
    auto& win = open(row.start19200 ? LoadReplies{.baud = "19200\n", .baudAgain = "19200\n"}
                                    : LoadReplies{});
    for (const auto& reply : row.replies) bus.reply(reply);
    click(win.cmdRST);
    EXPECT_EQ(tap.take(), row.traffic);
    EXPECT_EQ(bytes(results()), row.results);
    EXPECT_EQ(win.opt9600->isChecked(), row.b9600);
    EXPECT_EQ(win.opt19200->isChecked(), row.b19200);
    EXPECT_EQ(win.optModeEna->isChecked(), row.ena);
    EXPECT_EQ(win.optModeDis->isChecked(), row.dis);
    EXPECT_EQ(bus.pendingReplies(), 0u);
  }
}

TEST_F(SetupWindow, ResetAfterAnUnexpectedRateAtCreationStillSelectsNothing) {
  auto& win = open({.baud = "4800\n"});
  bus.reply("4800\n"), bus.reply("1\n");
  click(win.cmdRST);
  EXPECT_EQ(results(), "Unit Reset\r\nBaud rate needs setting\r\nRS-485 Mode Enabled");
  EXPECT_FALSE(win.opt9600->isChecked());
  EXPECT_FALSE(win.opt19200->isChecked());
}

}  // namespace
}  // namespace setup_test
