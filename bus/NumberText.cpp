#include "NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace bus {

namespace {

// Shortest text of `value` rounded to `digits` significant digits, in the form of C's %G:
// exponent form when the exponent is below -4 or at least `digits`.
template <typename T>
std::string generalText(T value, int digits) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";  // also turns -0 into 0
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
  if (ec != std::errc()) return "0";
  std::string text(buf, end);
  std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c == 'e' ? 'E' : c; });
  return text;
}

// " 0.5" -> " .5", "-0.5" -> "-.5".
std::string withSignBlank(std::string text) {
  if (text.rfind("-0.", 0) == 0) return "-" + text.substr(2);
  if (text.rfind("0.", 0) == 0) return " " + text.substr(1);
  if (text[0] == '-') return text;
  return " " + text;
}

bool isSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

std::string numberText(float value) { return withSignBlank(generalText(value, 7)); }
std::string numberText(double value) { return withSignBlank(generalText(value, 15)); }
std::string numberText(int value) { return numberText(static_cast<long>(value)); }
std::string numberText(long value) {
  return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

std::string plainNumberText(double value) { return generalText(value, 15); }

double numericValue(std::string_view text) {
  std::string s;  // the text without blanks, tabs and line feeds
  s.reserve(text.size());
  for (char c : text)
    if (!isSkipped(c)) s.push_back(c);

  size_t i = 0;
  if (s.size() >= 2 && s[0] == '&') {
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
    const int base = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
    if (base == 0) return 0;
    double v = 0;
    for (i = 2; i < s.size(); ++i) {
      const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
      int d = -1;
      if (c >= '0' && c <= '9') d = c - '0';
      if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      if (d < 0 || d >= base) break;
      v = v * base + d;
    }
    return v;
  }

  std::string number;  // sign, mantissa and exponent in from_chars' own syntax
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(s[i]))) {
      number.push_back(s[i]);
      digits = true;
    } else if (s[i] == '.' && !point) {
      number.push_back('.');
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  long exponent = 0;
  if (i < s.size() && std::strchr("EeDd", s[i]) != nullptr) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
    bool expDigits = false;
    for (; j < s.size() && std::isdigit(static_cast<unsigned char>(s[j])); ++j) {
      expDigits = true;
      if (exponent < 100000) exponent = exponent * 10 + (s[j] - '0');
    }
    if (expDigits) {
      if (expNegative) exponent = -exponent;
      number += "e" + std::to_string(exponent);
    }
  }
  double v = 0;
  auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves v alone: decide between overflow and underflow ourselves.
    const bool zeroMantissa = number.find_first_of("123456789") > number.find('e');
    v = (zeroMantissa || exponent < 0) ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (ec != std::errc()) {
    v = 0;
  }
  return negative ? -v : v;
}

std::optional<std::int16_t> toInt16(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0)) whole += 1;
  if (whole < -32768.0 || whole > 32767.0) return std::nullopt;
  return static_cast<std::int16_t>(whole);
}

std::optional<float> toSingle(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  if (std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
    return std::nullopt;
  return static_cast<float>(value);
}

std::string registerReadLine(float reg, float count) {
  return "R " + numberText(reg) + "," + numberText(count);
}

std::string registerWriteLine(float reg, float value) {
  return "W " + numberText(reg) + "," + numberText(value);
}

std::string trimTrailingBlanks(std::string text) {
  // A read leaves a reply of a few bytes in 256 blanks: skip them eight at a time.
  std::size_t end = text.size();
  constexpr std::uint64_t kEightBlanks = 0x2020202020202020;
  for (std::uint64_t word = 0; end >= 8; end -= 8) {
    std::memcpy(&word, text.data() + end - 8, 8);
    if (word != kEightBlanks) break;
  }
  while (end > 0 && text[end - 1] == ' ') --end;
  text.resize(end);
  return text;
}

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string upperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

std::string cutAtLineFeed(std::string text) {
  const size_t lf = text.find('\n');
  if (lf != std::string::npos) text.erase(lf);
  return text;
}

namespace {

// \n, \r, \t or \xNN for a byte that does not print.
void appendEscape(std::string& out, unsigned char c) {
  static const char hex[] = "0123456789ABCDEF";
  switch (c) {
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\t':
      out += "\\t";
      break;
    default:
      out += {'\\', 'x', hex[c >> 4], hex[c & 0xF]};
  }
}

}  // namespace

std::string escapeBytes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\\' || c == '"') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      appendEscape(out, c);
    }
  }
  return out;
}

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text` that encodes a printable
// character (not a C1 control), or 0.
std::size_t printableSequence(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool invalid = code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF);
  const bool c1 = code < 0xA0;
  return overlong || invalid || c1 ? 0 : length;
}

}  // namespace

std::string printableText(std::string_view text, std::size_t limit) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size() && i < limit) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (const std::size_t length = c >= 0x80 ? printableSequence(text.substr(i)) : 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      appendEscape(out, c);
      ++i;
    }
  }
  if (i < text.size()) out += "...";
  return out;
}

}  // namespace bus
