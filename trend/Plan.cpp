#include "Plan.h"

#include <algorithm>
#include <cmath>

namespace trend {

Plan tidied(Plan plan) {
  std::erase_if(plan.points,
                [](const QPointF& p) { return !std::isfinite(p.x()) || !std::isfinite(p.y()); });
  std::stable_sort(plan.points.begin(), plan.points.end(),
                   [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
  std::erase_if(plan.stepStarts, [](const auto& s) { return !std::isfinite(s.first); });
  std::stable_sort(plan.stepStarts.begin(), plan.stepStarts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return plan;
}

std::optional<double> plannedAt(const Plan& plan, double t) {
  const auto& p = plan.points;
  if (p.empty() || !(t >= p.front().x() && t <= p.back().x())) return std::nullopt;
  // The first corner after t; the one before it is the last at or before t.
  const auto after = std::upper_bound(p.begin(), p.end(), t,
                                      [](double time, const QPointF& c) { return time < c.x(); });
  if (after == p.end()) return p.back().y();
  const QPointF& a = *(after - 1);
  const QPointF& b = *after;
  return a.y() + (b.y() - a.y()) * (t - a.x()) / (b.x() - a.x());
}

std::optional<std::pair<double, int>> stepAt(const Plan& plan, double t) {
  std::optional<std::pair<double, int>> step;
  for (const auto& start : plan.stepStarts) {
    if (start.first > t) break;
    step = start;
  }
  return step;
}

int stepCount(const Plan& plan) {
  int most = 0;
  for (const auto& start : plan.stepStarts) most = std::max(most, start.second);
  return most;
}

}  // namespace trend
