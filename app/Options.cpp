#include "Options.h"

namespace app {

namespace {

// The value of `--name VALUE` or `--name=VALUE`; false when `arg` is not that option.
// An option without its value leaves `value` empty.
bool valueOption(const std::vector<std::string>& args, size_t& i, const std::string& name,
                 std::string& value) {
  const std::string& arg = args[i];
  if (arg == name) {
    value = i + 1 < args.size() ? args[++i] : std::string();
    return true;
  }
  if (arg.rfind(name + "=", 0) == 0) {
    value = arg.substr(name.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args) {
  Options options;
  std::string value;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--simulate") {
      options.driver = Options::Driver::Simulator;
    } else if (valueOption(args, i, "--driver", value)) {
      if (value.empty()) {
        options.error = "--driver needs the path of a GPIB driver library";
        return options;
      }
      options.driver = Options::Driver::Library;
      options.driverPath = value;
    } else if (valueOption(args, i, "--trace", value)) {
      if (value.empty()) {
        options.error = "--trace needs a file name (- for standard output)";
        return options;
      }
      options.tracePath = value;
    } else if (valueOption(args, i, "--script", value)) {
      if (value.empty()) {
        options.error = "--script needs the path of a script file";
        return options;
      }
      options.scriptPath = value;
    } else if (arg == "--virtual-time") {
      options.virtualTime = true;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      options.error = "unknown option " + arg;
      return options;
    }
  }
  if (options.virtualTime && options.driver != Options::Driver::Simulator)
    options.error =
        "--virtual-time needs --simulate: only the built-in simulator keeps "
        "simulated time";
  else if (options.virtualTime && options.scriptPath.empty())
    options.error = "--virtual-time needs --script: without one nothing makes the time pass";
  return options;
}

std::string usageText() {
  return "Usage: gpib-modbus-console [--simulate | --driver PATH] [--trace FILE]\n"
         "                           [--script FILE [--virtual-time]] [--help] [--version]\n"
         "\n"
         "Console for a GPIB-to-Modbus converter and the Watlow F4 controller behind it.\n"
         "\n"
         "  --simulate       run on the built-in simulated converter and controller\n"
         "  --driver PATH    use the NI-488.2-style GPIB driver library at PATH\n"
         "  --trace FILE     write every bus event to FILE (- for standard output)\n"
         "  --script FILE    carry out the operator steps in FILE, report the failed ones and\n"
         "                   exit 0 only when none failed\n"
         "  --virtual-time   with --simulate: pauses and waits pass at once in simulated time\n"
         "  --help           show this text\n"
         "  --version        show the version\n"
         "\n"
         "Without --simulate or --driver the console uses the platform's GPIB driver library\n"
         "when it loads, and the built-in simulator otherwise.\n";
}

}  // namespace app
