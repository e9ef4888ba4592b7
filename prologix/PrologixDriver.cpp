#include "PrologixDriver.h"

#include <algorithm>
#include <cstring>

namespace prologix {

namespace {

using Clock = std::chrono::steady_clock;

// An adapter answers its own commands within milliseconds; a connection that takes longer
// than this is not worth waiting for, whatever the time-out in force.
constexpr double kLongestConnectSeconds = 2.0;
// No time-out (code 0) still ends a wait for an adapter that went silent.
constexpr double kNoTimeoutSeconds = 1000.0;
// The adapter's own answers (`++ver`, `++spoll`, `++findlstn`) are short; bytes beyond this
// without a line feed are not one of them.
constexpr size_t kLongestAnswer = 1024;
constexpr auto kWriteMoment = std::chrono::milliseconds(50);
// How long each `++ver` of a connection waits before it is asked again.
constexpr double kVersionRetrySeconds = 0.25;
// After a read or poll that timed out, how long the adapter has to answer `++ver`: it answers
// its own commands within milliseconds, so silence means it is gone, not the instrument.
constexpr double kProbeSeconds = 0.5;

Deadline after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

PrologixDriver::PrologixDriver(std::unique_ptr<Link> link) : link_(std::move(link)) {}

bool PrologixDriver::connect() {
  // Connecting may take its full time whatever the time-out in force: an adapter that restarts
  // when its port opens (an AR488 on an Arduino board) hears nothing until it has started.
  const Deadline until = after(kLongestConnectSeconds);
  pending_.clear();
  replyOpen_ = false;
  version_.clear();
  session_ = Session{};
  session_.readTimeoutMs = readTimeoutMs(timeoutCode_);
  if (!link_->open(until)) {
    lose("unreachable: ");
    return false;
  }
  link_->discardInput();  // a greeting some adapters print when the port opens
  // Asked again and again until it answers; then set up, its version asked once more so that
  // the answers to the set-up are known to end there.
  std::string answer;
  Line line = Line::Late;
  while (line == Line::Late && Clock::now() < until)
    line = ask({"++ver"}, std::min(until, after(kVersionRetrySeconds)), answer);
  if (line == Line::Lost) return false;
  if (line == Line::Arrived) {
    dropStaleReply();
    if (!write(setupLines(session_.readTimeoutMs), until)) return false;
    for (;;) {
      line = readUntilLineFeed(until, kLongestAnswer);
      if (line == Line::Arrived && pending_.find('\n') == std::string::npos)
        line = Line::Late;  // no line, only bytes: not an answer
      if (line != Line::Arrived) break;
      const std::string next = takeLine();
      if (next == answer) break;
      if (next == "1") session_.endMark = true;  // ++eot_enable answered
    }
    if (line == Line::Lost) return false;
  }
  if (line != Line::Arrived) {
    giveUp("no Prologix-protocol adapter answers (++ver)", "unreachable: ");
    return false;
  }
  pending_.clear();
  version_ = answer;
  session_.flavour = flavourOf(version_);
  problem_.clear();
  online_ = true;
  note("connected: " + link_->describe() + ", " + version_ +
       (session_.endMark ? "" : "; replies end at their line feed (no ++eot_enable)"));
  return true;
}

std::string PrologixDriver::describe() const {
  if (!problem_.empty()) return problem_;
  return "Prologix-protocol adapter on " + link_->describe() +
         (version_.empty() ? std::string() : " (" + version_ + ")");
}

void PrologixDriver::note(const std::string& text) const {
  if (onNote) onNote(text);
}

void PrologixDriver::lose(const char* how) { giveUp({}, how); }

void PrologixDriver::giveUp(const std::string& why, const char* how) {
  problem_ = why.empty() ? link_->problem() : link_->describe() + ": " + why;
  link_->close();
  pending_.clear();
  replyOpen_ = false;
  status_ = unusable();
  if (onProblem) onProblem(problem_);
  note(how + problem_);
}

bool PrologixDriver::ready(int board, bool reconnect) {
  if (board != kBoardAddress) {
    status_ = bus::Status{bus::ERR, bus::ENEB, 0, 0};
    return false;
  }
  if (!link_->isOpen()) {
    if (!reconnect || !connect()) {
      status_ = unusable();
      return false;
    }
  }
  if (!online_ && !reconnect) {
    status_ = bus::Status{bus::ERR, bus::ENEB, 0, 0};
    return false;
  }
  return true;
}

bool PrologixDriver::deviceAddress(int address) {
  if (address < 0 || address > kLastAddress) {
    status_ = failed(bus::EARG);
    return false;
  }
  if (address == kBoardAddress) {
    status_ = failed(bus::EADR);
    return false;
  }
  return true;
}

Deadline PrologixDriver::deadline() const {
  const double seconds = bus::timeoutSeconds(timeoutCode_);
  return after(seconds > 0 ? seconds : kNoTimeoutSeconds);
}

bool PrologixDriver::write(const std::vector<std::string>& lines, Deadline until) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + '\n';
  // A few lines always get a moment to leave, even when the reply's wait has used up the
  // time-out: a port that cannot take them in that moment is gone.
  const Deadline writeBy = std::max(until, Clock::now() + kWriteMoment);
  if (bytes.empty() || link_->write(bytes, writeBy)) return true;
  lose();
  return false;
}

PrologixDriver::Line PrologixDriver::readUntilLineFeed(Deadline until, size_t limit) {
  while (pending_.find('\n') == std::string::npos && pending_.size() < limit) {
    if (Clock::now() >= until) return Line::Late;
    if (!link_->read(pending_, until)) {
      lose();
      return Line::Lost;
    }
  }
  return Line::Arrived;
}

std::string PrologixDriver::takeLine() {
  const size_t end = pending_.find('\n');
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end == std::string::npos ? end : end + 1);
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void PrologixDriver::dropStaleReply() {
  link_->discardInput();
  pending_.clear();
  replyOpen_ = false;
}

bool PrologixDriver::adapterAnswers() {
  std::string answer;
  const Line line = ask({"++ver"}, after(kProbeSeconds), answer);
  if (line == Line::Late) giveUp("the adapter does not answer (++ver) after a time-out");
  return line == Line::Arrived;
}

PrologixDriver::Line PrologixDriver::readReply(Deadline until, size_t room) {
  while (!replyComplete(pending_, room, session_.endMark)) {
    if (Clock::now() >= until) return Line::Late;
    if (!link_->read(pending_, until)) {
      lose();
      return Line::Lost;
    }
  }
  return Line::Arrived;
}

PrologixDriver::Line PrologixDriver::ask(const std::vector<std::string>& lines, Deadline until,
                                         std::string& answer) {
  dropStaleReply();
  if (!write(lines, until)) return Line::Lost;
  const Line line = readUntilLineFeed(until, kLongestAnswer);
  if (line == Line::Arrived) answer = takeLine();
  pending_.clear();  // anything after the answer line is not part of it
  return line;
}

void PrologixDriver::ibonl(int ud, int value) {
  if (!ready(ud, value != 0)) return;
  online_ = value != 0;
  status_ = online_ ? succeeded() : bus::Status{bus::CMPL, 0, 0, 0};
}

void PrologixDriver::ibsre(int ud, int value) {
  if (!ready(ud)) return;
  if (write(session_.remoteEnable(value != 0), deadline())) status_ = succeeded();
}

void PrologixDriver::ibtmo(int ud, int code) {
  if (!ready(ud)) return;
  if (bus::timeoutSeconds(code) < 0) {
    status_ = failed(bus::EARG);
    return;
  }
  timeoutCode_ = code;
  if (write(session_.readTimeout(readTimeoutMs(code)), deadline())) status_ = succeeded();
}

void PrologixDriver::SendIFC(int board) {
  if (!ready(board, true)) return;
  online_ = true;
  if (write({"++ifc"}, deadline())) status_ = succeeded();
}

void PrologixDriver::DevClear(int board, bus::Addr4882 address) {
  if (!ready(board) || !deviceAddress(address)) return;
  if (write(session_.clear(address), deadline())) status_ = succeeded();
}

void PrologixDriver::Send(int board, bus::Addr4882 address, const char* data, long count,
                          bus::EotMode mode) {
  if (!ready(board) || !deviceAddress(address)) return;
  if (count < 0 || (data == nullptr && count > 0)) {
    status_ = failed(bus::EARG);
    return;
  }
  dropStaleReply();
  const std::string_view bytes(data, static_cast<size_t>(count));
  if (write(session_.send(address, bytes, mode), deadline()))
    status_ = succeeded(count + (mode == bus::EotMode::NLend ? 1 : 0));
}

void PrologixDriver::Receive(int board, bus::Addr4882 address, char* buffer, long count,
                             int /*termination*/) {
  if (!ready(board) || !deviceAddress(address)) return;
  if (count < 0 || (buffer == nullptr && count > 0)) {
    status_ = failed(bus::EARG);
    return;
  }
  const Deadline until = deadline();
  if (!replyOpen_ || replyAddress_ != address) {
    dropStaleReply();
    if (!write(session_.receive(address), until)) return;
  }
  replyAddress_ = address;
  const Line line = readReply(until, static_cast<size_t>(count));
  if (line == Line::Lost) return;
  const ReplyPiece piece = takeReply(pending_, static_cast<size_t>(count), session_.endMark);
  std::memcpy(buffer, piece.bytes.data(), piece.bytes.size());
  if (piece.ended || line == Line::Late) pending_.clear();
  replyOpen_ = !piece.ended && line == Line::Arrived;
  const long taken = static_cast<long>(piece.bytes.size());
  if (line == Line::Late) {
    if (adapterAnswers()) status_ = timedOut(taken);
  } else {
    status_ = succeeded(taken, piece.ended ? bus::END : 0);
  }
}

void PrologixDriver::ReadStatusByte(int board, bus::Addr4882 address, std::int16_t* result) {
  if (!ready(board) || !deviceAddress(address)) return;
  if (result == nullptr) {
    status_ = failed(bus::EARG);
    return;
  }
  std::string answer;
  const Line line = ask(session_.serialPoll(address), deadline(), answer);
  if (line == Line::Lost || (line == Line::Late && !adapterAnswers())) return;
  const std::optional<int> byte = line == Line::Arrived ? parseStatusByte(answer) : std::nullopt;
  if (!byte) {
    status_ = timedOut();
    return;
  }
  *result = static_cast<std::int16_t>(*byte);
  status_ = succeeded(1);
}

void PrologixDriver::listenersByPolling(const bus::Addr4882* padList, std::vector<int>& found,
                                        Deadline until) {
  int count = 0;
  while (count < 256 && padList[count] != bus::NOADDR) ++count;
  note("listener search by serial poll of " + std::to_string(count) + " addresses");
  // Every address gets its share of the time-out in force; the adapter gives up at half of it,
  // so that a late answer cannot be taken for the next address's.
  const auto share = (until - Clock::now()) / std::max(count, 1);
  const int adapterMs = std::clamp<int>(
      static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(share).count() / 2),
      kShortestReadTimeoutMs, kLongestReadTimeoutMs);
  const int keptMs = session_.readTimeoutMs;
  if (!write(session_.readTimeout(adapterMs), until)) return;
  for (int i = 0; i < count; ++i) {
    const int pad = padList[i];
    if (pad == kBoardAddress) {
      found.push_back(pad);  // the board listens to itself
      continue;
    }
    std::string answer;
    const Line line = ask(session_.serialPoll(pad), std::min(until, Clock::now() + share), answer);
    if (line == Line::Lost) return;
    if (line == Line::Arrived && parseStatusByte(answer)) found.push_back(pad);
  }
  write(session_.readTimeout(keptMs), until);
}

