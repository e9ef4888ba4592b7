// The framing of f4-modbus-sim without processes: RTU byte streams and Modbus TCP requests, the
// frames taken from them and the bytes the simulated controller answers.
#include "Framing.h"

#include <gtest/gtest.h>

#include <sstream>

#include "WatlowF4.h"

namespace {

using modbus::Bytes;

Bytes bytes(const std::string& hex) {
  Bytes out;
  std::istringstream in(hex);
  for (unsigned value; in >> std::hex >> value;) out.push_back(static_cast<std::uint8_t>(value));
  return out;
}

std::string hex(const Bytes& bytes) {
  std::string text;
  char pair[4];
  for (const auto byte : bytes) std::snprintf(pair, sizeof pair, "%02X ", byte), text += pair;
  if (!text.empty()) text.pop_back();
  return text;
}

// Checked with mbpoll (libmodbus) against the program: reading register 100, 75 degrees.
const std::string kRead = "01 03 00 64 00 01 C5 D5";
const std::string kTemp = "01 03 02 00 4B F8 73";
const std::string kWrite = "01 06 01 2C 00 5A C9 C4";  // register 300 := 90
const std::string kWriteMany = "01 10 01 2C 00 01 02 00 5A 31 07";
const std::string kWrittenMany = "01 10 01 2C 00 01 C1 FC";
const std::string kCoils = "01 01 00 00 00 08 3D CC";  // a function the controller lacks
const std::string kNoCoils = "01 81 01 81 90";

struct Controller {
  bus::VirtualClock clock;
  sim::WatlowF4 f4{clock};
  modbusslave::Controller answer() {
    return [this](const Bytes& request) { return f4.handle(request); };
  }
};

TEST(RtuFramer, FramesByLengthAndSilence) {
  // Bytes arriving at a time; no bytes: only the silence up to that time. At 9600 baud a
  // silence of 4 ms ends a frame.
  struct Arrival {
    double at;
    std::string hex;
  };
  const struct {
    const char* name;
    std::vector<Arrival> arrivals;
    std::vector<std::string> frames;
    std::size_t dropped;
    std::string answered;
  } cases[] = {
      // clang-format off
      {"whole frame", {{0, kRead}}, {kRead}, 0, kTemp},
      {"back to back", {{0, kRead + " " + kWrite}}, {kRead, kWrite}, 0, kTemp + " " + kWrite},
      {"in pieces", {{0, "01 03 00"}, {0.002, "64 00"}, {0.004, "01 C5 D5"}}, {kRead}, 0, kTemp},
      {"garbage first", {{0, "FF 00 13 " + kRead}}, {kRead}, 3, kTemp},
      {"garbage like a header", {{0, "01 03 77 " + kRead}}, {kRead}, 3, kTemp},
      {"bad CRC", {{0, "01 03 00 64 00 01 C5 D6"}, {0.01, ""}}, {}, 8, ""},
      {"cut, silence", {{0, "01 03 00 64"}, {0.0039, ""}, {0.0041, ""}}, {}, 4, ""},
      {"cut, silence, frame", {{0, "01 03 00 64"}, {0.01, kRead}}, {kRead}, 4, kTemp},
      {"cut, frame at once", {{0, "01 03 00 64"}, {0.001, kRead}}, {kRead}, 4, kTemp},
      {"pieces too slow", {{0, "01 03 00 64"}, {0.005, "00 01 C5 D5"}, {0.01, ""}}, {}, 8, ""},
      {"16 with byte count", {{0, kWriteMany}}, {kWriteMany}, 0, kWrittenMany},
      {"16 in pieces", {{0, "01 10 01 2C 00"}, {0.001, "01 02 00 5A 31 07"}}, {kWriteMany}, 0,
       kWrittenMany},
      {"16 claiming more", {{0, "01 10 01 2C 00 01 40 00 5A"}, {0.01, ""}}, {}, 9, ""},
      {"other function: silence", {{0, kCoils}, {0.001, ""}, {0.005, ""}}, {kCoils}, 0, kNoCoils},
      {"other function, frame", {{0, kCoils + " " + kRead}}, {kCoils, kRead}, 0,
       kNoCoils + " " + kTemp},
      {"another slave", {{0, "07 03 00 64 00 01 C5 B3"}}, {"07 03 00 64 00 01 C5 B3"}, 0, ""},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Controller controller;
    modbusslave::RtuFramer framer(modbusslave::silenceSeconds(9600));
    std::vector<std::string> frames;
    std::size_t dropped = 0;
    Bytes answered;
    for (const auto& arrival : c.arrivals) {
      const auto taken = framer.feed(bytes(arrival.hex), arrival.at);
      dropped += taken.dropped;
      for (const Bytes& frame : taken.frames) {
        frames.push_back(hex(frame));
        const Bytes answer = controller.f4.handle(frame);
        answered.insert(answered.end(), answer.begin(), answer.end());
      }
    }
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(dropped, c.dropped);
    EXPECT_EQ(hex(answered), c.answered);
  }
}

TEST(RtuFramer, SilenceFollowsTheLine) {
  const struct {
    int baud;
    double gap;
  } cases[] = {{1200, 0.0320833},
               {9600, 0.0040104},
               {19200, 0.0020052},
               {38400, 0.00175},
               {115200, 0.00175}};
  for (const auto& c : cases) EXPECT_NEAR(modbusslave::silenceSeconds(c.baud), c.gap, 1e-7);

  // The server waits for a frame under way until the silence after its last byte.
  modbusslave::RtuFramer framer(0.004);
  EXPECT_FALSE(framer.deadline());
  framer.feed(bytes("01 03 00"), 1.0);
  framer.feed(bytes("64"), 1.003);
  ASSERT_TRUE(framer.deadline());
  EXPECT_DOUBLE_EQ(*framer.deadline(), 1.007);
  EXPECT_EQ(framer.expire(1.0069).dropped, 0u);
  EXPECT_EQ(framer.expire(1.007).dropped, 4u);
  EXPECT_FALSE(framer.deadline());
}

TEST(Mbap, RequestsTakenAndAnswered) {
  const struct {
    const char* name;
    std::vector<std::string> chunks;  // as they arrive on one connection
    std::string answered;
    std::string problem;  // the reason the connection closes, in part
  } cases[] = {
      // clang-format off
      {"read", {"12 34 00 00 00 06 01 03 00 64 00 01"}, "12 34 00 00 00 05 01 03 02 00 4B", ""},
      {"unit 0", {"00 02 00 00 00 06 00 03 00 64 00 01"}, "00 02 00 00 00 05 00 03 02 00 4B", ""},
      {"unit 255", {"00 03 00 00 00 06 FF 03 00 64 00 01"}, "00 03 00 00 00 05 FF 03 02 00 4B", ""},
      {"unit 7: no reply", {"00 04 00 00 00 06 07 03 00 64 00 01"}, "", ""},
      {"write", {"00 05 00 00 00 06 01 06 01 2C 00 5A"}, "00 05 00 00 00 06 01 06 01 2C 00 5A", ""},
      {"write many", {"00 06 00 00 00 09 01 10 01 2C 00 01 02 00 5A"},
       "00 06 00 00 00 06 01 10 01 2C 00 01", ""},
      {"other function", {"00 07 00 00 00 06 01 01 00 00 00 08"}, "00 07 00 00 00 03 01 81 01", ""},
      {"in pieces", {"00 08 00", "00 00 06 01 03 00", "64 00 01"},
       "00 08 00 00 00 05 01 03 02 00 4B", ""},
      {"two at once", {"00 09 00 00 00 06 01 03 00 64 00 01 00 0A 00 00 00 06 07 03 00 64 00 01"},
       "00 09 00 00 00 05 01 03 02 00 4B", ""},
      {"protocol 1", {"00 01 00 01 00 06 01 03 00 64 00 01"}, "", "protocol identifier 1, not 0"},
      {"length too long", {"00 01 00 00 00 09 01 03 00 64 00 01"}, "", "MBAP length 9, but"},
      {"length too short", {"00 01 00 00 00 04 01 03 00 64"}, "", "MBAP length 4, but"},
      {"count", {"00 01 00 00 00 0A 01 10 01 2C 00 01 02 00 5A 00"}, "", "MBAP length 10, but"},
      {"16 cut", {"00 01 00 00 00 05 01 10 01 2C 00"}, "", "takes at least 7"},
      {"length 1", {"00 01 00 00 00 01 01"}, "", "MBAP length 1 is outside 2..254"},
      {"length 255", {"00 01 00 00 00 FF"}, "", "MBAP length 255 is outside 2..254"},
      {"good, then bad", {"00 0B 00 00 00 06 01 03 00 64 00 01 00 0C 00 02"},
       "00 0B 00 00 00 05 01 03 02 00 4B", "protocol identifier 2"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Controller controller;
    Bytes pending, answered;
    std::string problem;
    for (const auto& chunk : c.chunks) {
      const Bytes arrived = bytes(chunk);
      pending.insert(pending.end(), arrived.begin(), arrived.end());
      const auto served = modbusslave::serveTcp(pending, controller.answer());
      answered.insert(answered.end(), served.answer.begin(), served.answer.end());
      problem += served.problem;
    }
    EXPECT_EQ(hex(answered), c.answered);
    EXPECT_EQ(problem.empty(), c.problem.empty()) << problem;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    EXPECT_TRUE(pending.empty());
  }
}

}  // namespace
