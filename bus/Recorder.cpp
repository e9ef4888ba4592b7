#include "Recorder.h"

#include <utility>

#include "NumberText.h"

namespace bus {

void Recorder::driverCall(const std::string& call, const Status&, const std::string*) {
  events_.push_back(call);
}

void Recorder::pause(double seconds) { events_.push_back("pause " + plainNumberText(seconds)); }

void Recorder::beep() {
  events_.push_back("beep");
  ++beeps_;
}

void Recorder::window(const std::string& name, bool shown) {
  events_.push_back((shown ? "show " : "hide ") + name);
}

std::vector<std::string> Recorder::take() { return std::exchange(events_, {}); }

void Recorder::clear() {
  events_.clear();
  beeps_ = 0;
}

}  // namespace bus
