// The command assembler's line from any register and data text: one command line or a refusal,
// never a line break that would let the converter see two commands.
// Input: first byte chooses R or W, then the register text, '|', the data text.
#include <cmath>
#include <cstdint>
#include <string>

#include "AssemblerLine.h"
#include "Check.h"
#include "NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string cmd = data[0] % 2 ? "W" : "R";
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t bar = rest.find('|');
  const std::string reg = rest.substr(0, bar);
  const std::string field = bar == std::string::npos ? std::string() : rest.substr(bar + 1);

  const console::AssembledLine assembled = console::assemblerLine(cmd, reg, field);
  if (assembled.refusal) {
    FUZZ_CHECK(assembled.line.empty());
    return 0;
  }
  const std::string& line = assembled.line;
  FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(line.rfind(cmd + " ", 0) == 0);
  const std::size_t comma = line.find(", ");
  FUZZ_CHECK(comma != std::string::npos);
  FUZZ_CHECK(line.substr(comma + 2) == (field.empty() ? "1" : field));

  // The register goes out as the value typed, to seven digits.
  const double typed = bus::numericValue(reg);
  const double sent = bus::numericValue(line.substr(2, comma - 2));
  FUZZ_CHECK(std::fabs(sent - static_cast<float>(typed)) <= std::fabs(typed) * 1e-6 + 1e-38);
  return 0;
}
