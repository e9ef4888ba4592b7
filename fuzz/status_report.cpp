// The bus status report for any label, status word, error code and count.
// Input: 2 bytes ibsta, 1 byte iberr, 4 bytes ibcntl, then the label.
#include <cstdint>
#include <cstring>
#include <string>

#include "Check.h"
#include "NumberText.h"
#include "StatusReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  const int ibsta = data[0] | data[1] << 8;
  const int iberr = static_cast<std::int8_t>(data[2]);
  std::int32_t count;
  std::memcpy(&count, data + 3, sizeof count);
  const std::string label(reinterpret_cast<const char*>(data) + 7, size - 7);

  const std::string report = bus::statusReportText(label, ibsta, iberr, count);
  FUZZ_CHECK(report.rfind(label + "  ", 0) == 0);
  FUZZ_CHECK(report.find(" >iberr = ", label.size()) != std::string::npos);
  const std::string tail = "ibcnt = " + bus::numberText(static_cast<long>(count));
  FUZZ_CHECK(report.size() >= tail.size() &&
             report.compare(report.size() - tail.size(), tail.size(), tail) == 0);
  // The status name is the lowest set bit's, or nothing for none.
  FUZZ_CHECK(bus::statusName(ibsta).empty() == (ibsta == 0));
  return 0;
}
