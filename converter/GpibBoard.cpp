#include "GpibBoard.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace converter {

namespace {

constexpr int kBoard = 0;
constexpr int kMaxAddress = 30;
// A list with more entries than this cannot be a real address list (each of the 31 primary
// addresses at most a few times over); stop reading rather than run off its end.
constexpr int kMaxListEntries = 256;

}  // namespace

double GpibBoard::timeoutSeconds(int code) { return bus::timeoutSeconds(code); }

// ---- status ----------------------------------------------------------------------------------

int GpibBoard::baseStatus() const {
  if (!online_) return 0;
  int status = bus::CIC;
  if (serviceRequested()) status |= bus::SRQI;
  return status;
}

void GpibBoard::succeed(int extra, long count) {
  status_.ibsta = baseStatus() | bus::CMPL | extra;
  status_.iberr = 0;
  status_.ibcntl = count;
  status_.ibcnt = static_cast<int>(count);
}

void GpibBoard::fail(int error, int extra, long count) {
  // Only an online board gets this far: an offline one refuses every call first.
  status_.ibsta = baseStatus() | bus::ERR | bus::CMPL | extra;
  status_.iberr = error;
  status_.ibcntl = count;
  status_.ibcnt = static_cast<int>(count);
}

void GpibBoard::timeOut(long count, double waited) {
  const double seconds = timeoutSeconds(timeoutCode_) - waited;
  if (seconds > 0) clock_.sleepFor(seconds);
  fail(bus::EABO, bus::TIMO, count);
}

bool GpibBoard::awaitReply(const Device& device, double& waited) {
  waited = 0;
  const double wait = device.readyAt() - clock_.now();
  if (wait <= 0) return true;
  const double limit = timeoutSeconds(timeoutCode_);
  waited = limit > 0 ? std::min(wait, limit) : wait;
  clock_.sleepFor(waited);
  return waited == wait;
}

void GpibBoard::refuse(int error) {
  // No board answers for the call, so nothing of board 0's state shows in the status word.
  status_ = bus::Status{bus::ERR, error, 0, 0};
}

bool GpibBoard::boardReady(int board) {
  if (board != kBoard || !online_) {
    refuse(bus::ENEB);
    return false;
  }
  return true;
}

bool GpibBoard::addressValid(int address) {
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

Device* GpibBoard::listenerAt(int address) {
  if (!addressValid(address)) return nullptr;
  Device* device = deviceAt(address);
  if (!device) fail(bus::ENOL);
  return device;
}

Device* GpibBoard::deviceAt(int address) {
  return const_cast<Device*>(std::as_const(*this).deviceAt(address));
}

bool GpibBoard::requestingService(int address) const {
  const Device* device = deviceAt(address);
  return device && device->requestingService();
}

bool GpibBoard::setTimeoutCode(int code) {
  if (timeoutSeconds(code) < 0) return false;
  timeoutCode_ = code;
  return true;
}

// ---- board calls -----------------------------------------------------------------------------

void GpibBoard::ibonl(int ud, int value) {
  if (ud != kBoard) {
    refuse(bus::EDVR);
    return;
  }
  online_ = value != 0;
  succeed();
}

void GpibBoard::ibsre(int ud, int value) {
  if (!boardReady(ud)) return;
  const bool previous = ren_;
  ren_ = value != 0;
  succeed();
  status_.iberr = previous ? 1 : 0;  // the driver hands back the previous setting here
}

void GpibBoard::ibtmo(int ud, int code) {
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

void GpibBoard::SendIFC(int board) {
  if (board != kBoard) {
    refuse(bus::ENEB);
    return;
  }
  online_ = true;
  succeed();
}

void GpibBoard::DevClear(int board, bus::Addr4882 address) {
  if (!boardReady(board)) return;
  if (address == bus::NOADDR) {
    // Universal device clear reaches every device on the bus.
    clearEveryDevice();
    succeed();
    return;
  }
  Device* device = listenerAt(address);
  if (!device) return;
  device->clear();
  succeed();
}

void GpibBoard::FindLstn(int board, const bus::Addr4882* padList, bus::Addr4882* resultList,
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

void GpibBoard::ReadStatusByte(int board, bus::Addr4882 address, std::int16_t* result) {
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

void GpibBoard::Send(int board, bus::Addr4882 address, const char* data, long count,
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

void GpibBoard::Trigger(int board, bus::Addr4882 address) {
  if (!boardReady(board) || !addressValid(address)) return;
  if (!deviceAt(address)) {
    fail(bus::ENOL);
    return;
  }
  succeed();
}

void GpibBoard::Receive(int board, bus::Addr4882 address, char* buffer, long count,
                        int termination) {
  receive(board, address, buffer, count, termination, false);
}

void GpibBoard::receive(int board, bus::Addr4882 address, char* buffer, long count, int termination,
                        bool sevenBitEos) {
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

}  // namespace converter
