#include "BusHarness.h"

#include <utility>

#include "NumberText.h"
#include "Trace.h"

namespace testing_support {

namespace {

std::string shortForm(const bus::Call& call) {
  const bool board0 = call.board == 0 && call.address >= 0;
  const std::string at = call.address == 4 ? "" : "@" + std::to_string(call.address);
  if (board0 && call.routine == bus::Routine::Send && call.end == bus::EotMode::NLend)
    return ">" + (at.empty() ? "" : at + " ") + bus::escapeBytes(call.sent);
  if (board0 && call.routine == bus::Routine::Receive && call.termination == bus::STOPend &&
      call.count >= 0) {
    std::string to = at;
    if (call.count != 256) to += (to.empty() ? "" : " ") + std::to_string(call.count);
    return "<" + to;
  }
  return trace::callText(call);
}

}  // namespace

void Tap::add(std::string event) {
  events_.push_back(std::move(event));
  if (during) during(events_.back());
}

void Tap::driverCall(const bus::Call& call) { add(shortForm(call)); }
void Tap::pause(double seconds) { add("~" + bus::plainNumberText(seconds)); }
void Tap::beep() {
  ++beeps_;
  add("beep");
}
void Tap::window(const std::string& name, bool shown) { add((shown ? "show " : "hide ") + name); }

Lines Tap::takeLines() { return std::exchange(events_, {}); }

std::string Tap::take() {
  std::string all;
  for (const std::string& event : takeLines()) all += (all.empty() ? "" : " | ") + event;
  return all;
}

}  // namespace testing_support
