// The simulated bus behind the C entry points of a linux-gpib style driver library, so that a
// console loading its driver at run time can be pointed at the simulator. Time runs on the
// machine's steady clock; the controller's time of day starts at the local wall-clock time.

#include <ctime>
#include <mutex>

#include "Clock.h"
#include "SimulatedBus.h"

#define GPIBSIM_VISIBLE __attribute__((visibility("default")))
#define GPIBSIM_EXPORT extern "C" GPIBSIM_VISIBLE

namespace {

// linux-gpib's numbering of the send end modes.
constexpr int kNullEnd = 0;
constexpr int kDabEnd = 1;
constexpr int kNlEnd = 2;

struct Simulator {
  Simulator() : bus(clock) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local))
      bus.controller().setTimeOfDay(local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec);
  }
  bus::SteadyClock clock;
  sim::SimulatedBus bus;
  std::mutex mutex;
};

Simulator& simulator() {
  static Simulator instance;
  return instance;
}

}  // namespace

extern "C" {
GPIBSIM_VISIBLE int ibsta = 0;
GPIBSIM_VISIBLE int iberr = 0;
GPIBSIM_VISIBLE int ibcnt = 0;
GPIBSIM_VISIBLE long ibcntl = 0;
}

namespace {

// Runs one call on the bus and publishes its outcome in the driver's status variables.
template <typename Call>
int call(Call&& body) {
  Simulator& s = simulator();
  std::lock_guard<std::mutex> lock(s.mutex);
  body(s.bus);
  const bus::Status status = s.bus.status();
  ibsta = status.ibsta;
  iberr = status.iberr;
  ibcnt = status.ibcnt;
  ibcntl = status.ibcntl;
  return ibsta;
}

bus::Addr4882 address(unsigned short value) { return static_cast<bus::Addr4882>(value); }

}  // namespace

GPIBSIM_EXPORT int ibonl(int ud, int value) {
  return call([&](sim::SimulatedBus& bus) { bus.ibonl(ud, value); });
}

GPIBSIM_EXPORT int ibsre(int ud, int value) {
  return call([&](sim::SimulatedBus& bus) { bus.ibsre(ud, value); });
}

GPIBSIM_EXPORT int ibtmo(int ud, int value) {
  return call([&](sim::SimulatedBus& bus) { bus.ibtmo(ud, value); });
}

GPIBSIM_EXPORT void SendIFC(int board) {
  call([&](sim::SimulatedBus& bus) { bus.SendIFC(board); });
}

GPIBSIM_EXPORT void DevClear(int board, unsigned short addr) {
  call([&](sim::SimulatedBus& bus) { bus.DevClear(board, address(addr)); });
}

GPIBSIM_EXPORT void FindLstn(int board, const unsigned short* padList, unsigned short* resultList,
                             int limit) {
  // Addr4882_t is an unsigned short here and a 16-bit signed integer in the bus interface:
  // the same bits, NOADDR included.
  call([&](sim::SimulatedBus& bus) {
    bus.FindLstn(board, reinterpret_cast<const bus::Addr4882*>(padList),
                 reinterpret_cast<bus::Addr4882*>(resultList), limit);
  });
}

GPIBSIM_EXPORT void ReadStatusByte(int board, unsigned short addr, short* result) {
  call([&](sim::SimulatedBus& bus) { bus.ReadStatusByte(board, address(addr), result); });
}

GPIBSIM_EXPORT void Send(int board, unsigned short addr, const void* data, long count,
                         int eotMode) {
  call([&](sim::SimulatedBus& bus) {
    bus::EotMode mode;
    switch (eotMode) {
      case kNullEnd:
        mode = bus::EotMode::NULLend;
        break;
      case kDabEnd:
        mode = bus::EotMode::DABend;
        break;
      case kNlEnd:
        mode = bus::EotMode::NLend;
        break;
      default:
        // An end mode this family does not have is a bad argument, like a negative count.
        bus.Send(board, address(addr), nullptr, -1, bus::EotMode::NLend);
        return;
    }
    bus.Send(board, address(addr), static_cast<const char*>(data), count, mode);
  });
}

GPIBSIM_EXPORT void Receive(int board, unsigned short addr, void* buffer, long count,
                            int termination) {
  // STOPend has the same value (0x100) in linux-gpib as in the bus interface.
  call([&](sim::SimulatedBus& bus) {
    bus.Receive(board, address(addr), static_cast<char*>(buffer), count, termination);
  });
}

GPIBSIM_EXPORT int ThreadIbsta(void) { return ibsta; }
GPIBSIM_EXPORT int ThreadIberr(void) { return iberr; }
GPIBSIM_EXPORT int ThreadIbcnt(void) { return ibcnt; }
GPIBSIM_EXPORT long ThreadIbcntl(void) { return ibcntl; }

GPIBSIM_EXPORT const char* gpib_error_string(int error) {
  switch (error) {
    case bus::EDVR:
      return "EDVR: system error";
    case bus::ECIC:
      return "ECIC: board is not controller-in-charge";
    case bus::ENOL:
      return "ENOL: no listener on the bus";
    case bus::EADR:
      return "EADR: board not addressed correctly";
    case bus::EARG:
      return "EARG: invalid argument";
    case bus::ESAC:
      return "ESAC: board is not system controller";
    case bus::EABO:
      return "EABO: I/O operation aborted (time-out)";
    case bus::ENEB:
      return "ENEB: no such board, or board offline";
    case bus::EOIP:
      return "EOIP: asynchronous I/O in progress";
    case bus::ECAP:
      return "ECAP: no capability for this operation";
    case bus::EFSO:
      return "EFSO: file system error";
    case bus::EBUS:
      return "EBUS: command bytes could not be sent";
    case bus::ESTB:
      return "ESTB: serial poll status byte lost";
    case bus::ESRQ:
      return "ESRQ: SRQ stuck on";
    case bus::ETAB:
      return "ETAB: table overflow";
    default:
      return "unknown error";
  }
}
