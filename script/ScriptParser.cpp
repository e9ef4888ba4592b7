#include "ScriptParser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <utility>

#include "Chamber.h"
#include "QuotedText.h"

namespace script {

namespace {

struct Refusal {
  std::string message;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

constexpr int kLongestWait = 86400;

// Walks a line word by word. A `#` that begins a word starts a comment to the end of the line.
class Lexer {
 public:
  explicit Lexer(std::string_view line) : line_(line) {}

  bool atEnd() {
    skipBlanks();
    return pos_ >= line_.size() || line_[pos_] == '#';
  }

  // The next word; empty at the end of the line.
  std::string word() {
    if (atEnd()) return {};
    const std::size_t start = pos_;
    while (pos_ < line_.size() && !isBlank(line_[pos_])) ++pos_;
    return std::string(line_.substr(start, pos_ - start));
  }

  std::string word(const char* what) {
    std::string w = word();
    if (w.empty()) throw Refusal{std::string(what)};
    return w;
  }

  // A text in quotes, or without them the rest of the line (before a comment) with its
  // outer blanks cut.
  std::string text(const char* what) {
    if (atEnd()) throw Refusal{what};
    if (line_[pos_] == '"') {
      bus::Quoted quoted = bus::readQuoted(line_, pos_);
      if (!quoted.error.empty()) throw Refusal{quoted.error};
      pos_ = quoted.end;
      if (pos_ < line_.size() && !isBlank(line_[pos_]))
        throw Refusal{"a blank must follow the closing quote"};
      return std::move(quoted.bytes);
    }
    std::size_t end = pos_;
    while (end < line_.size() && !(line_[end] == '#' && isBlank(line_[end - 1]))) ++end;
    std::size_t last = end;
    while (last > pos_ && isBlank(line_[last - 1])) --last;
    std::string bare(line_.substr(pos_, last - pos_));
    pos_ = end;
    return bare;
  }

  // A text that must be in quotes.
  std::string quoted(const char* what) {
    if (atEnd() || line_[pos_] != '"') throw Refusal{what};
    return text(what);
  }

  bool nextIsQuote() { return !atEnd() && line_[pos_] == '"'; }

  void finish() {
    if (atEnd()) return;
    const std::string extra = word();
    throw Refusal{"unexpected \"" + extra + "\" at the end of the step"};
  }

 private:
  void skipBlanks() {
    while (pos_ < line_.size() && isBlank(line_[pos_])) ++pos_;
  }

