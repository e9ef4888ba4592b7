#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Modbus RTU as the converter speaks it to the controller: function and exception codes, the
// CRC, and the frames of the four functions it uses. No Qt, no simulator.
namespace modbus {

using Bytes = std::vector<std::uint8_t>;

// Function codes the converter uses.
enum Function : std::uint8_t {
  kReadHolding = 0x03,
  kReadInput = 0x04,
  kWriteSingle = 0x06,
  kWriteMultiple = 0x10,
};

// Exception codes a slave answers with, in a response whose function has kExceptionBit set.
enum Exception : std::uint8_t {
  kIllegalFunction = 1,
  kIllegalAddress = 2,
  kIllegalValue = 3,
  kDeviceFailure = 4,
  kAcknowledge = 5,
  kDeviceBusy = 6,
};
constexpr std::uint8_t kExceptionBit = 0x80;

// The most registers one read may ask for, and one write-multiple may carry.
constexpr int kMaxReadCount = 125;
constexpr int kMaxWriteCount = 123;

// CRC-16/Modbus (reflected polynomial 0xA001, start 0xFFFF).
std::uint16_t crc16(const std::uint8_t* data, std::size_t size);
inline std::uint16_t crc16(const Bytes& bytes) { return crc16(bytes.data(), bytes.size()); }

// Appends the CRC, low byte first as it travels on the line.
void appendCrc(Bytes& frame);
// True when the frame is at least 3 bytes long and its last two bytes are its CRC.
bool crcValid(const Bytes& frame);

// A 16-bit word of a frame, high byte first, at `at` (which the caller has checked).
std::uint16_t word(const Bytes& frame, std::size_t at);
void putWord(Bytes& frame, std::uint16_t value);

// Whole frames, CRC included.
Bytes readRequest(std::uint8_t slave, std::uint8_t function, std::uint16_t first,
                  std::uint16_t count);
Bytes writeSingleRequest(std::uint8_t slave, std::uint16_t reg, std::uint16_t value);
Bytes writeMultipleRequest(std::uint8_t slave, std::uint16_t first,
                           const std::vector<std::uint16_t>& values);
Bytes readResponse(std::uint8_t slave, std::uint8_t function,
                   const std::vector<std::uint16_t>& values);
Bytes exceptionResponse(std::uint8_t slave, std::uint8_t function, std::uint8_t code);

// One Modbus transaction as it went over the serial link: the request sent and whatever came
// back (empty after a time-out, damaged when the line was).
struct RtuExchange {
  double time = 0.0;  // clock seconds when the request left
  Bytes request;
  Bytes response;
  int errorCode = 0;  // what the converter's error register holds afterwards
};

}  // namespace modbus
