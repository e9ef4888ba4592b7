#include "Frame.h"

#include <array>

namespace modbus {

namespace {

// The CRC of every byte value, one byte at a time (polynomial 0xA001, reflected): a day of live
// display on the simulator computes some three million of them.
constexpr std::array<std::uint16_t, 256> kCrcTable = [] {
  std::array<std::uint16_t, 256> table{};
  for (int value = 0; value < 256; ++value) {
    auto crc = static_cast<std::uint16_t>(value);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                      : static_cast<std::uint16_t>(crc >> 1);
    table[static_cast<std::size_t>(value)] = crc;
  }
  return table;
}();

}  // namespace

std::uint16_t crc16(const std::uint8_t* data, std::size_t size) {
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < size; ++i)
    crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF]);
  return crc;
}

void appendCrc(Bytes& frame) {
  const std::uint16_t crc = crc16(frame);
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

bool crcValid(const Bytes& frame) {
  if (frame.size() < 3) return false;
  const std::uint16_t crc = crc16(frame.data(), frame.size() - 2);
  return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

std::uint16_t word(const Bytes& frame, std::size_t at) {
  return static_cast<std::uint16_t>((frame[at] << 8) | frame[at + 1]);
}

void putWord(Bytes& frame, std::uint16_t value) {
  frame.push_back(static_cast<std::uint8_t>(value >> 8));
  frame.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

Bytes readRequest(std::uint8_t slave, std::uint8_t function, std::uint16_t first,
                  std::uint16_t count) {
  Bytes frame{slave, function};
  putWord(frame, first);
  putWord(frame, count);
  appendCrc(frame);
  return frame;
}

Bytes writeSingleRequest(std::uint8_t slave, std::uint16_t reg, std::uint16_t value) {
  Bytes frame{slave, kWriteSingle};
  putWord(frame, reg);
  putWord(frame, value);
  appendCrc(frame);
  return frame;
}

Bytes writeMultipleRequest(std::uint8_t slave, std::uint16_t first,
                           const std::vector<std::uint16_t>& values) {
  Bytes frame{slave, kWriteMultiple};
  putWord(frame, first);
  putWord(frame, static_cast<std::uint16_t>(values.size()));
  frame.push_back(static_cast<std::uint8_t>(2 * values.size()));
  for (std::uint16_t value : values) putWord(frame, value);
  appendCrc(frame);
  return frame;
}

Bytes readResponse(std::uint8_t slave, std::uint8_t function,
                   const std::vector<std::uint16_t>& values) {
  Bytes frame{slave, function, static_cast<std::uint8_t>(2 * values.size())};
  for (std::uint16_t value : values) putWord(frame, value);
  appendCrc(frame);
  return frame;
}

Bytes exceptionResponse(std::uint8_t slave, std::uint8_t function, std::uint8_t code) {
  Bytes frame{slave, static_cast<std::uint8_t>(function | kExceptionBit), code};
  appendCrc(frame);
  return frame;
}

}  // namespace modbus
