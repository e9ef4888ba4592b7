#include "ControllerProfiles.h"

#include <algorithm>
#include <charconv>

#include "NumberText.h"
#include "Registers.h"
#include "StatusReport.h"

namespace profilelibrary {

namespace {

// The converter answers a read of up to 63 registers in at most 7 bytes a value.
constexpr long kReplyRoom = 1024;

std::string writeLine(int first, const std::vector<int>& values) {
  std::string line = "W " + bus::numberText(first);
  for (int v : values) line += "," + bus::numberText(v);
  return line;
}

std::optional<int> registerValue(std::string_view text, bool hex) {
  text = bus::trimmed(text);
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, hex ? 16 : 10);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  if (hex) {
    if (text.size() > 4 || value < 0) return std::nullopt;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
  }
  if (value < -32768 || value > 65535) return std::nullopt;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

bool fail(ControllerProfiles::Outcome& outcome, std::string problem) {
  outcome.ok = false;
  if (outcome.problem.empty()) outcome.problem = std::move(problem);
  return false;
}

bool cancelled(const ControllerProfiles::Progress& progress, int done, int total,
               ControllerProfiles::Outcome& outcome) {
  if (!progress || progress(done, total)) return false;
  outcome.cancelled = true;
  return !fail(outcome, "cancelled");
}

std::string profileName(const std::vector<int>& characters) {
  std::string name;
  for (int c : characters) name += c >= 32 && c <= 126 ? static_cast<char>(c) : ' ';
  return bus::trimTrailingBlanks(name);
}

}  // namespace

bool ControllerProfiles::send(const std::string& line, Outcome& outcome) {
  gpib_.Send(gpib_.BoardIndex, gpib_.ConverterAddr, line, 1);
  if (!gpib_.failed()) return true;
  return fail(outcome,
              "the converter did not take \"" + line + "\":" + bus::errorName(gpib_.iberr));
}

std::optional<std::string> ControllerProfiles::query(const std::string& line, Outcome& outcome) {
  if (!send(line, outcome)) return std::nullopt;
  std::string reply;
  gpib_.ReceiveDirect(gpib_.BoardIndex, gpib_.ConverterAddr, reply, kReplyRoom);
  if (gpib_.failed()) {
    fail(outcome, "no reply to \"" + line + "\":" + bus::errorName(gpib_.iberr));
    return std::nullopt;
  }
  return bus::trimTrailingBlanks(bus::cutAtLineFeed(reply));
}

bool ControllerProfiles::learnFormat(Outcome& outcome) {
  const auto format = query("FORM:TALK?", outcome);
  if (!format) return false;
  if (*format != "ASCII" && *format != "HEXL")
    return fail(outcome, "the converter named no reply format (\"" +
                             bus::printableText(*format, 40) + "\")");
  hex_ = *format == "HEXL";
  return true;
}

std::optional<std::vector<int>> ControllerProfiles::readRegisters(int first, int count,
                                                                  Outcome& outcome) {
  const std::string line =
      bus::registerReadLine(static_cast<float>(first), static_cast<float>(count));
  const auto reply = query(line, outcome);
  if (!reply) return std::nullopt;
  if (reply->empty()) {
    // A read the controller refused: the converter keeps why.
    const auto code = query("E?", outcome);
    fail(outcome, "Modbus error " + (code ? *code : std::string("?")) + " reading register " +
                      std::to_string(first));
    return std::nullopt;
  }
  std::vector<int> values;
  std::string_view rest = *reply;
  while (true) {
    const std::size_t comma = rest.find(',');
    const auto value = registerValue(rest.substr(0, comma), hex_);
    if (!value) {
      fail(outcome, "the reply to \"" + line + "\" is not a list of register values: \"" +
                        bus::printableText(*reply, 60) + "\"");
      return std::nullopt;
    }
    values.push_back(*value);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  if (static_cast<int>(values.size()) != count) {
    fail(outcome, "the reply to \"" + line + "\" holds " + std::to_string(values.size()) +
                      " values, not " + std::to_string(count));
    return std::nullopt;
  }
  return values;
}

bool ControllerProfiles::writeRegisters(int first, const std::vector<int>& values,
                                        Outcome& outcome) {
  if (!send(writeLine(first, values), outcome)) return false;
  const auto code = query("E?", outcome);
  if (!code) return false;
  if (bus::numericValue(*code) == 0) return true;
  return fail(outcome, "Modbus error " + *code + " writing register " + std::to_string(first));
}

ControllerProfiles::Outcome ControllerProfiles::runningProfile(int& profile, int& step) {
  Outcome outcome;
  profile = step = 0;
  if (!learnFormat(outcome)) return outcome;
  const auto mode = readRegisters(f4::ControlMode, 1, outcome);
  if (!mode || ((*mode)[0] != 2 && (*mode)[0] != 3)) return outcome;
  if (const auto running = readRegisters(f4::RunningProfile, 2, outcome)) {
    profile = (*running)[0];
    step = (*running)[1];
  }
  return outcome;
}

std::optional<int> ControllerProfiles::temperature() {
  Outcome outcome;
  if (!learnFormat(outcome)) return std::nullopt;
  const auto value = readRegisters(f4::Temperature, 1, outcome);
  return value ? std::optional((*value)[0]) : std::nullopt;
}

ControllerProfiles::Outcome ControllerProfiles::readDirectory(Directory& directory,
                                                              const Progress& progress) {
  directory = {};
  Outcome outcome = runningProfile(directory.runningProfile, directory.runningStep);
  if (!outcome.ok) return outcome;
  const auto unit = readRegisters(f4::Unit, 1, outcome);
  const auto free = unit ? readRegisters(f4::FreeProfiles, 1, outcome) : std::nullopt;
  if (!free) return outcome;
  directory.unit = (*unit)[0] == 1 ? 1 : 0;
  const int existing = std::clamp(f4::MaxProfiles - (*free)[0], 0, f4::MaxProfiles);
  // Select each profile at its first step and read back the selection and the step type: a
  // profile exists when its first step does.
  for (int n = 1; n <= f4::MaxProfiles && static_cast<int>(directory.profiles.size()) < existing;
       ++n) {
    if (cancelled(progress, n - 1, f4::MaxProfiles, outcome)) return outcome;
    if (!send(writeLine(f4::ProfileNumber, {n, 1}), outcome)) return outcome;
    const auto head = readRegisters(f4::ProfileNumber, 4, outcome);
    if (!head) return outcome;
    if ((*head)[0] != n)
      return fail(outcome, "the controller selected profile " + std::to_string((*head)[0]) +
                               " when asked for " + std::to_string(n)),
             outcome;
    if ((*head)[3] >= 0 && (*head)[3] <= 5) directory.profiles.push_back({n, {}});
  }
  // The names of the profiles found, in as few reads as their numbers allow.
  constexpr int kPerRead = 12;  // profiles whose names one read covers
  for (std::size_t i = 0; i < directory.profiles.size();) {
    const int first = directory.profiles[i].number;
    const int last = std::min(first + kPerRead - 1, f4::MaxProfiles);
    const auto names = readRegisters(f4::ProfileNames + f4::ProfileNameLength * (first - 1),
                                     f4::ProfileNameLength * (last - first + 1), outcome);
    if (!names) return outcome;
    for (; i < directory.profiles.size() && directory.profiles[i].number <= last; ++i) {
      const auto from =
          names->begin() + f4::ProfileNameLength * (directory.profiles[i].number - first);
      directory.profiles[i].name = profileName({from, from + f4::ProfileNameLength});
    }
  }
  if (progress) progress(f4::MaxProfiles, f4::MaxProfiles);
  return outcome;
}

ControllerProfiles::Outcome ControllerProfiles::readProfile(int number, Profile& profile,
                                                            const Progress& progress) {
  Outcome outcome;
  profile = {number, {}, {}};
  if (number < 1 || number > f4::MaxProfiles)
    return fail(outcome, "no profile " + std::to_string(number) + " (1 to 40)"), outcome;
  if (!learnFormat(outcome) || !send(writeLine(f4::ProfileNumber, {number, 1}), outcome))
    return outcome;
  const auto name = readRegisters(f4::ProfileNames + f4::ProfileNameLength * (number - 1),
                                  f4::ProfileNameLength, outcome);
  if (!name) return outcome;
  profile.name = profileName(*name);
  for (int k = 1; k <= f4::MaxSteps; ++k) {
    if (cancelled(progress, k - 1, 0, outcome)) return outcome;
    if (k > 1 && !send(writeLine(f4::StepNumber, {k}), outcome)) return outcome;
    // The selection and the whole step in one read: what it holds is known to be step k.
    const auto block = readRegisters(f4::ProfileNumber, 3 + f4::StepRegisters, outcome);
    if (!block) return outcome;
    if ((*block)[0] != number || (*block)[1] != k)
      return fail(outcome, "step " + std::to_string(k) + ": the controller answered for profile " +
                               std::to_string((*block)[0]) + " step " +
                               std::to_string((*block)[1])),
             outcome;
    StepBlock registers;
    std::copy(block->begin() + 3, block->end(), registers.begin());
    const std::optional<Step> step = decodeStep(registers);
    if (!step) {
      if (k == 1)
        return fail(outcome, "profile " + std::to_string(number) + " does not exist"), outcome;
      break;  // the steps ran out without an End step: shown as they are
    }
    profile.steps.push_back(*step);
    if (step->kind() == StepKind::End) break;
  }
  return outcome;
}

ControllerProfiles::Outcome ControllerProfiles::runProfile(int number) {
  Outcome outcome;
  if (!learnFormat(outcome)) return outcome;
  for (auto [reg, value] : {std::pair{f4::ProfileNumber, number},
                            {f4::StepNumber, 1},
                            {f4::ProfileAction, static_cast<int>(f4::ProfileActions::Run)}})
    if (!writeRegisters(reg, {value}, outcome)) return outcome;
  return outcome;
}

ControllerProfiles::Outcome ControllerProfiles::deleteProfile(int number) {
  int running = 0, step = 0;
  Outcome outcome = runningProfile(running, step);
  if (!outcome.ok) return outcome;
  if (running == number)
    return fail(outcome, "profile " + std::to_string(number) + " is running: stop it first"),
           outcome;
  for (auto [reg, value] : {std::pair{f4::ProfileNumber, number},
                            {f4::StepNumber, 1},
                            {f4::ProfileAction, static_cast<int>(f4::ProfileActions::Delete)},
                            {f4::SaveChanges, 0}})
    if (!writeRegisters(reg, {value}, outcome)) return outcome;
  return outcome;
}

ControllerProfiles::Outcome ControllerProfiles::writeProfile(const Profile& profile, int number,
                                                             const Progress& progress) {
  Outcome outcome;
  Profile target = profile;
  target.number = number;
  if (const std::string problem = checkProfile(target); !problem.empty() || number < 1)
    return fail(outcome, problem.empty() ? "no profile number chosen" : problem), outcome;
  int running = 0, runningStep = 0;
  outcome = runningProfile(running, runningStep);
  if (!outcome.ok) return outcome;
  if (running == number)
    return fail(outcome,
                "profile " + std::to_string(number) + " is running: it cannot be replaced"),
           outcome;
  // Create, as the profile generator does: select the number, create, read back the number the
  // controller gave it.
  if (!writeRegisters(f4::ProfileNumber, {number}, outcome) ||
      !writeRegisters(f4::ProfileAction, {static_cast<int>(f4::ProfileActions::Create)}, outcome))
    return outcome;
  const auto given = readRegisters(f4::ProfileNumber, 1, outcome);
  if (!given) return outcome;
  if ((*given)[0] == 0) return fail(outcome, "the controller's profile store is full"), outcome;
  if ((*given)[0] != number) {
    const int other = (*given)[0];
    deleteProfile(other);
    return fail(outcome, "the controller gives a new profile the lowest free number, " +
                             std::to_string(other) + ", not " + std::to_string(number) +
                             ": load into " + std::to_string(other) +
                             " or free the numbers below " + std::to_string(number)),
           outcome;
  }
  if (!target.name.empty()) {
    std::vector<int> characters(f4::ProfileNameLength, ' ');
    std::copy(target.name.begin(), target.name.end(), characters.begin());
    if (!writeRegisters(f4::ProfileNames + f4::ProfileNameLength * (number - 1), characters,
                        outcome))
      return outcome;
  }
  const int total = static_cast<int>(target.steps.size());
  for (int i = 1; i <= total; ++i) {
    if (cancelled(progress, i - 1, total, outcome)) {
      outcome.problem = "cancelled before step " + std::to_string(i) + " of " +
                        std::to_string(total);
      return outcome;
    }
    const Step& s = target.steps[static_cast<std::size_t>(i - 1)];
    std::vector<std::pair<int, int>> writes = {{f4::StepNumber, i},
                                               {f4::ProfileAction, f4::ProfileActions::InsertStep},
                                               {f4::StepType, s.type}};
    const std::vector<std::pair<int, int>> duration = {{f4::StepHours, s.hours},
                                                       {f4::StepMinutes, s.minutes},
                                                       {f4::StepSeconds, s.seconds},
                                                       {f4::Event1, 0},
                                                       {f4::Event2, 0}};
    switch (s.kind()) {
      case StepKind::AutoStart:
        writes.insert(writes.end(), {{f4::AutoStartKind, 1}, {f4::AutoStartDay, s.weekday}});
        writes.insert(writes.end(), duration.begin(), duration.end());
        break;
      case StepKind::Time:
      case StepKind::Soak:
        writes.push_back({f4::WaitFor, 0});
        if (s.kind() == StepKind::Soak) writes.push_back({f4::Event1, 0});
        writes.insert(writes.end(), duration.begin(), duration.end());
        if (s.kind() == StepKind::Time)
          writes.insert(writes.end(), {{f4::EndTemperature, s.endTemperature}, {f4::Event1, 0}});
        break;
      case StepKind::Ramp:
        writes.insert(writes.end(), {{f4::WaitFor, 0},
                                     {f4::StepHours, 0},
                                     {f4::StepMinutes, 0},
                                     {f4::RampRate, s.rateTenths},
                                     {f4::Event1, 0},
                                     {f4::Event2, 0},
                                     {f4::EndTemperature, s.endTemperature},
                                     {f4::Event1, 0}});
        break;
      default:
        writes.push_back({f4::EndAction, s.endAction});
        break;
    }
    writes.push_back({f4::SaveChanges, 0});
    for (auto [reg, value] : writes)
      if (!writeRegisters(reg, {value}, outcome)) {
        outcome.problem =
            "step " + std::to_string(i) + " (" + kindName(s.type) + "): " + outcome.problem;
        return outcome;
      }
  }
  if (progress) progress(total, total);
  return outcome;
}

}  // namespace profilelibrary
