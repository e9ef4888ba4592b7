// The master's framing and timing as tables: the line's description and pace, how long a
// response frame is by its first bytes, and Modbus TCP answers in their RTU form.
#include <gtest/gtest.h>

#include <cmath>

#include "MasterFraming.h"

namespace {

using modbus::Bytes;

TEST(Framing, LineAndPace) {
  struct Row {
    modbusmaster::PortSettings port;
    std::string text;
    double character, gap, byte;  // milliseconds
  };
  const Row rows[] = {
      {{9600, 'N', 1}, "9600 baud 8N1", 1.0417, 3.6458, 23.6458},
      {{9600, 'E', 1}, "9600 baud 8E1", 1.1458, 4.0104, 24.0104},
      {{19200, 'O', 2}, "19200 baud 8O2", 0.6250, 2.1875, 22.1875},
      {{38400, 'N', 1}, "38400 baud 8N1", 0.2604, 1.75, 21.75},
      {{1200, 'N', 2}, "1200 baud 8N2", 9.1667, 32.0833, 52.0833},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(modbusmaster::describe(row.port), row.text);
    const modbusmaster::Timing t = modbusmaster::timing(row.port, 0.5);
    EXPECT_NEAR(t.character * 1000, row.character, 1e-4) << row.text;
    EXPECT_NEAR(t.gap * 1000, row.gap, 1e-4) << row.text;
    EXPECT_NEAR(t.byte * 1000, row.byte, 1e-4) << row.text;
    EXPECT_EQ(t.response, 0.5);
  }
}

TEST(Framing, ResponseLengthByItsFirstBytes) {
  const std::pair<Bytes, std::size_t> rows[] = {
      {{1, 3, 2}, 7}, {{1, 3, 250}, 255}, {{1, 4, 4}, 9},    {{1, 0x83, 2}, 5}, {{1, 0x90, 4}, 5},
      {{1, 6, 1}, 8}, {{1, 16, 0}, 8},    {{1, 0x2B, 9}, 5}, {{1, 3}, 0},       {{}, 0},
  };
  for (const auto& [frame, length] : rows)
    EXPECT_EQ(modbusmaster::responseLength(frame.data(), frame.size()), length)
        << testing::PrintToString(frame);
}

TEST(Framing, TcpAnswersInRtuForm) {
  struct Row {
    Bytes adu;
    std::uint8_t unit;
    Bytes rtu;
    std::string problem;
  };
  const Row rows[] = {
      {{0, 0, 0, 0, 0, 5, 1, 3, 2, 0, 75}, 1, {1, 3, 2, 0, 75, 0xF8, 0x73}, ""},
      {{0, 0, 0, 0, 0, 3, 1, 0x83, 2}, 1, {1, 0x83, 2, 0xC0, 0xF1}, ""},
      {{0, 0, 0, 7, 0, 5, 1, 3, 2, 0, 75},
       1,
       {1, 3, 2, 0, 75, 0xF8, 0x73},
       "protocol identifier 7, not 0"},
      {{0, 0, 0, 0, 0, 9, 1, 3, 2, 0, 75}, 1, {1, 3, 2, 0, 75, 0xF8, 0x73}, "length 9 for 5 bytes"},
      {{0, 0, 0, 0, 0, 5, 2, 3, 2, 0, 75},
       1,
       {2, 3, 2, 0, 75, 0xBC, 0x73},
       "unit 2 answered for unit 1"},
      {{0, 0, 0, 0, 0, 1, 1}, 1, {}, "a header without a function code"},
  };
  for (const Row& row : rows) {
    std::string problem;
    EXPECT_EQ(modbusmaster::rtuFromTcp(row.adu.data(), row.adu.size(), row.unit, problem), row.rtu)
        << row.problem;
    EXPECT_EQ(problem, row.problem);
  }
}

}  // namespace
