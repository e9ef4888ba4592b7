// The IEEE 488.2 buttons, the three set actions and the reset.
#include "SetupFixture.h"

namespace setup_test {
namespace {

struct QueryRow {
  const char* button;
  const char* reply;  // nullptr: nothing queued, the read times out
  Lines traffic;
  std::string results;
  const char *ese, *sre;  // txtESE and txtSRE afterwards
};

TEST_F(SetupWindow, CommonCommandButtonsSendReadAndShow) {
  const char* idn = "ORVANE,5630,0,1.2  \n";
  const QueryRow rows[] = {
      {"cmdCLR", nullptr, {sent("*CLS")}, "Unit sent the *CLS command", "255", "32"},
      {"cmdESE", "16\n", query("*ESE?"), "ESE = 16", "16", "32"},
      {"cmdESR", "0.5\n", query("*ESR?"), "ESR = 0.5", "255", "32"},
      {"cmdESR", nullptr, query("*ESR?"), "ESR = 0", "255", "32"},
      {"cmdIDN", idn, query("*IDN?"), "IDN = " + padded(idn), "255", "32"},
      {"cmdSRE", "48\n", query("*SRE?"), "SRE = 48", "255", "48"},
      {"cmdSTB", "64\n", query("*STB?"), "STB = 64", "255", "32"},
      {"cmdSav", nullptr, {sent("*SAV 0")}, "Current Configuration Saved", "255", "32"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.button) + " " + (row.reply ? row.reply : "(none)"));
    auto& win = open();
    if (row.reply) bus.reply(row.reply);
    press(row.button);
    EXPECT_EQ(tap.take(), row.traffic);
    EXPECT_EQ(bytes(results()), row.results);
    EXPECT_EQ(win.txtESE->text(), row.ese);
    EXPECT_EQ(win.txtSRE->text(), row.sre);
    EXPECT_FALSE(win.txtGPIBErr->isVisible());
    EXPECT_EQ(bus.pendingReplies(), 0u);
  }
}

TEST_F(SetupWindow, StatusChecksSitWhereTheButtonsNeedThem) {
  const std::string poll = "ReadStatusByte", sb = poll + "(0, 4)";
  const struct {
    const char* button;
    std::string failing;  // driver call made to fail
    Lines traffic;
    std::string results;  // "old" when left alone
    std::string report;   // empty: no check, nothing shown
  } rows[] = {
      {"cmdSRE", "Receive", query("*SRE?") + kIbonl, "old", report("SRE Read", kAborted)},
      {"cmdSTB", "Receive", query("*STB?") + kIbonl, "old", report(poll, kAborted)},
      {"cmdSav", "Send", command("*SAV 0") + kIbonl, "Current Configuration Saved",
       report(poll, kNoListener)},
      {"cmdESE", "Receive", query("*ESE?"), "ESE = 0", ""},
      {"cmdESR", "Send", query("*ESR?"), "ESR = 0", ""},
      {"cmdIDN", "Receive", query("*IDN?"), "IDN = " + padded(""), ""},  // the read's own blanks
      {"cmdCLR", "Send", command("*CLS"), "Unit sent the *CLS command", ""},
      // A failed set is reported, and PSC then says nothing.
      {"cmdSetESE", "Send", command("*ESE  8") + kIbonl, "", report(poll, kNoListener)},
      {"cmdSetSRE", "Send", command("*SRE  8") + kIbonl, "", report(poll, kNoListener)},
      {"cmdSetPSC", "Send", command("*PSC  1") + kIbonl, "", report(poll, kNoListener)},
      {"cmdSetBaud", "Send", command("SYST:COMM:SER 9600") + kIbonl, "Baud Rate Set",
       report(poll, kNoListener)},
      // The new address is kept even when it does not answer.
      {"cmdSetAddr", "Send", command("*ESE 64", 9) + kIbonl, "old", report("SendCmd", kNoListener)},
      {"cmdSerialPoll", poll, Lines{sb} + kIbonl, "Serial Poll Response=  0",
       report(poll, kAborted)},
      {"cmdSerialPoll", "", Lines{sb}, "Serial Poll Response=  64", ""},
  };
  bus.statusByte = 64;
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    gpib.ConverterAddr = 4;
    auto& win = open();
    win.txtResults2->setText("old");
    win.txtESE->setText("8"), win.txtSRE->setText("8"), win.txtPSC->setText("1");
    win.txtNewAddr->setText("9");
    const bool send = row.failing == "Send";  // a send finds no listener, a read times out
    if (!row.failing.empty())
      bus.failNext(row.failing, send ? bus::ENOL : bus::EABO, send ? 0 : bus::TIMO);
    press(row.button);
    EXPECT_EQ(tap.take(), row.traffic);
    EXPECT_EQ(bytes(results()), row.results);
    EXPECT_EQ(bytes(win.txtGPIBErr->text()), row.report);
    EXPECT_EQ(win.txtGPIBErr->isVisible(), !row.report.empty());
    EXPECT_EQ(win.txtSRE->text(), "8");
    EXPECT_EQ(gpib.ConverterAddr, std::string(row.button) == "cmdSetAddr" ? 9 : 4);
  }
}

