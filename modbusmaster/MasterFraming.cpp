#include "MasterFraming.h"

#include <algorithm>

namespace modbusmaster {

namespace {

constexpr std::size_t kMbapHeader = 7;  // transaction, protocol, length, unit

}  // namespace

std::string describe(const PortSettings& port) {
  return std::to_string(port.baud) + " baud 8" + std::string(1, port.parity) +
         std::to_string(port.stopBits);
}

Timing timing(const PortSettings& port, double responseTimeout) {
  Timing t;
  const int bits = 1 + 8 + (port.parity == 'N' ? 0 : 1) + port.stopBits;
  t.character = static_cast<double>(bits) / std::max(port.baud, 1);
  t.gap = port.baud > 19200 ? 0.00175 : 3.5 * t.character;
  t.response = responseTimeout;
  // USB serial adapters pass what they received on every few milliseconds (16 at most with the
  // usual latency timer), so a silence shorter than that inside a frame is theirs, not the
  // controller's.
  t.byte = t.gap + 0.020;
  return t;
}

std::size_t responseLength(const std::uint8_t* frame, std::size_t available) {
  if (available < 3) return 0;
  const std::uint8_t function = frame[1];
  if (function & modbus::kExceptionBit) return 5;
  if (function >= 1 && function <= 4) return 3 + std::size_t{frame[2]} + 2;
  if (function == 5 || function == 6 || function == 15 || function == 16) return 8;
  return 5;
}

modbus::Bytes rtuFromTcp(const std::uint8_t* adu, std::size_t size, std::uint8_t unit,
                         std::string& problem) {
  problem.clear();
  if (size < kMbapHeader + 1) {
    problem = "a header without a function code";
    return {};
  }
  const auto field = [adu](std::size_t at) { return (adu[at] << 8) | adu[at + 1]; };
  if (field(2) != 0)
    problem = "protocol identifier " + std::to_string(field(2)) + ", not 0";
  else if (static_cast<std::size_t>(field(4)) != size - 6)
    problem = "length " + std::to_string(field(4)) + " for " + std::to_string(size - 6) + " bytes";
  else if (adu[6] != unit)
    problem = "unit " + std::to_string(adu[6]) + " answered for unit " + std::to_string(unit);
  modbus::Bytes frame(adu + 6, adu + size);
  modbus::appendCrc(frame);
  return frame;
}

}  // namespace modbusmaster
