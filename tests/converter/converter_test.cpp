// The converter model on a link of any kind: the frames it sends, how it judges what comes back,
// the serial settings it puts on the link; and the console's own converter as a GPIB driver.
#include "Converter.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "Clock.h"
#include "SoftwareConverter.h"

namespace {

using modbus::Bytes;

// "01 03 02 00 4B" as bytes; with `crc` its CRC appended.
Bytes bytes(const std::string& hex, bool crc = true) {
  Bytes frame;
  std::istringstream in(hex);
  for (unsigned value; in >> std::hex >> value;) frame.push_back(static_cast<std::uint8_t>(value));
  if (crc) modbus::appendCrc(frame);
  return frame;
}

std::string hex(const Bytes& frame) {
  std::string text;
  for (int b : frame)
    text += (text.empty() ? "" : " ") + std::string{"0123456789ABCDEF"[b >> 4]} +
            "0123456789ABCDEF"[b & 15];
  return text;
}

// Hands out the replies it was given, in order; none left is no answer.
struct ScriptedLink final : modbus::Link {
  std::deque<modbus::Reply> replies;
  std::vector<std::string> sent;
  std::vector<int> bauds;
  int restarts = 0;
  modbus::Reply transact(const Bytes& request) override {
    sent.push_back(hex(request));
    if (replies.empty()) return {};
    modbus::Reply reply = replies.front();
    replies.pop_front();
    return reply;
  }
  void setSerial(const modbus::SerialSettings& s) override { bauds.push_back(s.baud); }
  void restart() override { ++restarts; }
  std::string describe() const override { return "a scripted link"; }
};

// Sends `line` to the converter and gives its reply without the line feed, then "|E=" and the
// error register ("-" for no reply at all, "[]" for an empty one).
std::string ask(converter::Converter& c, const std::string& line) {
  c.listen(line + "\n", true);
  const auto reply = c.talk();
  std::string text = reply ? (reply->empty() ? "[]" : std::string(*reply)) : "-";
  if (reply) c.consumed(reply->size());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text + "|E=" + std::to_string(c.errorRegister());
}

TEST(Converter, JudgesWhatAnyLinkBringsBack) {
  const modbus::Reply none{};
  struct Row {
    std::string line;
    modbus::Reply reply;
    std::string sent;  // without its CRC
    std::string expected;
  };
  const Row rows[] = {
      {"R 100,1", {bytes("01 03 02 00 4B")}, "01 03 00 64 00 01", "75|E=0"},
      {"FORM:TALK HEXL;R 100,2",
       {bytes("01 03 04 FF D8 00 01")},
       "01 03 00 64 00 02",
       "FFD8,0001|E=0"},
      {"R 5,1", {bytes("01 83 02")}, "01 03 00 05 00 01", "[]|E=2"},
      {"R 5,1", {bytes("01 03 02 00 4B C5 D5", false)}, "01 03 00 05 00 01", "[]|E=100"},
      {"R 5,1", {bytes("02 03 02 00 4B")}, "01 03 00 05 00 01", "[]|E=100"},
      {"R 5,1", {bytes("01 03 02", false)}, "01 03 00 05 00 01", "[]|E=203"},
      {"R 5,1", none, "01 03 00 05 00 01", "[]|E=101"},
      {"R 5,1", {bytes("01 03 02 00 4B"), 7}, "01 03 00 05 00 01", "[]|E=7"},
      {"W 300,90", {bytes("01 06 01 2C 00 5A")}, "01 06 01 2C 00 5A", "-|E=0"},
      {"W 300,1,2", {bytes("01 10 01 2C 00 02")}, "01 10 01 2C 00 02 04 00 01 00 02", "-|E=0"},
      {"C 0;W 300,1", none, "00 06 01 2C 00 01", "-|E=0"},
      {"C 0;R 300,1", none, "00 03 01 2C 00 01", "[]|E=101"},
      {"C 300;R 0,1", none, "FF 03 00 00 00 01", "[]|E=101"},
  };
  for (const Row& row : rows) {
    bus::VirtualClock clock;
    ScriptedLink link;
    link.replies.push_back(row.reply);
    converter::Converter c(clock, link);
    EXPECT_EQ(ask(c, row.line), row.expected) << row.line;
    EXPECT_EQ(link.sent, std::vector<std::string>{hex(bytes(row.sent))}) << row.line;
  }
}

TEST(Converter, PutsItsSerialSettingsOnTheLink) {
  bus::VirtualClock clock;
  ScriptedLink link;
  converter::Converter c(clock, link, {19200, true});
  EXPECT_EQ(ask(c, "SYST:COMM:SER:BAUD?"), "19200|E=0");
  c.listen("SYST:COMM:SER:BAUD 9600\n", true);  // set, not yet current
  EXPECT_EQ(link.bauds, std::vector<int>{19200});
  c.listen("SYST:COMM:SER:UPD\n", true);
  c.powerCycle();  // back to the power-on settings (nothing was saved)
  EXPECT_EQ(link.bauds, (std::vector<int>{19200, 9600, 19200}));
  EXPECT_EQ(link.restarts, 1);
}

TEST(SoftwareConverter, IsTheOnlyDeviceOnItsBus) {
  bus::SteadyClock clock;
  auto owned = std::make_unique<ScriptedLink>();
  ScriptedLink& link = *owned;
  link.replies.push_back({bytes("01 03 02 14 96")});
  converter::SoftwareConverter bus(clock, std::move(owned));
  EXPECT_EQ(bus.describe(), "software converter at GPIB address 4 on a scripted link");
  bus.ibtmo(0, 11);
  const auto exchange = [&](int address, const std::string& line) {
    bus.Send(0, static_cast<bus::Addr4882>(address), line.data(), static_cast<long>(line.size()),
             bus::EotMode::NLend);
    if (bus.status().ibsta & bus::ERR) return "Send iberr=" + std::to_string(bus.status().iberr);
    char reply[64] = {};
    bus.Receive(0, static_cast<bus::Addr4882>(address), reply, sizeof reply, bus::STOPend);
    return std::string(reply, static_cast<std::size_t>(bus.status().ibcntl));
  };
  EXPECT_EQ(exchange(4, "R 0,1"), "5270\n");
  EXPECT_EQ(exchange(4, "*IDN?"), "ORVANE,5630,SIM-000417,2.10\n");
  EXPECT_EQ(exchange(7, "*IDN?"), "Send iberr=2");  // ENOL: nobody else is on the bus
  const bus::Addr4882 all[] = {1, 4, 7, bus::NOADDR};
  bus::Addr4882 found[4] = {};
  bus.FindLstn(0, all, found, 4);
  EXPECT_EQ(bus.status().ibcntl, 1);
  EXPECT_EQ(found[0], 4);
}

}  // namespace
