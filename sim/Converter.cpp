#include "Converter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "Message.h"
#include "NumberText.h"

namespace sim {

namespace {

constexpr const char* kMaker = "ORVANE";
constexpr const char* kSerial = "SIM-000417";
constexpr const char* kFirmware = "2.10";
constexpr const char* kDefaultModel = "5630";

std::string composeIdentity(const std::string& model) {
  return std::string(kMaker) + "," + model + "," + kSerial + "," + kFirmware;
}

bool isBaud(long value) { return value == 9600 || value == 19200; }

// RTU on the serial link: 11 bits a character, frames ended by 3.5 characters of silence.
constexpr double kBitsPerCharacter = 11.0;
constexpr double kFrameGap = 3.5;
constexpr double kLongestLatency = 10.0;

std::string formatRegister(std::uint16_t value, bool hex) {
  char text[8];
  if (hex)
    std::snprintf(text, sizeof text, "%04X", value);
  else
    std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<std::int16_t>(value)));
  return text;
}

}  // namespace

Converter::Converter(bus::Clock& clock, WatlowF4& controller)
    : clock_(clock), controller_(controller), identity_(composeIdentity(kDefaultModel)) {}

void Converter::setIdentity(std::string text) { identity_ = std::move(text); }

void Converter::setModel(const std::string& model) { identity_ = composeIdentity(model); }

void Converter::failNextTransactions(int count, int code) {
  failCount_ = count > 0 ? count : 0;
  failCode_ = code;
}

void Converter::setNextReply(std::string raw) { nextReply_ = std::move(raw); }

void Converter::setLatency(double seconds) {
  if (std::isfinite(seconds) && seconds >= 0 && seconds <= kLongestLatency) latency_ = seconds;
}

double Converter::linkSeconds(int baud, std::size_t requestBytes,
                              std::optional<std::size_t> responseBytes, double latency) {
  const double character = kBitsPerCharacter / std::max(baud, 1);
  const double request = (static_cast<double>(requestBytes) + kFrameGap) * character;
  if (!responseBytes) return request + kResponseTimeout;
  return request + latency + (static_cast<double>(*responseBytes) + kFrameGap) * character;
}

void Converter::powerCycle() {
  input_.clear();
  overflow_ = false;
  output_.clear();
  const std::uint8_t ese = psc_ ? 0 : saved_.ese;
  const std::uint8_t sre = psc_ ? 0 : saved_.sre;
  status_ = StatusModel{};
  status_.ese = ese;
  status_.setSre(sre);
  status_.setEvent(StatusModel::PON);
  hex_ = false;
  modbusAddress_ = 1;
  errorRegister_ = 0;
  baud_ = linkBaud_ = saved_.baud;
  rs485_ = linkRs485_ = saved_.rs485;
  readyAt_ = 0;
  refreshService();
}

// ---- the GPIB side -------------------------------------------------------------------------

void Converter::listen(std::string_view bytes, bool eoi) {
  for (char c : bytes) {
    if (c == '\n') {
      execute(input_);
      continue;
    }
    if (input_.size() >= kInputLimit) {
      overflow_ = true;
      continue;
    }
    input_.push_back(c);
  }
  if (eoi && (!input_.empty() || overflow_)) execute(input_);
}

std::optional<std::string_view> Converter::talk() {
  if (silent_) return std::nullopt;
  if (nextReply_) {
    output_ = std::move(*nextReply_);
    nextReply_.reset();
    emptyReply_ = false;
  }
  if (emptyReply_) return std::string_view();
  if (output_.empty()) {
    // Addressed to talk with nothing to say: no query was sent.
    status_.setEvent(StatusModel::QYE);
    refreshService();
    return std::nullopt;
  }
  return output_;
}

void Converter::consumed(std::size_t count) {
  output_.erase(0, count);
  emptyReply_ = false;
  refreshService();
}

std::optional<std::uint8_t> Converter::serialPoll() {
  if (silent_) return std::nullopt;
  return status_.poll(!output_.empty());
}

void Converter::clear() {
  input_.clear();
  overflow_ = false;
  output_.clear();
  emptyReply_ = false;
  refreshService();
}

