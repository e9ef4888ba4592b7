// Baud rate and RS-485 mode of the converter's serial link.
#include "SetupFixture.h"

namespace setup_test {
namespace {

struct BaudRow {
  const char* option;
  std::string reply;  // empty: the read times out
  Lines traffic;
  std::string results;
};

TEST_F(SetupWindow, BaudOptionsSetTheRateAndShowWhatTheConverterReports) {
  const auto baudSet = [](const char* rate) {
    return Lines{sent(std::string("SYST:COMM:SER:BAUD ") + rate), sent("SYST:COMM:SER:BAUD?"),
                 recv80()};
  };
  // 85 characters: a read of more than 80 would see "12345" (blanks do not stop a number).
  const std::string overlong = "1" + std::string(79, ' ') + "2345\n";
  const BaudRow rows[] = {
      {"opt19200", "19200\n", baudSet("19200"), "Baud Rate = 19200"},
      {"opt19200", "1200\n", baudSet("19200"), "Baud Rate = 1200\r\nBaud rate needs setting"},
      {"opt19200", "", baudSet("19200"), "Baud Rate = 0\r\nBaud rate needs setting"},
      {"opt19200", overlong, baudSet("19200") + Lines{recv80()},
       "Baud Rate = 1\r\nBaud rate needs setting"},
      {"opt9600", "9600\n", baudSet("9600"), "Baud Rate = 9600"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.option) + " " + row.reply.substr(0, 10));
    delete w.data();
    auto& win = open({.baud = "19200\n", .baudAgain = "19200\n"});
    if (std::string(row.option) == "opt19200") {
      // Leave 19200 first so that selecting it runs its action.
      bus.reply("9600\n");
      click(win.opt9600);
      tap.take();
    }
    if (!row.reply.empty()) bus.reply(row.reply);
    click(qobject_cast<QAbstractButton*>(win.control(row.option)));
    EXPECT_EQ(tap.take(), row.traffic);
    EXPECT_EQ(bytes(results()), row.results);
    EXPECT_EQ(bus.pendingReplies(), 0u) << "the rest of a long reply is not left for the next";
    EXPECT_FALSE(win.txtGPIBErr->isVisible());
  }
}

TEST_F(SetupWindow, ClickingTheSelectedOptionDoesNothing) {
  auto& win = open();
  win.txtResults2->setText("kept");
  click(win.opt9600);
  click(win.optModeEna);
  EXPECT_EQ(tap.take(), Lines{});
  EXPECT_EQ(results(), "kept");
}

TEST_F(SetupWindow, TheRestOfALongReplyDoesNotAnswerTheNextQuery) {
  auto& win = open();
  bus.reply(std::string(85, '7') + "\n");
  click(win.opt19200);
  bus.reply("16\n");
  click(win.cmdESE);
  EXPECT_EQ(results(), "ESE = 16");
}

struct ModeRow {
  const char* option;
  const char* reply;
  const char* word;
  const char* results;
};

TEST_F(SetupWindow, ModeOptionsSwitchRs485AndOnlyAOneReadsAsEnabled) {
  const ModeRow rows[] = {
      {"optModeDis", "0\n", "OFF", "RS485 mode is disabled"},
      {"optModeDis", "1   \n", "OFF", "RS485 mode is enabled"},
      {"optModeEna", "1\n", "ON", "RS485 mode is enabled"},
      {"optModeEna", "ON\n", "ON", "RS485 mode is disabled"},
      {"optModeEna", "2\n", "ON", "RS485 mode is disabled"},
      {"optModeEna", "", "ON", "RS485 mode is disabled"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.option) + " " + row.reply);
    delete w.data();
    const bool toEna = std::string(row.option) == "optModeEna";
    auto& win = open(toEna ? LoadReplies{.rs485 = "0\n", .rs485Again = "0\n"} : LoadReplies{});
    if (*row.reply) bus.reply(row.reply);
    click(qobject_cast<QAbstractButton*>(win.control(row.option)));
    EXPECT_EQ(tap.take(), (Lines{sent(std::string("SYST:COMM:SER:RS485 ") + row.word),
                                 sent("SYST:COMM:SER:RS485?"), recv80()}));
    EXPECT_EQ(results(), row.results);
    EXPECT_EQ(win.optModeEna->isChecked(), toEna);
    EXPECT_EQ(win.optModeDis->isChecked(), !toEna);
  }
}

TEST_F(SetupWindow, SetBaudSendsTheShortFormOfTheSelectedRate) {
  auto& win = open();
  click(win.cmdSetBaud);
  EXPECT_EQ(tap.take(), Lines{sent("SYST:COMM:SER 9600")});
  EXPECT_EQ(results(), "Baud Rate Set");

  bus.reply("19200\n");
  click(win.opt19200);
  tap.take();
  click(win.cmdSetBaud);
  EXPECT_EQ(tap.take(), Lines{sent("SYST:COMM:SER 19200")});
  EXPECT_EQ(results(), "Baud Rate Set");
  EXPECT_FALSE(win.txtGPIBErr->isVisible());

  bus.failNext("Send", bus::ENOL);
  click(win.cmdSetBaud);
  EXPECT_EQ(tap.take(), (Lines{sent("SYST:COMM:SER 19200"), "ibonl(0, 0)"}));
  EXPECT_EQ(bytes(win.txtGPIBErr->text()),
            "ReadStatusByte Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0");
  EXPECT_TRUE(win.txtGPIBErr->isVisible());
  EXPECT_EQ(results(), "Baud Rate Set");
}

TEST_F(SetupWindow, SetBaudWithNoRateSelectedDoesNothing) {
  auto& win = open({.baud = "4800\n"});
  win.txtResults2->setText("kept");
  click(win.cmdSetBaud);
  EXPECT_EQ(tap.take(), Lines{});
  EXPECT_EQ(results(), "kept");
}

TEST_F(SetupWindow, DirectReadsPassTheInterfaceGate) {
  auto& win = open();
  gpib.InterfaceName = "GPIB-";  // nothing is sent, yet the direct read still asks the bus
  bus.reply("19200\n");
  click(win.opt19200);
  EXPECT_EQ(tap.take(), Lines{recv80()});
  EXPECT_EQ(results(), "Baud Rate = 19200");
}

}  // namespace
}  // namespace setup_test
