#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "Clock.h"
#include "Exchange.h"
#include "GPIB32.h"
#include "Recorder.h"
#include "TestBus.h"

namespace {

using Lines = std::vector<std::string>;

struct Box : bus::ErrorBox {
  Lines shown;
  void showError(const std::string& text) override { shown.push_back(text); }
};

class Exchange : public ::testing::Test {
 protected:
  Exchange() { gpib.InterfaceName = "GPIB"; }
  testing_support::TestBus bus;
  bus::VirtualClock clock;
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib{bus, clock, sound, &rec};
  Box box;
};

const std::string kSendTemp = "Send(0, 4, \"R  100, 1\", NLend)";
const std::string kRecv256 = "Receive(0, 4, 256, STOPend)";

struct ReplyRow {
  std::string reply;
  bool nonEmpty;
  std::string replyBuf;
};

TEST_F(Exchange, QueryTrimsAndCutsAtFirstLineFeed) {
  const ReplyRow rows[] = {
      {"123\n", true, "123"},
      {"  12  ", true, "  12"},
      {"1234\r\n", true, "1234\r"},
      {"a\nb\n", true, "a"},
      {"\n", true, ""},  // a line feed alone is a reply, not an empty one
      {"     ", false, ""},
      {"", false, ""},
      {std::string("\xB0""F\n", 3), true, std::string("\xB0""F", 2)},
  };
  for (const auto& row : rows) {
    bus.reply(row.reply);
    EXPECT_EQ(bus::queryExchange(gpib, "R  100, 1"), row.nonEmpty) << row.reply;
    EXPECT_EQ(gpib.ReplyBuf, row.replyBuf);
    EXPECT_EQ(rec.take(), (Lines{kSendTemp, "pause 0.1", kRecv256}));
  }
}

TEST_F(Exchange, TimeOutLeavesAnEmptyReplyAndTheFallbackAsksForTheModbusError) {
  EXPECT_FALSE(bus::queryExchange(gpib, "R  100, 1"));
  bus.reply("101\n");
  EXPECT_EQ(bus::emptyReplyFallback(gpib), "Modbus Error 101\n");
  EXPECT_EQ(rec.take(), (Lines{kSendTemp, "pause 0.1", kRecv256, "Send(0, 4, \"E?\", NLend)", kRecv256}));
  // No answer to "E?" either: the text still starts the same way.
  EXPECT_EQ(bus::emptyReplyFallback(gpib), "Modbus Error ");
}

TEST_F(Exchange, ChecksReportEveryFailedSendAndReceive) {
  bus.failNext("Send", bus::ENOL);
  EXPECT_FALSE(bus::queryExchange(gpib, "R  0, 1", &box));
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_EQ(box.shown[0], "ReadStatusByte Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0");
  EXPECT_EQ(box.shown[1], "ReadStatusByte Error   CMPL >iberr =  6 EABO <Op. aborted>ibcnt =  0");
  EXPECT_EQ(rec.take(), (Lines{"Send(0, 4, \"R  0, 1\", NLend)", "ibonl(0, 0)", "pause 0.1",
                               kRecv256, "ibonl(0, 0)"}));
  // Without checks nothing is reported and the board stays online.
  bus.failNext("Send", bus::ENOL);
  bus::queryExchange(gpib, "R  0, 1");
  EXPECT_EQ(box.shown.size(), 2u);
  EXPECT_EQ(rec.take().size(), 3u);
}

TEST_F(Exchange, FallbackWithChecksReportsItsOwnSendAndReceive) {
  bus.failAlways("Send", bus::ENEB);
  EXPECT_EQ(bus::emptyReplyFallback(gpib, &box), "Modbus Error ");
  EXPECT_EQ(box.shown.size(), 2u);
  EXPECT_EQ(gpib.ErrorText, "ReadStatusByte Error   CMPL >iberr =  6 EABO <Op. aborted>ibcnt =  0");
}

TEST_F(Exchange, OtherInterfaceNameReachesNothing) {
  gpib.InterfaceName = "gpib";
  bus.reply("75\n");
  EXPECT_FALSE(bus::queryExchange(gpib, "R  100, 1"));
  EXPECT_EQ(bus::emptyReplyFallback(gpib), "Modbus Error ");
  EXPECT_EQ(rec.take(), (Lines{"pause 0.1"}));
  EXPECT_EQ(bus.pendingReplies(), 1u);
}

TEST_F(Exchange, OverlongReplyShowsFirst256AndDropsTheRest) {
  const std::string longReply = std::string(256, 'A') + std::string(300, 'B') + "\n";
  bus.reply(longReply);
  bus.reply("75\n");
  EXPECT_TRUE(bus::queryExchange(gpib, "R  100, 1"));
  EXPECT_EQ(gpib.ReplyBuf, std::string(256, 'A'));
  EXPECT_EQ(rec.take(), (Lines{kSendTemp, "pause 0.1", kRecv256, kRecv256, kRecv256}));
  EXPECT_FALSE(gpib.failed());
  EXPECT_EQ(gpib.ibcntl, 256);  // the status of the read the caller asked for
  EXPECT_TRUE(bus::queryExchange(gpib, "R  100, 1"));
  EXPECT_EQ(gpib.ReplyBuf, "75");
}

TEST_F(Exchange, DirectReadOf80) {
  bus.reply(std::string(85, 'x'));
  bus.reply("9600\n");
  gpib.ReceiveDirect(0, 4, gpib.ReplyBuf, 80);
  EXPECT_EQ(gpib.ReplyBuf, std::string(80, 'x'));
  gpib.ReceiveDirect(0, 4, gpib.ReplyBuf, 80);
  EXPECT_EQ(gpib.ReplyBuf, "9600\n" + std::string(75, ' '));
  EXPECT_EQ(rec.take(), (Lines{"Receive(0, 4, 80, STOPend)", "Receive(0, 4, 80, STOPend)",
                               "Receive(0, 4, 80, STOPend)"}));
}

TEST_F(Exchange, ReceiveOverwritesOnlyTheStartOfTheBuffer) {
  bus.reply("AB");
  std::string buffer = "0123456789";
  gpib.Receive(0, 4, buffer, 10, bus::STOPend);
  EXPECT_EQ(buffer, "AB23456789");
  EXPECT_EQ(gpib.ibcntl, 2);
  // A count larger than the text never writes past it.
  bus.reply("XYZ");
  std::string small = "..";
  gpib.Receive(0, 4, small, 256, bus::STOPend);
  EXPECT_EQ(small, "XY");
}

TEST_F(Exchange, DelayWaitsOnTheInjectedClock) {
  gpib.Delay(0.3);
  EXPECT_DOUBLE_EQ(clock.now(), 0.3);
  gpib.Delay(1);
  EXPECT_DOUBLE_EQ(clock.now(), 1.3);
  EXPECT_EQ(rec.take(), (Lines{"pause 0.3", "pause 1"}));
}

TEST(SteadyDelay, SleepsInsteadOfSpinning) {
  testing_support::TestBus bus;
  bus::SteadyClock clock;
  bus::SilentSound sound;
  bus::GPIB32 gpib(bus, clock, sound);
  const std::clock_t cpu0 = std::clock();
  const double t0 = clock.now();
  gpib.Delay(0.1);
  const double wall = clock.now() - t0;
  const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
  EXPECT_GE(wall, 0.1);
  EXPECT_LT(cpu, 0.005) << "a 0.1 s pause must not burn the CPU";
}

}  // namespace
