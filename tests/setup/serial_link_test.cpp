// Baud rate and RS-485 mode of the converter's serial link.
#include "SetupFixture.h"

namespace setup_test {
namespace {

TEST_F(SetupWindow, BaudOptionsSetTheRateAndShowWhatTheConverterReports) {
  // 85 characters: a read of more than 80 would see "12345" (blanks do not stop a number).
  const std::string overlong = "1" + std::string(79, ' ') + "2345\n";
  const std::string again = "\r\nBaud rate needs setting";
  const struct {
    const char* option;
    std::string reply;  // empty: the read times out
    Lines traffic;
    std::string results;
  } rows[] = {
      {"opt19200", "19200\n", baudSet("19200"), "Baud Rate = 19200"},
      {"opt19200", "1200\n", baudSet("19200"), "Baud Rate = 1200" + again},
      {"opt19200", "", baudSet("19200"), "Baud Rate = 0" + again},
      {"opt19200", overlong, baudSet("19200") + Lines{recv80()}, "Baud Rate = 1" + again},
      {"opt9600", "9600\n", baudSet("9600"), "Baud Rate = 9600"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.option) + " " + row.reply.substr(0, 10));
    auto& win = open(k19200);
    if (std::string(row.option) == "opt19200") {
      // Leave 19200 first so that selecting it runs its action.
      bus.reply("9600\n");
      click(win.opt9600);
      tap.take();
    }
    if (!row.reply.empty()) bus.reply(row.reply);
    press(row.option);
    EXPECT_EQ(tap.take(), row.traffic);
    EXPECT_EQ(bytes(results()), row.results);
    EXPECT_EQ(bus.pendingReplies(), 0u) << "the rest of a long reply is not left for the next";
    EXPECT_FALSE(win.txtGPIBErr->isVisible());
    bus.reply("16\n");  // and the next query gets its own answer
    click(win.cmdESE);
    EXPECT_EQ(results(), "ESE = 16");
  }
}

TEST_F(SetupWindow, ModeOptionsSwitchRs485AndOnlyAOneReadsAsEnabled) {
  const struct {
    const char *option, *reply, *word, *results;
  } rows[] = {
      {"optModeDis", "0\n", "OFF", "RS485 mode is disabled"},
      {"optModeDis", "1   \n", "OFF", "RS485 mode is enabled"},
      {"optModeEna", "1\n", "ON", "RS485 mode is enabled"},
      {"optModeEna", "ON\n", "ON", "RS485 mode is disabled"},
      {"optModeEna", "2\n", "ON", "RS485 mode is disabled"},
      {"optModeEna", "", "ON", "RS485 mode is disabled"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.option) + " " + row.reply);
    const bool toEna = std::string(row.option) == "optModeEna";
    open(toEna ? LoadReplies{.rs485 = "0\n", .rs485Again = "0\n"} : LoadReplies{});
    if (*row.reply) bus.reply(row.reply);
    press(row.option);
    EXPECT_EQ(tap.take(), modeSet(row.word));
    EXPECT_EQ(results(), row.results);
    EXPECT_EQ(checked(), toEna ? "9600 Enabled" : "9600 Disabled");
  }
}

TEST_F(SetupWindow, ClickingTheSelectedOptionOrSetWithNoRateDoesNothing) {
  const struct {
    LoadReplies start;
    const char* button;
  } rows[] = {{{}, "opt9600"}, {{}, "optModeEna"}, {{.baud = "4800\n"}, "cmdSetBaud"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.button);
    open(row.start);
    w->txtResults2->setText("kept");
    press(row.button);
    EXPECT_EQ(tap.take(), Lines{});
    EXPECT_EQ(results(), "kept");
  }
}

TEST_F(SetupWindow, SetBaudSendsTheShortFormOfTheSelectedRate) {
  auto& win = open();
  for (const char* rate : {"9600", "19200"}) {
    if (rate == std::string("19200")) bus.reply("19200\n"), click(win.opt19200), tap.take();
    click(win.cmdSetBaud);
    EXPECT_EQ(tap.take(), command(std::string("SYST:COMM:SER ") + rate));
    EXPECT_EQ(results(), "Baud Rate Set");
    EXPECT_FALSE(win.txtGPIBErr->isVisible());
  }
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
