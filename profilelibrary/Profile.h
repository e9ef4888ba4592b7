#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Profiles as the controller keeps them: steps decoded from the controller's step registers,
// checked against its ranges, compared, and turned into the set-point curve they plan. No Qt,
// no bus: the window and the files build on this.
namespace profilelibrary {

// The step types the console knows; any other number is kept as it came.
enum class StepKind { AutoStart = 0, Time = 1, Ramp = 2, Soak = 3, Jump = 4, End = 5 };

struct Step {
  int type = static_cast<int>(StepKind::End);  // the step type register as read
  // AutoStart: the time of day (and the weekday, 0 daily, 1 Sunday .. 7 Saturday) it waits for.
  // Time, Soak: the duration.
  int hours = 0, minutes = 0, seconds = 0;
  int weekday = 0;
  int rateTenths = 0;      // Ramp: tenths of a degree a minute
  int endTemperature = 0;  // Time, Ramp: the set point at the end of the step
  int endAction = 2;       // End: 0 hold, 1 control off, 2 all off, 3 idle
  // A step of a type the console does not know: its whole register block, as read.
  std::vector<std::int16_t> registers{};

  bool known() const { return type >= 0 && type <= 5 && type != static_cast<int>(StepKind::Jump); }
  StepKind kind() const { return static_cast<StepKind>(type); }
  long durationSeconds() const { return hours * 3600L + minutes * 60L + seconds; }
  bool operator==(const Step&) const = default;
};

struct Profile {
  int number = 0;    // 1..40 on the controller; 0 when it came from a file without one
  std::string name;  // up to ten characters, blanks at the end dropped
  std::vector<Step> steps;
};

// The step registers, StepType to StepBlockLast: 60 words.
using StepBlock = std::array<std::int16_t, 60>;

// The step with only the fields its type uses (the others at their defaults), so that two steps
// compare by what the controller keeps of them.
Step canonical(const Step& step);
// A step from its register block; nothing when the block holds no step (type outside 0..255 or
// the type a missing step reads).
std::optional<Step> decodeStep(const StepBlock& block);

// Tenths as a decimal number with one place ("2.5"), whatever the locale.
std::string tenthsText(int tenths);
// The step's type in words ("AutoStart", "Time", "Ramp", "Soak", "End", or "type 7").
std::string kindName(int type);
// The step's parameters in words, as the table shows them:
//   "08:00:00 daily", "00:10:00 to 150", "2.5°/min to 200", "01:00:00", "all off",
//   "registers 7, 0, 0, ..." for a type the console does not know.
std::string describeStep(const Step& step, const std::string& unit = "");

// Why the step cannot be written to the controller, naming the field ("step 3: minutes 75 is
// outside 0..59"); empty when it can.
std::string checkStep(const Step& step, int index);
// The same for a whole profile: its number, name, step count and every step; and that it ends
// with an End step. A step of a type the console does not know passes unless the profile is to
// be written.
std::string checkProfile(const Profile& profile, bool forWriting = true);

// Where two profiles differ, step by step, one line a difference ("step 2: end 150 read back as
// 149"); empty when they hold the same steps.
std::vector<std::string> compareProfiles(const Profile& expected, const Profile& actual);

// The set point the profile plans over time, from `start` (the temperature it starts at): a
// point at every corner of the curve. AutoStart waits are not counted (the plan starts when the
// first timed step does); a Jump or unknown step ends the plan.
struct PlanPoint {
  double seconds;
  double setPoint;
  int step;  // 1-based step the point belongs to
};
std::vector<PlanPoint> plannedCurve(const Profile& profile, double start);
// The planned set point `seconds` into the run; nothing past the plan's end.
std::optional<double> plannedAt(const std::vector<PlanPoint>& plan, double seconds);

// Temperatures and rates converted between the controller's units (0 Fahrenheit, 1 Celsius).
Profile convertUnit(Profile profile, int from, int to);

}  // namespace profilelibrary
