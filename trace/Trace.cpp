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

const char* eotName(bus::EotMode mode) {
  static const char* const names[] = {"NULLend", "NLend", "DABend"};  // in EotMode's order
  return names[static_cast<int>(mode)];
}

std::string quoted(const std::string& bytes) { return '"' + bus::escapeBytes(bytes) + '"'; }

}  // namespace

std::string callText(const bus::Call& c) {
  const std::string board = std::to_string(c.board);
  const std::string device = board + ", " + std::to_string(c.address);
  std::string args;
  switch (c.routine) {
    case bus::Routine::ibonl:
    case bus::Routine::ibsre:
    case bus::Routine::ibtmo:
    case bus::Routine::FindLstn:
      args = board + ", " + std::to_string(c.value);
      break;
    case bus::Routine::SendIFC:
      args = board;
      break;
    case bus::Routine::DevClear:
    case bus::Routine::ReadStatusByte:
      args = device;
      break;
    case bus::Routine::Send:
      args = device + ", " + quoted(c.sent) + ", " + eotName(c.end);
      break;
    case bus::Routine::Receive:
      args = device + ", " + std::to_string(c.count) + ", " +
             (c.termination == bus::STOPend ? "STOPend" : std::to_string(c.termination));
      break;
  }
  return std::string(bus::routineName(c.routine)) + "(" + args + ")";
}

namespace {

std::string callLine(const bus::Call& c) {
  char status[8];
  std::snprintf(status, sizeof status, "%04X", c.after.ibsta & 0xFFFF);
  std::string text = "call " + callText(c) + " ibsta=0x" + status + " " +
                     Trace::statusNames(c.after.ibsta) + " iberr=" + std::to_string(c.after.iberr);
  // The error code means something only when the call failed.
  if (c.failed())
    if (const std::string code = bus::errorCodeName(c.after.iberr); !code.empty())
      text += " " + code;
  return text + " ibcntl=" + std::to_string(c.after.ibcntl);
}

}  // namespace

Layer Event::layer() const {
  switch (kind) {
    case Kind::Call:
    case Kind::Adapter:
      return Layer::GpibCall;
    case Kind::Sent:
    case Kind::Received:
      return Layer::GpibData;
    case Kind::Request:
    case Kind::Response:
      return Layer::Modbus;
    case Kind::Sim:
      return Layer::Sim;
    default:
      return Layer::Console;
  }
}

bool Event::error() const {
  return (kind == Kind::Call && call.failed()) || (kind == Kind::Response && errorCode != 0);
}

std::string eventText(const Event& e) {
  switch (e.kind) {
    case Kind::Call:
      return callLine(e.call);
    case Kind::Sent:
      return "send " + quoted(e.text);
    case Kind::Received:
      return "recv " + quoted(e.text);
    case Kind::Adapter:
      return "adapter " + bus::printableText(e.text, kQuotedStep);
    case Kind::Request:
      return "rtu request " + Trace::hexBytes(e.frame);
    case Kind::Response:
      return "rtu response " + (e.frame.empty() ? std::string("none") : Trace::hexBytes(e.frame)) +
             (e.errorCode ? " error=" + std::to_string(e.errorCode) : "");
    case Kind::Pause:
      return "pause " + bus::plainNumberText(e.seconds);
    case Kind::Beep:
      return "beep";
    case Kind::Show:
      return "show " + e.text;
    case Kind::Hide:
      return "hide " + e.text;
    case Kind::Step:
      return "step " + std::to_string(e.line) + " " + bus::printableText(e.text, kQuotedStep);
    case Kind::Sim:
      return bus::printableText(e.text, kQuotedStep);
  }
  return {};
}

const char* const kTraceHeader = "# gpib-modbus-console bus trace: milliseconds since start, event";

std::string traceLine(const Event& event) {
  return std::to_string(event.ms) + ' ' + eventText(event);
}

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

long long Trace::elapsedMs() const { return std::llround((clock_.now() - origin_) * 1000.0); }

void Trace::write(Event event) {
  event.ms = elapsedMs();
  for (const Sink& sink : sinks_) sink(event);
}

void Trace::driverCall(const bus::Call& call) {
  if (sinks_.empty()) return;
  write({.kind = Kind::Call, .call = call});
  if (call.routine == bus::Routine::Send) write({.kind = Kind::Sent, .text = call.sent});
  if (!call.received.empty()) write({.kind = Kind::Received, .text = call.received});
}

void Trace::pause(double seconds) { write({.kind = Kind::Pause, .seconds = seconds}); }

void Trace::beep() { write({.kind = Kind::Beep}); }

void Trace::window(const std::string& name, bool shown) {
  write({.kind = shown ? Kind::Show : Kind::Hide, .text = name});
}

void Trace::frame(const std::vector<std::uint8_t>& request,
                  const std::vector<std::uint8_t>& response, int errorCode) {
  if (sinks_.empty()) return;
  // Both frames carry the time the request left.
  const long long ms = elapsedMs();
  const Event asked{.ms = ms, .kind = Kind::Request, .frame = request};
  const Event answered{.ms = ms,
                       .kind = Kind::Response,
                       .frame = response,
                       .request = request,
                       .errorCode = errorCode};
  for (const Sink& sink : sinks_) sink(asked);
  for (const Sink& sink : sinks_) sink(answered);
}

void Trace::step(int line, const std::string& source) {
  write({.kind = Kind::Step, .text = source, .line = line});
}

void Trace::adapter(const std::string& note) { write({.kind = Kind::Adapter, .text = note}); }

void Trace::sim(const std::string& step) {
  // Given with or without its "sim " (the panel says the whole step).
  write({.kind = Kind::Sim, .text = step.starts_with("sim ") ? step : "sim " + step});
}

}  // namespace trace
