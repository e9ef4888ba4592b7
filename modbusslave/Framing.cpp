#include "Framing.h"

#include <algorithm>

namespace modbusslave {

namespace {

// The longest RTU frame a master may send: address, function, 252 bytes of data, CRC.
constexpr std::size_t kMaxRtuFrame = 256;
// The longest that a frame of function 16 can claim with its byte count.
constexpr std::size_t kLongestClaim = 9 + 255;

// How long the frame starting at `at` is by its function: 0 for a function framed by silence,
// -1 while too few bytes have come to tell.
long frameLength(const modbus::Bytes& bytes, std::size_t at) {
  const std::size_t have = bytes.size() - at;
  if (have < 2) return -1;
  switch (bytes[at + 1]) {
    case modbus::kReadHolding:
    case modbus::kReadInput:
    case modbus::kWriteSingle:
      return 8;
    case modbus::kWriteMultiple:
      return have < 7 ? -1 : 9 + static_cast<long>(bytes[at + 6]);
    default:
      return 0;
  }
}

bool goodFrame(const modbus::Bytes& bytes, std::size_t at, std::size_t size) {
  if (size < 4 || at + size > bytes.size()) return false;
  return modbus::crc16(bytes.data() + at, size - 2) ==
         (bytes[at + size - 2] | (bytes[at + size - 1] << 8));
}

// Where the first whole frame of a known function with a good CRC begins after the front, or 0.
std::size_t nextFrame(const modbus::Bytes& bytes) {
  for (std::size_t at = 1; at + 4 <= bytes.size(); ++at) {
    const long length = frameLength(bytes, at);
    if (length > 0 && goodFrame(bytes, at, static_cast<std::size_t>(length))) return at;
  }
  return 0;
}

}  // namespace

double silenceSeconds(int baud) {
  if (baud <= 0 || baud > 19200) return 0.00175;
  return 3.5 * 11.0 / baud;
}

RtuFramer::Taken RtuFramer::feed(const std::uint8_t* data, std::size_t size, double now) {
  Taken taken = expire(now);
  if (size == 0) return taken;
  pending_.insert(pending_.end(), data, data + size);
  last_ = now;
  scan(false, taken);
  return taken;
}

RtuFramer::Taken RtuFramer::expire(double now) {
  Taken taken;
  if (!pending_.empty() && now - last_ >= gap_) scan(true, taken);
  return taken;
}

std::optional<double> RtuFramer::deadline() const {
  if (pending_.empty()) return std::nullopt;
  return last_ + gap_;
}

void RtuFramer::scan(bool silent, Taken& taken) {
  const auto take = [&](std::size_t size) {
    taken.frames.emplace_back(pending_.begin(), pending_.begin() + static_cast<long>(size));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(size));
  };
  const auto drop = [&](std::size_t size) {
    taken.dropped += size;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(size));
  };
  while (!pending_.empty()) {
    const long length = frameLength(pending_, 0);
    if (length > 0 && pending_.size() >= static_cast<std::size_t>(length)) {
      // A whole frame by its length, or a byte that begins none.
      if (goodFrame(pending_, 0, static_cast<std::size_t>(length)))
        take(static_cast<std::size_t>(length));
      else
        drop(1);
      continue;
    }
    if (length != 0) {
      // A frame still coming, unless the silence says it was cut.
      if (!silent) return;
      drop(1);
      continue;
    }
    // Another function: its frame ends where one of a known function begins, or at the silence.
    if (const std::size_t next = nextFrame(pending_)) {
      if (goodFrame(pending_, 0, next))
        take(next);
      else
        drop(next);
      continue;
    }
    if (silent) {
      if (goodFrame(pending_, 0, pending_.size()) && pending_.size() <= kMaxRtuFrame)
        take(pending_.size());
      else
        drop(pending_.size());
      return;
    }
    // No frame can begin so far back that it is not all here yet.
    if (pending_.size() > kLongestClaim) drop(pending_.size() - kLongestClaim);
    return;
  }
}

TcpRequest takeTcpRequest(const std::uint8_t* stream, std::size_t size) {
  TcpRequest request;
  const auto word = [&](std::size_t at) { return (stream[at] << 8) | stream[at + 1]; };
  const auto malformed = [&](std::string problem) {
    request.kind = TcpRequest::kMalformed;
    request.problem = std::move(problem);
    return request;
  };
  if (size >= 4 && word(2) != 0)
    return malformed("protocol identifier " + std::to_string(word(2)) + ", not 0 (Modbus)");
  if (size < 6) return request;
  const std::size_t length = static_cast<std::size_t>(word(4));
  if (length < 2 || length > kMaxMbapLength)
    return malformed("MBAP length " + std::to_string(length) + " is outside 2.." +
                     std::to_string(kMaxMbapLength));
  // The requests the controller knows say their own length: the header's must agree with it.
  if (size >= 8) {
    const int function = stream[7];
    std::string needs;  // what the unit identifier and the PDU take
    if (function == modbus::kReadHolding || function == modbus::kReadInput ||
        function == modbus::kWriteSingle) {
      if (length != 6) needs = "6";
    } else if (function == modbus::kWriteMultiple && length < 7) {
      needs = "at least 7";
    } else if (function == modbus::kWriteMultiple && size >= 13 && length != 7u + stream[12]) {
      needs = std::to_string(7 + stream[12]) + " with its byte count " + std::to_string(stream[12]);
    }
    if (!needs.empty())
      return malformed("MBAP length " + std::to_string(length) + ", but this request of function " +
                       std::to_string(function) + " takes " + needs);
  }
  if (size < 6 + length) return request;

  request.kind = TcpRequest::kRequest;
  request.size = 6 + length;
  request.transaction = static_cast<std::uint16_t>(word(0));
  request.unit = stream[6];
  const bool anyUnit = request.unit == 0 || request.unit == 255;
  request.rtu.push_back(anyUnit ? 1 : request.unit);
  request.rtu.insert(request.rtu.end(), stream + 7, stream + 6 + length);
  modbus::appendCrc(request.rtu);
  return request;
}

modbus::Bytes tcpResponse(const TcpRequest& request, const modbus::Bytes& response) {
  if (response.size() < 4 || !modbus::crcValid(response)) return {};
  const std::size_t pdu = response.size() - 3;
  modbus::Bytes reply;
  modbus::putWord(reply, request.transaction);
  modbus::putWord(reply, 0);
  modbus::putWord(reply, static_cast<std::uint16_t>(pdu + 1));
  reply.push_back(request.unit);
  reply.insert(reply.end(), response.begin() + 1, response.end() - 2);
  return reply;
}

TcpServed serveTcp(modbus::Bytes& pending, const Controller& controller,
                   const Exchanged& exchanged) {
  TcpServed served;
  std::size_t at = 0;
  for (;;) {
    const TcpRequest request = takeTcpRequest(pending.data() + at, pending.size() - at);
    if (request.kind == TcpRequest::kIncomplete) break;
    if (request.kind == TcpRequest::kMalformed) {
      served.problem = request.problem;
      pending.clear();
      return served;
    }
    const modbus::Bytes reply = tcpResponse(request, controller(request.rtu));
    if (exchanged)
      exchanged(modbus::Bytes(pending.begin() + static_cast<long>(at),
                              pending.begin() + static_cast<long>(at + request.size)),
                reply);
    served.answer.insert(served.answer.end(), reply.begin(), reply.end());
    at += request.size;
  }
  pending.erase(pending.begin(), pending.begin() + static_cast<long>(at));
  return served;
}

}  // namespace modbusslave
