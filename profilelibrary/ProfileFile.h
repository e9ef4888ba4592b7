#pragma once

#include <string>
#include <vector>

#include "Profile.h"

// Profiles kept as files: JSON that a later version of the console still reads, and the step
// table as CSV for a spreadsheet.
namespace profilelibrary {

inline constexpr const char* kFormatName = "gpib-modbus-console profiles";
inline constexpr int kFormatVersion = 1;

// One profile or a whole library, with the unit its temperatures are in (0 Fahrenheit,
// 1 Celsius).
struct ProfileSet {
  int unit = 0;
  std::vector<Profile> profiles;
};

std::string toJson(const ProfileSet& set);

// The profiles of a file's text; `problem` names what is wrong and where ("profiles[0].steps[2]
// .duration: expected \"HH:MM:SS\"") when the text is not such a file, and nothing is returned
// then. Every profile is checked against the controller's ranges before it is returned.
struct Reading {
  ProfileSet set;
  std::string problem;
  bool ok() const { return problem.empty(); }
};
Reading fromJson(const std::string& text);

// The step table: a header line, then a line a step (profile, name, step, type, parameters and
// each parameter in a column of its own).
std::string toCsv(const ProfileSet& set);

}  // namespace profilelibrary
