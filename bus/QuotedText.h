#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bus {

// A text in double quotes as driver calls are reported, scripts write it and traces print it:
// \n, \r, \t, \\, \" and \xNN (two hexadecimal digits, any byte, NUL included); every other
// byte stands for itself.
struct Quoted {
  std::string bytes;
  std::size_t end = 0;  // index just past the closing quote
  std::string error;    // not empty when the text cannot be read
};

// Reads the quoted text whose opening quote is at text[start].
Quoted readQuoted(std::string_view text, std::size_t start);

}  // namespace bus
