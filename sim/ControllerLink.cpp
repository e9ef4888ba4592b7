#include "ControllerLink.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// RTU on the serial link: 11 bits a character, frames ended by 3.5 characters of silence.
constexpr double kBitsPerCharacter = 11.0;
constexpr double kFrameGap = 3.5;
constexpr double kLongestLatency = 10.0;
// The converter's error register codes the failures on command imitate.
constexpr int kCrcError = 100;
constexpr int kPartialBase = 200;

}  // namespace

ControllerLink::ControllerLink(bus::Clock& clock, WatlowF4& controller)
    : clock_(clock), controller_(controller) {}

void ControllerLink::setLatency(double seconds) {
  if (std::isfinite(seconds) && seconds >= 0 && seconds <= kLongestLatency) latency_ = seconds;
}

void ControllerLink::failNextTransactions(int count, int code) {
  failCount_ = count > 0 ? count : 0;
  failCode_ = code;
}

double ControllerLink::linkSeconds(int baud, std::size_t requestBytes,
                                   std::optional<std::size_t> responseBytes, double latency) {
  const double character = kBitsPerCharacter / std::max(baud, 1);
  const double request = (static_cast<double>(requestBytes) + kFrameGap) * character;
  if (!responseBytes) return request + kResponseTimeout;
  return request + latency + (static_cast<double>(*responseBytes) + kFrameGap) * character;
}

modbus::Reply ControllerLink::transact(const modbus::Bytes& request) {
  const double now = clock_.now();
  modbus::Reply reply;
  // Whether the converter waits for an answer that does not come (its response time-out).
  bool waits = false;
  if (failCount_ > 0) {
    --failCount_;
    const int code = failCode_;
    if (code == kCrcError || (code > kPartialBase && code < kPartialBase + 100)) {
      // The controller acts on the request; its answer is damaged on the way back.
      reply.response = controller_.handle(request);
      if (code == kCrcError && !reply.response.empty()) reply.response.back() ^= 0xFF;
      if (code > kPartialBase) {
        const std::size_t keep = static_cast<std::size_t>(code - kPartialBase);
        if (reply.response.size() > keep) reply.response.resize(keep);
      }
    } else if (code >= 1 && code < kCrcError) {
      // An exception answer the controller did not give.
      reply.response =
          modbus::exceptionResponse(request[0], request[1], static_cast<std::uint8_t>(code));
    }
    reply.code = code;
  } else {
    // Heard only at the controller's own baud rate.
    if (baud_ == controller_.baud()) reply.response = controller_.handle(request);
    waits = reply.response.empty() && !modbus::broadcastWrite(request);
  }
  // Transactions follow each other on the link; the reply is complete when the last is done.
  // A failure put on the bench by hand takes only its bytes' time.
  const std::optional<std::size_t> answered =
      waits ? std::nullopt : std::optional<std::size_t>(reply.response.size());
  if (paced_)
    readyAt_ = std::max(readyAt_, now) +
               linkSeconds(baud_, request.size(), answered, answered == 0 ? 0.0 : latency_);
  return reply;
}

}  // namespace sim