  std::string_view line_;
  std::size_t pos_ = 0;
};

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isIdentifier(std::string_view word) {
  if (word.empty() || !isLetter(word[0])) return false;
  return std::all_of(word.begin(), word.end(), [](char c) { return isLetter(c) || isDigit(c); });
}

// NAME or NAME(INDEX), as the windows name their controls; WINDOW.NAME in an extra window.
std::string controlName(Lexer& lexer, const std::string& verb) {
  const std::string name = lexer.word((verb + " needs a control name").c_str());
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos) {
    if (!isIdentifier(std::string_view(name).substr(0, dot)) ||
        !isIdentifier(std::string_view(name).substr(dot + 1)))
      throw Refusal{"\"" + name + "\" is not a control name (NAME, NAME(INDEX) or WINDOW.NAME)"};
    return name;
  }
  std::size_t i = 0;
  bool valid = isLetter(name[0]);
  while (valid && i < name.size() && (isLetter(name[i]) || isDigit(name[i]))) ++i;
  if (valid && i < name.size()) {
    valid = name[i] == '(' && name.back() == ')' && name.size() > i + 2;
    for (std::size_t d = i + 1; valid && d + 1 < name.size(); ++d) valid = isDigit(name[d]);
  }
  if (!valid)
    throw Refusal{"\"" + name + "\" is not a control name (NAME, NAME(INDEX) or WINDOW.NAME)"};
  return name;
}

long wholeNumber(const std::string& word, const std::string& what) {
  long value = 0;
  const char* first = word.data();
  const char* last = word.data() + word.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (word.empty() || error != std::errc() || end != last)
    throw Refusal{what + " must be a whole number, not \"" + word + "\""};
  return value;
}

double seconds(const std::string& word, const std::string& what) {
  // Plain decimals only: no sign, exponent or hexadecimal, whatever the library accepts.
  bool digit = false, point = false, plain = true;
  for (char c : word) {
    if (isDigit(c)) {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      plain = false;
    }
  }
  double value = 0;
  if (plain && digit) std::from_chars(word.data(), word.data() + word.size(), value);
  if (!plain || !digit || !std::isfinite(value))
    throw Refusal{what + " must be a number of seconds such as 2 or 0.5, not \"" + word + "\""};
  return value;
}

Step expectStep(Lexer& lexer) {
  Step step;
  const std::string subject = lexer.word("expect needs a control name, beeps, sent or pause");
  if (subject == "beeps") {
    step.kind = StepKind::ExpectBeeps;
    step.number = wholeNumber(lexer.word("expect beeps needs a count"), "the count of beeps");
    if (step.number < 0) throw Refusal{"the count of beeps cannot be negative"};
    return step;
  }
  if (subject == "sent") {
    if (!lexer.nextIsQuote()) {
      const std::string word = lexer.word("expect sent needs a \"LINE\" in quotes, or none");
      if (word != "none")
        throw Refusal{"expect sent needs a \"LINE\" in quotes, or none, not \"" + word + "\""};
      step.kind = StepKind::ExpectSentNone;
      return step;
    }
    step.kind = StepKind::ExpectSent;
    step.text = lexer.quoted("expect sent needs a \"LINE\" in quotes");
    return step;
  }
  if (subject == "pause") {
    step.kind = StepKind::ExpectPause;
    step.seconds = seconds(lexer.word("expect pause needs its length in seconds"), "a pause");
    return step;
  }

  Lexer named(subject);
  step.name = controlName(named, "expect");
  const std::string what =
      lexer.word(("expect " + step.name + " needs text \"TEXT\" or a state").c_str());
  if (what == "text") {
    step.kind = StepKind::ExpectText;
    step.text = lexer.text("expect NAME text needs the text (\"\" for an empty one)");
    return step;
  }
  static const std::pair<const char*, ControlState> states[] = {
      {"visible", ControlState::Visible},   {"hidden", ControlState::Hidden},
      {"enabled", ControlState::Enabled},   {"disabled", ControlState::Disabled},
      {"selected", ControlState::Selected}, {"unselected", ControlState::Unselected},
  };
  for (const auto& [word, state] : states) {
    if (what == word) {
      step.kind = StepKind::ExpectState;
      step.state = state;
      return step;
    }
  }
  throw Refusal{"unknown expectation \"" + what +
                "\" (text, visible, hidden, enabled, disabled, selected, unselected)"};
}

// A signed decimal such as 75, -10.5 or .5; no exponent or hexadecimal.
double decimal(const std::string& word, const std::string& what) {
  const std::size_t sign = !word.empty() && word[0] == '-' ? 1 : 0;
  const std::string digits = word.substr(sign);
  const bool plain = !digits.empty() &&
                     digits.find_first_not_of("0123456789.") == std::string::npos &&
                     digits.find_first_of("0123456789") != std::string::npos &&
                     digits.find('.') == digits.rfind('.');
  double value = 0;
  if (plain) std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (!plain || !std::isfinite(value))
    throw Refusal{what + " must be a number such as 75 or -10.5, not \"" + word + "\""};
  return sign ? -value : value;
}

constexpr double kLowestAmbient = -1000, kHighestAmbient = 3000, kFastestRate = 1000;
constexpr double kLongestLatency = 10000;
constexpr const char* kSimSteps =
    "absent, present, silent, modbus-error, register, reply, identity, baud, clock, model, "
    "ambient, rates, power-cycle, chamber, plant, loop, latency, link";

// The numbers of a step, in order, each named for its message.
std::vector<double> decimals(Lexer& lexer, const std::string& usage,
                             std::initializer_list<const char*> names) {
  std::vector<double> values;
  for (const char* name : names) values.push_back(decimal(lexer.word(usage.c_str()), name));
  return values;
}

// "HH:MM:SS", 00:00:00 to 23:59:59, as seconds of the day.
long timeOfDay(const std::string& text) {
  int parts[3] = {-1, -1, -1};
  std::size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    if (i && (at >= text.size() || text[at++] != ':')) break;
    if (at + 2 > text.size() || !std::isdigit(static_cast<unsigned char>(text[at])) ||
        !std::isdigit(static_cast<unsigned char>(text[at + 1])))
      break;
    parts[i] = (text[at] - '0') * 10 + (text[at + 1] - '0');
    at += 2;
  }
  if (at != text.size() || parts[2] < 0 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
    throw Refusal{"sim clock needs a time of day HH:MM:SS from 00:00:00 to 23:59:59, not \"" +
                  text + "\""};
  return parts[0] * 3600L + parts[1] * 60L + parts[2];
}

Step simStep(Lexer& lexer) {
  Step step;
  const std::string what = lexer.word((std::string("sim needs one of ") + kSimSteps).c_str());
  if (what == "absent" || what == "present") {
    step.kind = StepKind::SimPresent;
    step.flag = what == "present";
  } else if (what == "silent") {
    const std::string onOff = lexer.word("sim silent needs on or off");
    if (onOff != "on" && onOff != "off")
      throw Refusal{"sim silent needs on or off, not \"" + onOff + "\""};
    step.kind = StepKind::SimSilent;
    step.flag = onOff == "on";
  } else if (what == "modbus-error") {
    step.kind = StepKind::SimModbusError;
    step.number = wholeNumber(lexer.word("sim modbus-error needs an error code"), "the code");
    // 0 is the register's "no error"; anything else is a fault the converter can report.
    if (step.number < 1 || step.number > 65535)
      throw Refusal{"the Modbus error code must lie in 1..65535, not " +
                    std::to_string(step.number)};
    step.count = 1;
    if (!lexer.atEnd()) {
      step.count = wholeNumber(lexer.word(), "the count of transactions");
      if (step.count < 1) throw Refusal{"the count of transactions must be at least 1"};
    }
  } else if (what == "register") {
    step.number = wholeNumber(lexer.word("sim register needs a register number"), "the register");
    if (step.number < 0 || step.number > 65535)
      throw Refusal{"the register must lie in 0..65535, not " + std::to_string(step.number)};
    const std::string value = lexer.word("sim register needs a value, none or clear");
    if (value == "none") {
      step.kind = StepKind::SimRegisterNone;
    } else if (value == "clear") {
      step.kind = StepKind::SimRegisterOk;
    } else {
      step.kind = StepKind::SimRegister;
      step.value = wholeNumber(value, "the register's value");
      if (step.value < -32768 || step.value > 65535)
        throw Refusal{"the register's value must lie in -32768..65535, not " + value};
    }
  } else if (what == "reply" || what == "identity") {
    step.kind = what == "reply" ? StepKind::SimReply : StepKind::SimIdentity;
    step.text = lexer.text(("sim " + what + " needs a text").c_str());
  } else if (what == "baud") {
    step.kind = StepKind::SimBaud;
    step.number = wholeNumber(lexer.word("sim baud needs a baud rate"), "the baud rate");
    if (step.number <= 0) throw Refusal{"the baud rate must be positive"};
  } else if (what == "clock") {
    step.kind = StepKind::SimClock;
    step.number = timeOfDay(lexer.word("sim clock needs a time of day HH:MM:SS"));
  } else if (what == "model") {
    step.kind = StepKind::SimModel;
    step.text = lexer.text("sim model needs the converter's model (5630)");
    if (step.text.empty()) throw Refusal{"sim model needs the converter's model (5630)"};
  } else if (what == "ambient") {
    step.kind = StepKind::SimAmbient;
    const double degrees = decimal(lexer.word("sim ambient needs a temperature"), "the ambient");
    if (degrees < kLowestAmbient || degrees > kHighestAmbient)
      throw Refusal{"the ambient must lie in -1000..3000 degrees"};
    step.degrees = {degrees};
  } else if (what == "rates") {
    step.kind = StepKind::SimRates;
    for (const char* rate : {"the heat rate", "the cool rate", "the drift rate"}) {
      const double perSecond =
          decimal(lexer.word("sim rates needs HEAT COOL DRIFT in degrees per second"), rate);
      if (perSecond <= 0 || perSecond > kFastestRate)
        throw Refusal{std::string(rate) + " must lie above 0 and up to 1000 degrees a second"};
      step.degrees.push_back(perSecond);
    }
  } else if (what == "power-cycle") {
    step.kind = StepKind::SimPowerCycle;
  } else if (what == "chamber") {
    const std::string model = lexer.word("sim chamber needs thermal or linear");
    if (model != "thermal" && model != "linear")
      throw Refusal{"sim chamber needs thermal or linear, not \"" + model + "\""};
    step.kind = StepKind::SimChamber;
    step.flag = model == "linear";
  } else if (what == "plant") {
    step.kind = StepKind::SimPlant;
    step.degrees = decimals(lexer, "sim plant needs MASS HEATER COOLER LOSS DEAD-TIME",
                            {"the thermal mass", "the heater power", "the cooler power",
                             "the loss to the room", "the dead time"});
    const std::vector<double>& d = step.degrees;
    const std::string why =
        sim::Chamber::refusal(sim::Chamber::Plant{d[0], d[1], d[2], d[3], d[4]});
    if (!why.empty()) throw Refusal{why};
  } else if (what == "loop") {
    step.kind = StepKind::SimLoop;
    step.degrees = decimals(lexer, "sim loop needs BAND INTEGRAL DERIVATIVE",
                            {"the proportional band", "the integral time", "the derivative time"});
    const std::vector<double>& d = step.degrees;
    const std::string why = sim::Chamber::refusal(sim::Chamber::Loop{d[0], d[1], d[2]});
    if (!why.empty()) throw Refusal{why};
  } else if (what == "link") {
    const std::string pace = lexer.word("sim link needs paced or instant");
    if (pace != "paced" && pace != "instant")
      throw Refusal{"sim link needs paced or instant, not \"" + pace + "\""};
    step.kind = StepKind::SimLink;
    step.flag = pace == "paced";
  } else if (what == "latency") {
    step.kind = StepKind::SimLatency;
    step.seconds = decimal(lexer.word("sim latency needs milliseconds"), "the latency") / 1000;
    if (step.seconds < 0 || step.seconds * 1000 > kLongestLatency)
      throw Refusal{"the latency must lie from 0 to 10000 milliseconds"};
  } else {
    throw Refusal{"unknown sim step \"" + what + "\" (" + kSimSteps + ")"};
  }
  return step;
}

Step step(Lexer& lexer, const std::string& verb) {
  Step step;
  if (verb == "click" || verb == "select") {
    step.kind = verb == "click" ? StepKind::Click : StepKind::Select;
    step.name = controlName(lexer, verb);
  } else if (verb == "type") {
    step.kind = StepKind::Type;
    step.name = controlName(lexer, verb);
    step.text = lexer.text("type needs the text to type (\"\" empties the box)");
  } else if (verb == "key") {
    step.kind = StepKind::Key;
    step.name = controlName(lexer, verb);
    step.text = lexer.word("key needs the key's name (Enter)");
    if (step.text != "Enter") throw Refusal{"unknown key \"" + step.text + "\" (Enter)"};
  } else if (verb == "close") {
    step.kind = StepKind::Close;
  } else if (verb == "open") {
    step.kind = StepKind::Open;
    step.name = lexer.word("open needs the name of a window (trend)");
    if (!isIdentifier(step.name)) throw Refusal{"\"" + step.name + "\" is not a window's name"};
  } else if (verb == "expect") {
    step = expectStep(lexer);
  } else if (verb == "wait") {
    step.kind = StepKind::Wait;
    step.seconds = seconds(lexer.word("wait needs a number of seconds"), "wait");
    // A day is more than any story needs, and keeps a typo from running for ever.
    if (step.seconds > kLongestWait)
      throw Refusal{"wait is limited to " + std::to_string(kLongestWait) + " seconds (a day)"};
  } else if (verb == "sim") {
    step = simStep(lexer);
  } else {
    throw Refusal{"unknown step \"" + verb +
                  "\" (click, select, type, key, close, open, expect, wait, sim)"};
  }
  lexer.finish();
  return step;
}

}  // namespace

ParsedLine parseLine(std::string_view line) {
  Lexer lexer(line);
  if (lexer.atEnd()) return {};
  const std::string verb = lexer.word();
  try {
    return {step(lexer, verb), {}};
  } catch (const Refusal& refusal) {
    return {std::nullopt, refusal.message};
  }
}

std::vector<ScriptLine> parseScript(std::string_view text) {
  std::vector<ScriptLine> lines;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // written on Windows
    ParsedLine parsed = parseLine(line);
    if (!parsed.step && parsed.error.empty()) continue;
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
    lines.push_back({number, std::string(line), std::move(parsed.step), std::move(parsed.error)});
  }
  return lines;
}

const char* stateName(ControlState state) {
  switch (state) {
    case ControlState::Visible:
      return "visible";
    case ControlState::Hidden:
      return "hidden";
    case ControlState::Enabled:
      return "enabled";
    case ControlState::Disabled:
      return "disabled";
    case ControlState::Selected:
      return "selected";
    case ControlState::Unselected:
      return "unselected";
  }
  return "";
}

}  // namespace script
