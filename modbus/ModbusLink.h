#pragma once

#include <optional>
#include <string>

#include "Frame.h"

namespace modbus {

// What came back for one request.
struct Reply {
  // The response frame as it arrived, CRC included; empty when nothing came within the response
  // time-out (or when nothing was due: a broadcast write).
  Bytes response;
  // The error register's code when the link itself decided the outcome (a failure put on the
  // simulated bench by hand); otherwise the converter judges the response.
  std::optional<int> code = std::nullopt;
};

// The serial settings the converter puts on its port: at power-on, and when
// SYST:COMM:SER:UPD makes the set ones current.
struct SerialSettings {
  int baud = 9600;
  bool rs485 = true;
  bool operator==(const SerialSettings&) const = default;
};

// The converter's Modbus side: a request frame out, a response frame (or none) back. The
// simulated controller is one such link, a real Modbus master on a serial port or a TCP gateway
// another. transact() returns once the answer is complete or the response time-out has passed;
// it never waits longer.
class Link {
 public:
  virtual ~Link() = default;

  // `request` is an RTU frame with its CRC.
  virtual Reply transact(const Bytes& request) = 0;
  virtual void setSerial(const SerialSettings& settings) = 0;
  // The clock time at which the answers asked for so far are complete: a link that keeps
  // simulated time answers at once and says here when its line would be done. 0 for a link
  // whose transact() returns when it is.
  virtual double readyAt() const { return 0; }
  // The converter restarted: whatever was under way on the line is gone.
  virtual void restart() {}
  // Where the link goes, for the operator ("Modbus TCP 127.0.0.1:502").
  virtual std::string describe() const = 0;
};

// True for a request no slave answers by design: a write to the broadcast address 0.
inline bool broadcastWrite(const Bytes& request) {
  return request.size() >= 2 && request[0] == 0 && request[1] != kReadHolding &&
         request[1] != kReadInput;
}

}  // namespace modbus