bool Converter::requestingService() const { return status_.rqs(); }

void Converter::execute(std::string_view message) {
  const bool overflowed = overflow_;
  const std::string text(message);
  input_.clear();
  overflow_ = false;
  if (!output_.empty()) {
    // A new message before the last reply was read: that reply is lost.
    output_.clear();
    status_.setEvent(StatusModel::QYE);
  }
  emptyReply_ = false;
  failedQuery_ = false;
  if (overflowed) {
    status_.setEvent(StatusModel::CME);
    refreshService();
    return;
  }
  std::vector<std::string> replies;
  for (const ProgramUnit& unit : splitMessage(text)) command(unit.header, unit.parameters, replies);
  if (!replies.empty()) {
    for (std::size_t i = 0; i < replies.size(); ++i) {
      if (i) output_ += ';';
      output_ += replies[i];
    }
    output_ += '\n';
  } else if (failedQuery_) {
    // Every query of the message failed on the Modbus side: the converter still answers, but
    // with nothing, so the controller learns at once that E? holds the reason.
    emptyReply_ = true;
  }
  refreshService();
}

std::optional<long> Converter::number(const std::string& text, long low, long high) {
  const std::optional<double> value = parseNumber(text);
  if (!value) {
    status_.setEvent(StatusModel::CME);
    return std::nullopt;
  }
  const std::optional<long> whole = wholeNumber(*value, low, high);
  if (!whole) status_.setEvent(StatusModel::EXE);
  return whole;
}

void Converter::command(const std::string& header, const std::string& parameters,
                        std::vector<std::string>& replies) {
  const bool bare = parameters.empty();
  const auto answer = [&](auto value) {
    if (bare) {
      replies.push_back(std::to_string(value));
    } else {
      status_.setEvent(StatusModel::CME);
    }
  };

  if (header == "*IDN?") {
    if (bare)
      replies.push_back(identity_);
    else
      status_.setEvent(StatusModel::CME);
  } else if (header == "*CLS" && bare) {
    status_.clearEvents();
  } else if (header == "*ESE") {
    if (const auto v = number(parameters, 0, 255)) status_.ese = static_cast<std::uint8_t>(*v);
  } else if (header == "*ESE?") {
    answer(static_cast<int>(status_.ese));
  } else if (header == "*ESR?") {
    if (bare)
      answer(static_cast<int>(status_.takeEsr()));
    else
      status_.setEvent(StatusModel::CME);
  } else if (header == "*SRE") {
    if (const auto v = number(parameters, 0, 255)) status_.setSre(static_cast<std::uint8_t>(*v));
  } else if (header == "*SRE?") {
    answer(static_cast<int>(status_.sre()));
  } else if (header == "*STB?") {
    const bool available = !output_.empty() || !replies.empty();
    answer(static_cast<int>(status_.stb(available)));
  } else if (header == "*RST" && bare) {
    hex_ = false;
    modbusAddress_ = 1;
    errorRegister_ = 0;
  } else if (header == "*SAV") {
    if (const auto v = number(parameters, 0, 0))
      saved_ = {status_.ese, status_.sre(), baud_, rs485_};
  } else if (header == "*PSC") {
    if (const auto v = number(parameters, -32767, 32767)) psc_ = *v != 0;
  } else if (header == "*PSC?") {
    answer(psc_ ? 1 : 0);
  } else if (header == "*OPC" && bare) {
    status_.setEvent(StatusModel::OPC);
  } else if (header == "*OPC?") {
    answer(1);
  } else if (header == "*WAI" && bare) {
    // Every command completes before the next is read.
  } else if (header == "*TST?") {
    answer(0);
  } else if (matchesPath(header, {{"FORM", "FORMAT"}, {"TALK", "TALK"}})) {
    const std::string word = bus::upperCase(parameters);
    if (word == "ASCII")
      hex_ = false;
    else if (word == "HEXL")
      hex_ = true;
    else
      status_.setEvent(bare ? StatusModel::CME : StatusModel::EXE);
  } else if (matchesPath(header, {{"FORM?", "FORMAT?"}}) ||
             matchesPath(header, {{"FORM", "FORMAT"}, {"TALK?", "TALK?"}})) {
    if (bare)
      replies.push_back(hex_ ? "HEXL" : "ASCII");
    else
      status_.setEvent(StatusModel::CME);
  } else if (serialCommand(header, parameters, replies)) {
  } else if (header == "C") {
    // Any whole number is taken; only the controller's own address will ever answer.
    if (const auto v = number(parameters, -32768, 32767)) modbusAddress_ = static_cast<int>(*v);
  } else if (header == "C?") {
    answer(modbusAddress_);
  } else if (header == "R") {
    readRegisters(parameters, replies);
  } else if (header == "W") {
    writeRegisters(parameters);
  } else if (header == "E?") {
    answer(errorRegister_);
  } else {
    status_.setEvent(StatusModel::CME);
  }
}

