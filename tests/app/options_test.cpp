#include "Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the command line asked for, in one line: driver, then the paths and switches given.
std::string asked(const app::Options& o) {
  static const char* const drivers[] = {"automatic", "simulator", "library", "prologix"};
  std::string t =
      drivers[static_cast<int>(o.driver)] + (o.driverPath.empty() ? "" : " " + o.driverPath);
  if (o.baud != 115200) t += " baud=" + std::to_string(o.baud);
  if (!o.tracePath.empty()) t += " trace=" + o.tracePath;
  if (!o.scriptPath.empty()) t += " script=" + o.scriptPath;
  if (!o.logPath.empty()) t += " log=" + o.logPath;
  if (o.virtualTime) t += " virtual";
  if (o.help) t += " help";
  if (o.version) t += " version";
  return o.error.empty() ? t : "error: " + o.error;
}

TEST(Options, CommandLines) {
  const std::string needsSimulate =
      "error: --virtual-time needs --simulate: only the built-in simulator keeps simulated time";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "automatic"},
      {{"--simulate"}, "simulator"},
      {{"--driver", "/lib/x.so"}, "library /lib/x.so"},
      {{"--driver=/lib/x.so", "--help", "--version"}, "library /lib/x.so help version"},
      {{"-h"}, "automatic help"},
      {{"--trace=out.txt", "--simulate", "--log", "a.csv"}, "simulator trace=out.txt log=a.csv"},
      {{"--log"}, "error: --log needs the name of a CSV file"},
      {{"--simulate", "--virtual-time", "--script=a b.script", "--trace", "-"},
       "simulator trace=- script=a b.script virtual"},
      {{"--trace"}, "error: --trace needs a file name (- for standard output)"},
      {{"--trace="}, "error: --trace needs a file name (- for standard output)"},
      {{"--script"}, "error: --script needs the path of a script file"},
      {{"--driver"}, "error: --driver needs the path of a GPIB driver library"},
      {{"--virtual-time", "--script", "a"}, needsSimulate},
      {{"--driver", "x.so", "--virtual-time", "--script", "a"}, needsSimulate},
      {{"--simulate", "--virtual-time"},
       "error: --virtual-time needs --script: without one nothing makes the time pass"},
      {{"--prologix", "/dev/ttyUSB0", "--baud", "50"}, "prologix /dev/ttyUSB0 baud=50"},
      {{"--prologix"},
       "error: --prologix needs a serial device (/dev/ttyUSB0) or HOST[:PORT] of an adapter"},
      {{"--prologix", "lab", "--baud", "9600"},
       "error: --baud is for a serial device, not for a network adapter"},
      {{"--prologix", "/dev/ttyS0", "--baud", "12x"},
       "error: --baud needs a rate from 50 to 4000000, not 12x"},
      {{"--prologix", "h:70000"},
       "error: --prologix: the port must be a number from 1 to 65535, not 70000"},
      {{"--prologix", "[::1"}, "error: --prologix: an IPv6 address is written [ADDRESS]:PORT"},
      {{"--baud", "9600"}, "error: --baud needs --prologix with a serial device"},
      {{"--simulate", "--prologix", "lab"},
       "error: --prologix cannot go with --simulate or --driver: one driver at a time"},
      {{"--scrip", "a"}, "error: unknown option --scrip"},
      {{"-x"}, "error: unknown option -x"},
      {{"--simulate", "extra"}, "error: unknown option extra"},
      // Repeated as printable text (a byte that is not UTF-8 is already U+FFFD), cut when long.
      {{"\x1b]0;x\x07\x9b\xc3\xa4"}, "error: unknown option \\x1B]0;x\\x07\xef\xbf\xbd\xc3\xa4"},
      {{"--" + std::string(120, 'y')}, "error: unknown option --" + std::string(100, 'y') + "..."},
  };
  for (const auto& [args, expected] : cases)
    EXPECT_EQ(asked(app::parseOptions(args)), expected) << testing::PrintToString(args);
}

// --modbus and its line's settings: the target, the settings in one word, or the problem.
TEST(Options, ModbusCommandLines) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--modbus", "/dev/ttyUSB0"}, "/dev/ttyUSB0 9600 8N1"},
      {{"--modbus", "/dev/ttyUSB0", "--baud", "19200", "--parity", "even", "--stop-bits", "2"},
       "/dev/ttyUSB0 19200 8E2"},
      {{"--modbus=/dev/ttyS1", "--parity=odd", "--trace", "-"}, "/dev/ttyS1 9600 8O1"},
      {{"--modbus", "127.0.0.1:5020"}, "127.0.0.1:5020 9600 8N1"},
      {{"--modbus"},
       "error: --modbus needs a serial device (/dev/ttyUSB0) or HOST[:PORT] of a Modbus TCP "
       "gateway"},
      {{"--modbus", "gw:0"}, "error: --modbus: the port must be a number from 1 to 65535, not 0"},
      {{"--modbus", "gw", "--baud", "9600"},
       "error: --baud is for a serial device, not for a Modbus TCP gateway"},
      {{"--modbus", "gw", "--stop-bits", "2"},
       "error: --stop-bits is for a serial device, not for a Modbus TCP gateway"},
      {{"--modbus", "/dev/ttyUSB0", "--baud", "9601"},
       "error: --baud with --modbus needs 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200, "
       "not 9601"},
      {{"--modbus", "/dev/ttyUSB0", "--parity", "mark"},
       "error: --parity needs none, even or odd, not mark"},
      {{"--modbus", "/dev/ttyUSB0", "--stop-bits", "1.5"},
       "error: --stop-bits needs 1 or 2, not 1.5"},
      {{"--parity", "even"}, "error: --parity needs --modbus with a serial device"},
      {{"--stop-bits"}, "error: --stop-bits needs 1 or 2"},
      {{"--modbus", "gw", "--prologix", "lab"},
       "error: --modbus cannot go with --simulate, --driver or --prologix: one driver at a time"},
      {{"--modbus", "gw", "--virtual-time", "--script", "a"},
       "error: --virtual-time needs --simulate: only the built-in simulator keeps simulated time"},
  };
  for (const auto& [args, expected] : cases) {
    const app::Options o = app::parseOptions(args);
    const auto& line = o.modbusLine;
    const std::string got = !o.error.empty() ? "error: " + o.error
                            : o.driver != app::Options::Driver::Modbus
                                ? "not modbus"
                                : o.driverPath + " " + std::to_string(line.baud) + " 8" +
                                      line.parity + std::to_string(line.stopBits);
    EXPECT_EQ(got, expected) << testing::PrintToString(args);
  }
}

}  // namespace
