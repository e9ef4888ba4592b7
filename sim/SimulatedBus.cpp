#include "SimulatedBus.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sim {

namespace {

constexpr int kBoard = 0;
constexpr int kMaxAddress = 30;
// A list with more entries than this cannot be a real address list (each of the 31 primary
// addresses at most a few times over); stop reading rather than run off its end.
constexpr int kMaxListEntries = 256;

}  // namespace

SimulatedBus::SimulatedBus(bus::Clock& clock)
    : clock_(clock),
      controller_(clock),
      converter_(clock, controller_),
      instrument_("SIMULATED,BENCH METER 7,0,1.0") {}

std::string SimulatedBus::describe() const {
  return "built-in simulator: converter at GPIB address " + std::to_string(converterAddress_) +
         ", Watlow F4 at Modbus address 1";
}

double SimulatedBus::timeoutSeconds(int code) { return bus::timeoutSeconds(code); }

void SimulatedBus::clearFaults() {
  converterPresent_ = true;
  converter_.setSilent(false);
  converter_.failNextTransactions(0, 0);
  converter_.clearNextReply();
  controller_.clearRegisterFaults();
  controller_.setBaud(WatlowF4::kDefaultBaud);
}

// ---- status ----------------------------------------------------------------------------------

int SimulatedBus::baseStatus() const {
  if (!online_) return 0;
  int status = bus::CIC;
  const bool srq =
      (converterPresent_ && converter_.requestingService()) || instrument_.requestingService();
  if (srq) status |= bus::SRQI;
  return status;
}

void SimulatedBus::succeed(int extra, long count) {
  status_.ibsta = baseStatus() | bus::CMPL | extra;
  status_.iberr = 0;
  status_.ibcntl = count;
  status_.ibcnt = static_cast<int>(count);
}

void SimulatedBus::fail(int error, int extra, long count) {
  status_.ibsta = baseStatus() | bus::ERR | (online_ ? bus::CMPL : 0) | extra;
  status_.iberr = error;
  status_.ibcntl = count;
  status_.ibcnt = static_cast<int>(count);
}

void SimulatedBus::timeOut(long count, double waited) {
  const double seconds = timeoutSeconds(timeoutCode_) - waited;
  if (seconds > 0) clock_.sleepFor(seconds);
  fail(bus::EABO, bus::TIMO, count);
}

bool SimulatedBus::awaitReply(const Device& device, double& waited) {
  waited = 0;
  const double wait = device.readyAt() - clock_.now();
  if (wait <= 0) return true;
  const double limit = timeoutSeconds(timeoutCode_);
  waited = limit > 0 ? std::min(wait, limit) : wait;
  clock_.sleepFor(waited);
  return waited == wait;
}

void SimulatedBus::refuse(int error) {
  // No board answers for the call, so nothing of board 0's state shows in the status word.
  status_ = bus::Status{bus::ERR, error, 0, 0};
}

bool SimulatedBus::boardReady(int board) {
  if (board != kBoard || !online_) {
    refuse(bus::ENEB);
    return false;
  }
  return true;
}

bool SimulatedBus::addressValid(int address) {
  if (address < 0 || address > kMaxAddress) {
    fail(bus::EARG);
    return false;
  }
  if (address == kBoardAddress) {
    fail(bus::EADR);
    return false;
  }
  return true;
}

Device* SimulatedBus::listenerAt(int address) {
  if (!addressValid(address)) return nullptr;
  Device* device = deviceAt(address);
  if (!device) fail(bus::ENOL);
  return device;
}

Device* SimulatedBus::deviceAt(int address) {
  return const_cast<Device*>(std::as_const(*this).deviceAt(address));
}

const Device* SimulatedBus::deviceAt(int address) const {
  if (address == converterAddress_ && converterPresent_) return &converter_;
  if (address == instrumentAddress_) return &instrument_;
  return nullptr;
}

bool SimulatedBus::requestingService(int address) const {
  const Device* device = deviceAt(address);
  return device && device->requestingService();
}

bool SimulatedBus::setConverterAddress(int address) {
  if (address <= kBoardAddress || address > kMaxAddress || address == instrumentAddress_)
    return false;
  converterAddress_ = address;
  return true;
}

bool SimulatedBus::setInstrumentAddress(int address) {
  if (address != -1 &&
      (address <= kBoardAddress || address > kMaxAddress || address == converterAddress_))
    return false;
  instrumentAddress_ = address;
  return true;
}

bool SimulatedBus::setTimeoutCode(int code) {
  if (timeoutSeconds(code) < 0) return false;
  timeoutCode_ = code;
  return true;
}

// ---- board calls -----------------------------------------------------------------------------

void SimulatedBus::ibonl(int ud, int value) {
  if (ud != kBoard) {
    refuse(bus::EDVR);
    return;
  }
  online_ = value != 0;
  succeed();
}

void SimulatedBus::ibsre(int ud, int value) {
  if (!boardReady(ud)) return;
  const bool previous = ren_;
  ren_ = value != 0;
  succeed();
  status_.iberr = previous ? 1 : 0;  // the driver hands back the previous setting here
}