bool Converter::serialCommand(const std::string& header, const std::string& parameters,
                              std::vector<std::string>& replies) {
  using Node = std::pair<std::string_view, std::string_view>;
  constexpr Node syst{"SYST", "SYSTEM"}, comm{"COMM", "COMMUNICATE"}, ser{"SER", "SERIAL"};
  const bool bare = parameters.empty();
  const auto reply = [&](std::string text) {
    if (bare)
      replies.push_back(std::move(text));
    else
      status_.setEvent(StatusModel::CME);
  };

  if (matchesPath(header, {syst, comm, ser, {"BAUD", "BAUD"}}) ||
      matchesPath(header, {syst, comm, ser})) {
    if (const auto v = number(parameters, 0, 1000000)) {
      if (isBaud(*v))
        baud_ = static_cast<int>(*v);
      else
        status_.setEvent(StatusModel::EXE);
    }
  } else if (matchesPath(header, {syst, comm, ser, {"BAUD?", "BAUD?"}}) ||
             matchesPath(header, {syst, comm, {"SER?", "SERIAL?"}})) {
    reply(std::to_string(baud_));
  } else if (matchesPath(header, {syst, comm, ser, {"RS485", "RS485"}})) {
    const std::string word = bus::upperCase(parameters);
    if (word == "ON" || word == "1")
      rs485_ = true;
    else if (word == "OFF" || word == "0")
      rs485_ = false;
    else
      status_.setEvent(bare ? StatusModel::CME : StatusModel::EXE);
  } else if (matchesPath(header, {syst, comm, ser, {"RS485?", "RS485?"}})) {
    reply(rs485_ ? "1" : "0");
  } else if (matchesPath(header, {syst, comm, ser, {"UPD", "UPDATE"}})) {
    if (!bare) {
      status_.setEvent(StatusModel::CME);
    } else {
      linkBaud_ = baud_;
      linkRs485_ = rs485_;
    }
  } else {
    return false;
  }
  return true;
}

// ---- the Modbus side ------------------------------------------------------------------------

void Converter::readRegisters(const std::string& parameters, std::vector<std::string>& replies) {
  const std::vector<std::string> fields = splitParameters(parameters);
  if (fields.size() != 2) {
    status_.setEvent(StatusModel::CME);
    return;
  }
  const auto first = number(fields[0], 0, 65535);
  if (!first) return;
  const auto count = number(fields[1], 1, modbus::kMaxReadCount);
  if (!count) return;

  const auto data = transact(
      modbus::readRequest(slave(), modbus::kReadHolding, static_cast<std::uint16_t>(*first),
                          static_cast<std::uint16_t>(*count)),
      5 + 2 * static_cast<std::size_t>(*count));
  if (!data) {
    failedQuery_ = true;
    return;
  }
  std::string line;
  for (long i = 0; i < *count; ++i) {
    if (i) line += ',';
    const std::uint16_t value = modbus::word(*data, 3 + 2 * static_cast<std::size_t>(i));
    line += formatRegister(value, hex_);
  }
  replies.push_back(std::move(line));
}

