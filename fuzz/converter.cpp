// The simulated converter fed random command lines over the bus: every call ends with a
// defined status, a read never reports more than it was given room for, and no wait runs past
// the time-out.
#include <cstdint>
#include <string>

#include "Check.h"
#include "Clock.h"
#include "SimulatedBus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  bus::VirtualClock clock;
  sim::SimulatedBus bus(clock);
  bus.ibtmo(0, 11);  // 1 s, as the console sets it
  const std::string input(reinterpret_cast<const char*>(data), size);

  std::size_t start = 0;
  for (int lines = 0; start <= input.size() && lines < 32; ++lines) {
    std::size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    const std::string line = input.substr(start, end - start);
    start = end + 1;

    bus.Send(0, 4, line.data(), static_cast<long>(line.size()), bus::EotMode::NLend);
    for (int reads = 0; reads < 8; ++reads) {
      char buffer[256];
      const double before = clock.now();
      bus.Receive(0, 4, buffer, sizeof buffer, bus::STOPend);
      const bus::Status s = bus.status();
      FUZZ_CHECK(s.ibcntl >= 0 && s.ibcntl <= static_cast<long>(sizeof buffer));
      FUZZ_CHECK(clock.now() - before <= 1.0 + 1e-6);
      if (s.ibsta & (bus::ERR | bus::END)) break;
    }
    std::int16_t statusByte = 0;
    bus.ReadStatusByte(0, 4, &statusByte);
    FUZZ_CHECK(!(bus.status().ibsta & bus::ERR));
  }
  return 0;
}
