#include <gtest/gtest.h>

#include <map>
#include <string>

#include "EnvironmentSettings.h"

namespace {

using namespace std::string_literals;

// The chamber and the link, where they differ from a new bench's.
std::string chamber(sim::SimulatedBus& bus) {
  const sim::Chamber& c = bus.controller().chamber();
  const sim::Chamber::Plant p = c.plant();
  const sim::Chamber::Loop l = c.loop();
  std::string text;
  if (c.model() == sim::Chamber::Model::Linear) text += " linear";
  if (p != sim::Chamber::Plant{})
    for (double v : {p.thermalMass, p.heaterPower, p.coolerPower, p.roomLoss, p.deadTime})
      text += " " + std::to_string(v);
  if (l != sim::Chamber::Loop{})
    for (double v : {l.band, l.integral, l.derivative}) text += " " + std::to_string(v);
  if (!bus.converter().paced()) text += " instant";
  if (bus.converter().latency() != sim::Converter::kDefaultLatency)
    text += " " + std::to_string(bus.converter().latency());
  return text;
}

// The bench as the variables can change it, in one line.
std::string describe(sim::SimulatedBus& bus) {
  return std::to_string(bus.converterAddress()) + " " + std::to_string(bus.instrumentAddress()) +
         " " + bus.identity() + " " + std::to_string(bus.controller().ambient()) + " " +
         std::to_string(bus.pendingFailures()) + "x" + std::to_string(bus.pendingFailureCode()) +
         (bus.converterSilent() ? " silent" : "") + (bus.converterPresent() ? "" : " absent") +
         " " + std::to_string(bus.controllerBaud()) + " " +
         std::to_string(bus.registerFaults().size()) + chamber(bus);
}

TEST(EnvironmentSettings, VariablesSetTheBenchOrLeaveItWhole) {
  const std::string idn = "ORVANE,5630,SIM-000417,2.10";
  const std::string plain = "4 7 " + idn + " 75.000000 0x0 9600 0";
  // The message the library prints for the variables, and the bench they leave.
  const auto apply = [](const std::map<std::string, std::string>& variables) {
    bus::VirtualClock clock;
    sim::SimulatedBus bus(clock);
    const std::string message = simlibrary::applyEnvironment(bus, [&](const char* name) {
      const auto found = variables.find(name);
      return found == variables.end() ? nullptr : found->second.c_str();
    });
    return std::pair(message, describe(bus));
  };
  // The variables, and the bench they set up or why they are refused.
  using Row = std::pair<std::map<std::string, std::string>, std::string>;
  const Row taken[] = {
      {{}, plain},
      {{{"GPIBSIM_ADDRESS", "7"}, {"GPIBSIM_INSTRUMENT", "4"}, {"GPIBSIM_MODEL", "5650"}},
       "7 4 ORVANE,5650,SIM-000417,2.10 75.000000 0x0 9600 0"},
      {{{"GPIBSIM_IDENTITY", "ACME,X1,1,1"}, {"GPIBSIM_AMBIENT", " 21.5 "}},
       "4 7 ACME,X1,1,1 21.500000 0x0 9600 0"},
      {{{"GPIBSIM_FAULTS", "modbus-error 2 3; silent on;baud 19200; register 300 none; absent"}},
       "4 7 " + idn + " 75.000000 3x2 silent absent 19200 1"},
      {{{"GPIBSIM_CHAMBER", "linear"},
        {"GPIBSIM_PLANT", "5 3000 1500 12 2"},
        {"GPIBSIM_LOOP", " 8 30 1 "},
        {"GPIBSIM_LATENCY", "20"},
        {"GPIBSIM_LINK", "instant"}},
       plain + " linear 5.000000 3000.000000 1500.000000 12.000000 2.000000 8.000000 30.000000 "
               "1.000000 instant 0.020000"},
      {{{"GPIBSIM_FAULTS", "chamber linear; latency 0"}}, plain + " linear 0.000000"},
  };
  for (const auto& [variables, bench] : taken) EXPECT_EQ(apply(variables), std::pair(""s, bench));
  // A refusal names the variable and why; the default bench runs instead.
  const Row refused[] = {
      {{{"GPIBSIM_FAULTS", "silent on; identity \"A;B\""}},
       "GPIBSIM_FAULTS=\"silent on; identity \"A;B\"\" cannot be used: a quoted text lacks its "
       "closing quote"},
      {{{"GPIBSIM_ADDRESS", "44"}},
       "GPIBSIM_ADDRESS=\"44\" cannot be used: the address must be a whole number in 1..30"},
      {{{"GPIBSIM_ADDRESS", "7"}, {"GPIBSIM_FAULTS", "silent on"}},
       "GPIBSIM_ADDRESS=\"7\" cannot be used: the address is the instrument's"},
      {{{"GPIBSIM_INSTRUMENT", "4"}},
       "GPIBSIM_INSTRUMENT=\"4\" cannot be used: the address is the converter's"},
      {{{"GPIBSIM_AMBIENT", "7O"}},
       "GPIBSIM_AMBIENT=\"7O\" cannot be used: the ambient must be a number of degrees in "
       "-1000..3000"},
      {{{"GPIBSIM_FAULTS", "smoke on"}},
       "GPIBSIM_FAULTS=\"smoke on\" cannot be used: unknown fault \"smoke\" (absent, present, "
       "silent, modbus-error, register, reply, identity, baud, model, ambient, rates, chamber, "
       "plant, loop, latency, link)"},
      {{{"GPIBSIM_PLANT", "5 3000 1500 12"}},
       "GPIBSIM_PLANT=\"5 3000 1500 12\" cannot be used: \"plant 5 3000 1500 12\" has the wrong "
       "words"},
      {{{"GPIBSIM_LOOP", "8 30 -1"}},
       "GPIBSIM_LOOP=\"8 30 -1\" cannot be used: the derivative time must lie from 0 to 10000 s"},
      {{{"GPIBSIM_CHAMBER", "cold"}},
       "GPIBSIM_CHAMBER=\"cold\" cannot be used: chamber takes thermal or linear"},
      {{{"GPIBSIM_FAULTS", "register 100 65536"}},
       "GPIBSIM_FAULTS=\"register 100 65536\" cannot be used: the value must be a whole number in "
       "-32768..65535"},
      {{{"GPIBSIM_LATENCY", "5ms"}},
       "GPIBSIM_LATENCY=\"5ms\" cannot be used: \"5ms\" is not a number"},
  };
  for (const auto& [variables, refusal] : refused)
    EXPECT_EQ(apply(variables),
              std::pair("gpibsim: " + refusal + "; the default bench runs instead", plain));
}

}  // namespace