void Converter::writeRegisters(const std::string& parameters) {
  const std::vector<std::string> fields = splitParameters(parameters);
  if (fields.size() < 2 || fields.size() > modbus::kMaxWriteCount + 1) {
    status_.setEvent(StatusModel::CME);
    return;
  }
  const auto first = number(fields[0], 0, 65535);
  if (!first) return;
  // Negative values travel as their 16-bit two's complement.
  std::vector<std::uint16_t> values;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    // Signed or unsigned 16-bit values; a fraction is rounded to the nearest whole number.
    const auto value = number(fields[i], -32768, 65535);
    if (!value) return;
    values.push_back(static_cast<std::uint16_t>(*value));
  }

  const auto reg = static_cast<std::uint16_t>(*first);
  transact(values.size() == 1 ? modbus::writeSingleRequest(slave(), reg, values[0])
                              : modbus::writeMultipleRequest(slave(), reg, values),
           8);
}

std::uint8_t Converter::slave() const {
  return modbusAddress_ >= 0 && modbusAddress_ <= 247 ? static_cast<std::uint8_t>(modbusAddress_)
                                                      : 0xFF;
}

std::optional<modbus::Bytes> Converter::transact(modbus::Bytes frame, std::size_t expectedLength) {
  modbus::RtuExchange exchange;
  exchange.time = clock_.now();
  exchange.request = frame;

  const bool linked = linkBaud_ == controller_.baud();
  // Whether the converter waits for an answer that does not come (its response time-out).
  bool waits = false;
  if (failCount_ > 0) {
    --failCount_;
    const int code = failCode_;
    if (code == kCrcError || (code > kPartialBase && code < kPartialBase + 100)) {
      // The controller acts on the request; its answer is damaged on the way back.
      exchange.response = controller_.handle(frame);
      if (code == kCrcError && !exchange.response.empty()) exchange.response.back() ^= 0xFF;
      if (code > kPartialBase) {
        const std::size_t keep = static_cast<std::size_t>(code - kPartialBase);
        if (exchange.response.size() > keep) exchange.response.resize(keep);
      }
    } else if (code >= 1 && code < kCrcError) {
      // An exception answer the controller did not give.
      exchange.response =
          modbus::exceptionResponse(frame[0], frame[1], static_cast<std::uint8_t>(code));
    }
    exchange.errorCode = code;
  } else {
    if (linked) exchange.response = controller_.handle(frame);
    exchange.errorCode = judge(frame, exchange.response, expectedLength);
    waits = exchange.errorCode == kTimeout;
  }
  // Transactions follow each other on the link; the reply is complete when the last is done.
  // A failure put on the bench by hand takes only its bytes' time.
  const std::optional<std::size_t> answered =
      waits ? std::nullopt : std::optional<std::size_t>(exchange.response.size());
  if (paced_)
    readyAt_ = std::max(readyAt_, exchange.time) +
               linkSeconds(linkBaud_, frame.size(), answered, answered == 0 ? 0.0 : latency_);
  errorRegister_ = exchange.errorCode;
  if (exchange.errorCode != 0) status_.setEvent(StatusModel::DDE);
  if (listener_) listener_(exchange);
  if (exchange.errorCode != 0) return std::nullopt;
  return std::move(exchange.response);
}

int Converter::judge(const modbus::Bytes& request, const modbus::Bytes& response,
                     std::size_t expectedLength) const {
  if (response.empty()) {
    // A broadcast write expects no answer.
    const bool broadcastWrite = request[0] == 0 && request[1] != modbus::kReadHolding;
    return broadcastWrite ? 0 : kTimeout;
  }
  const bool exception = response.size() >= 2 && (response[1] & modbus::kExceptionBit);
  const std::size_t length = exception ? 5 : expectedLength;
  if (response.size() < length) {
    const int received = static_cast<int>(response.size());
    return kPartialBase + (received < 99 ? received : 99);
  }
  if (response.size() != length || !modbus::crcValid(response) || response[0] != request[0] ||
      (response[1] & 0x7F) != request[1])
    return kCrcError;
  if (exception) return response[2] != 0 ? response[2] : kCrcError;
  if (request[1] == modbus::kReadHolding && response[2] != length - 5) return kCrcError;
  return 0;
}

}  // namespace sim
