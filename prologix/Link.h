#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "LinkTarget.h"

namespace prologix {

using Deadline = std::chrono::steady_clock::time_point;

// What is left until the deadline, in whole milliseconds, 0 when it has passed.
inline int millisecondsUntil(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), 1 << 30));
}

// A byte stream to an adapter: a serial port or a TCP connection. Every wait ends at the
// deadline it is given; nothing here blocks beyond it. A link that fails (cannot be opened,
// closed by the other end, cable pulled) says why in problem() and stays closed until opened
// again.
class Link {
 public:
  virtual ~Link() = default;

  virtual bool open(Deadline deadline) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // All of `bytes`, or false when the link failed or could not take them in time.
  virtual bool write(const std::string& bytes, Deadline deadline) = 0;
  // Appends what has arrived to `into`, waiting until something has or the deadline passes.
  // False only when the link failed; no bytes by the deadline is not a failure.
  virtual bool read(std::string& into, Deadline deadline) = 0;
  // Drops whatever arrived and was not read: the late end of an abandoned answer.
  virtual void discardInput() = 0;

  // "serial /dev/ttyUSB0 at 115200 baud", "TCP lab-gpib:1234".
  virtual std::string describe() const = 0;
  const std::string& problem() const { return problem_; }

 protected:
  // Notes why the link failed and closes it; false, for the caller to hand on.
  bool fail(const std::string& why) {
    problem_ = describe() + ": " + why;
    close();
    return false;
  }
  std::string problem_;
};

// `--prologix` names a serial device by its path (starting with /), anything else is a TCP
// host with an optional port.
constexpr int kDefaultBaud = 115200;
constexpr int kDefaultPort = 1234;
std::unique_ptr<Link> serialLink(const std::string& device, int baud = kDefaultBaud);
std::unique_ptr<Link> tcpLink(const std::string& host, int port = kDefaultPort);

// What `--prologix TARGET` names: a serial device, or HOST[:PORT]. Empty `problem` when usable.
using Target = bus::LinkTarget;
inline Target parseTarget(const std::string& text) {
  return bus::parseLinkTarget(text, "--prologix", kDefaultPort);
}
std::unique_ptr<Link> linkFor(const Target& target, int baud = kDefaultBaud);

}  // namespace prologix