TEST_F(SetupWindow, SetActionsSendValuesInRangeAndRefuseTheRest) {
  const struct {
    const char *button, *entryName, *typed;
    const char* line;  // nullptr: refused
    const char *results, *entryAfter;
  } rows[] = {
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
    press(row.button);
    EXPECT_EQ(entry->text(), row.entryAfter);
    EXPECT_EQ(results(), row.results);
    EXPECT_EQ(tap.take(), row.line ? Lines{sent(row.line)} : Lines{"beep"});
    EXPECT_EQ(win.txtError->text(), row.line ? "" : "Invalid value, retry ");
    EXPECT_EQ(win.txtError->isVisible(), !row.line);
    EXPECT_EQ(entry->hasFocus(), !row.line);
  }
}

TEST_F(SetupWindow, ResetReadsTheSettingsBackDirectly) {
  const Lines head = command("*RST") + Lines{sent("SYST:COMM:SER:BAUD?"), recv80()};
  const Lines mode = {sent("SYST:COMM:SER:RS485?"), recv80()}, off = modeSet("OFF");
  const std::string nl = "\r\n", reset = "Unit Reset" + nl, enabled = nl + "RS-485 Mode Enabled";
  const std::string needs = reset + "Baud rate needs setting" + enabled;
  const LoadReplies b9600{}, b4800{.baud = "4800\n"};
  using R = std::vector<std::string>;  // the replies, in the order they are read
  const struct {
    LoadReplies start;
    R replies;
    Lines traffic;
    std::string results, checked;
  } rows[] = {
      // Settings unchanged: three lines.
      {b9600, R{"9600\n", "1\n"}, head + mode, reset + "Baud Rate = 9600" + enabled,
       "9600 Enabled"},
      // A changed rate runs the option action; the line follows its result.
      {k19200, R{"9600\n", "9600\n", "1\n"}, head + baudSet("9600") + mode,
       "Baud Rate = 9600" + nl + "Baud Rate = 9600" + enabled, "9600 Enabled"},
      // 4800 needs setting and selects nothing anew, also after 4800 at creation.
      {b9600, R{"4800\n", "1\n"}, head + mode, needs, "9600 Enabled"},
      {b4800, R{"4800\n", "1\n"}, head + mode, needs, "Enabled"},
      // RS-485 2 counts as disabled and selects Disabled, whose action replaces the text.
      {b9600, R{"9600\n", "2\n", "0\n"}, head + mode + off, "RS485 mode is disabled",
       "9600 Disabled"},
      // RS-485 ON is no number: disabled.
      {b9600, R{"19200\n", "19200\n", "ON\n", "1\n"}, head + baudSet("19200") + mode + off,
       "RS485 mode is enabled", "19200 Disabled"},
      // No answers at all.
      {b9600, R{}, head + mode + off, "RS485 mode is disabled", "9600 Disabled"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    auto& win = open(row.start);
    for (const auto& reply : row.replies) bus.reply(reply);
    click(win.cmdRST);
    EXPECT_EQ(tap.take(), row.traffic);
    EXPECT_EQ(bytes(results()), row.results);
    EXPECT_EQ(checked(), row.checked);
    EXPECT_EQ(bus.pendingReplies(), 0u);
  }
}

}  // namespace
}  // namespace setup_test
