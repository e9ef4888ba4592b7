#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace bus {

// Number text: how a number appears in a command line and in most result texts.
// One leading blank when the value is not negative, a minus sign when it is; whole numbers
// without a point; at most 7 (single) or 15 (double) significant digits; no zero before the
// point of a value between -1 and 1 (" .5"); exponent form past those digits (" 1.234568E+07",
// " 1E-05"). Independent of the process locale.
std::string numberText(float value);
std::string numberText(double value);
std::string numberText(int value);
std::string numberText(long value);

// Plain number text: no leading blank, zero before the point ("0.5", "-3", "32").
std::string plainNumberText(double value);

// Numeric value of a text: blanks, tabs and line feeds are skipped anywhere; then a sign,
// digits with at most one point, an optional E or D exponent; or &H / &O with hexadecimal /
// octal digits. Reading stops at the first other character; no number at all gives 0.
// A number too large for a double gives +/- infinity (callers check the fit).
double numericValue(std::string_view text);

// Whole-number conversion to a 16-bit signed integer: nearest whole number, halves to the
// even neighbour. Empty when the value does not fit (or is not a number).
std::optional<std::int16_t> toInt16(double value);

// The value as a single-precision number; empty when it does not fit (or is not a number).
std::optional<float> toSingle(double value);

// "R " + first register + "," + count, each as number text: "R  100, 1".
std::string registerReadLine(float reg, float count);
// "W " + register + "," + value, each as number text: "W  4000, 3".
std::string registerWriteLine(float reg, float value);

// Cuts trailing blanks (only blanks: a line feed stays).
std::string trimTrailingBlanks(std::string text);
// The text without the blanks, tabs, carriage returns and line feeds around it.
std::string_view trimmed(std::string_view text);
// The text with its ASCII letters in upper case; every other byte as it is.
std::string upperCase(std::string_view text);
// Keeps what stands before the first line feed (the whole text when there is none).
std::string cutAtLineFeed(std::string text);

// Bytes made readable for traces and test messages: \n, \r, \t, \\, \" and \xNN.
std::string escapeBytes(std::string_view bytes);

// Operator input repeated in a message (a script line, an option, a path), safe for a terminal:
// control bytes, DEL, C1 controls and bytes that are not UTF-8 become \xNN (\n, \r, \t for
// those three); printable text, UTF-8 letters included, stays as it is. Text longer than `limit`
// bytes is cut at a character boundary and ends in "...".
std::string printableText(std::string_view text, std::size_t limit = 200);

}  // namespace bus
