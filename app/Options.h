#pragma once

#include <string>
#include <vector>

namespace app {

// What the command line asks for.
struct Options {
  enum class Driver { Automatic, Simulator, Library, Prologix };
  Driver driver = Driver::Automatic;
  std::string driverPath;  // with Driver::Library; with Driver::Prologix the device or HOST[:PORT]
  int baud = 115200;       // with Driver::Prologix on a serial device
  std::string tracePath;   // empty: no trace; "-": standard output
  std::string scriptPath;  // empty: the operator drives the console
  std::string logPath;     // empty: no data log
  bool virtualTime = false;
  bool help = false;
  bool version = false;
  std::string error;  // not empty when the command line cannot be used
};

Options parseOptions(const std::vector<std::string>& args);
std::string usageText();

}  // namespace app
