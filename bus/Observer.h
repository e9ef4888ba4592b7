#pragma once

#include <string>

#include "Driver.h"

namespace bus {

// Sees what the console does on the bus, for traces and tests. Every hook is optional.
class Observer {
 public:
  virtual ~Observer() = default;
  // A driver call as made, e.g. `Send(0, 4, "*IDN?", NLend)`, with the status it left; for a
  // Receive, `received` holds the bytes that arrived.
  virtual void driverCall(const std::string& call, const Status& after,
                          const std::string* received) {
    (void)call, (void)after, (void)received;
  }
  virtual void pause(double seconds) { (void)seconds; }
  virtual void beep() {}
  virtual void window(const std::string& name, bool shown) { (void)name, (void)shown; }
};

// The system beep, injectable so that tests count beeps instead of hearing them.
class Sound {
 public:
  virtual ~Sound() = default;
  virtual void beep() = 0;
};

class SilentSound final : public Sound {
 public:
  void beep() override {}
};

}  // namespace bus
