// f4-modbus-sim's framing on any bytes. RTU: the bytes arriving in chunks a few milliseconds
// apart are each taken into a frame with a good CRC, dropped or still waiting, never lost or
// made up, and the silence leaves none waiting. TCP: the same bytes as one connection's stream
// are answered or refused without holding more than one request's worth.
#include <cstdint>

#include "Check.h"
#include "Clock.h"
#include "Framing.h"
#include "WatlowF4.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t chunk = 1 + data[0] % 16;
  const double step = (data[1] % 8) * 0.001;
  data += 2, size -= 2;

  bus::VirtualClock clock;
  sim::WatlowF4 f4(clock);
  const modbusslave::Controller controller = [&](const modbus::Bytes& request) {
    return f4.handle(request);
  };

  modbusslave::RtuFramer framer(modbusslave::silenceSeconds(9600));
  std::size_t accounted = 0;
  double now = 0.0;
  const auto count = [&](const modbusslave::RtuFramer::Taken& taken) {
    accounted += taken.dropped;
    for (const modbus::Bytes& frame : taken.frames) {
      FUZZ_CHECK(frame.size() >= 4 && frame.size() <= 264 && modbus::crcValid(frame));
      accounted += frame.size();
      controller(frame);
    }
  };
  for (std::size_t at = 0; at < size; at += chunk, now += step) {
    count(framer.feed(data + at, std::min(chunk, size - at), now));
    FUZZ_CHECK(accounted + framer.waiting() == std::min(at + chunk, size));
  }
  count(framer.expire(now + 1.0));
  FUZZ_CHECK(framer.waiting() == 0 && accounted == size);

  modbus::Bytes pending;
  for (std::size_t at = 0; at < size; at += chunk) {
    pending.insert(pending.end(), data + at, data + std::min(at + chunk, size));
    const modbusslave::TcpServed served = modbusslave::serveTcp(pending, controller);
    if (!served.problem.empty()) break;
    FUZZ_CHECK(pending.size() < 6 + modbusslave::kMaxMbapLength);
  }
  return 0;
}
