#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "GPIB32.h"
#include "Profile.h"

namespace profilelibrary {

// The controller's profile store through the converter: which profiles exist, what they hold,
// and writing one. Politely: a block read per step, no pause where none is needed (a read waits
// for the reply up to the time-out), never a write to the profile action register while
// reading. Every command line goes through the one GPIB32 the windows share, so the trace and
// the monitor see it.
class ControllerProfiles {
 public:
  explicit ControllerProfiles(bus::GPIB32& gpib) : gpib_(gpib) {}

  // Told how far an operation is (done of total); returning false cancels it after the
  // transaction under way.
  using Progress = std::function<bool(int done, int total)>;

  struct Outcome {
    bool ok = true;
    bool cancelled = false;
    std::string problem;  // what went wrong, and where
  };

  struct Entry {
    int number = 0;
    std::string name;
  };
  struct Directory {
    std::vector<Entry> profiles;  // those that exist, by number
    int runningProfile = 0;       // 0 when none runs
    int runningStep = 0;
    int unit = 0;  // 0 Fahrenheit, 1 Celsius
  };
  Outcome readDirectory(Directory& directory, const Progress& progress = {});

  // Every step of profile `number`, up to and with its End step.
  Outcome readProfile(int number, Profile& profile, const Progress& progress = {});

  // Writes `profile` as profile `number` through the register sequence of the profile generator
  // (create, then for each step insert, type, parameters, save), asking the converter's error
  // register after every write. The number must be free: the controller creates a profile at
  // the lowest free number, which is checked. A refused write stops at once and names the step.
  Outcome writeProfile(const Profile& profile, int number, const Progress& progress = {});

  // Runs profile `number` from its first step, as the main window's Run Profile does.
  Outcome runProfile(int number);
  // Deletes profile `number` (not while it runs).
  Outcome deleteProfile(int number);

  // The running profile and step (0, 0 when none runs).
  Outcome runningProfile(int& profile, int& step);
  // The temperature now (register 100), for the plan's start.
  std::optional<int> temperature();

 private:
  // Sends one line to the converter; false (with `problem` set) when the driver call failed.
  bool send(const std::string& line, Outcome& outcome);
  // Sends a query and reads its reply, cut at the line feed.
  std::optional<std::string> query(const std::string& line, Outcome& outcome);
  // Reads `count` registers from `first`; their values, or nothing with `outcome` telling why
  // (the converter's Modbus error when it answered empty).
  std::optional<std::vector<int>> readRegisters(int first, int count, Outcome& outcome);
  // Writes the values from `first` on and checks the converter's error register.
  bool writeRegisters(int first, const std::vector<int>& values, Outcome& outcome);
  bool learnFormat(Outcome& outcome);

  bus::GPIB32& gpib_;
  bool hex_ = false;  // the converter answers in HEXL
};

}  // namespace profilelibrary
