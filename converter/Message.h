#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace converter {

// One command of a program message: its header in upper case ("*ESE", "SYST:COMM:SER:BAUD?",
// "R") and its parameter text, blanks around it removed.
struct ProgramUnit {
  std::string header;
  std::string parameters;
};

// Splits a program message at ';' into its commands; empty commands are dropped.
std::vector<ProgramUnit> splitMessage(std::string_view message);

// Splits parameter text at ','; each piece is stripped of blanks.
std::vector<std::string> splitParameters(std::string_view parameters);

// A decimal number as a lenient instrument reads it: blanks around it, an optional sign, digits
// with at most one point, an optional exponent. Anything else (empty text, trailing letters,
// "inf") is not a number.
std::optional<double> parseNumber(std::string_view text);

// The number rounded to the nearest whole number (halves away from zero) when it lies within
// [low, high]; nothing otherwise.
std::optional<long> wholeNumber(double value, long low, long high);

// True when `header` names the command path `nodes`, each node given as its short and long
// form ("SYST", "SYSTEM"); a leading ':' is allowed.
bool matchesPath(std::string_view header,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> nodes);

}  // namespace converter
