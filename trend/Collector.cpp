#include "Collector.h"

#include <cctype>
#include <charconv>
#include <utility>

#include "NumberText.h"
#include "Registers.h"
#include "StatusReport.h"

namespace trend {

namespace {

// A register line "R  100, 1" or "W  300, 90": its letter, register and first value. Only a
// line with one command in it; anything else is not ours to read.
struct RegisterLine {
  char letter = 0;
  double reg = 0;
  double value = 0;
};

std::optional<RegisterLine> registerLine(const std::string& line) {
  if (line.size() < 2 || line.find(';') != std::string::npos) return std::nullopt;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
  if ((letter != 'R' && letter != 'W') || line[1] != ' ') return std::nullopt;
  const std::size_t comma = line.find(',');
  if (comma == std::string::npos) return std::nullopt;
  return RegisterLine{letter, bus::numericValue(line.substr(1, comma - 1)),
                      bus::numericValue(line.substr(comma + 1))};
}

}  // namespace

Collector::Collector(const bus::Clock& clock) : clock_(clock), origin_(clock.now()) {}

void Collector::driverCall(const bus::Call& call) {
  if (call.routine == bus::Routine::Send) {
    sent(call.address, call.sent, !call.failed());
  } else if (call.routine == bus::Routine::Receive && pending_ != Pending::None) {
    replied(call.address, call.failed() ? std::string() : call.received);
  }
  if (call.failed()) {
    // "Receive EABO": the call and the short name of its error (the number when it has none).
    const std::string code = bus::errorCodeName(call.after.iberr);
    publish(Record::What::Event, EventKind::BusError,
            std::string(bus::routineName(call.routine)) + " " +
                (code.empty() ? "error " + std::to_string(call.after.iberr) : code));
  }
}

void Collector::sent(int address, const std::string& line, bool delivered) {
  pending_ = Pending::None;
  const std::string command = bus::upperCase(line);
  if (command.starts_with("FORM:TALK ")) hex_ = command.find("HEX") != std::string::npos;
  if (command == "*RST") hex_ = false;
  if (command == "E?") {
    pending_ = Pending::ErrorRegister;
    pendingAddress_ = address;
    return;
  }
  const auto r = registerLine(line);
  if (!r) return;
  const int reg = static_cast<int>(r->reg);
  if (r->letter == 'R') {
    pending_ = reg == f4::Temperature ? Pending::Temperature
               : reg == f4::SetPoint  ? Pending::SetPoint
               : reg == f4::LowLimit  ? Pending::LowLimit
               : reg == f4::Unit      ? Pending::Unit
                                      : Pending::None;
    pendingAddress_ = address;
    return;
  }
  // A query that did not go out still ends in a read, which fails: a gap. A write that did not
  // go out changed nothing.
  if (!delivered) return;
  switch (reg) {
    case f4::SetPoint:
      if (lowLimit_ && r->value <= *lowLimit_) {
        newest_.setPoint.reset();
        newest_.setPointOff = true;
        publish(Record::What::Event, EventKind::SetPointOff, "set point off");
      } else {
        newest_.setPoint = r->value;
        newest_.setPointOff = false;
        publish(Record::What::Event, EventKind::SetPointWritten,
                "set point " + bus::plainNumberText(r->value));
      }
      break;
    case f4::Unit:
      newest_.unit = r->value == 0 ? 'F' : 'C';
      publish(Record::What::Event, EventKind::UnitChanged, std::string("unit ") + newest_.unit);
      break;
    case f4::ProfileNumber:
      profile_ = r->value;
      break;
    case f4::ProfileAction:
      if (r->value == static_cast<int>(f4::ProfileActions::Run)) {
        // A number the controller could hold names the profile; anything else is not known.
        const int number = profile_ && *profile_ >= 1 && *profile_ <= f4::MaxProfiles &&
                                   *profile_ == static_cast<int>(*profile_)
                               ? static_cast<int>(*profile_)
                               : 0;
        publish(
            Record::What::Event, EventKind::ProfileRun,
            "profile " + (profile_ ? bus::plainNumberText(*profile_) : std::string("?")) + " run",
            number);
      }
      break;
    case f4::ProfileStop:
      if (r->value == 1) publish(Record::What::Event, EventKind::ProfileStop, "profile stop");
      break;
    default:
      break;
  }
}

void Collector::replied(int address, const std::string& bytes) {
  const Pending pending = std::exchange(pending_, Pending::None);
  if (address != pendingAddress_) return;
  const std::optional<double> v = value(bytes);
  switch (pending) {
    case Pending::Temperature:
      newest_.temperature = v;
      newest_.temperatureKnown = true;
      publish(Record::What::Temperature);
      break;
    case Pending::SetPoint:
      if (!v) break;
      newest_.setPointOff = lowLimit_ && *v <= *lowLimit_;
      newest_.setPoint = newest_.setPointOff ? std::nullopt : v;
      publish(Record::What::SetPoint);
      break;
    case Pending::LowLimit:
      if (v) lowLimit_ = v;
      break;
    case Pending::Unit:
      if (v) newest_.unit = *v == 0 ? 'F' : 'C';
      break;
    case Pending::ErrorRegister: {
      // The error register is a plain number in either reply format.
      const std::string code = bus::cutAtLineFeed(bytes);
      const double error = bus::numericValue(code);
      if (error != 0)
        publish(Record::What::Event, EventKind::BusError,
                "Modbus error " + bus::plainNumberText(error));
      break;
    }
    case Pending::None:
      break;
  }
}

// The first value of a register reply ("75\n", "-40,5270", "FFD8" in the hexadecimal format);
// nothing when the reply is empty or not a register value.
std::optional<double> Collector::value(const std::string& reply) const {
  std::string text = bus::cutAtLineFeed(reply);
  text = text.substr(0, text.find(','));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(0, 1);
  if (text.empty()) return std::nullopt;
  long number = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, number, hex_ ? 16 : 10);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  if (hex_) {
    if (text.size() > 4 || number < 0) return std::nullopt;
    number = static_cast<std::int16_t>(static_cast<std::uint16_t>(number));
  } else if (number < -32768 || number > 65535) {
    return std::nullopt;
  }
  return static_cast<double>(number);
}

void Collector::publish(Record::What what, std::optional<EventKind> event, std::string text,
                        int profile) {
  Record record = newest_;
  record.profile = profile;
  record.what = what;
  record.elapsed = clock_.now() - origin_;
  record.event = event;
  record.eventText = std::move(text);
  for (const Listener& listener : listeners_) listener(record);
}

}  // namespace trend