void SimulatedBus::ibtmo(int ud, int code) {
  if (!boardReady(ud)) return;
  if (timeoutSeconds(code) < 0) {
    fail(bus::EARG);
    return;
  }
  const int previous = timeoutCode_;
  timeoutCode_ = code;
  succeed();
  status_.iberr = previous;
}

void SimulatedBus::SendIFC(int board) {
  if (board != kBoard) {
    refuse(bus::ENEB);
    return;
  }
  online_ = true;
  succeed();
}

void SimulatedBus::DevClear(int board, bus::Addr4882 address) {
  if (!boardReady(board)) return;
  if (address == bus::NOADDR) {
    // Universal device clear reaches every device on the bus.
    if (converterPresent_) converter_.clear();
    instrument_.clear();
    succeed();
    return;
  }
  Device* device = listenerAt(address);
  if (!device) return;
  device->clear();
  succeed();
}

void SimulatedBus::FindLstn(int board, const bus::Addr4882* padList, bus::Addr4882* resultList,
                            int limit) {
  if (!boardReady(board)) return;
  if (!padList || limit < 0 || (!resultList && limit > 0)) {
    fail(bus::EARG);
    return;
  }
  int found = 0;
  for (int i = 0; i < kMaxListEntries && padList[i] != bus::NOADDR; ++i) {
    const int address = padList[i];
    if (address < 0 || address > kMaxAddress) {
      fail(bus::EARG);
      return;
    }
    if (address != kBoardAddress && !deviceAt(address)) continue;
    if (found < limit) resultList[found] = padList[i];
    ++found;
  }
  if (found > limit) {
    fail(bus::ETAB, 0, limit);
    return;
  }
  succeed(0, found);
}

void SimulatedBus::ReadStatusByte(int board, bus::Addr4882 address, std::int16_t* result) {
  if (!boardReady(board)) return;
  if (!result) {
    fail(bus::EARG);
    return;
  }
  if (!addressValid(address)) return;
  Device* device = deviceAt(address);
  const std::optional<std::uint8_t> value = device ? device->serialPoll() : std::nullopt;
  if (!value) {
    timeOut();
    return;
  }
  *result = *value;
  succeed();
}

void SimulatedBus::Send(int board, bus::Addr4882 address, const char* data, long count,
                        bus::EotMode mode) {
  if (!boardReady(board)) return;
  if (count < 0 || (!data && count > 0)) {
    fail(bus::EARG);
    return;
  }
  Device* device = listenerAt(address);
  if (!device) return;
  std::string bytes(data ? data : "", static_cast<std::size_t>(count));
  bool eoi = false;
  switch (mode) {
    case bus::EotMode::NLend:
      bytes.push_back('\n');
      eoi = true;
      break;
    case bus::EotMode::DABend:
      eoi = count > 0;
      break;
    case bus::EotMode::NULLend:
      break;
  }
  device->listen(bytes, eoi);
  succeed(0, static_cast<long>(bytes.size()));
}

void SimulatedBus::Trigger(int board, bus::Addr4882 address) {
  if (!boardReady(board) || !addressValid(address)) return;
  if (!deviceAt(address)) {
    fail(bus::ENOL);
    return;
  }
  succeed();
}

void SimulatedBus::Receive(int board, bus::Addr4882 address, char* buffer, long count,
                           int termination) {
  receive(board, address, buffer, count, termination, false);
}

void SimulatedBus::receive(int board, bus::Addr4882 address, char* buffer, long count,
                           int termination, bool sevenBitEos) {
  if (!boardReady(board)) return;
  if (count < 0 || (!buffer && count > 0) ||
      (termination != bus::STOPend && (termination < 0 || termination > 0xFF))) {
    fail(bus::EARG);
    return;
  }
  if (!addressValid(address)) return;
  if (count == 0) {
    succeed();
    return;
  }
  Device* device = deviceAt(address);
  // A reply still on its way over the converter's serial link is waited for, within the time-out.
  double waited = 0;
  const std::optional<std::string_view> answer =
      device && awaitReply(*device, waited) ? device->talk() : std::optional<std::string_view>();
  if (!answer) {
    timeOut(0, waited);
    return;
  }
  const std::string_view reply = *answer;
  if (reply.empty()) {
    device->consumed(0);
    succeed(bus::END, 0);
    return;
  }
  std::size_t n = std::min(static_cast<std::size_t>(count), reply.size());
  bool end = n == reply.size();  // the reply's last byte carries EOI
  if (termination != bus::STOPend) {
    const int mask = sevenBitEos ? 0x7F : 0xFF;
    const auto at = std::find_if(
        reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(n),
        [&](char c) { return (static_cast<unsigned char>(c) & mask) == (termination & mask); });
    if (at != reply.begin() + static_cast<std::ptrdiff_t>(n)) {
      n = static_cast<std::size_t>(at - reply.begin()) + 1;
      end = true;
    }
  }
  std::memcpy(buffer, reply.data(), n);
  device->consumed(n);
  succeed(end ? bus::END : 0, static_cast<long>(n));
}

}  // namespace sim
