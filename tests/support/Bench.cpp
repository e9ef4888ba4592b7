#include "Bench.h"

#include <regex>
#include <utility>

#include "NumberText.h"

namespace testing_support {

namespace {

std::string shortForm(const std::string& call) {
  static const std::regex send(R"re(Send\(0, (\d+), "(.*)", NLend\))re");
  static const std::regex receive(R"re(Receive\(0, (\d+), (\d+), STOPend\))re");
  std::smatch m;
  if (std::regex_match(call, m, send))
    return ">" + (m[1] == "4" ? "" : "@" + m[1].str() + " ") + m[2].str();
  if (std::regex_match(call, m, receive)) {
    std::string to = m[1] == "4" ? "" : "@" + m[1].str();
    if (m[2] != "256") to += (to.empty() ? "" : " ") + m[2].str();
    return "<" + to;
  }
  return call;
}

}  // namespace

void Tap::add(std::string event) {
  events_.push_back(std::move(event));
  if (during) during(events_.back());
}

void Tap::driverCall(const std::string& call, const bus::Status&, const std::string*) {
  add(shortForm(call));
}
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
