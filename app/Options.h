#pragma once

#include <string>
#include <vector>

namespace app {

// What the command line asks for.
struct Options {
  enum class Driver { Automatic, Simulator, Library, Prologix, Modbus };
  Driver driver = Driver::Automatic;
  // With Driver::Library the library's path; with Driver::Prologix and Driver::Modbus the
  // device or HOST[:PORT].
  std::string driverPath;
  int baud = 115200;  // with Driver::Prologix on a serial device
  // With Driver::Modbus on a serial device: the line to the controller.
  struct ModbusLine {
    int baud = 9600;
    char parity = 'N';  // 'N', 'E' or 'O'
    int stopBits = 1;
  } modbusLine;
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
