// gpib-prologix-sim: the simulated bench (converter at GPIB address 4, Watlow F4 behind it,
// a 488.2 instrument at 7) as a Prologix-protocol GPIB adapter, for the console's --prologix
// and for any other program that speaks the protocol.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "Endpoint.h"
#include "NumberText.h"

namespace {

const char* const kUsage =
    "Usage: gpib-prologix-sim [--pty] [--tcp PORT] [--prologix-only] [--no-eot] [--start-ms N]\n"
    "                         [--show]\n"
    "\n"
    "Serves the simulated converter bench as a Prologix-protocol GPIB adapter.\n"
    "\n"
    "  --pty             on a pseudo-terminal; prints \"pty PATH\", the serial port to open\n"
    "  --tcp PORT        on 127.0.0.1:PORT (0 picks a free port); prints \"tcp PORT\"\n"
    "  --prologix-only   answer as a Prologix adapter: no ++ren, no ++findlstn\n"
    "  --no-eot          an adapter without ++eot_enable and ++eot_char\n"
    "  --start-ms N      deaf for N ms after a client's first bytes, as an adapter that\n"
    "                    restarts when its port opens\n"
    "  --show            print every data line passed to a device: data ADDRESS \"BYTES\"\n"
    "\n"
    "Without --pty or --tcp: both, TCP on port 1234. Runs until interrupted.\n";

int refuse(const std::string& problem) {
  std::cerr << "gpib-prologix-sim: " << problem << "\n";
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  bool pty = false, ar488 = true, show = false, endMark = true;
  int port = -1, startMs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pty") {
      pty = true;
    } else if (arg == "--show") {
      show = true;
    } else if (arg == "--prologix-only") {
      ar488 = false;
    } else if (arg == "--no-eot") {
      endMark = false;
    } else if (arg == "--start-ms" && i + 1 < argc) {
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*argv[i] == '\0' || *end != '\0' || value < 0 || value > 60000)
        return refuse("--start-ms needs a number of milliseconds from 0 to 60000");
      startMs = static_cast<int>(value);
    } else if (arg == "--tcp" && i + 1 < argc) {
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*argv[i] == '\0' || *end != '\0' || value < 0 || value > 65535)
        return refuse("--tcp needs a port from 0 to 65535");
      port = static_cast<int>(value);
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      std::cerr << "gpib-prologix-sim: unknown option " << arg << "\n\n" << kUsage;
      return 2;
    }
  }
  if (!pty && port < 0) pty = true, port = 1234;

  prologixsim::Endpoint endpoint(ar488, endMark);
  endpoint.setStartMilliseconds(startMs);
  if (show)
    endpoint.onData = [](int address, const std::string& bytes) {
      std::cout << "data " << address << " \"" << bus::escapeBytes(bytes) << "\"" << std::endl;
    };
  // Each line is flushed at once: whoever started the endpoint waits for it.
  if (pty) {
    const std::string path = endpoint.openPty();
    if (path.empty()) return refuse(endpoint.problem());
    std::cout << "pty " << path << std::endl;
  }
  if (port >= 0) {
    const int listening = endpoint.listenTcp(port);
    if (listening == 0) return refuse(endpoint.problem());
    std::cout << "tcp " << listening << std::endl;
  }
  endpoint.run();
  return 0;
}
