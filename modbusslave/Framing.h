#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Frame.h"

// The Watlow F4 model answers one RTU request frame at a time. These pure functions cut the
// frames out of what a Modbus master sends it: a serial byte stream (RTU, framed by each
// function's length and by silence) or a TCP stream (MBAP header and PDU). No sockets here.
namespace modbusslave {

// What the controller makes of one RTU request frame: its response frame, or nothing.
using Controller = std::function<modbus::Bytes(const modbus::Bytes& request)>;

// The time a line at `baud` must stay silent to end a frame: 3.5 characters of 11 bits, and
// 1.75 ms at rates above 19200 baud, where the character time is too short to be kept.
double silenceSeconds(int baud);

// Cuts RTU request frames out of a serial byte stream. A frame of function 3, 4 or 6 is 8 bytes,
// one of function 16 is 9 bytes and its byte count; a frame ends when that many bytes have come
// and its CRC is good. Bytes that begin no frame with a good CRC are skipped one at a time, so
// garbage in front of a frame costs nothing but itself. A frame of another function ends at the
// silence after it (the controller answers it with an exception). Bytes left when the line has
// been silent for the gap were a frame cut short, and are dropped.
class RtuFramer {
 public:
  struct Taken {
    std::vector<modbus::Bytes> frames;
    std::size_t dropped = 0;  // bytes that made no frame
  };

  explicit RtuFramer(double gapSeconds = silenceSeconds(9600)) : gap_(gapSeconds) {}
  void setGap(double seconds) { gap_ = seconds; }

  // Bytes arriving at `now` (seconds on any steady clock).
  Taken feed(const std::uint8_t* data, std::size_t size, double now);
  Taken feed(const modbus::Bytes& bytes, double now) {
    return feed(bytes.data(), bytes.size(), now);
  }
  // What the silence up to `now` ends; nothing before deadline().
  Taken expire(double now);
  // When the bytes waiting make a frame or are dropped unless more come; none when none wait.
  std::optional<double> deadline() const;
  std::size_t waiting() const { return pending_.size(); }

 private:
  void scan(bool silent, Taken& taken);

  double gap_;
  double last_ = 0.0;
  modbus::Bytes pending_;
};

// One request taken off the front of a Modbus TCP stream.
struct TcpRequest {
  enum Kind {
    kIncomplete,  // more bytes are needed
    kRequest,     // `size` bytes make a request, `rtu` the frame the controller takes
    kMalformed,   // the stream cannot be read on: `problem` says why
  };
  Kind kind = kIncomplete;
  std::size_t size = 0;
  std::uint16_t transaction = 0;
  std::uint8_t unit = 0;  // as the client sent it
  modbus::Bytes rtu;      // slave address, PDU, CRC
  std::string problem;
};

// The largest MBAP length: the unit identifier and a PDU of at most 253 bytes.
constexpr std::size_t kMaxMbapLength = 254;

// Reads the MBAP header (transaction identifier, protocol identifier 0, length of what follows,
// unit identifier) and the PDU at the front of `stream`. Unit 1 is the controller; 0 and 255
// (which Modbus TCP clients send to a device that is no gateway) are taken as 1, and any other
// unit keeps its address, which the controller does not answer. A length outside 2..254, or
// one that a request of function 3, 4, 6 or 16 does not fill exactly, is malformed.
TcpRequest takeTcpRequest(const std::uint8_t* stream, std::size_t size);

// The MBAP reply to `request` carrying the controller's RTU `response`; empty when the
// controller answered nothing or a frame without a good CRC.
modbus::Bytes tcpResponse(const TcpRequest& request, const modbus::Bytes& response);

// Told each request as it came and its reply (empty when none goes back).
using Exchanged = std::function<void(const modbus::Bytes& request, const modbus::Bytes& reply)>;

// Serves every whole request at the front of `pending` (removing them) and returns the bytes
// to answer. On a malformed request `problem` is set: the connection is to be closed, and the
// answers before it still sent.
struct TcpServed {
  modbus::Bytes answer;
  std::string problem;
};
TcpServed serveTcp(modbus::Bytes& pending, const Controller& controller,
                   const Exchanged& exchanged = nullptr);

}  // namespace modbusslave
