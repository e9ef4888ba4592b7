// The numeric value of any text: never NaN, and blanks, tabs and line feeds count for nothing.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "Check.h"
#include "NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const double value = bus::numericValue(text);
  FUZZ_CHECK(!std::isnan(value));

  std::string spaced;
  for (char c : text) spaced += std::string(" \t\n") + c;
  const double again = bus::numericValue(spaced);
  FUZZ_CHECK(again == value);
  return 0;
}
