#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Readings.h"

namespace trend {

// A data log read back for review.
struct LogContents {
  // Every reading and event of the log in time order, as the collector made them. A file the
  // console appended to in several sessions holds several runs; each run starts where its time
  // column puts it (right after the run before when it has none), with a gap before it.
  std::vector<Record> records;
  std::size_t rows = 0;  // rows of the file read
  std::size_t runs = 0;
  // Local time of elapsed 0, from the first row that has a time.
  std::optional<std::int64_t> originEpochMs;
  // Why the log cannot be shown, naming the line (`records` is then empty); or, beside the
  // records, the rows left out because they were cut short.
  std::string problem;
};

// Reads the text of a data log as DataLog writes it. Strict: a wrong header, a field that is not
// what its column holds, or a row with the wrong number of fields refuses the whole log. Only a
// row cut short where a session ended (the file's last, or the last before the next session
// appended) is left out, and said so.
LogContents readLog(std::string_view text);
// Reads the data log in a file; a file that cannot be read gives the system's reason.
LogContents loadLog(const std::string& path);

// The time of isoLocalTime's text ("2026-12-07T14:03:09.250", local time) in milliseconds since
// the epoch; empty for any other text.
std::optional<std::int64_t> parseIsoLocalTime(std::string_view text);

}  // namespace trend
