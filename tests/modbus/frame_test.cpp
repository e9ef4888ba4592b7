#include <gtest/gtest.h>

#include "Frame.h"
#include "FrameText.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes withCrc(Bytes frame) {
  modbus::appendCrc(frame);
  return frame;
}

TEST(FrameText, EveryFrameKind) {
  const Bytes read = withCrc({1, 3, 0, 100, 0, 1}), single = withCrc({1, 6, 1, 44, 0, 90});
  const Bytes multiple = withCrc({1, 16, 0x0F, 0xA0, 0, 2, 4, 0, 3, 0, 1});
  Bytes damaged = withCrc({1, 3, 2, 0, 75});
  damaged.back() ^= 0xFF;
  const struct {
    Bytes frame;
    const Bytes* request;
    const char* words;
  } rows[] = {
      {read, nullptr, "slave 1, read holding registers 100, count 1, CRC good"},
      {withCrc({1, 3, 4, 0xFF, 0xD8, 0, 75}), &read, "slave 1, read holding registers: -40, 75, CRC good"},
      {single, nullptr, "slave 1, write single register 300 = 90, CRC good"},
      {single, &single, "slave 1, write single register 300 = 90 done, CRC good"},
      {multiple, nullptr, "slave 1, write multiple registers 4000, count 2 = 3, 1, CRC good"},
      {withCrc({1, 16, 0x0F, 0xA0, 0, 2}), &multiple,
       "slave 1, write multiple registers 4000, count 2 done, CRC good"},
      {withCrc({1, 0x83, 2}), &read,
       "slave 1, exception 2 (illegal data address) to read holding registers, CRC good"},
      {withCrc({1, 0x90, 3}), &multiple,
       "slave 1, exception 3 (illegal data value) to write multiple registers, CRC good"},
      {damaged, &read, "slave 1, read holding registers: 75, CRC bad"},
      {withCrc({1, 3, 4, 0, 75}), &read,
       "slave 1, read holding registers, 7 bytes that do not form its frame, CRC good"},
      {withCrc({247, 0x2B, 0}), &read, "slave 247, function 43, 5 bytes that do not form its frame, CRC good"},
      {{1, 3}, &read, "partial frame of 2 bytes"},
      {{}, &read, "no response (time-out)"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(modbus::describeFrame(row.frame, row.request), row.words) << row.words;
  EXPECT_EQ(modbus::exceptionName(9), "");
}

}  // namespace
