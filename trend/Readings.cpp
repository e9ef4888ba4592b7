#include "Readings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trend {

namespace {

constexpr float kGap = std::numeric_limits<float>::quiet_NaN();

bool before(const Sample& s, double t) { return s.t < t; }

std::optional<Sample> at(std::span<const Sample> samples, double t) {
  auto it = std::upper_bound(samples.begin(), samples.end(), t,
                             [](double time, const Sample& s) { return time < s.t; });
  if (it == samples.begin()) return std::nullopt;
  return *(it - 1);
}

// Collects one pixel column of one polyline: its first, lowest, highest and last samples.
class Column {
 public:
  void add(const Sample& s) {
    if (count_++ == 0) first_ = low_ = high_ = s;
    if (s.value < low_.value) low_ = s;
    if (s.value > high_.value) high_ = s;
    last_ = s;
  }
  bool empty() const { return count_ == 0; }
  void flushInto(std::vector<Point>& points) {
    if (count_ == 0) return;
    Sample picked[] = {first_, low_, high_, last_};
    std::sort(std::begin(picked), std::end(picked),
              [](const Sample& a, const Sample& b) { return a.t < b.t; });
    for (std::size_t i = 0; i < std::size(picked); ++i)
      if (i == 0 || picked[i].t != picked[i - 1].t) points.push_back({picked[i].t, picked[i].value});
    count_ = 0;
  }

 private:
  std::size_t count_ = 0;
  Sample first_{}, low_{}, high_{}, last_{};
};

}  // namespace

const char* eventName(EventKind kind) {
  switch (kind) {
    case EventKind::SetPointWritten: return "set point";
    case EventKind::SetPointOff: return "set point off";
    case EventKind::UnitChanged: return "unit";
    case EventKind::ProfileRun: return "profile run";
    case EventKind::ProfileStop: return "profile stop";
    case EventKind::BusError: return "bus error";
  }
  return "";
}

std::vector<Polyline> reduce(std::span<const Sample> samples, double t0, double t1, int columns) {
  std::vector<Polyline> lines;
  if (samples.empty() || !(t1 > t0) || columns <= 0) return lines;
  auto begin = std::lower_bound(samples.begin(), samples.end(), t0, before);
  auto end = std::upper_bound(samples.begin(), samples.end(), t1,
                              [](double time, const Sample& s) { return time < s.t; });
  if (begin != samples.begin()) --begin;
  if (end != samples.end()) ++end;
  const bool every = end - begin <= 2 * static_cast<std::ptrdiff_t>(columns);
  const double width = (t1 - t0) / columns;

  Column column;
  long columnIndex = std::numeric_limits<long>::min();
  Polyline* line = nullptr;
  auto finish = [&] {
    if (line) column.flushInto(line->points);
    line = nullptr;
  };
  for (auto it = begin; it != end; ++it) {
    const Sample& s = *it;
    if (std::isnan(s.value)) {
      finish();
      continue;
    }
    if (!line || line->segment != s.segment) {
      finish();
      lines.push_back({s.segment, {}});
      line = &lines.back();
      columnIndex = std::numeric_limits<long>::min();
    }
    if (every) {
      line->points.push_back({s.t, s.value});
      continue;
    }
    const auto index = static_cast<long>(std::floor((s.t - t0) / width));
    if (index != columnIndex) {
      column.flushInto(line->points);
      columnIndex = index;
    }
    column.add(s);
  }
  finish();
  return lines;
}

void Readings::add(const Record& r) {
  if (records_++ == 0) first_ = r.elapsed;
  last_ = std::max(last_, r.elapsed);
  if (r.unit != units_.back()) {
    // A new unit starts a new segment, unless nothing was drawn in the old one yet.
    const auto current = static_cast<std::uint32_t>(units_.size() - 1);
    const bool used = (!temperature_.empty() && temperature_.back().segment == current) ||
                      (!setPoint_.empty() && setPoint_.back().segment == current);
    if (used)
      units_.push_back(r.unit);
    else
      units_.back() = r.unit;
  }
  const auto segment = static_cast<std::uint32_t>(units_.size() - 1);
  switch (r.what) {
    case Record::What::Temperature:
      temperature_.push_back(
          {r.elapsed, r.temperature ? static_cast<float>(*r.temperature) : kGap, segment});
      break;
    case Record::What::SetPoint:
      setPoint_.push_back(
          {r.elapsed, r.setPoint ? static_cast<float>(*r.setPoint) : kGap, segment});
      break;
    case Record::What::Event:
      break;
  }
  if (r.event) {
    events_.push_back({r.elapsed, *r.event, r.eventText});
    // The set point curve follows what was written at once, and stops when it is off.
    if (*r.event == EventKind::SetPointWritten || *r.event == EventKind::SetPointOff)
      setPoint_.push_back(
          {r.elapsed, r.setPoint ? static_cast<float>(*r.setPoint) : kGap, segment});
  }
}

char Readings::unitOf(std::uint32_t segment) const {
  return segment < units_.size() ? units_[segment] : units_.back();
}

std::size_t Readings::memoryBytes() const {
  std::size_t bytes = sizeof(*this) + temperature_.capacity() * sizeof(Sample) +
                      setPoint_.capacity() * sizeof(Sample) + units_.capacity() +
                      events_.capacity() * sizeof(Event);
  for (const Event& e : events_) bytes += e.text.capacity();
  return bytes;
}

std::optional<Sample> Readings::temperatureAt(double t) const { return at(temperature_, t); }
std::optional<Sample> Readings::setPointAt(double t) const { return at(setPoint_, t); }

}  // namespace trend
