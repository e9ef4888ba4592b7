#include "LogReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

#include "DataLog.h"
#include "NumberText.h"

namespace trend {

namespace {

// A day at five readings a second is about 17 MB; a file far larger is not a data log.
constexpr std::size_t kLargestLog = std::size_t{1} << 30;
// Beyond these a field is damaged: about 31 years, and far beyond any register's value.
constexpr double kLongestElapsed = 1e9;
constexpr double kLargestValue = 1e6;
constexpr std::size_t kFields = 6;
// Within a session every row's time is its start plus its elapsed time, to the millisecond.
constexpr double kSameStartMs = 1000;

struct Row {
  std::size_t line = 0;  // where it starts
  std::vector<std::string> fields;
  bool openQuote = false;  // the text ended inside a quoted field
};

LogContents refused(std::string why) {
  LogContents log;
  log.problem = std::move(why);
  return log;
}

std::string lineText(std::size_t line) { return "line " + std::to_string(line); }

std::string fieldCount(std::size_t line, std::size_t fields) {
  return lineText(line) + " has " + std::to_string(fields) + (fields == 1 ? " field" : " fields") +
         "; a data log row has 6";
}

std::string quoted(std::string_view field) { return '"' + bus::printableText(field, 40) + '"'; }

// Reads the CSV row at `pos`, counting lines (a quoted field may hold line ends); what is wrong
// with it, or empty. A row ends in LF or CRLF, or at the end of the text.
std::string readRow(std::string_view text, std::size_t& pos, std::size_t& line, Row& row) {
  row = Row{line, {std::string()}};
  bool inQuotes = false, closed = false;
  while (pos < text.size()) {
    const char c = text[pos++];
    std::string& field = row.fields.back();
    if (inQuotes) {
      if (c != '"') {
        line += c == '\n';
        field += c;
      } else if (pos < text.size() && text[pos] == '"') {
        field += '"';
        ++pos;
      } else {
        inQuotes = false, closed = true;
      }
    } else if (c == ',') {
      row.fields.emplace_back();
      closed = false;
    } else if (c == '\n' || (c == '\r' && pos < text.size() && text[pos] == '\n')) {
      pos += c == '\r';
      ++line;
      return {};
    } else if (closed) {
      return lineText(line) + ": a field goes on after its closing quote";
    } else if (c == '"') {
      if (!field.empty()) return lineText(line) + ": a quote inside a field that is not quoted";
      inQuotes = true;
    } else {
      field += c;
    }
  }
  row.openQuote = inQuotes;
  return {};
}

// What is wrong with `field` as a number within +/- limit; empty when it is one.
std::string toNumber(std::string_view field, double limit, double& value) {
  const char* end = field.data() + field.size();
  const auto [stop, ec] = std::from_chars(field.data(), end, value);
  if (ec == std::errc::result_out_of_range) return "is out of range";
  if (ec != std::errc() || stop != end || !std::isfinite(value)) return "is not a number";
  return std::abs(value) > limit ? "is out of range" : "";
}

// The kind of an event by the text the collector gives it; any other text is a bus error (a
// driver call and its error, or a Modbus error).
EventKind eventKindOf(std::string_view text) {
  if (text == "set point off") return EventKind::SetPointOff;
  if (text.starts_with("set point ")) return EventKind::SetPointWritten;
  if (text.starts_with("unit ")) return EventKind::UnitChanged;
  if (text == "profile stop") return EventKind::ProfileStop;
  if (text.starts_with("profile ") && text.ends_with(" run")) return EventKind::ProfileRun;
  return EventKind::BusError;
}

}  // namespace

std::optional<std::int64_t> parseIsoLocalTime(std::string_view text) {
  constexpr std::string_view shape = "dddd-dd-ddTdd:dd:dd.ddd";
  if (text.size() != shape.size()) return std::nullopt;
  for (std::size_t i = 0; i < shape.size(); ++i)
    if (shape[i] == 'd' ? text[i] < '0' || text[i] > '9' : text[i] != shape[i]) return std::nullopt;
  const auto number = [&](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  std::tm asked{};
  asked.tm_year = number(0, 4) - 1900, asked.tm_mon = number(5, 2) - 1;
  asked.tm_mday = number(8, 2), asked.tm_hour = number(11, 2);
  asked.tm_min = number(14, 2), asked.tm_sec = number(17, 2);
  asked.tm_isdst = -1;
  std::tm local = asked;
  const std::time_t seconds = std::mktime(&local);
  // mktime moves a day or hour that does not exist (31 February, a clock gone forward) on.
  if (local.tm_year != asked.tm_year || local.tm_mon != asked.tm_mon ||
      local.tm_mday != asked.tm_mday || local.tm_hour != asked.tm_hour ||
      local.tm_min != asked.tm_min || local.tm_sec != asked.tm_sec)
    return std::nullopt;
  return static_cast<std::int64_t>(seconds) * 1000 + number(20, 3);
}

LogContents readLog(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // as some editors save
  if (text.empty()) return refused("the file is empty");
  std::size_t pos = 0, line = 1;
  Row row;
  if (std::string wrong = readRow(text, pos, line, row); !wrong.empty()) return refused(wrong);
  std::string header;
  for (const std::string& field : row.fields) header += (header.empty() ? "" : ",") + field;
  if (row.fields.size() != kFields || header != kLogHeader)
    return refused("line 1 is not a data log's header (" + std::string(kLogHeader) + ")");

  LogContents log;
  std::string temperatureField, setPointField;  // the row before's, to tell what a row read
  double runElapsed = 0, offset = 0;
  double runStartMs = NAN;  // the session's start by its time column
  double originMs = NAN;    // local time of elapsed 0
  struct Cut {
    std::size_t line = 0, fields = 0;  // line 0: none
  };
  Cut cut;  // a row cut short, unless more rows of the same session follow
  std::size_t cutRows = 0, firstCut = 0;
  while (pos < text.size()) {
    if (std::string wrong = readRow(text, pos, line, row); !wrong.empty()) return refused(wrong);
    const std::string at = lineText(row.line);
    const bool whole = row.fields.size() == kFields && !row.openQuote;
    if (row.fields.size() == 1 && row.fields[0].empty() && !row.openQuote) {
      if (pos >= text.size()) break;  // the file ends in an empty line
      return refused(at + " is empty");
    }
    if (cut.line && !whole) return refused(fieldCount(cut.line, cut.fields));
    if (row.fields.size() > kFields) return refused(fieldCount(row.line, row.fields.size()));
    if (!whole) {
      cut = Cut{row.line, row.fields.size()};
      continue;
    }
    const std::string& time = row.fields[0];
    const std::string& elapsedField = row.fields[1];
    const std::string& temperature = row.fields[2];
    const std::string& setPoint = row.fields[3];
    const std::string& unit = row.fields[4];
    const std::string& event = row.fields[5];
    double timeMs = NAN;
    if (!time.empty()) {
      const std::optional<std::int64_t> parsed = parseIsoLocalTime(time);
      if (!parsed)
        return refused(at + ": time " + quoted(time) +
                       " is not a local time such as 2026-12-07T14:03:09.250");
      timeMs = static_cast<double>(*parsed);
    }
    double elapsed = 0, value = 0;
    if (std::string wrong = toNumber(elapsedField, kLongestElapsed, elapsed); !wrong.empty())
      return refused(at + ": elapsed time " + quoted(elapsedField) + " " + wrong);
    if (elapsed < 0) return refused(at + ": elapsed time " + quoted(elapsedField) + " is negative");
    Record r;
    if (!temperature.empty()) {
      if (std::string wrong = toNumber(temperature, kLargestValue, value); !wrong.empty())
        return refused(at + ": temperature " + quoted(temperature) + " " + wrong);
      r.temperature = value;
    }
    r.setPointOff = setPoint == "off";
    if (!setPoint.empty() && !r.setPointOff) {
      if (std::string wrong = toNumber(setPoint, kLargestValue, value); !wrong.empty())
        return refused(at + ": set point " + quoted(setPoint) + " " + wrong);
      r.setPoint = value;
    }
    if (unit != "F" && unit != "C")
      return refused(at + ": unit " + quoted(unit) + " is neither F nor C");
    r.unit = unit[0];

    // A session appended to the file starts again from elapsed 0, or from another start.
    const double startMs = timeMs - elapsed * 1000;  // NaN without a time
    const bool newRun =
        log.runs == 0 || elapsed < runElapsed || std::abs(startMs - runStartMs) > kSameStartMs;
    if (cut.line && !newRun) return refused(fieldCount(cut.line, cut.fields));
    if (cut.line && cutRows++ == 0) firstCut = cut.line;
    cut = {};
    if (newRun) {
      ++log.runs;
      const double end = log.records.empty() ? 0 : log.records.back().elapsed;
      // The session's elapsed 0: where its time column puts it, never before the last row.
      const double byTime = (startMs - originMs) / 1000;
      offset = log.records.empty() ? 0 : std::isnan(byTime) ? end : std::max(end, byTime);
      if (!log.records.empty()) {
        // A gap between the sessions: neither curve runs across it.
        Record gap;
        gap.elapsed = end, gap.unit = log.records.back().unit;
        gap.what = Record::What::Temperature;
        log.records.push_back(gap);
        gap.what = Record::What::SetPoint;
        log.records.push_back(gap);
      }
      temperatureField.clear(), setPointField.clear();
      runStartMs = NAN;
    }
    runElapsed = elapsed;
    if (!std::isnan(startMs)) runStartMs = startMs;
    r.elapsed = elapsed + offset;
    if (!std::isnan(timeMs) && std::isnan(originMs)) originMs = timeMs - r.elapsed * 1000;

    // The log does not say what a row read: an event says so itself; a set point that changed
    // while the temperature did not was a set point read; the rest are temperature reads (a
    // set point read that changed nothing draws as one more temperature point).
    if (!event.empty()) {
      r.what = Record::What::Event;
      r.event = eventKindOf(event);
      r.eventText = event;
    } else if (setPoint != setPointField && temperature == temperatureField) {
      r.what = Record::What::SetPoint;
    } else {
      r.what = Record::What::Temperature;
    }
    r.temperatureKnown = r.temperature || r.what == Record::What::Temperature;
    temperatureField = temperature, setPointField = setPoint;
    log.records.push_back(std::move(r));
    ++log.rows;
  }
  if (cut.line && cutRows++ == 0) firstCut = cut.line;
  if (log.rows == 0)
    return refused(cutRows ? lineText(firstCut) + " is cut short; the log holds no whole row"
                           : "the log holds no rows");
  if (!std::isnan(originMs)) log.originEpochMs = std::llround(originMs);
  if (cutRows == 1)
    log.problem = lineText(firstCut) + " was cut short and is left out";
  else if (cutRows > 1)
    log.problem = std::to_string(cutRows) + " rows cut short are left out, the first on " +
                  lineText(firstCut);
  return log;
}

LogContents loadLog(const std::string& path) {
  // Not blocking on a pipe that nobody writes; a regular file is read as it is.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return refused(std::strerror(errno));
  std::string text, problem;
  struct stat info {};
  if (::fstat(fd, &info) != 0)
    problem = std::strerror(errno);
  else if (S_ISDIR(info.st_mode))
    problem = std::strerror(EISDIR);
  else if (!S_ISREG(info.st_mode))
    problem = "not a file";
  char buffer[1 << 16];
  while (problem.empty()) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) problem = std::strerror(errno);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kLargestLog) problem = "larger than any data log (1 GB)";
  }
  ::close(fd);
  return problem.empty() ? readLog(text) : refused(problem);
}

}  // namespace trend
