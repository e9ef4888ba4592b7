#include "Message.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "NumberText.h"

namespace converter {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::vector<ProgramUnit> splitMessage(std::string_view message) {
  std::vector<ProgramUnit> units;
  while (true) {
    const std::size_t end = message.find(';');
    const std::string_view unit = bus::trimmed(message.substr(0, end));
    if (!unit.empty()) {
      std::size_t split = 0;
      while (split < unit.size() && !isBlank(unit[split])) ++split;
      ProgramUnit parsed;
      parsed.header = bus::upperCase(unit.substr(0, split));
      parsed.parameters = std::string(bus::trimmed(unit.substr(split)));
      units.push_back(std::move(parsed));
    }
    if (end == std::string_view::npos) break;
    message.remove_prefix(end + 1);
  }
  return units;
}

std::vector<std::string> splitParameters(std::string_view parameters) {
  std::vector<std::string> pieces;
  if (bus::trimmed(parameters).empty()) return pieces;
  while (true) {
    const std::size_t end = parameters.find(',');
    pieces.emplace_back(bus::trimmed(parameters.substr(0, end)));
    if (end == std::string_view::npos) break;
    parameters.remove_prefix(end + 1);
  }
  return pieces;
}

std::optional<double> parseNumber(std::string_view text) {
  text = bus::trimmed(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t start = i;
  std::size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j >= text.size() || !isDigit(text[j])) return std::nullopt;
    while (j < text.size() && isDigit(text[j])) ++j;
    i = j;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  const char* first = text.data() + start;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
  // Out of a double's range: a negative exponent made it vanish, anything else made it huge.
  if (error == std::errc::result_out_of_range) {
    const bool tiny =
        text.find("e-") != std::string_view::npos || text.find("E-") != std::string_view::npos;
    value = tiny ? 0.0 : HUGE_VAL;
  } else if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<long> wholeNumber(double value, long low, long high) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = std::round(value);
  if (rounded < static_cast<double>(low) || rounded > static_cast<double>(high))
    return std::nullopt;
  return static_cast<long>(rounded);
}

bool matchesPath(std::string_view header,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> nodes) {
  if (!header.empty() && header.front() == ':') header.remove_prefix(1);
  std::size_t index = 0;
  for (const auto& [shortForm, longForm] : nodes) {
    const std::size_t end = header.find(':');
    const std::string_view node = header.substr(0, end);
    if (node != shortForm && node != longForm) return false;
    ++index;
    if (end == std::string_view::npos) return index == nodes.size();
    header.remove_prefix(end + 1);
  }
  return false;
}

}  // namespace converter
