#include "DataLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

#include "NumberText.h"

namespace trend {

const char* const kLogHeader = "time,elapsed_s,temperature,set_point,unit,event";

namespace {

std::string fixed3(double value) {
  char text[64];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 3);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string logRow(const Record& r, const std::string& time) {
  std::string row = csvField(time) + ',' + fixed3(r.elapsed) + ',';
  if (r.temperature) row += bus::plainNumberText(*r.temperature);
  row += ',';
  if (r.setPointOff)
    row += "off";
  else if (r.setPoint)
    row += bus::plainNumberText(*r.setPoint);
  row += ',';
  row += r.unit;
  row += ',' + csvField(r.eventText) + '\n';
  return row;
}

std::string isoLocalTime(std::int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  if (!localtime_r(&seconds, &local)) return {};
  char text[40];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  char millis[8];
  std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(ms % 1000));
  return std::string(text, n) + millis;
}

DataLog::DataLog(std::function<std::string(double)> timeOf) : timeOf_(std::move(timeOf)) {}

DataLog::~DataLog() { close(); }

bool DataLog::open(const std::string& path) {
  close();
  path_ = path;
  problem_.clear();
  rows_ = 0;
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    problem_ = "cannot write the data log " + bus::printableText(path) + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    fail("cannot write the data log", errno);
    return false;
  }
  bool ok = true;
  if (info.st_size == 0) {
    ok = put(std::string(kLogHeader) + '\n');
  } else {
    // A row cut short (a console killed while writing) gets its line ended first.
    char lastByte = '\n';
    if (::pread(fd_, &lastByte, 1, info.st_size - 1) == 1 && lastByte != '\n') ok = put("\n");
  }
  return ok;
}

void DataLog::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void DataLog::write(const Record& record) {
  if (fd_ < 0) return;
  if (put(logRow(record, timeOf_ ? timeOf_(record.elapsed) : std::string()))) ++rows_;
}

bool DataLog::put(std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fail("cannot write the data log", n < 0 ? errno : ENOSPC);
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void DataLog::fail(const std::string& what, int error) {
  problem_ = what + " " + bus::printableText(path_) + ": " + std::strerror(error) +
             "; logging stopped";
  close();
  if (stopped) stopped(problem_);
}

}  // namespace trend
