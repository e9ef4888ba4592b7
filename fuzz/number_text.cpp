// Number texts read back: a single-precision value that 7 digits hold comes back exactly, any
// other within its seventh digit; a double within its fifteenth. The text is the same in every
// locale and carries a sign or a blank in front.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "Check.h"
#include "NumberText.h"

namespace {

void checkShape(const std::string& text) {
  FUZZ_CHECK(!text.empty() && (text[0] == ' ' || text[0] == '-'));
  FUZZ_CHECK(text.find(',') == std::string::npos);
  FUZZ_CHECK(text.find("0.") != 1);  // " .5", not " 0.5"
}

// `value` rounded to 7 significant digits, as a float.
float sevenDigits(float value) {
  char buf[64];
  const auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 7).ptr;
  float rounded = 0;
  std::from_chars(buf, end, rounded);
  return rounded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= sizeof(float)) {
    float x;
    std::memcpy(&x, data, sizeof x);
    if (std::isnormal(x)) {
      const std::string text = bus::numberText(x);
      checkShape(text);
      const float back = static_cast<float>(bus::numericValue(text));
      if (sevenDigits(x) == x) FUZZ_CHECK(back == x);
      FUZZ_CHECK(std::fabs(back - x) <= std::fabs(x) * 1e-6f);
    }
  }
  if (size >= sizeof(double)) {
    double x;
    std::memcpy(&x, data, sizeof x);
    // Fifteen digits of a value next to the largest double may round past it.
    if (std::isnormal(x) && std::fabs(x) < 1e308) {
      const std::string text = bus::numberText(x);
      checkShape(text);
      FUZZ_CHECK(std::fabs(bus::numericValue(text) - x) <= std::fabs(x) * 1e-14);
    }
  }
  if (size >= sizeof(std::int32_t)) {
    std::int32_t n;
    std::memcpy(&n, data, sizeof n);
    const std::string text = bus::numberText(static_cast<long>(n));
    checkShape(text);
    FUZZ_CHECK(bus::numericValue(text) == n);
  }
  return 0;
}
