#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Frame.h"

// How the console's Modbus master frames and times a transaction, apart from the port: pure
// functions the link (MasterLink) and its tests share.
namespace modbusmaster {

// The serial line to the controller: 8 data bits, `parity` 'N', 'E' or 'O', 1 or 2 stop bits.
struct PortSettings {
  int baud = 9600;
  char parity = 'N';
  int stopBits = 1;
};

// "9600 baud 8N1"
std::string describe(const PortSettings& port);

// Seconds of the line's time for one transaction.
struct Timing {
  double character = 0;  // one character: start, 8 data, parity, stop bits
  double gap = 0;        // the silence that ends a frame: 3.5 characters, 1.75 ms above 19200
  // From the end of the request to the answer's first byte: the converter's response time-out.
  double response = 0;
  // The longest pause inside an answer before it counts as cut short: its silence plus what a
  // USB adapter adds by passing bytes on in packets.
  double byte = 0;
};
Timing timing(const PortSettings& port, double responseTimeout);

// The length of the RTU response frame that begins with `frame` (slave, function, and the
// byte count where the function has one), as a master reads it: 5 for an exception, 3 + count
// + 2 for a read, 8 for a write; 0 when fewer than 3 bytes are there.
std::size_t responseLength(const std::uint8_t* frame, std::size_t available);

// A Modbus TCP response (MBAP header and PDU) in the RTU form the converter and the monitor
// know: unit, PDU and a CRC computed here. `problem` says what is wrong with the header (a
// protocol identifier that is not 0, a length that does not match, another unit), empty when
// nothing is.
modbus::Bytes rtuFromTcp(const std::uint8_t* adu, std::size_t size, std::uint8_t unit,
                         std::string& problem);

}  // namespace modbusmaster
