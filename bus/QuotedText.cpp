#include "QuotedText.h"

#include <utility>

namespace bus {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Quoted readQuoted(std::string_view text, std::size_t start) {
  Quoted result;
  if (start >= text.size() || text[start] != '"') {
    result.error = "a quoted text must start with \"";
    return result;
  }
  for (std::size_t i = start + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      result.end = i + 1;
      return result;
    }
    if (c != '\\') {
      result.bytes += c;
      continue;
    }
    if (++i >= text.size()) break;
    switch (text[i]) {
      case 'n':
        result.bytes += '\n';
        break;
      case 'r':
        result.bytes += '\r';
        break;
      case 't':
        result.bytes += '\t';
        break;
      case '\\':
        result.bytes += '\\';
        break;
      case '"':
        result.bytes += '"';
        break;
      case 'x': {
        const int high = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
          result.error = "\\x needs two hexadecimal digits";
          return result;
        }
        result.bytes += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        result.error = std::string("unknown escape \\") + text[i] +
                       " (use \\n, \\r, \\t, \\\\, \\\" or \\xNN)";
        return result;
    }
  }
  result.error = "the closing quote is missing";
  return result;
}

}  // namespace bus
