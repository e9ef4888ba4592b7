#include "Trace.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "NumberText.h"
#include "QuotedText.h"
#include "StatusReport.h"

namespace script {

namespace {
// A step's source line in the trace: escaped like every other text there, and cut when a line
// runs on past any sensible step.
constexpr std::size_t kQuotedStep = 1000;
}  // namespace

Trace::Trace(std::ostream& out, const bus::Clock& clock)
    : out_(out), clock_(clock), origin_(clock.now()) {
  out_ << "# gpib-modbus-console bus trace: milliseconds since start, event\n" << std::flush;
}

std::string Trace::statusNames(int ibsta) {
  static const std::pair<int, const char*> bits[] = {
      {bus::ERR, "ERR"},   {bus::TIMO, "TIMO"},   {bus::END, "END"},     {bus::SRQI, "SRQI"},
      {bus::RQS, "RQS"},   {bus::SPOLL, "SPOLL"}, {bus::EVENT, "EVENT"}, {bus::CMPL, "CMPL"},
      {bus::LOK, "LOK"},   {bus::REM, "REM"},     {bus::CIC, "CIC"},     {bus::ATN, "ATN"},
      {bus::TACS, "TACS"}, {bus::LACS, "LACS"},   {bus::DTAS, "DTAS"},   {bus::DCAS, "DCAS"},
  };
  std::string names;
  for (const auto& [bit, name] : bits)
    if (ibsta & bit) names += (names.empty() ? "" : "|") + std::string(name);
  return names.empty() ? "none" : names;
}

std::string Trace::hexBytes(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char pair[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    text += (text.empty() ? "" : " ") + std::string(pair);
  }
  return text;
}

void Trace::write(const std::string& event) {
  const long long ms = std::llround((clock_.now() - origin_) * 1000.0);
  out_ << ms << ' ' << event << '\n' << std::flush;
}

void Trace::driverCall(const std::string& call, const bus::Status& after,
                       const std::string* received) {
  char status[8];
  std::snprintf(status, sizeof status, "%04X", after.ibsta & 0xFFFF);
  std::string event = "call " + call + " ibsta=0x" + status + " " + statusNames(after.ibsta) +
                      " iberr=" + std::to_string(after.iberr);
  // The error code means something only when the call failed.
  if (after.ibsta & bus::ERR) {
    const std::string name = bus::errorName(after.iberr);  // " ENOL <No Listener>"
    if (!name.empty()) event += " " + name.substr(1, name.find(' ', 1) - 1);
  }
  event += " ibcntl=" + std::to_string(after.ibcntl);
  write(event);
  if (const auto line = bus::sentLine(call)) write("send \"" + bus::escapeBytes(*line) + "\"");
  if (received && !received->empty()) write("recv \"" + bus::escapeBytes(*received) + "\"");
}

void Trace::pause(double seconds) { write("pause " + bus::plainNumberText(seconds)); }

void Trace::beep() { write("beep"); }

void Trace::window(const std::string& name, bool shown) {
  write((shown ? "show " : "hide ") + name);
}

void Trace::frame(const std::vector<std::uint8_t>& request,
                  const std::vector<std::uint8_t>& response, int errorCode) {
  const std::string error = errorCode ? " error=" + std::to_string(errorCode) : "";
  write("rtu request " + hexBytes(request));
  write("rtu response " + (response.empty() ? std::string("none") : hexBytes(response)) + error);
}

void Trace::step(int line, const std::string& source) {
  write("step " + std::to_string(line) + " " + bus::printableText(source, kQuotedStep));
}

void Trace::sim(const std::string& step) {
  const std::string event = step.rfind("sim ", 0) == 0 ? step : "sim " + step;
  write(bus::printableText(event, kQuotedStep));
}

}  // namespace script
