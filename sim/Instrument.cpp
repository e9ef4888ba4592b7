#include "Instrument.h"

#include "Message.h"

namespace sim {

using converter::ProgramUnit;
using converter::splitMessage;
using converter::StatusModel;

namespace {
constexpr std::size_t kInputLimit = 256;
}

Instrument::Instrument(std::string identity) : identity_(std::move(identity)) {}

void Instrument::listen(std::string_view bytes, bool eoi) {
  for (char c : bytes) {
    if (c == '\n') {
      execute();
    } else if (input_.size() < kInputLimit) {
      input_.push_back(c);
    }
  }
  if (eoi && !input_.empty()) execute();
}

void Instrument::execute() {
  if (!output_.empty()) {
    output_.clear();
    status_.setEvent(StatusModel::QYE);
  }
  std::string reply;
  for (const ProgramUnit& unit : splitMessage(input_)) {
    std::string answer;
    if (unit.header == "*IDN?") {
      answer = identity_;
    } else if (unit.header == "*ESR?") {
      answer = std::to_string(status_.takeEsr());
    } else if (unit.header == "*STB?") {
      answer = std::to_string(status_.stb(!reply.empty()));
    } else if (unit.header == "*CLS" || unit.header == "*RST") {
      if (unit.header == "*CLS") status_.clearEvents();
      continue;
    } else {
      status_.setEvent(StatusModel::CME);
      continue;
    }
    if (!reply.empty()) reply += ';';
    reply += answer;
  }
  input_.clear();
  if (!reply.empty()) output_ = reply + '\n';
  status_.update(!output_.empty());
}

std::optional<std::string_view> Instrument::talk() {
  if (output_.empty()) {
    status_.setEvent(StatusModel::QYE);
    status_.update(false);
    return std::nullopt;
  }
  return output_;
}

void Instrument::consumed(std::size_t count) {
  output_.erase(0, count);
  status_.update(!output_.empty());
}

std::optional<std::uint8_t> Instrument::serialPoll() { return status_.poll(!output_.empty()); }

void Instrument::clear() {
  input_.clear();
  output_.clear();
  status_.update(false);
}

}  // namespace sim
