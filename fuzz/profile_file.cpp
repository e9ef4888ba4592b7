// The profile file reader on any bytes: it refuses with a message or returns profiles that pass
// the controller's checks, and what it returns saves and reads back unchanged.
#include <cstdint>
#include <string>

#include "Check.h"
#include "ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace profilelibrary;
  const Reading reading = fromJson(std::string(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(reading.ok() != reading.set.profiles.empty());
  if (!reading.ok()) return 0;
  for (const Profile& p : reading.set.profiles) FUZZ_CHECK(checkProfile(p, false).empty());
  const Reading again = fromJson(toJson(reading.set));
  FUZZ_CHECK(again.ok() && again.set.unit == reading.set.unit);
  FUZZ_CHECK(again.set.profiles.size() == reading.set.profiles.size());
  for (std::size_t i = 0; i < again.set.profiles.size(); ++i)
    FUZZ_CHECK(again.set.profiles[i].steps == reading.set.profiles[i].steps &&
               again.set.profiles[i].name == reading.set.profiles[i].name);
  return 0;
}
