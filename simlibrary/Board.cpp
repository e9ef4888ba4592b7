#include "Board.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace simlibrary {

namespace {

using bus::CMPL;
using bus::END;
using bus::ERR;
using bus::RQS;
using bus::TIMO;

// Bits a device descriptor shows.
constexpr int kDeviceBits = ERR | TIMO | END | CMPL | RQS;

}  // namespace

Board::Board() : bus_(clock_), table_(kDescriptors) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local))
    bus_.controller().setTimeOfDay(local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec);
  Descriptor board;
  board.board = true;
  table_[0] = board;
}

// ---- status ----------------------------------------------------------------------------------

void Board::fail(int error, long count) {
  status_ = {bus_.baseStatus() | ERR | (bus_.online() ? CMPL : 0), error, static_cast<int>(count),
             count};
}

void Board::succeed(long count) {
  status_ = {bus_.baseStatus() | CMPL, 0, static_cast<int>(count), count};
}

void Board::timeOut(int code) {
  const double seconds = sim::SimulatedBus::timeoutSeconds(code);
  if (seconds > 0) clock_.sleepFor(seconds);
  fail(bus::EABO);
  status_.ibsta |= TIMO;
}

void Board::finish(const Descriptor& d) {
  if (d.board) return;
  status_.ibsta &= kDeviceBits;
  if (bus_.requestingService(d.pad)) status_.ibsta |= RQS;
}

// ---- entry checks ----------------------------------------------------------------------------

Descriptor* Board::enter(int ud) {
  status_ = {};
  if (ud < 0 || ud >= kDescriptors || !table_[static_cast<std::size_t>(ud)]) {
    // No board stands behind a descriptor that does not exist: ERR alone.
    status_ = {ERR, bus::EARG, 0, 0};
    return nullptr;
  }
  return &*table_[static_cast<std::size_t>(ud)];
}

Descriptor* Board::enterBoard(int ud) {
  Descriptor* d = enter(ud);
  if (d && !d->board) {
    fail(bus::EARG);
    finish(*d);
    return nullptr;
  }
  return d;
}

Descriptor* Board::enterDevice(int ud) {
  Descriptor* d = enter(ud);
  if (d && d->board) {
    fail(bus::EARG);
    return nullptr;
  }
  return d && offline() ? nullptr : d;
}

bool Board::boardNumber(int board) {
  status_ = {};
  if (board == 0 && bus_.online()) return true;
  status_ = {ERR, bus::ENEB, 0, 0};
  return false;
}

std::optional<int> Board::padOf(Addr address) {
  const int pad = address & 0xFF;
  const int sad = address >> 8;
  if (address != kNoAddr && pad <= kMaxPad && secondary(sad)) return pad;
  fail(bus::EARG);
  return std::nullopt;
}

std::optional<std::vector<int>> Board::padsOf(const Addr* list) {
  std::vector<int> pads;
  for (int i = 0; list && list[i] != kNoAddr && i < kDescriptors; ++i) {
    const std::optional<int> pad = padOf(list[i]);
    if (!pad) {
      status_.ibcnt = i;
      status_.ibcntl = i;
      return std::nullopt;
    }
    pads.push_back(*pad);
  }
  return pads;
}

std::optional<std::vector<int>> Board::listed(int board, const Addr* list, bool outputGiven) {
  if (!boardNumber(board)) return std::nullopt;
  std::optional<std::vector<int>> pads = padsOf(list);
  if (pads && !outputGiven) {
    fail(bus::EARG);
    return std::nullopt;
  }
  return pads;
}

// ---- descriptors -----------------------------------------------------------------------------

int Board::ibdev(int board, int pad, int sad, int timeout, int eot, int eos) {
  if (!boardNumber(board)) return -1;
  const std::optional<int> secondaryAddress = secondary(sad);
  if (pad < 0 || pad > kMaxPad || !secondaryAddress || !validTimeoutCode(timeout) ||
      (eos & ~(0xFF | REOS | XEOS | BIN))) {
    fail(bus::EARG);
    return -1;
  }
  const auto free = std::find_if(table_.begin() + kFirstDevice, table_.end(),
                                 [](const auto& slot) { return !slot.has_value(); });
  if (free == table_.end()) {
    fail(bus::ETAB);
    return -1;
  }
  Descriptor d;
  d.pad = pad;
  d.sad = *secondaryAddress;
  d.timeout = timeout;
  d.eot = eot != 0;
  d.eos = eos & 0xFF;
  d.eosFlags = eos & (REOS | XEOS | BIN);
  *free = d;
  succeed();
  finish(d);
  return static_cast<int>(free - table_.begin());
}

int Board::ibfind(const std::string& name) {
  status_ = {};
  if (name == "gpib0") {
    succeed();
    return 0;
  }
  // The simulated configuration names its two devices; any other name is not configured.
  if (name == "converter") return ibdev(0, bus_.converterAddress(), 0, 13, 1, 0);
  if (name == "instrument" && bus_.instrumentAddress() > 0)
    return ibdev(0, bus_.instrumentAddress(), 0, 13, 1, 0);
  status_ = {ERR, bus::EDVR, ENODEV, ENODEV};
  return -1;
}

void Board::ibonl(int ud, int value) {
  Descriptor* d = enter(ud);
  if (!d) return;
  if (d->board) {
    bus_.ibonl(0, value);
    takeBusStatus();
    if (!value) addressing_.clear();
    return;
  }
  if (!value) {
    table_[static_cast<std::size_t>(ud)].reset();
    succeed();
    status_.ibsta &= kDeviceBits;
    return;
  }
  // Back to the settings it was opened with.
  Descriptor fresh;
  fresh.pad = d->pad;
  fresh.sad = d->sad;
  *d = fresh;
  succeed();
  finish(*d);
}

}  // namespace simlibrary
