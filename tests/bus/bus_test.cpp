#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "BusHarness.h"
#include "Exchange.h"
#include "LibraryDriver.h"
#include "NumberText.h"
#include "StatusReport.h"
#include "TestBus.h"

namespace {

using Harness = testing_support::BusHarness<testing_support::TestBus>;
constexpr bus::EotMode NL = bus::EotMode::NLend;

TEST(Texts, NumberTextsNumericValuesWholeNumbersErrorNamesAndEscapes) {
  std::string got;
  for (float v : {0.0f, -0.0f, 1.0f, -40.0f, 72.5f, 0.5f, -0.5f, 12345678.0f, 1e-5f, 1.0f / 3})
    got += bus::numberText(v) + "|";
  EXPECT_EQ(got, " 0| 0| 1|-40| 72.5| .5|-.5| 1.234568E+07| 1E-05| .3333333|");
  EXPECT_EQ(bus::numberText(1.0 / 3) + bus::numberText(0), " .333333333333333 0");
  got.clear();
  for (const char* text : {" 12 3", "\t-4\n0", "+7", "2.5.3", "abc", "1D12", "1e+2x", "&X12",
                           "&h90Af:", "&o178", "1e400", "1e-400", ".33333333333333333"})
    got += bus::plainNumberText(bus::numericValue(text)) + "|";
  EXPECT_EQ(got, "123|-40|7|2.5|0|1000000000000|100|0|37039|15|INF|0|0.333333333333333|");
  EXPECT_EQ(bus::numericValue(std::string(400, '9')), HUGE_VAL);
  got.clear();
  for (double v :
       {2.5, 3.5, -2.5, 2.6, 32767.4, 32767.0, -32768.0, 32767.5, -32768.6, HUGE_VAL, std::nan("")})
    got += (bus::toInt16(v) ? std::to_string(*bus::toInt16(v)) : "-") + " ";
  EXPECT_EQ(got, "2 4 -2 3 32767 32767 -32768 - - - - ");
  EXPECT_EQ(bus::toSingle(0x1.fffffep127), 0x1.fffffep127f);  // the largest float fits
  EXPECT_FALSE(bus::toSingle(1e39) || bus::toSingle(std::nan("")));
  got.clear();
  for (int code : {7, 8, 12, 13, 16, 17, 20, 21}) got += bus::errorName(code) + "|";
  EXPECT_EQ(got,
            " ENEB <No GPIB board>|| EFSO <File sys. error>|| ESRQ <SRQ stuck on>|| ETAB "
            "<Table Overflow>||");
  EXPECT_EQ(bus::escapeBytes(std::string("a \n\r\t\\\"\x7F\0\xFF", 10)),
            R"(a \n\r\t\\\"\x7F\x00\xFF)");
  // Operator input in a message: UTF-8 letters stay, controls and stray bytes are escaped.
  const std::pair<std::string, std::string> printable[] = {
      {"a \\\"\x1b[2J\x07\t", "a \\\"\\x1B[2J\\x07\\t"},
      {"Gr\xc3\xbc\xc3\x9f\xe2\x82\xac\xf0\x9f\x94\xa5",
       "Gr\xc3\xbc\xc3\x9f\xe2\x82\xac\xf0\x9f\x94\xa5"},
      {"\xc2\x9b\xc2\xa0\x9b\xc3", "\\xC2\\x9B\xc2\xa0\\x9B\\xC3"},  // C1 CSI, NBSP, stray
      {"\xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80",
       "\\xE0\\x80\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80"},
      {std::string(15, 'x') + "\xc3\xa4", std::string(15, 'x') + "\xc3\xa4"},
      {std::string(16, 'x') + "\xc3\xa4", std::string(16, 'x') + "..."},
      {std::string(14, 'x') + "\xc3\xa4y", std::string(14, 'x') + "\xc3\xa4..."},
  };
  for (const auto& [text, shown] : printable)
    EXPECT_EQ(bus::printableText(text, 16), shown) << bus::escapeBytes(text);
}

TEST(QueryExchange, TrimsTheReplyFallsBackOnAnEmptyOneAndReportsBusErrorsWhenAsked) {
  Harness b;
  struct : bus::ErrorBox {
    std::string shown;
    void showError(const std::string& text) override { shown += text + "\n"; }
  } box;
  std::string got;
  for (const char* reply : {"  12  ", "a\nb \n", "12\r\n", "\n", "   "}) {
    b.driver.reply(reply);
    got += (bus::queryExchange(b.gpib, "R  100, 1") ? "[" : "-[") + b.gpib.ReplyBuf + "]";
  }
  EXPECT_EQ(got, "[  12][a][12\r][]-[]");  // a line feed alone is a reply, not an empty one
  b.tap.take();
  EXPECT_FALSE(bus::queryExchange(b.gpib, "R  100, 1"));  // no reply at all: a time-out
  b.driver.reply("101 \n  ");
  EXPECT_EQ(bus::emptyReplyFallback(b.gpib), "Modbus Error 101 \n");
  EXPECT_EQ(b.clock.now(), 0.6);
  b.gpib.InterfaceName = "gpib";  // nothing reaches the bus under any other name
  EXPECT_FALSE(bus::queryExchange(b.gpib, "R  100, 1"));
  b.gpib.ReplyBuf = "old";
  EXPECT_EQ(bus::emptyReplyFallback(b.gpib), "Modbus Error ");
  EXPECT_EQ(b.tap.take(), ">R  100, 1 | ~0.1 | < | >E? | < | ~0.1");
  b.gpib.InterfaceName = "GPIB";
  b.driver.failAlways("Send", bus::ENOL);
  EXPECT_FALSE(bus::queryExchange(b.gpib, "R  0, 1", &box));
  EXPECT_EQ(bus::emptyReplyFallback(b.gpib, &box), "Modbus Error ");
  EXPECT_EQ(b.tap.take(),
            ">R  0, 1 | ibonl(0, 0) | ~0.1 | < | ibonl(0, 0) | >E? | ibonl(0, 0) | < "
            "| ibonl(0, 0)");
  EXPECT_FALSE(bus::busErrorDisplay(b.gpib, "x", box));  // the last call, ibonl, went well
  b.gpib.Send_msg(0, 4, "*CLS");
  EXPECT_TRUE(bus::busErrorDisplay(b.gpib, "SendCmd Error", box));
  const std::string sent = "Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0\n";
  const std::string read = "ReadStatusByte Error   CMPL >iberr =  6 EABO <Op. aborted>ibcnt =  0\n";
  EXPECT_EQ(box.shown,
            "ReadStatusByte " + sent + read + "ReadStatusByte " + sent + read + "SendCmd " + sent);
}

TEST(ReceiveDirect, ReadsIntoBlanksAndDropsWhatOverflowsItsCount) {
  Harness b;
  b.driver.reply(std::string(256, 'A') + std::string(512, 'B'));
  EXPECT_TRUE(bus::queryExchange(b.gpib, "R  100, 1"));
  EXPECT_EQ(b.gpib.ReplyBuf, std::string(256, 'A'));
  EXPECT_EQ(b.gpib.ibsta + b.gpib.ibcntl, bus::CMPL + bus::CIC + 256);  // of the read asked for
  b.driver.reply(std::string(80, 'x'));  // exactly 80 bytes with EOI: nothing left to drop
  b.driver.reply("9600\n");
  b.gpib.ReceiveDirect(0, 4, b.gpib.ReplyBuf, 80);
  b.gpib.ReceiveDirect(0, 4, b.gpib.ReplyBuf, 80);
  EXPECT_EQ(b.gpib.ReplyBuf + b.tap.take(),
            "9600\n" + std::string(75, ' ') + ">R  100, 1 | ~0.1 | < | < | < | <80 | <80");
  // A reply that never ends is dropped in at most 4096 reads; a read of nothing drops nothing.
  b.driver.reply(std::string(5000, 'x'));
  b.gpib.ReceiveDirect(0, 4, b.gpib.ReplyBuf, 1);
  EXPECT_EQ(b.tap.takeLines().size(), 1u + 4096);
  b.gpib.ReceiveDirect(0, 4, b.gpib.ReplyBuf, 0);
  EXPECT_EQ(b.tap.take(), "<0");
}

TEST(GPIB32, DelayWaitsOutAClockThatWakesEarlyAndBeepSounds) {
  struct : bus::Clock, bus::Sound {  // as a real clock may, it wakes after a quarter second
    double t = 0, beeps = 0;
    double now() const override { return t; }
    void sleepFor(double seconds) override { t += std::min(seconds, 0.25); }
    void beep() override { ++beeps; }
  } early;
  testing_support::TestBus driver;
  testing_support::Tap tap;
  bus::GPIB32 gpib(driver, early, early, &tap);
  gpib.SendIFC(0);
  gpib.Delay(0.75);
  gpib.Beep();
  EXPECT_EQ(tap.take(), "SendIFC(0) | ~0.75 | beep");
  EXPECT_EQ(early.t + early.beeps + tap.beeps(), 0.75 + 2);
}

template <typename T>
T& in(void* library, const char* name) {
  return *static_cast<T*>(dlsym(library, name));
}
using Library = std::unique_ptr<void, int (*)(void*)>;

std::string text(const bus::Status& s) {
  char out[64];
  std::snprintf(out, sizeof out, "%x %d %d %ld", s.ibsta, s.iberr, s.ibcnt, s.ibcntl);
  return out;
}

bool isLoaded(const char* path) {
  return Library(dlopen(path, RTLD_NOW | RTLD_NOLOAD), dlclose) != nullptr;
}

TEST(LibraryDriver, CallsReachTheLibraryWithTheirArgumentsOrAreRefusedAndRefreshTheStatus) {
  struct : bus::Observer {  // what each Receive delivered, as the bus trace sees it
    std::string got;
    void driverCall(const bus::Call& call) override {
      if (call.routine == bus::Routine::Receive) got += "=" + call.received;
    }
  } seen;
  const Library lib(dlopen(LIB_DEFAULT, RTLD_NOW), dlclose);  // the very copy the driver calls
  bus::LibraryDriver d(LIB_DEFAULT);
  Harness b;
  bus::GPIB32 g(d, b.clock, b.sound, &seen);
  const std::vector<std::int16_t> pads{1, 4, 5, 7}, cut{5, bus::NOADDR, 7};
  const std::array<long, 4> failed{0x8100, 6, 3, 1}, unended{0x100, 0, 2, 2};
  std::vector<std::int16_t> found(3, -7);
  std::string buf;
  auto& next = in<std::array<long, 4>>(lib.get(), "standin_next");  // the next call's status
  auto& reply = in<std::string>(lib.get(), "standin_reply") = "AB";
  const std::pair<std::function<void()>, const char*> rows[] = {
      {[&] { g.ibonl(0, 0), g.ibsre(0, 1), g.ibtmo(0, 11), g.SendIFC(2), g.DevClear(1, 24580); },
       "|ibonl 0 0\nibsre 0 1\nibtmo 0 11\nSendIFC 2\nDevClear 1 24580\n|100 0 0 0"},
      // Null buffers and negative counts never reach the library, unless nothing is to be moved.
      {[&] { d.FindLstn(0, nullptr, nullptr, 0); }, "||8000 4 0 0"},
      {[&] { d.Send(0, 4, nullptr, 0, NL), d.Receive(0, 4, nullptr, 0, 0); },
       "|Send 0 4 [] 0 2\nReceive 0 4 0 0\n|2100 0 0 0"},
      {[&] { d.FindLstn(0, pads.data(), nullptr, 1); }, "||8000 4 0 0"},
      {[&] { g.FindLstn(0, pads, found, 5), g.ReadStatusByte(0, 9, found[2]); },
       "|FindLstn 0 [ 1 4 5 7] 3\nReadStatusByte 0 9\n|100 0 1 1"},
      {[&] { d.ReadStatusByte(0, 4, nullptr); }, "||8000 4 0 0"},
      {[&] { g.FindLstn(0, cut, found, -3), d.FindLstn(0, cut.data(), nullptr, 0); },
       "|FindLstn 0 [ 5] 0\nFindLstn 0 [ 5] 0\n|100 0 0 0"},
      {[&] { g.Send(0, 4, "R  100, 1", 1), g.Send(0, 5, "x\n", 2), g.Send(0, 4, "", 0); },
       "|Send 0 4 [R  100, 1] 9 2\nSend 0 5 [x\n] 2 1\nSend 0 4 [] 0 0\n|100 0 0 0"},
      {[&] { d.Send(0, 4, nullptr, 1, NL); }, "||8000 4 0 0"},
      {[&] { d.Send(0, 4, "x", -1, NL); }, "||8000 4 0 0"},
      {[&] { g.Receive(0, 4, buf = "0123", 256, bus::STOPend); },
       "AB23=AB|Receive 0 4 4 256\n|2100 0 2 2"},
      {[&] { d.Receive(0, 4, nullptr, 1, bus::STOPend); }, "AB23||8000 4 0 0"},
      {[&] { g.Receive(0, 4, buf = "..", 0, '\n'); }, "..=|Receive 0 4 0 10\n|2100 0 0 0"},
      {[&] { d.Receive(0, 4, buf.data(), -1, bus::STOPend); }, "..||8000 4 0 0"},
      {[&] { reply = "", g.Receive(0, 4, buf = "..", 2, 0); }, "..=|Receive 0 4 2 0\n|2100 0 0 0"},
      {[&] { next = failed, reply = "AB", g.Receive(0, 4, buf = "....", 4, 'X'); },
       "AB..=A|Receive 0 4 4 88\n|8100 6 3 1"},
      // A short read without EOI is the whole reply: nothing is read to drop.
      {[&] { next = unended, g.ReceiveDirect(0, 4, buf, 6); },
       "AB    =AB|Receive 0 4 6 256\n|100 0 2 2"}};
  for (const auto& [call, expected] : rows) {
    call();
    EXPECT_EQ(buf + std::exchange(seen.got, "") + "|" +
                  std::exchange(in<std::string>(lib.get(), "standin_calls"), "") + "|" +
                  text(d.status()),
              expected);
  }
  EXPECT_EQ(text({g.ibsta, g.iberr, g.ibcnt, g.ibcntl}), "100 0 2 2");
  EXPECT_EQ(found, (std::vector<std::int16_t>{4, 7, 0x49}));
}

TEST(LibraryDriver, TheNIFamilyNumbersEndModesItsOwnWayAndKeepsItsStatusInItsVariables) {
  const Library lib(dlopen(LIB_NI, RTLD_NOW), dlclose);
  bus::LibraryDriver d(LIB_NI);
  for (auto mode : {NL, bus::EotMode::DABend, bus::EotMode::NULLend}) d.Send(0, 4, "x", 1, mode);
  EXPECT_EQ(d.describe() + text(d.status()) + "|" + in<std::string>(lib.get(), "standin_calls"),
            "GPIB driver library " + std::string(LIB_NI) +
                " (NI-488.2)100 0 1 1|Send 0 4 [x] 1 1\nSend 0 4 [x] 1 2\nSend 0 4 [x] 1 0\n");
}

TEST(LibraryDriver, AMissingLibraryOrEntryPointIsOneProblemLineAndNothingOfItIsKept) {
  bus::LibraryDriver gone("/x"), partial(LIB_PARTIAL);
  EXPECT_FALSE(gone.load() || partial.load() || isLoaded(LIB_PARTIAL));
  EXPECT_EQ(gone.problem(),
            "GPIB driver library /x could not be loaded: /x: cannot open shared "
            "object file: No such file or directory");
  EXPECT_EQ(text(partial.status()) + partial.describe(),
            "8000 0 0 0GPIB driver library " + std::string(LIB_PARTIAL) +
                " lacks the entry points FindLstn, ThreadIbsta (nor the status variables ibsta or "
                "user_ibsta)");
}

TEST(LibraryDriver, ThePlatformsLibrariesAreTriedInTurn) {
  std::string problems;
  const auto found = bus::LibraryDriver::firstThatLoads({"/x", LIB_PARTIAL, LIB_DEFAULT}, problems);
  EXPECT_EQ(found ? found->describe() : "none",
            "GPIB driver library " + std::string(LIB_DEFAULT) + " (linux-gpib)");
  EXPECT_FALSE(bus::LibraryDriver::firstThatLoads({"/x", LIB_PARTIAL}, problems));
  EXPECT_EQ(std::count(problems.begin(), problems.end(), '\n'), 1) << problems;
  EXPECT_EQ(bus::LibraryDriver::defaultPaths().front(), "libgpib.so.0");  // linux-gpib's first
}

TEST(LibraryDriver, OpensTheLibraryAtTheFirstCallOnlyAndLetsItGoAtTheEnd) {
  auto d = std::make_unique<bus::LibraryDriver>(LIB_DEFAULT);
  EXPECT_EQ(d->describe() + (isLoaded(LIB_DEFAULT) ? " (open)" : ""),
            std::string("GPIB driver library ") + LIB_DEFAULT);
  d->ibonl(0, 0);
  EXPECT_TRUE(isLoaded(LIB_DEFAULT) && d->load() && d->load());
  d.reset();
  EXPECT_FALSE(isLoaded(LIB_DEFAULT));  // a second opening would still hold it here
}

}  // namespace
