#pragma once

#include <cstddef>
#include <optional>

#include "Clock.h"
#include "ModbusLink.h"
#include "WatlowF4.h"

namespace sim {

// The converter's serial link to the simulated Watlow F4: every request is handed to the
// controller, which answers at once; the link keeps the time the bytes would take on the line
// (readyAt), and carries the failures put on the bench by hand.
class ControllerLink final : public modbus::Link {
 public:
  // Seconds the controller takes to begin its answer once a request has arrived.
  static constexpr double kDefaultLatency = 0.005;
  // Seconds the converter waits for an answer that does not come.
  static constexpr double kResponseTimeout = 0.5;

  ControllerLink(bus::Clock& clock, WatlowF4& controller);

  modbus::Reply transact(const modbus::Bytes& request) override;
  void setSerial(const modbus::SerialSettings& settings) override { baud_ = settings.baud; }
  double readyAt() const override { return readyAt_; }
  void restart() override { readyAt_ = 0; }
  std::string describe() const override { return "the simulated Watlow F4"; }

  // Whether transactions take their time on the link (the default) or none at all.
  void setPaced(bool paced) { paced_ = paced; }
  bool paced() const { return paced_; }
  // The controller's response latency, seconds (0 to 10; other values are ignored).
  void setLatency(double seconds);
  double latency() const { return latency_; }
  // Seconds one transaction holds the serial link at `baud`: the request's bytes and the
  // silence of 3.5 characters after it, then the latency, the response's bytes and its silence,
  // or the response time-out when no answer comes (`responseBytes` none). RTU characters are 11
  // bits: start, 8 data, parity (or a second stop bit), stop.
  static double linkSeconds(int baud, std::size_t requestBytes,
                            std::optional<std::size_t> responseBytes, double latency);

  // The next `count` transactions fail with `code` (what E? then answers): 100 and 201-299 let
  // the controller act and damage its answer, 1-99 answer that exception without it, any other
  // code loses the request.
  void failNextTransactions(int count, int code);
  int pendingFailures() const { return failCount_; }
  int pendingFailureCode() const { return failCode_; }

 private:
  bus::Clock& clock_;
  WatlowF4& controller_;
  int baud_ = 9600;
  // The line is busy with the transactions asked for so far until then.
  double readyAt_ = 0;
  double latency_ = kDefaultLatency;
  bool paced_ = true;
  int failCount_ = 0;
  int failCode_ = 0;
};

}  // namespace sim
