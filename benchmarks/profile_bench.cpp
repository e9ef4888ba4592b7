// The profile library on the real-time simulator: how many Modbus transactions, and how long,
// reading back a 20-step profile and the directory of a full store (40 profiles) take.
#include <chrono>
#include <cstdio>
#include <utility>

#include "Clock.h"
#include "ControllerProfiles.h"
#include "GPIB32.h"
#include "SimulatedBus.h"

namespace {

// Fills the controller's store straight through its registers: 40 profiles of 20 steps (19
// soaks and an End).
void fill(sim::WatlowF4& f4) {
  for (int p = 1; p <= 40; ++p) {
    f4.write(4002, 1);
    for (int step = 1; step <= 20; ++step) {
      f4.write(4001, static_cast<std::int16_t>(step));
      f4.write(4002, 2);
      f4.write(4003, step == 20 ? 5 : 3);
      if (step < 20) f4.write(4011, static_cast<std::int16_t>(step % 60));
    }
  }
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  bus::SteadyClock clock;
  sim::SimulatedBus driver(clock);
  bus::SilentSound sound;
  bus::GPIB32 gpib(driver, clock, sound);
  gpib.ibtmo(0, 11);
  fill(driver.controller());
  int transactions = 0;
  driver.converter().setFrameListener([&](const modbus::RtuExchange&) { ++transactions; });
  profilelibrary::ControllerProfiles profiles(gpib);

  profilelibrary::Profile profile;
  auto start = std::chrono::steady_clock::now();
  const auto read = profiles.readProfile(7, profile);
  const double readMs = millisecondsSince(start);
  const int readTransactions = std::exchange(transactions, 0);

  profilelibrary::ControllerProfiles::Directory directory;
  start = std::chrono::steady_clock::now();
  const auto listed = profiles.readDirectory(directory);
  const double directoryMs = millisecondsSince(start);
  if (!read.ok || !listed.ok || profile.steps.size() != 20 || directory.profiles.size() != 40) {
    std::fprintf(stderr, "profile_bench: %s%s\n", read.problem.c_str(), listed.problem.c_str());
    return 1;
  }
  std::printf("read_back_transactions %d\nread_back_per_step %.2f\nread_back_ms %.1f\n",
              readTransactions, readTransactions / 20.0, readMs);
  std::printf("directory_transactions %d\ndirectory_per_profile %.2f\ndirectory_ms %.1f\n",
              transactions, transactions / 40.0, directoryMs);
  return 0;
}
