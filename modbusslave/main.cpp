// f4-modbus-sim: the simulated Watlow F4 as a Modbus slave, on a pseudo-terminal (Modbus RTU)
// and on a loopback TCP port (Modbus TCP), for any Modbus tool.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "Clock.h"
#include "Registers.h"
#include "Server.h"
#include "WatlowF4.h"

namespace {

const char* const kUsage =
    "Usage: f4-modbus-sim [--pty] [--tcp PORT] [--plant \"MASS HEATER COOLER LOSS DEAD\"] "
    "[--show]\n"
    "\n"
    "Serves the simulated Watlow F4 temperature controller (Modbus slave address 1) to any\n"
    "Modbus master, its chamber moving in real time. Its outputs are set up as the console\n"
    "sets them (1A heats, 1B cools), so a set point written to register 300 moves the\n"
    "temperature in register 100 toward it.\n"
    "\n"
    "  --pty        Modbus RTU on a pseudo-terminal; prints \"pty PATH\", the serial port to\n"
    "               open (any baud rate, 8 data bits; parity is not checked)\n"
    "  --tcp PORT   Modbus TCP on 127.0.0.1:PORT (0 picks a free port); prints \"tcp PORT\";\n"
    "               unit 1 is the controller, and 0 or 255 are taken as 1\n"
    "  --plant \"MASS HEATER COOLER LOSS DEAD\"\n"
    "               the chamber: thermal mass in kJ/K, heater and cooler power in W, loss to\n"
    "               the room in W/K, dead time in s (default \"2.5 2500 1200 10 5\")\n"
    "  --show       print every request and its response in hexadecimal\n"
    "  --help       show this text\n"
    "\n"
    "Without --pty or --tcp: both, TCP on port 5020 (Modbus's own port 502 needs root).\n"
    "One TCP client at a time. A request the controller does not answer gets no reply.\n"
    "Runs until interrupted. Exit status: 0 when interrupted, 1 when it cannot serve (a\n"
    "port already taken), 2 for a command line it cannot use.\n";

constexpr int kDefaultPort = 5020;

modbusslave::Server* running = nullptr;

void interrupted(int) {
  if (running) running->stop();
}

int refuse(const std::string& problem) {
  std::cerr << "f4-modbus-sim: " << problem << " (--help shows the usage)\n";
  return 2;
}

std::string hex(const modbus::Bytes& bytes) {
  if (bytes.empty()) return "none";
  std::string text;
  char pair[4];
  for (const std::uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X ", byte);
    text += pair;
  }
  text.pop_back();
  return text;
}

// Five numbers, as the simulator's `sim plant` step takes them; nothing, with `why`, when they
// are not.
std::optional<sim::Chamber::Plant> plantOf(const std::string& text, std::string& why) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  sim::Chamber::Plant p;
  std::string rest;
  if (!(in >> p.thermalMass >> p.heaterPower >> p.coolerPower >> p.roomLoss >> p.deadTime) ||
      (in >> rest)) {
    why =
        "--plant needs five numbers: thermal mass (kJ/K), heater and cooler power (W), loss "
        "to the room (W/K) and dead time (s)";
    return std::nullopt;
  }
  why = sim::Chamber::refusal(p);
  if (!why.empty()) return std::nullopt;
  return p;
}

modbusslave::Exchanged shown(const std::string& transport) {
  return [transport](const modbus::Bytes& request, const modbus::Bytes& reply) {
    std::cout << transport << " request " << hex(request) << "\n"
              << transport << " response " << hex(reply) << std::endl;
  };
}

}  // namespace

int main(int argc, char* argv[]) {
  bool pty = false, show = false;
  int port = -1;
  std::optional<sim::Chamber::Plant> plant;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pty") {
      pty = true;
    } else if (arg == "--show") {
      show = true;
    } else if (arg == "--tcp") {
      if (i + 1 == argc) return refuse("--tcp needs a port from 0 to 65535");
      char* end = nullptr;
      const long value = std::strtol(argv[++i], &end, 10);
      if (*argv[i] == '\0' || *end != '\0' || value < 0 || value > 65535)
        return refuse("--tcp needs a port from 0 to 65535, not \"" + std::string(argv[i]) + "\"");
      port = static_cast<int>(value);
    } else if (arg == "--plant") {
      std::string why = "--plant needs five numbers";
      plant = i + 1 < argc ? plantOf(argv[++i], why) : std::nullopt;
      if (!plant) return refuse(why);
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      return refuse("unknown option " + arg);
    }
  }
  if (!pty && port < 0) pty = true, port = kDefaultPort;

  bus::SteadyClock clock;
  sim::WatlowF4 controller(clock);
  if (plant) controller.setPlant(*plant);
  for (const auto [reg, value] : f4::kOutputSetup)
    controller.write(reg, static_cast<std::int16_t>(value));
  modbusslave::Server server(
      [&controller](const modbus::Bytes& request) { return controller.handle(request); });
  if (!server.problem().empty()) {
    std::cerr << "f4-modbus-sim: " << server.problem() << "\n";
    return 1;
  }
  server.onProblem = [](const std::string& problem) {
    std::cerr << "f4-modbus-sim: " << problem << std::endl;
  };
  if (show) server.onPty = shown("pty"), server.onTcp = shown("tcp");

  // Each line is flushed at once: whoever started the server waits for it.
  if (pty) {
    const std::string path = server.openPty();
    if (path.empty()) return std::cerr << "f4-modbus-sim: " << server.problem() << "\n", 1;
    std::cout << "pty " << path << std::endl;
  }
  if (port >= 0) {
    const int listening = server.listenTcp(port);
    if (listening == 0) return std::cerr << "f4-modbus-sim: " << server.problem() << "\n", 1;
    std::cout << "tcp " << listening << std::endl;
  }

  running = &server;
  struct sigaction action {};
  action.sa_handler = interrupted;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  server.run();
  running = nullptr;
  return 0;
}
