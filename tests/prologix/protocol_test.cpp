#include "Protocol.h"

#include <gtest/gtest.h>

#include <functional>

#include "Adapter.h"
#include "Clock.h"
#include "SimulatedBus.h"

namespace {

using prologix::Session;

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : " | ") + line;
  return text;
}

TEST(Protocol, LinesOfEachCall) {
  Session s;
  s.readTimeoutMs = 1000;
  using bus::EotMode;
  const std::pair<std::function<std::vector<std::string>()>, std::string> steps[] = {
      {[&] { return s.send(4, "*IDN?", EotMode::NLend); }, "++addr 4 | *IDN?\x1b\n"},
      {[&] { return s.receive(4); }, "++read eoi"},
      {[&] { return s.send(4, "W  300, 90", EotMode::DABend); }, "W  300, 90"},
      // CR, LF, ESC and + are data only when escaped; other bytes pass as they are.
      {[&] { return s.send(4, "++ver", EotMode::DABend); }, "\x1b+\x1b+ver"},
      {[&] { return s.send(4, std::string("\r\x1b\0\xff", 4), EotMode::DABend); },
       std::string("\x1b\r\x1b\x1b\0\xff", 6)},
      {[&] { return s.clear(7); }, "++addr 7 | ++clr"},
      {[&] { return s.receive(4); }, "++addr 4 | ++read eoi"},
      {[&] { return s.serialPoll(9); }, "++spoll 9"},
      {[&] { return s.readTimeout(1000); }, ""},
      {[&] { return s.readTimeout(100); }, "++read_tmo_ms 100"},
      {[&] { return s.remoteEnable(true); }, ""},
      {[&] { return s.remoteEnable(false); }, "++loc"},
      {[&] { return (s.flavour = prologix::Flavour::Ar488, s.remoteEnable(true)); }, "++ren 1"},
      {[&] { return s.remoteEnable(false); }, "++ren 0"},
  };
  for (size_t i = 0; i < std::size(steps); ++i)
    EXPECT_EQ(joined(steps[i].first()), steps[i].second) << "step " << i;
  EXPECT_EQ(s.address, 4);  // the adapter's address follows the last transaction
  EXPECT_EQ(joined(prologix::setupLines(1000)),
            "++mode 1 | ++auto 0 | ++eoi 1 | ++eos 3 | ++read_tmo_ms 1000 | ++eot_char 4 | "
            "++eot_enable 1 | ++eot_enable | ++ver");
}

TEST(Protocol, WhereAReplyEnds) {
  // Received so far, the read's room, the end mark in use: complete?, handed out, END?, left.
  const struct {
    std::string received;
    size_t room;
    bool mark;
    bool complete;
    std::string bytes;
    bool ended;
    std::string left;
  } rows[] = {
      {"a\nb\x04c\n\x04", 64, true, true, "a\nb\x04c\n", true, ""},  // line feeds are data
      {"a\nb\x04", 64, true, true, "a\nb", true, ""},  // a mark with nothing after it ends
      {"a\nb", 64, true, false, "a\nb", false, ""},
      {"abc\x04", 3, true, true, "abc", true, ""},  // the mark needs no room
      {"abcd\x04", 3, true, true, "abc", false, "d\x04"},
      {"a\nb\n", 64, false, true, "a\n", true, "b\n"},  // without the mark: the line feed
      {"abc", 3, false, true, "abc", false, ""},
      {"ab", 3, false, false, "ab", false, ""},
      {"", 0, true, false, "", false, ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(prologix::replyComplete(row.received, row.room, row.mark), row.complete)
        << row.received;
    std::string received = row.received;
    const prologix::ReplyPiece piece = prologix::takeReply(received, row.room, row.mark);
    EXPECT_EQ(piece.bytes + (piece.ended ? "|" : "") + "/" + received,
              row.bytes + (row.ended ? "|" : "") + "/" + row.left)
        << row.received;
  }
}

TEST(Protocol, ReadTimeoutFollowsTheTimeoutCode) {
  // No time-out, 10 us, 1 ms, 30 ms, 1 s, 3 s, 10 s, unknown.
  const std::pair<int, int> cases[] = {{0, 3000},  {1, 1},     {5, 1},     {8, 30},
                                       {11, 1000}, {12, 3000}, {13, 3000}, {18, 3000}};
  for (const auto& [code, ms] : cases) EXPECT_EQ(prologix::readTimeoutMs(code), ms) << code;
}

TEST(Protocol, Answers) {
  EXPECT_EQ(prologix::parseStatusByte("65\r\n"), 65);
  EXPECT_EQ(prologix::parseStatusByte(" 0"), 0);
  for (const char* bad : {"", "256", "-1", "6 5", "x", "1000"})
    EXPECT_FALSE(prologix::parseStatusByte(bad)) << bad;

  using List = std::vector<int>;
  EXPECT_EQ(prologix::parseListeners("4 7\r\n"), List({4, 7}));
  EXPECT_EQ(prologix::parseListeners("1,30"), List({1, 30}));
  EXPECT_EQ(prologix::parseListeners("\r\n"), List());
  for (const char* bad : {"31", "4 x", "Unrecognized command"})
    EXPECT_FALSE(prologix::parseListeners(bad)) << bad;

  using prologix::Flavour;
  EXPECT_EQ(prologix::flavourOf("AR488 GPIB controller, ver. 0.53"), Flavour::Ar488);
  EXPECT_EQ(prologix::flavourOf("Prologix GPIB-USB Controller version 6.107"), Flavour::Prologix);
}

}  // namespace

// The simulated adapter's answers to the settings a client may ask about, and what it refuses.
TEST(SimulatedAdapter, AnswersItsSettings) {
  bus::VirtualClock clock;
  sim::SimulatedBus bench(clock);
  prologixsim::Adapter ar488(bench, true), prologix(bench, false);
  const struct {
    prologixsim::Adapter* adapter;
    const char* line;
    std::string answer;
  } rows[] = {
      {&ar488, "++mode\n", "1\r\n"},
      {&ar488, "++addr 4\n++addr\n", "4\r\n"},
      {&ar488, "++addr 31\n++addr\n", "4\r\n"},  // out of range: kept
      {&ar488, "++read_tmo_ms 500\n++read_tmo_ms\n", "500\r\n"},
      {&ar488, "++eot_char 4\n++eot_char\n", "4\r\n"},
      {&ar488, "++ren 1\n++ren\n", "1\r\n"},
      {&ar488, "++bogus\n", "Unrecognized command\r\n"},
      {&prologix, "++bogus\n", ""},
      {&prologix, "++ren\n", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(row.adapter->feed(row.line), row.answer) << row.line;
}
