#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Clock.h"
#include "SimulatedBus.h"

namespace simtest {

constexpr int kOk = bus::CMPL | bus::CIC;
inline const std::string kIdentity = "ORVANE,5630,SIM-000417,2.10\n";

// A fresh simulated bus on virtual time, initialised the way the console does it, with a few
// helpers that talk to the converter the way the console's exchange does.
class BusFixture : public ::testing::Test {
 protected:
  BusFixture() : bus(clock) {
    bus.converter().setFrameListener([this](const sim::RtuExchange& e) { frames.push_back(e); });
    bus.SendIFC(0);
    bus.ibsre(0, 1);
    bus.ibtmo(0, 11);
  }

  void send(const std::string& line, int address = sim::SimulatedBus::kConverterAddress) {
    bus.Send(0, static_cast<bus::Addr4882>(address), line.data(), static_cast<long>(line.size()),
             bus::EotMode::NLend);
  }

  // What a read of up to `count` bytes brings; empty after a time-out.
  std::string receive(long count = 256, int address = sim::SimulatedBus::kConverterAddress) {
    std::string buffer(static_cast<std::size_t>(count), ' ');
    bus.Receive(0, static_cast<bus::Addr4882>(address), buffer.data(), count, bus::STOPend);
    const long got = bus.status().ibsta & bus::ERR ? 0 : bus.status().ibcntl;
    return buffer.substr(0, static_cast<std::size_t>(got));
  }

  std::string ask(const std::string& line) {
    send(line);
    return receive();
  }

  void run(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) send(line);
  }

  int stb() {
    std::int16_t value = -1;
    bus.ReadStatusByte(0, 4, &value);
    return value;
  }

  int registerValue(int reg) {
    std::int16_t value = 0;
    EXPECT_EQ(bus.controller().read(reg, value), 0) << "register " << reg;
    return value;
  }

  bus::VirtualClock clock;
  sim::SimulatedBus bus;
  std::vector<sim::RtuExchange> frames;
};

}  // namespace simtest
