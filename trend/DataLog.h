#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Readings.h"

namespace trend {

// The header of the data log, and one row of it: time, elapsed seconds, temperature, set point
// ("off" when off, empty when not known), unit and event, quoted as CSV requires.
extern const char* const kLogHeader;
std::string logRow(const Record& record, const std::string& time);
std::string csvField(std::string_view text);
// "2026-12-07T14:03:09.250" in the computer's local time.
std::string isoLocalTime(std::int64_t epochMilliseconds);

// Records every reading in a CSV file as it happens. Each row goes to the file at once, so a
// console that is killed leaves every row before it. An existing file is appended to (its
// header is not written again), never truncated. When a row cannot be written the log stops
// and says why once; nothing else is affected.
class DataLog {
 public:
  // `timeOf` gives the time column for an elapsed time; without it the column stays empty
  // (virtual time has no time of day).
  explicit DataLog(std::function<std::string(double elapsed)> timeOf = {});
  ~DataLog();
  DataLog(const DataLog&) = delete;
  DataLog& operator=(const DataLog&) = delete;

  // Starts logging to `path` (ending a log already running). False, with problem(), when the
  // file cannot be opened for writing.
  bool open(const std::string& path);
  void close();
  void write(const Record& record);

  bool active() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  std::size_t rows() const { return rows_; }
  // Why logging stopped or never started; empty while all is well.
  const std::string& problem() const { return problem_; }
  // Called once when logging stops on an error, with problem().
  std::function<void(const std::string&)> stopped;

 private:
  bool put(std::string_view text);
  void fail(const std::string& what, int error);

  std::function<std::string(double)> timeOf_;
  int fd_ = -1;
  std::string path_;
  std::string problem_;
  std::size_t rows_ = 0;
};

}  // namespace trend
