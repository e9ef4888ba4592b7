#include "Options.h"

namespace app {

Options parseOptions(const std::vector<std::string>& args) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--simulate") {
      options.driver = Options::Driver::Simulator;
    } else if (arg == "--driver" || arg.rfind("--driver=", 0) == 0) {
      std::string path;
      if (arg == "--driver") {
        if (i + 1 >= args.size()) {
          options.error = "--driver needs the path of a GPIB driver library";
          return options;
        }
        path = args[++i];
      } else {
        path = arg.substr(9);
      }
      if (path.empty()) {
        options.error = "--driver needs the path of a GPIB driver library";
        return options;
      }
      options.driver = Options::Driver::Library;
      options.driverPath = path;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      options.error = "unknown option " + arg;
      return options;
    }
  }
  return options;
}

std::string usageText() {
  return "Usage: gpib-modbus-console [--simulate | --driver PATH] [--help] [--version]\n"
         "\n"
         "Console for a GPIB-to-Modbus converter and the Watlow F4 controller behind it.\n"
         "\n"
         "  --simulate      run on the built-in simulated converter and controller\n"
         "  --driver PATH   use the NI-488.2-style GPIB driver library at PATH\n"
         "  --help          show this text\n"
         "  --version       show the version\n"
         "\n"
         "Without an option the console uses the platform's GPIB driver library when it\n"
         "loads, and the built-in simulator otherwise.\n";
}

}  // namespace app
