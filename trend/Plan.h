#pragma once

#include <QPointF>
#include <optional>
#include <utility>
#include <vector>

namespace trend {

// The set point a running profile plans, in elapsed seconds of the trend's own clock (the same
// time axis as the readings), with the 1-based step each corner starts; empty to clear.
struct Plan {
  int profile = 0;
  std::vector<QPointF> points;
  std::vector<std::pair<double, int>> stepStarts;
};

// The plan as it can be drawn: corners and step starts that are not finite numbers left out, the
// rest in time order (corners at the same time, where the plan jumps, keep their order).
Plan tidied(Plan plan);
// The planned set point at t, along the straight line between the corners around it; at a jump,
// the value after it. Empty before the first corner and after the last.
std::optional<double> plannedAt(const Plan& plan, double t);
// The step started last at or before t, and when it started; empty before the first start.
std::optional<std::pair<double, int>> stepAt(const Plan& plan, double t);
// The plan's number of steps: the highest step number it starts (a step repeated by a loop
// counts once).
int stepCount(const Plan& plan);

}  // namespace trend
