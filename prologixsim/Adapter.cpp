#include "Adapter.h"

#include <charconv>

namespace prologixsim {

namespace {

constexpr char kEscape = 27;
constexpr int kLastAddress = 30;
constexpr long kReadChunk = 4096;
// A line longer than this is cut there (the rest until its end is dropped): a client that
// never ends its line cannot make the endpoint grow without bound.
constexpr size_t kLongestLine = 65536;

// The first word of a command line and the rest, blanks cut.
std::pair<std::string, std::string> split(const std::string& line) {
  const size_t end = line.find(' ');
  std::string rest = end == std::string::npos ? "" : line.substr(end + 1);
  while (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
  while (!rest.empty() && rest.back() == ' ') rest.pop_back();
  return {line.substr(0, end), rest};
}

bool number(const std::string& text, int low, int high, int& value) {
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
    return false;
  value = parsed;
  return true;
}

std::string answer(long value) { return std::to_string(value) + "\r\n"; }

}  // namespace

Adapter::Adapter(sim::SimulatedBus& bench, bool ar488, bool endMark)
    : bench_(bench), ar488_(ar488), endMark_(endMark) {}

std::string Adapter::version() const {
  return ar488_ ? "gpib-prologix-sim 1.0.0, simulated bench, AR488 commands"
                : "gpib-prologix-sim 1.0.0, simulated bench, Prologix commands";
}

std::string Adapter::feed(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    if (escape_) {
      if (line_.size() < kLongestLine) line_.push_back({c, true});
      escape_ = false;
    } else if (c == kEscape) {
      escape_ = true;
    } else if (c == '\r' || c == '\n') {
      out += lineEnded();
    } else if (line_.size() < kLongestLine) {
      line_.push_back({c, false});
    }
  }
  return out;
}

std::string Adapter::lineEnded() {
  std::vector<Byte> line;
  line.swap(line_);
  if (line.empty()) return {};  // the LF of a CR LF, or a blank line
  std::string text;
  for (const Byte& b : line) text += b.value;
  if (line.size() >= 2 && text.compare(0, 2, "++") == 0 && !line[0].escaped && !line[1].escaped)
    return command(text.substr(2));
  return toDevice(std::move(text));
}

std::string Adapter::toDevice(std::string data) {
  static const char* const terminators[] = {"\r\n", "\r", "\n", ""};
  data += terminators[eos_];
  if (passedOn) passedOn(address_, data);
  bench_.Send(0, static_cast<bus::Addr4882>(address_), data.data(), static_cast<long>(data.size()),
              eoi_ ? bus::EotMode::DABend : bus::EotMode::NULLend);
  return autoRead_ ? read("eoi") : std::string();
}

std::string Adapter::command(const std::string& line) {
  const auto [name, argument] = split(line);
  // Settings: without an argument the adapter says the value, with one it takes it.
  struct Setting {
    const char* name;
    int* value;
    int low, high;
  };
  const Setting settings[] = {{"addr", &address_, 0, kLastAddress},
                              {"auto", &autoRead_, 0, 1},
                              {"eoi", &eoi_, 0, 1},
                              {"eos", &eos_, 0, 3},
                              {"eot_enable", &eotEnable_, 0, 1},
                              {"eot_char", &eotChar_, 0, 255},
                              {"read_tmo_ms", &readTimeoutMs_, 1, 3000}};
  for (const Setting& s : settings) {
    if (name != s.name || (!endMark_ && s.value == &eotEnable_) ||
        (!endMark_ && s.value == &eotChar_))
      continue;
    if (argument.empty()) return answer(*s.value);
    // A value out of range leaves the setting as it was.
    number(argument.substr(0, argument.find(' ')), s.low, s.high, *s.value);
    return {};
  }
  if (name == "ver") return version() + "\r\n";
  if (name == "mode") return argument.empty() ? answer(1) : std::string();
  if (name == "read") return read(argument);
  if (name == "spoll") return serialPoll(argument);
  if (name == "ifc") bench_.SendIFC(0);
  if (name == "clr") bench_.DevClear(0, static_cast<bus::Addr4882>(address_));
  if (name == "ifc" || name == "clr" || name == "loc" || name == "rst") return {};
  if (ar488_ && name == "ren") {
    int on = 0;
    if (!number(argument, 0, 1, on)) return answer(bench_.remoteEnable() ? 1 : 0);
    bench_.ibsre(0, on);
    return {};
  }
  if (ar488_ && name == "findlstn") return findListeners();
  return ar488_ ? "Unrecognized command\r\n" : std::string();
}

void Adapter::useReadTimeout() {
  int code = 1;
  while (code < bus::kLongestTimeoutCode &&
         bus::timeoutSeconds(code + 1) * 1000.0 <= readTimeoutMs_)
    ++code;
  bench_.ibtmo(0, code);
}

std::string Adapter::read(const std::string& argument) {
  useReadTimeout();
  int stopByte = -1;
  if (argument != "eoi" && !argument.empty() && !number(argument, 0, 255, stopByte)) return {};
  std::string buffer(static_cast<size_t>(kReadChunk), '\0');
  bench_.Receive(0, static_cast<bus::Addr4882>(address_), buffer.data(), kReadChunk,
                 stopByte >= 0 ? stopByte : bus::STOPend);
  const bus::Status s = bench_.status();
  buffer.resize(static_cast<size_t>(std::max(0L, s.ibcntl)));
  if (eotEnable_ && (s.ibsta & bus::END)) buffer += static_cast<char>(eotChar_);
  return buffer;
}

std::string Adapter::serialPoll(const std::string& argument) {
  int pad = address_;
  if (!argument.empty() && !number(argument.substr(0, argument.find(' ')), 0, kLastAddress, pad))
    return {};
  useReadTimeout();
  std::int16_t byte = 0;
  bench_.ReadStatusByte(0, static_cast<bus::Addr4882>(pad), &byte);
  return (bench_.status().ibsta & bus::ERR) ? std::string() : answer(byte & 0xFF);
}

std::string Adapter::findListeners() {
  std::vector<bus::Addr4882> pads, found(kLastAddress + 1, 0);
  for (int pad = 1; pad <= kLastAddress; ++pad) pads.push_back(static_cast<bus::Addr4882>(pad));
  pads.push_back(bus::NOADDR);
  bench_.FindLstn(0, pads.data(), found.data(), kLastAddress);
  std::string listing;
  for (int i = 0; i < bench_.status().ibcntl; ++i)
    listing += (listing.empty() ? "" : " ") + std::to_string(found[static_cast<size_t>(i)]);
  return listing + "\r\n";
}

}  // namespace prologixsim
