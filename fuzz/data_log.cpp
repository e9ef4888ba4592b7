// A data log read back from any bytes: refused with a reason, or readings in time order with
// finite values that the trend can draw.
#include <cmath>
#include <cstdint>
#include <string_view>

#include "Check.h"
#include "LogReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const trend::LogContents log = trend::readLog(text);
  FUZZ_CHECK(!log.records.empty() || !log.problem.empty());
  FUZZ_CHECK(log.records.empty() == (log.rows == 0));
  double last = 0;
  for (const trend::Record& r : log.records) {
    FUZZ_CHECK(std::isfinite(r.elapsed) && r.elapsed >= last);
    FUZZ_CHECK(!r.temperature || std::isfinite(*r.temperature));
    FUZZ_CHECK(!r.setPoint || std::isfinite(*r.setPoint));
    FUZZ_CHECK(r.unit == 'F' || r.unit == 'C');
    last = r.elapsed;
  }
  return 0;
}
