#pragma once

namespace bus {

// Monotonic time in seconds. The console's pauses and the simulated devices' time
// both come from here, so tests run on a virtual clock and never sleep.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;
  // Lets `seconds` pass. A real clock sleeps (no spinning); a virtual one just advances.
  virtual void sleepFor(double seconds) = 0;
};

// The machine's steady clock.
class SteadyClock final : public Clock {
 public:
  SteadyClock();
  double now() const override;
  void sleepFor(double seconds) override;

 private:
  double origin_;
};

// Time that passes only when asked to.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(double start = 0.0) : now_(start) {}
  double now() const override { return now_; }
  void sleepFor(double seconds) override {
    if (seconds > 0) now_ += seconds;
  }

 private:
  double now_;
};

}  // namespace bus