void PrologixDriver::FindLstn(int board, const bus::Addr4882* padList, bus::Addr4882* resultList,
                              int limit) {
  if (!ready(board)) return;
  if (padList == nullptr || limit < 0 || (resultList == nullptr && limit > 0)) {
    status_ = failed(bus::EARG);
    return;
  }
  for (int i = 0; i < 256 && padList[i] != bus::NOADDR; ++i)
    if (padList[i] < 0 || padList[i] > kLastAddress) {
      status_ = failed(bus::EARG);
      return;
    }
  const Deadline until = deadline();
  std::vector<int> found;
  if (session_.flavour == Flavour::Ar488) {
    note("listener search by ++findlstn");
    std::string answer;
    const Line line = ask({"++findlstn"}, until, answer);
    if (line == Line::Lost || (line == Line::Late && !adapterAnswers())) return;
    const auto listed = line == Line::Arrived ? parseListeners(answer) : std::nullopt;
    if (!listed) {
      status_ = timedOut();
      return;
    }
    for (int i = 0; i < 256 && padList[i] != bus::NOADDR; ++i)
      if (padList[i] == kBoardAddress ||
          std::find(listed->begin(), listed->end(), padList[i]) != listed->end())
        found.push_back(padList[i]);
  } else {
    listenersByPolling(padList, found, until);
    if (!link_->isOpen()) return;
  }
  const int stored = std::min(limit, static_cast<int>(found.size()));
  for (int i = 0; i < stored; ++i) resultList[i] = static_cast<bus::Addr4882>(found[i]);
  const int total = static_cast<int>(found.size());
  status_ = total > limit ? failed(bus::ETAB, limit) : succeeded(total);
}

}  // namespace prologix
