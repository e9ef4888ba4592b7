#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

// Modbus function codes the converter uses.
enum ModbusFunction : std::uint8_t {
  kReadHolding = 0x03,
  kReadInput = 0x04,
  kWriteSingle = 0x06,
  kWriteMultiple = 0x10,
};

// Modbus exception codes a slave answers with.
enum ModbusException : std::uint8_t {
  kIllegalFunction = 1,
  kIllegalAddress = 2,
  kIllegalValue = 3,
};

// CRC-16/Modbus (reflected polynomial 0xA001, start 0xFFFF).
std::uint16_t crc16(const std::uint8_t* data, std::size_t size);
inline std::uint16_t crc16(const Bytes& bytes) { return crc16(bytes.data(), bytes.size()); }

// Appends the CRC, low byte first as it travels on the line.
void appendCrc(Bytes& frame);
// True when the frame is at least 3 bytes long and its last two bytes are its CRC.
bool crcValid(const Bytes& frame);

// One Modbus transaction as it went over the serial link: the request the converter sent and
// whatever came back (empty after a time-out, damaged when the line was).
struct RtuExchange {
  double time = 0.0;  // clock seconds when the request left
  Bytes request;
  Bytes response;
  int errorCode = 0;  // what the converter's error register holds afterwards
};

}  // namespace sim
