#pragma once

#include "Clock.h"
#include "ControllerLink.h"
#include "Converter.h"
#include "Message.h"
#include "WatlowF4.h"

namespace sim {

// The converter's parts the simulated bench and its tests name as the simulator's own.
using converter::Device;
using converter::parseNumber;
using converter::StatusModel;

namespace detail {
// Holds the link so that it exists before the converter that speaks through it.
struct LinkHolder {
  LinkHolder(bus::Clock& clock, WatlowF4& controller) : link(clock, controller) {}
  ControllerLink link;
};
}  // namespace detail

// The converter on the simulated bench: the converter model in front of the simulated Watlow F4,
// with the serial link's pace and the link's failures on command.
class Converter final : private detail::LinkHolder, public converter::Converter {
 public:
  static constexpr double kDefaultLatency = ControllerLink::kDefaultLatency;

  Converter(bus::Clock& clock, WatlowF4& controller)
      : LinkHolder(clock, controller), converter::Converter(clock, link) {}

  ControllerLink& controllerLink() { return link; }

  void setPaced(bool paced) { link.setPaced(paced); }
  bool paced() const { return link.paced(); }
  void setLatency(double seconds) { link.setLatency(seconds); }
  double latency() const { return link.latency(); }
  static double linkSeconds(int baud, std::size_t requestBytes,
                            std::optional<std::size_t> responseBytes, double latency) {
    return ControllerLink::linkSeconds(baud, requestBytes, responseBytes, latency);
  }
  void failNextTransactions(int count, int code) { link.failNextTransactions(count, code); }
  int pendingFailures() const { return link.pendingFailures(); }
  int pendingFailureCode() const { return link.pendingFailureCode(); }
};

}  // namespace sim
