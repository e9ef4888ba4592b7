#pragma once

#include <string>

#include "Call.h"

namespace bus {

// Sees what the console does on the bus, for traces, the trend, the monitor and tests. Every
// hook is optional; each hands over what happened as values, never as text to read back.
class Observer {
 public:
  virtual ~Observer() = default;
  // A driver call as made, with the status it left and, for a Receive, the bytes that arrived.
  virtual void driverCall(const Call& call) { (void)call; }
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
