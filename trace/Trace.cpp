#include "Trace.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "NumberText.h"
#include "QuotedText.h"
#include "StatusReport.h"

namespace trace {

namespace {
// A step's source line in the trace: escaped like every other text there, and cut when a line
// runs on past any sensible step.
constexpr std::size_t kQuotedStep = 1000;
}  // namespace

const char* const kTraceHeader = "# gpib-modbus-console bus trace: milliseconds since start, event";

std::string traceLine(const Event& event) { return std::to_string(event.ms) + ' ' + event.text; }

TraceFile::TraceFile(std::ostream& out) : out_(out) { out_ << kTraceHeader << '\n' << std::flush; }

void TraceFile::operator()(const Event& event) { out_ << traceLine(event) << '\n' << std::flush; }

Trace::Trace(const bus::Clock& clock) : clock_(clock), origin_(clock.now()) {}

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

void Trace::write(Layer layer, std::string text, bool error) {
  Event event;
  event.ms = std::llround((clock_.now() - origin_) * 1000.0);
  event.layer = layer;
  event.text = std::move(text);
  event.error = error;
  for (const Sink& sink : sinks_) sink(event);
}

void Trace::driverCall(const std::string& call, const bus::Status& after,
                       const std::string* received) {
  char status[8];
  std::snprintf(status, sizeof status, "%04X", after.ibsta & 0xFFFF);
  std::string event = "call " + call + " ibsta=0x" + status + " " + statusNames(after.ibsta) +
                      " iberr=" + std::to_string(after.iberr);
  // The error code means something only when the call failed.
  const bool failed = (after.ibsta & bus::ERR) != 0;
  if (failed) {
    const std::string name = bus::errorName(after.iberr);  // " ENOL <No Listener>"
    if (!name.empty()) event += " " + name.substr(1, name.find(' ', 1) - 1);
  }
  event += " ibcntl=" + std::to_string(after.ibcntl);
  write(Layer::GpibCall, std::move(event), failed);
  if (const auto line = bus::sentLine(call))
    write(Layer::GpibData, "send \"" + bus::escapeBytes(*line) + "\"");
  if (received && !received->empty())
    write(Layer::GpibData, "recv \"" + bus::escapeBytes(*received) + "\"");
}

void Trace::pause(double seconds) {
  write(Layer::Console, "pause " + bus::plainNumberText(seconds));
}

void Trace::beep() { write(Layer::Console, "beep"); }

void Trace::window(const std::string& name, bool shown) {
  write(Layer::Console, (shown ? "show " : "hide ") + name);
}

void Trace::frame(const std::vector<std::uint8_t>& request,
                  const std::vector<std::uint8_t>& response, int errorCode) {
  if (sinks_.empty()) return;
  const long long ms = std::llround((clock_.now() - origin_) * 1000.0);
  Event asked{ms, Layer::Modbus, "rtu request " + hexBytes(request), false, request, {}, 0};
  const std::string error = errorCode ? " error=" + std::to_string(errorCode) : "";
  const std::string answer = response.empty() ? std::string("none") : hexBytes(response);
  Event answered{ms,      Layer::Modbus, "rtu response " + answer + error, errorCode != 0, response,
                 request, errorCode};
  for (const Sink& sink : sinks_) sink(asked);
  for (const Sink& sink : sinks_) sink(answered);
}

void Trace::step(int line, const std::string& source) {
  write(Layer::Console,
        "step " + std::to_string(line) + " " + bus::printableText(source, kQuotedStep));
}

void Trace::adapter(const std::string& note) {
  write(Layer::GpibCall, "adapter " + bus::printableText(note, kQuotedStep));
}

void Trace::sim(const std::string& step) {
  // Given with or without its "sim " (the panel says the whole step).
  const std::string event = step.rfind("sim ", 0) == 0 ? step : "sim " + step;
  write(Layer::Sim, bus::printableText(event, kQuotedStep));
}

}  // namespace trace
