#include "Protocol.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "NumberText.h"

namespace prologix {

namespace {

std::string withNumber(const char* command, long number) {
  return std::string(command) + " " + std::to_string(number);
}

// A whole decimal number of at most three digits, or nothing.
std::optional<int> smallNumber(std::string_view text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string escapeData(std::string_view data) {
  std::string out;
  out.reserve(data.size() + 8);
  for (char c : data) {
    if (c == '\r' || c == '\n' || c == kEscape || c == '+') out += kEscape;
    out += c;
  }
  return out;
}

std::vector<std::string> setupLines(int readTimeoutMs) {
  return {"++mode 1",
          "++auto 0",
          "++eoi 1",
          "++eos 3",
          withNumber("++read_tmo_ms", readTimeoutMs),
          withNumber("++eot_char", kEndMark),
          "++eot_enable 1",
          "++eot_enable",
          "++ver"};
}

bool replyComplete(std::string_view received, size_t room, bool endMark) {
  if (endMark) return (!received.empty() && received.back() == kEndMark) || received.size() > room;
  return received.find('\n') != std::string_view::npos || received.size() >= room;
}

ReplyPiece takeReply(std::string& received, size_t room, bool endMark) {
  ReplyPiece piece;
  size_t taken = std::min(room, received.size());
  size_t dropped = 0;
  if (endMark) {
    const size_t mark = received.size() - 1;
    if (!received.empty() && received.back() == kEndMark && mark <= room) {
      taken = mark;
      dropped = 1;
      piece.ended = true;
    }
  } else if (const size_t lineEnd = received.find('\n'); lineEnd < room) {
    taken = lineEnd + 1;
    piece.ended = true;
  }
  piece.bytes = received.substr(0, taken);
  received.erase(0, taken + dropped);
  return piece;
}

int readTimeoutMs(int timeoutCode) {
  const double seconds = bus::timeoutSeconds(timeoutCode);
  if (seconds <= 0) return kLongestReadTimeoutMs;
  const long ms = std::lround(seconds * 1000.0);
  return static_cast<int>(std::clamp<long>(ms, kShortestReadTimeoutMs, kLongestReadTimeoutMs));
}

Flavour flavourOf(std::string_view version) {
  return version.find("AR488") != std::string_view::npos ? Flavour::Ar488 : Flavour::Prologix;
}

std::vector<std::string> Session::readdress(int pad) {
  if (pad == address) return {};
  address = pad;
  return {withNumber("++addr", pad)};
}

std::vector<std::string> Session::send(int pad, std::string_view data, bus::EotMode mode) {
  std::vector<std::string> lines = readdress(pad);
  std::string payload(data);
  if (mode == bus::EotMode::NLend) payload += '\n';
  lines.push_back(escapeData(payload));
  return lines;
}

std::vector<std::string> Session::receive(int pad) {
  std::vector<std::string> lines = readdress(pad);
  lines.push_back("++read eoi");
  return lines;
}

std::vector<std::string> Session::clear(int pad) {
  std::vector<std::string> lines = readdress(pad);
  lines.push_back("++clr");
  return lines;
}

std::vector<std::string> Session::serialPoll(int pad) const { return {withNumber("++spoll", pad)}; }

std::vector<std::string> Session::remoteEnable(bool on) const {
  if (flavour == Flavour::Ar488) return {withNumber("++ren", on ? 1 : 0)};
  if (!on && address >= 0) return {"++loc"};
  return {};
}

std::vector<std::string> Session::readTimeout(int ms) {
  if (ms == readTimeoutMs) return {};
  readTimeoutMs = ms;
  return {withNumber("++read_tmo_ms", ms)};
}

std::optional<int> parseStatusByte(std::string_view reply) {
  const std::optional<int> value = smallNumber(bus::trimmed(reply));
  if (!value || *value > 255) return std::nullopt;
  return value;
}

std::optional<std::vector<int>> parseListeners(std::string_view reply) {
  std::vector<int> found;
  std::string_view rest = bus::trimmed(reply);
  while (!rest.empty()) {
    const size_t end = std::min(rest.find_first_of(" ,"), rest.size());
    const std::optional<int> pad = smallNumber(rest.substr(0, end));
    if (!pad || *pad > kLastAddress) return std::nullopt;
    found.push_back(*pad);
    rest = bus::trimmed(rest.substr(end));
    while (!rest.empty() && rest.front() == ',') rest = bus::trimmed(rest.substr(1));
  }
  return found;
}

bus::Status succeeded(long count, int extra) {
  return bus::Status{bus::CMPL | bus::CIC | extra, 0, static_cast<int>(count), count};
}

bus::Status failed(int error, long count, int extra) {
  return bus::Status{bus::ERR | bus::CMPL | bus::CIC | extra, error, static_cast<int>(count),
                     count};
}

bus::Status timedOut(long count) { return failed(bus::EABO, count, bus::TIMO); }

bus::Status unusable() { return bus::Status{bus::ERR, bus::EDVR, 0, 0}; }

}  // namespace prologix
