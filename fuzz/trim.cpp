// Reply trimming: trailing blanks only, and the cut at the first line feed, on any bytes.
#include <cstdint>
#include <string>

#include "Check.h"
#include "NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);

  const std::string trimmed = bus::trimTrailingBlanks(reply);
  FUZZ_CHECK(reply.compare(0, trimmed.size(), trimmed) == 0);
  FUZZ_CHECK(trimmed.empty() || trimmed.back() != ' ');
  FUZZ_CHECK(reply.find_first_not_of(' ', trimmed.size()) == std::string::npos);

  const std::string cut = bus::cutAtLineFeed(reply);
  FUZZ_CHECK(reply.compare(0, cut.size(), cut) == 0);
  FUZZ_CHECK(cut.find('\n') == std::string::npos);
  FUZZ_CHECK(cut.size() == reply.size() || reply[cut.size()] == '\n');

  // Together, as the exchanges use them.
  const std::string both = bus::cutAtLineFeed(bus::trimTrailingBlanks(reply));
  FUZZ_CHECK(both.find('\n') == std::string::npos);
  FUZZ_CHECK(bus::cutAtLineFeed(both) == both);
  return 0;
}
