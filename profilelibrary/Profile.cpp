#include "Profile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Registers.h"

namespace profilelibrary {

namespace {

// A register of the block by its number.
std::int16_t at(const StepBlock& block, int reg) {
  return block[static_cast<std::size_t>(reg - f4::StepType)];
}

std::string twoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

std::string clock(const Step& s) {
  return twoDigits(s.hours) + ":" + twoDigits(s.minutes) + ":" + twoDigits(s.seconds);
}

}  // namespace

std::string tenthsText(int tenths) {
  const std::string sign = tenths < 0 ? "-" : "";
  const long magnitude = std::labs(static_cast<long>(tenths));
  return sign + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

namespace {

const char* const kWeekdays[] = {"daily",     "Sunday",   "Monday", "Tuesday",
                                 "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kEndActions[] = {"hold", "control off", "all off", "idle"};

struct Range {
  const char* field;
  int value, low, high;
};

}  // namespace

Step canonical(const Step& s) {
  Step c;
  c.type = s.type;
  switch (s.kind()) {
    case StepKind::AutoStart:
      c.weekday = s.weekday;
      [[fallthrough]];
    case StepKind::Time:
    case StepKind::Soak:
      c.hours = s.hours, c.minutes = s.minutes, c.seconds = s.seconds;
      if (s.kind() == StepKind::Time) c.endTemperature = s.endTemperature;
      break;
    case StepKind::Ramp:
      c.rateTenths = s.rateTenths, c.endTemperature = s.endTemperature;
      break;
    case StepKind::End:
      c.endAction = s.endAction;
      break;
    default:
      break;
  }
  if (!s.known()) c.registers = s.registers;
  return c;
}

std::optional<Step> decodeStep(const StepBlock& block) {
  Step step;
  step.type = at(block, f4::StepType);
  if (step.type < 0 || step.type == 255) return std::nullopt;
  step.weekday = at(block, f4::AutoStartDay);
  step.hours = at(block, f4::StepHours);
  step.minutes = at(block, f4::StepMinutes);
  step.seconds = at(block, f4::StepSeconds);
  step.rateTenths = at(block, f4::RampRate);
  step.endTemperature = at(block, f4::EndTemperature);
  step.endAction = at(block, f4::EndAction);
  if (!step.known()) step.registers.assign(block.begin(), block.end());
  return canonical(step);
}

std::string kindName(int type) {
  switch (type) {
    case 0:
      return "AutoStart";
    case 1:
      return "Time";
    case 2:
      return "Ramp";
    case 3:
      return "Soak";
    case 5:
      return "End";
    default:
      return "type " + std::to_string(type);
  }
}

std::string describeStep(const Step& s, const std::string& unit) {
  if (!s.known()) {
    std::string text = "registers";
    for (std::size_t i = 0; i < s.registers.size(); ++i)
      text += (i ? ", " : " ") + std::to_string(s.registers[i]);
    return text;
  }
  const std::string degrees = unit.empty() ? "" : " " + unit;
  switch (s.kind()) {
    case StepKind::AutoStart:
      return clock(s) + " " +
             (s.weekday >= 0 && s.weekday <= 7 ? kWeekdays[s.weekday]
                                               : "day " + std::to_string(s.weekday));
    case StepKind::Time:
      return clock(s) + " to " + std::to_string(s.endTemperature) + degrees;
    case StepKind::Ramp:
      return tenthsText(s.rateTenths) + degrees + "/min to " + std::to_string(s.endTemperature) +
             degrees;
    case StepKind::Soak:
      return clock(s);
    default:
      return s.endAction >= 0 && s.endAction <= 3 ? kEndActions[s.endAction]
                                                  : "action " + std::to_string(s.endAction);
  }
}

std::string checkStep(const Step& s, int index) {
  const std::string where = "step " + std::to_string(index) + ": ";
  if (!s.known()) return where + kindName(s.type) + " is not a step the console can write";
  std::vector<Range> ranges;
  switch (s.kind()) {
    case StepKind::AutoStart:
      ranges = {{"hours", s.hours, 0, 23},
                {"minutes", s.minutes, 0, 59},
                {"seconds", s.seconds, 0, 59},
                {"weekday", s.weekday, 0, 7}};
      break;
    case StepKind::Time:
    case StepKind::Soak:
      ranges = {
          {"hours", s.hours, 0, 99}, {"minutes", s.minutes, 0, 59}, {"seconds", s.seconds, 0, 59}};
      if (s.kind() == StepKind::Time)
        ranges.push_back({"end temperature", s.endTemperature, -32768, 32767});
      break;
    case StepKind::Ramp:
      ranges = {{"rate (tenths)", s.rateTenths, 1, 9999},
                {"end temperature", s.endTemperature, -32768, 32767}};
      break;
    default:
      ranges = {{"end action", s.endAction, 0, 3}};
      break;
  }
  for (const Range& r : ranges)
    if (r.value < r.low || r.value > r.high)
      return where + r.field + " " + std::to_string(r.value) + " is outside " +
             std::to_string(r.low) + ".." + std::to_string(r.high);
  return {};
}

std::string checkProfile(const Profile& p, bool forWriting) {
  if (p.number < 0 || p.number > f4::MaxProfiles)
    return "number " + std::to_string(p.number) + " is outside 1..40";
  if (p.name.size() > static_cast<std::size_t>(f4::ProfileNameLength))
    return "name \"" + p.name + "\" is longer than 10 characters";
  for (char c : p.name)
    if (c < 32 || c > 126) return "name holds a character the controller cannot show";
  if (p.steps.empty()) return "it has no steps";
  if (p.steps.size() > static_cast<std::size_t>(f4::MaxSteps))
    return std::to_string(p.steps.size()) + " steps are more than the controller holds (256)";
  for (std::size_t i = 0; i < p.steps.size(); ++i) {
    if (!forWriting && !p.steps[i].known()) continue;
    if (std::string problem = checkStep(p.steps[i], static_cast<int>(i + 1)); !problem.empty())
      return problem;
    const bool last = i + 1 == p.steps.size();
    if ((p.steps[i].kind() == StepKind::End) != last)
      return last ? "the last step is not an End step"
                  : "step " + std::to_string(i + 1) + ": an End step before the last";
  }
  return {};
}

std::vector<std::string> compareProfiles(const Profile& expected, const Profile& actual) {
  std::vector<std::string> differences;
  const std::size_t common = std::min(expected.steps.size(), actual.steps.size());
  for (std::size_t i = 0; i < common; ++i) {
    const Step e = canonical(expected.steps[i]);
    const Step a = canonical(actual.steps[i]);
    if (e == a) continue;
    differences.push_back("step " + std::to_string(i + 1) + ": " + kindName(e.type) + " " +
                          describeStep(e) + ", controller holds " + kindName(a.type) + " " +
                          describeStep(a));
  }
  for (std::size_t i = common; i < expected.steps.size(); ++i)
    differences.push_back("step " + std::to_string(i + 1) + ": " +
                          kindName(expected.steps[i].type) + " " + describeStep(expected.steps[i]) +
                          ", missing on the controller");
  for (std::size_t i = common; i < actual.steps.size(); ++i)
    differences.push_back("step " + std::to_string(i + 1) + ": controller holds an extra " +
                          kindName(actual.steps[i].type) + " " + describeStep(actual.steps[i]));
  return differences;
}

std::vector<PlanPoint> plannedCurve(const Profile& profile, double start) {
  std::vector<PlanPoint> plan;
  double t = 0, sp = start;
  for (std::size_t i = 0; i < profile.steps.size(); ++i) {
    const Step& s = profile.steps[i];
    const int number = static_cast<int>(i + 1);
    if (!s.known() || s.kind() == StepKind::End) break;
    if (plan.empty() || plan.back().step != number) plan.push_back({t, sp, number});
    switch (s.kind()) {
      case StepKind::Time:
        t += static_cast<double>(s.durationSeconds());
        sp = s.endTemperature;
        break;
      case StepKind::Ramp:
        if (s.rateTenths > 0) t += std::fabs(s.endTemperature - sp) / (s.rateTenths / 10.0) * 60.0;
        sp = s.endTemperature;
        break;
      case StepKind::Soak:
        t += static_cast<double>(s.durationSeconds());
        break;
      default:  // AutoStart: the plan starts when it has waited
        break;
    }
    plan.push_back({t, sp, number});
  }
  return plan;
}

std::optional<double> plannedAt(const std::vector<PlanPoint>& plan, double seconds) {
  if (plan.empty() || seconds < plan.front().seconds || seconds > plan.back().seconds)
    return std::nullopt;
  for (std::size_t i = 1; i < plan.size(); ++i) {
    const PlanPoint& a = plan[i - 1];
    const PlanPoint& b = plan[i];
    if (seconds > b.seconds) continue;
    if (b.seconds <= a.seconds) return b.setPoint;
    return a.setPoint + (b.setPoint - a.setPoint) * (seconds - a.seconds) / (b.seconds - a.seconds);
  }
  return plan.back().setPoint;
}

Profile convertUnit(Profile profile, int from, int to) {
  if (from == to) return profile;
  const bool toCelsius = to == 1;
  for (Step& s : profile.steps) {
    if (!s.known()) continue;
    if (s.kind() == StepKind::Time || s.kind() == StepKind::Ramp) {
      const double t = s.endTemperature;
      s.endTemperature =
          static_cast<int>(std::lround(toCelsius ? (t - 32.0) * 5.0 / 9.0 : t * 9.0 / 5.0 + 32.0));
    }
    if (s.kind() == StepKind::Ramp)
      s.rateTenths =
          std::max(1, static_cast<int>(std::lround(toCelsius ? s.rateTenths * 5.0 / 9.0
                                                             : s.rateTenths * 9.0 / 5.0)));
  }
  return profile;
}

}  // namespace profilelibrary
