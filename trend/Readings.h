#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trend {

// What happened on the bus that the trend marks on its time axis.
enum class EventKind {
  SetPointWritten,
  SetPointOff,
  UnitChanged,
  ProfileRun,
  ProfileStop,
  BusError
};

// One reading or event, with the newest of everything known at that moment: a row of the
// data log, and what the chart takes its points from.
struct Record {
  enum class What { Temperature, SetPoint, Event };
  What what = What::Event;
  double elapsed = 0;                   // seconds since the console started
  std::optional<double> temperature{};  // newest reading; empty when it was not a number
  bool temperatureKnown = false;        // a temperature has been read (maybe not a number)
  std::optional<double> setPoint{};     // newest set point; empty when off or not yet known
  bool setPointOff = false;
  char unit = 'F';  // 'F' or 'C'
  std::optional<EventKind> event{};
  std::string eventText{};  // empty unless `event`
  int profile = 0;          // ProfileRun: the profile started (0 when not known)
};

// A value at a time; NaN is a gap: a reading that was not a number, or a set point that is off.
struct Sample {
  double t;
  float value;
  std::uint32_t segment;  // a new segment starts when the unit changes
};

struct Point {
  double t;
  double value;
};

// A run of points drawn as one line: no gap and no change of unit inside.
struct Polyline {
  std::uint32_t segment = 0;
  std::vector<Point> points;
};

// The points to draw of `samples` (sorted by time) between t0 and t1 on `columns` pixel columns:
// every sample when there are few, otherwise the first, lowest, highest and last of each column,
// so the curve keeps its peaks at any zoom. One sample on either side of the range is kept, so
// the line runs to the edges. Gaps and unit changes break the lines.
std::vector<Polyline> reduce(std::span<const Sample> samples, double t0, double t1, int columns);

// Everything the trend has seen: both curves, their units and the events. Readings only grow:
// 24 hours at 5 a second is 432,000 samples of each curve.
class Readings {
 public:
  struct Event {
    double t;
    EventKind kind;
    std::string text;
  };

  void add(const Record& record);

  std::span<const Sample> temperature() const { return temperature_; }
  std::span<const Sample> setPoint() const { return setPoint_; }
  std::span<const Event> events() const { return events_; }
  // The unit of a segment ('F' or 'C').
  char unitOf(std::uint32_t segment) const;
  char unit() const { return units_.back(); }
  // Time of the first and the newest record; 0 when there is none.
  double first() const { return first_; }
  double last() const { return last_; }
  bool empty() const { return records_ == 0; }
  std::size_t memoryBytes() const;

  // The newest sample of each curve at or before t (for the values under the cursor).
  std::optional<Sample> temperatureAt(double t) const;
  std::optional<Sample> setPointAt(double t) const;

 private:
  std::vector<Sample> temperature_;
  std::vector<Sample> setPoint_;
  std::vector<Event> events_;
  std::vector<char> units_{'F'};
  double first_ = 0;
  double last_ = 0;
  std::size_t records_ = 0;
};

const char* eventName(EventKind kind);

}  // namespace trend
