#include "Clock.h"

#include <chrono>
#include <thread>

namespace bus {

namespace {
double steadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

SteadyClock::SteadyClock() : origin_(steadySeconds()) {}

double SteadyClock::now() const { return steadySeconds() - origin_; }

void SteadyClock::sleepFor(double seconds) {
  if (seconds <= 0) return;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

}  // namespace bus
