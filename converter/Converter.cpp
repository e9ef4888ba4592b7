#include "Converter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "Message.h"
#include "NumberText.h"

namespace converter {

namespace {

constexpr const char* kMaker = "ORVANE";
constexpr const char* kSerial = "SIM-000417";
constexpr const char* kFirmware = "2.10";
constexpr const char* kDefaultModel = "5630";

std::string composeIdentity(const std::string& model) {
  return std::string(kMaker) + "," + model + "," + kSerial + "," + kFirmware;
}

bool isBaud(long value) { return value == 9600 || value == 19200; }

std::string formatRegister(std::uint16_t value, bool hex) {
  char text[8];
  if (hex)
    std::snprintf(text, sizeof text, "%04X", value);
  else
    std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<std::int16_t>(value)));
  return text;
}

}  // namespace

Converter::Converter(bus::Clock& clock, modbus::Link& link, const modbus::SerialSettings& serial)
    : clock_(clock), link_(link), identity_(composeIdentity(kDefaultModel)) {
  saved_.baud = baud_ = linkBaud_ = serial.baud;
  saved_.rs485 = rs485_ = linkRs485_ = serial.rs485;
  link_.setSerial(serial);
}

void Converter::setIdentity(std::string text) { identity_ = std::move(text); }

void Converter::setModel(const std::string& model) { identity_ = composeIdentity(model); }

void Converter::setNextReply(std::string raw) { nextReply_ = std::move(raw); }

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
  link_.restart();
  link_.setSerial({linkBaud_, linkRs485_});
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
      link_.setSerial({linkBaud_, linkRs485_});
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
  modbus::Reply reply = link_.transact(frame);
  exchange.request = std::move(frame);
  exchange.response = std::move(reply.response);
  exchange.errorCode =
      reply.code ? *reply.code : judge(exchange.request, exchange.response, expectedLength);
  errorRegister_ = exchange.errorCode;
  if (exchange.errorCode != 0) status_.setEvent(StatusModel::DDE);
  if (listener_) listener_(exchange);
  if (exchange.errorCode != 0) return std::nullopt;
  return std::move(exchange.response);
}

int Converter::judge(const modbus::Bytes& request, const modbus::Bytes& response,
                     std::size_t expectedLength) const {
  if (response.empty()) return modbus::broadcastWrite(request) ? 0 : kTimeout;
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

}  // namespace converter
