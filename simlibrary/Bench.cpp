#include "Bench.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace simlibrary {

namespace {

using bus::CMPL;
using bus::END;
using bus::ERR;
using bus::RQS;
using bus::TIMO;

constexpr int kMaxPad = 30;
constexpr int kSadOffset = 0x60;
// Bits a device descriptor shows, and the ones ibwait may wait for on each kind.
constexpr int kDeviceBits = ERR | TIMO | END | CMPL | RQS;
constexpr int kDeviceWaitBits = TIMO | END | RQS | CMPL;
constexpr int kBoardWaitBits = 0x7FFF & ~RQS;
// iblines: which lines the report covers (low byte) and which are asserted (high byte).
constexpr short kValidLines = 0x80 | 0x40 | 0x20 | 0x10 | 0x08;  // EOI ATN SRQ REN IFC
constexpr short kBusSrq = 0x2000;
constexpr short kBusRen = 0x1000;
// Command bytes ibcmd understands.
constexpr unsigned char kSdc = 0x04, kDcl = 0x14;
constexpr unsigned char kUnl = 0x3F, kUnt = 0x5F;

bool validCode(int code) { return sim::SimulatedBus::timeoutSeconds(code) >= 0; }

// A secondary address as ibdev and ibsad take it: 0 for none, else 0x60..0x7E.
std::optional<int> secondary(int value) {
  if (value == 0) return -1;
  if (value < kSadOffset || value > kSadOffset + kMaxPad) return std::nullopt;
  return value - kSadOffset;
}

bus::EotMode eotMode(int mode) {
  return mode == NLend ? bus::EotMode::NLend
                       : (mode == DABend ? bus::EotMode::DABend : bus::EotMode::NULLend);
}

}  // namespace

Bench::Bench() : bus_(clock_), table_(kDescriptors) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local))
    bus_.controller().setTimeOfDay(local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec);
  Descriptor board;
  board.board = true;
  table_[0] = board;
}

// ---- status ----------------------------------------------------------------------------------

void Bench::fail(int error, long count) {
  status_ = {bus_.baseStatus() | ERR | (bus_.online() ? CMPL : 0), error, static_cast<int>(count),
             count};
}

void Bench::succeed(long count) {
  status_ = {bus_.baseStatus() | CMPL, 0, static_cast<int>(count), count};
}

void Bench::timeOut(int code) {
  const double seconds = sim::SimulatedBus::timeoutSeconds(code);
  if (seconds > 0) clock_.sleepFor(seconds);
  fail(bus::EABO);
  status_.ibsta |= TIMO;
}

void Bench::finish(const Descriptor& d) {
  if (d.board) return;
  status_.ibsta &= kDeviceBits;
  if (bus_.requestingService(d.pad)) status_.ibsta |= RQS;
}

template <typename Call>
void Bench::onBus(int code, Call&& call) {
  const int boardCode = bus_.timeoutCode();
  bus_.setTimeoutCode(code);
  call();
  bus_.setTimeoutCode(boardCode);
  status_ = bus_.status();
}

Bench::Descriptor* Bench::enter(int ud) {
  status_ = {};
  if (ud < 0 || ud >= kDescriptors || !table_[static_cast<std::size_t>(ud)]) {
    // No board stands behind a descriptor that does not exist: ERR alone.
    status_ = {ERR, bus::EARG, 0, 0};
    return nullptr;
  }
  return &*table_[static_cast<std::size_t>(ud)];
}

Bench::Descriptor* Bench::enterBoard(int ud) {
  Descriptor* d = enter(ud);
  if (d && !d->board) {
    fail(bus::EARG);
    finish(*d);
    return nullptr;
  }
  return d;
}

Bench::Descriptor* Bench::enterDevice(int ud) {
  Descriptor* d = enter(ud);
  if (d && d->board) {
    fail(bus::EARG);
    return nullptr;
  }
  if (d && !bus_.online()) {
    status_ = {ERR, bus::ENEB, 0, 0};
    return nullptr;
  }
  return d;
}

bool Bench::boardNumber(int board) {
  status_ = {};
  if (board == 0 && bus_.online()) return true;
  status_ = {ERR, bus::ENEB, 0, 0};
  return false;
}

std::optional<int> Bench::padOf(Addr address) {
  const int pad = address & 0xFF;
  const int sad = address >> 8;
  if (address != kNoAddr && pad <= kMaxPad && secondary(sad)) return pad;
  fail(bus::EARG);
  return std::nullopt;
}

std::optional<std::vector<int>> Bench::padsOf(const Addr* list) {
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

std::optional<std::vector<int>> Bench::listed(int board, const Addr* list, bool outputGiven) {
  if (!boardNumber(board)) return std::nullopt;
  std::optional<std::vector<int>> pads = padsOf(list);
  if (pads && !outputGiven) {
    fail(bus::EARG);
    return std::nullopt;
  }
  return pads;
}

// ---- descriptors -----------------------------------------------------------------------------

int Bench::ibdev(int board, int pad, int sad, int timeout, int eot, int eos) {
  if (!boardNumber(board)) return -1;
  const std::optional<int> secondaryAddress = secondary(sad);
  if (pad < 0 || pad > kMaxPad || !secondaryAddress || !validCode(timeout) ||
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

int Bench::ibfind(const std::string& name) {
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

void Bench::ibonl(int ud, int value) {
  Descriptor* d = enter(ud);
  if (!d) return;
  if (d->board) {
    bus_.ibonl(0, value);
    status_ = bus_.status();
    if (!value) clearAddressing();
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

void Bench::ibtmo(int ud, int code) {
  Descriptor* d = enter(ud);
  if (!d) return;
  if (!validCode(code)) {
    fail(bus::EARG);
  } else {
    if (d->board) {
      bus_.setTimeoutCode(code);
    } else {
      d->timeout = code;
    }
    succeed();
  }
  finish(*d);
}

void Bench::ibeos(int ud, int value) {
  Descriptor* d = enter(ud);
  if (!d) return;
  if (value & ~(0xFF | REOS | XEOS | BIN)) {
    fail(bus::EARG);
  } else {
    d->eos = value & 0xFF;
    d->eosFlags = value & (REOS | XEOS | BIN);
    succeed();
  }
  finish(*d);
}

void Bench::ibeot(int ud, int value) {
  Descriptor* d = enter(ud);
  if (!d) return;
  d->eot = value != 0;
  succeed();
  finish(*d);
}

void Bench::ibpad(int ud, int pad) { ibconfig(ud, IbcPAD, pad); }

void Bench::ibsad(int ud, int sad) { ibconfig(ud, IbcSAD, sad); }

std::optional<long> Bench::option(const Descriptor& d, int which) const {
  switch (which) {
    case IbcPAD:
      return d.board ? sim::SimulatedBus::kBoardAddress : d.pad;
    case IbcSAD:
      return d.sad < 0 ? 0 : d.sad + kSadOffset;
    case IbcTMO:
      return d.board ? bus_.timeoutCode() : d.timeout;
    case IbcEOT:
      return d.eot;
    case IbcPPC:
      return d.ppc;
    case IbcEOSrd:
      return (d.eosFlags & REOS) != 0;
    case IbcEOSwrt:
      return (d.eosFlags & XEOS) != 0;
    case IbcEOScmp:
      return (d.eosFlags & BIN) != 0;
    case IbcEOSchar:
      return d.eos;
    case IbcREADDR:
      return d.readdr;
    case IbcSPollTime:
      return d.spollTimeout;
    case IbcEndBitIsNormal:
      return 1;
    case IbcReadAdjust:
    case IbcWriteAdjust:
    case IbcUnAddr:
    case IbcHSCableLength:
    case IbcCICPROT:
    case IbcSendLLO:
    case IbcAUTOPOLL:
    case IbcEventQueue:
    case IbcPP2:
      return 0;
    case IbaBNA:
      return 0;
  }
  if (!d.board) return std::nullopt;
  switch (which) {
    case IbcSC:
      return systemController_;
    case IbcSRE:
      return bus_.remoteEnable();
    case IbcIst:
      return ist_;
    case IbcDMA:
    case IbcIRQ:
      return 1;
    case IbcRsv:
      return 0;
  }
  return std::nullopt;
}

// Sets one option; false with the status set for a value or option it refuses.
bool Bench::configure(Descriptor& d, int which, int value) {
  const auto eosFlag = [&](int flag) {
    d.eosFlags = value ? d.eosFlags | flag : d.eosFlags & ~flag;
    return true;
  };
  // Options the simulated board does not have, and which it only takes at their neutral value.
  const auto neutral = [&](int allowed) {
    if (value == allowed) return true;
    fail(bus::ECAP);
    return false;
  };
  switch (which) {
    case IbcPAD:
      if (value < 0 || value > kMaxPad) break;
      // The board stays at address 0; moving it is not simulated.
      if (d.board) return neutral(sim::SimulatedBus::kBoardAddress);
      d.pad = value;
      return true;
    case IbcSAD: {
      const std::optional<int> sad = value == 0x7F ? std::optional<int>(-1) : secondary(value);
      if (!sad) break;
      d.sad = *sad;
      return true;
    }
    case IbcTMO:
      if (!validCode(value)) break;
      if (d.board) bus_.setTimeoutCode(value);
      else d.timeout = value;
      return true;
    case IbcEOT:
      d.eot = value != 0;
      return true;
    case IbcEOSrd:
      return eosFlag(REOS);
    case IbcEOSwrt:
      return eosFlag(XEOS);
    case IbcEOScmp:
      return eosFlag(BIN);
    case IbcEOSchar:
      if ((value & 0xFF) != value) break;
      d.eos = value;
      return true;
    case IbcPPC:
      if (value != 0 && (value < 0x60 || value > 0x70)) break;
      d.ppc = value;
      return true;
    case IbcREADDR:
      if (d.board) break;
      d.readdr = value != 0;
      return true;
    case IbcSPollTime:
      if (d.board || !validCode(value)) break;
      d.spollTimeout = value;
      return true;
    case IbcEndBitIsNormal:
      return neutral(value ? value : 1);
    case IbcReadAdjust:
    case IbcWriteAdjust:
    case IbcUnAddr:
    case IbcHSCableLength:
      return neutral(0);
    case IbcCICPROT:
    case IbcSendLLO:
      if (!d.board) break;
      return neutral(0);
    case IbcIRQ:
    case IbcDMA:
      if (!d.board) break;
      return neutral(value ? value : 1);
    case IbcSC:
      if (!d.board) break;
      systemController_ = value != 0;
      return true;
    case IbcSRE:
      if (!d.board) break;
      if (!systemController_) {
        fail(bus::ESAC);
        return false;
      }
      bus_.ibsre(0, value);
      return true;
    case IbcIst:
      if (!d.board) break;
      ist_ = value != 0;
      return true;
    case IbcAUTOPOLL:
    case IbcEventQueue:
    case IbcPP2:
    case IbcSPollBit:
      if (!d.board) break;
      return true;
  }
  fail(bus::EARG);
  return false;
}

void Bench::ibconfig(int ud, int which, int value) {
  Descriptor* d = enter(ud);
  if (!d) return;
  if (configure(*d, which, value)) succeed();
  finish(*d);
}

void Bench::ibask(int ud, int which, int* value) {
  Descriptor* d = enter(ud);
  if (!d) return;
  const std::optional<long> answer = value ? option(*d, which) : std::nullopt;
  if (answer) {
    *value = static_cast<int>(*answer);
    succeed();
  } else {
    fail(bus::EARG);
  }
  finish(*d);
}

// ---- device I/O ------------------------------------------------------------------------------

void Bench::write(int pad, const char* data, long count, bool eoi, int eos, int eosFlags) {
  // With XEOS every end-of-string byte goes out with EOI, ending a message there.
  const int mask = (eosFlags & BIN) ? 0xFF : 0x7F;
  long sent = 0;
  long from = 0;
  for (long i = 0; i < count; ++i) {
    if (!(eosFlags & XEOS) || (static_cast<unsigned char>(data[i]) & mask) != (eos & mask))
      continue;
    bus_.Send(0, static_cast<bus::Addr4882>(pad), data + from, i + 1 - from, bus::EotMode::DABend);
    if (busFailed()) {
      status_ = bus_.status();
      return;
    }
    sent += bus_.status().ibcntl;
    from = i + 1;
  }
  if (from < count || count == 0) {
    bus_.Send(0, static_cast<bus::Addr4882>(pad), data ? data + from : data, count - from,
              eoi ? bus::EotMode::DABend : bus::EotMode::NULLend);
    if (busFailed()) {
      status_ = bus_.status();
      return;
    }
    sent += bus_.status().ibcntl;
  }
  succeed(sent);
}

void Bench::ibwrt(int ud, const char* data, long count) {
  Descriptor* d = enter(ud);
  if (!d) return;
  if (count < 0 || (!data && count > 0)) {
    fail(bus::EARG);
  } else if (d->board) {
    boardWrite(data, count, d->eot ? DABend : NULLend);
  } else {
    const int boardCode = bus_.timeoutCode();
    bus_.setTimeoutCode(d->timeout);
    write(d->pad, data, count, d->eot, d->eos, d->eosFlags);
    bus_.setTimeoutCode(boardCode);
  }
  finish(*d);
}

void Bench::ibrd(int ud, char* buffer, long count) {
  Descriptor* d = enter(ud);
  if (!d) return;
  const int termination = (d->eosFlags & REOS) ? d->eos : bus::STOPend;
  const bool sevenBit = !(d->eosFlags & BIN);
  if (d->board) {
    boardRead(buffer, count, termination, sevenBit);
  } else {
    onBus(d->timeout, [&] { bus_.receive(0, static_cast<bus::Addr4882>(d->pad), buffer, count,
                                          termination, sevenBit); });
  }
  d->end = (status_.ibsta & END) != 0;
  finish(*d);
}

void Bench::ibclr(int ud) {
  Descriptor* d = enterDevice(ud);
  if (!d) return;
  onBus(d->timeout, [&] { bus_.DevClear(0, static_cast<bus::Addr4882>(d->pad)); });
  finish(*d);
}

void Bench::ibrsp(int ud, char* result) {
  Descriptor* d = enterDevice(ud);
  if (!d) return;
  if (!result) {
    fail(bus::EARG);
  } else {
    std::int16_t value = 0;
    onBus(d->spollTimeout,
          [&] { bus_.ReadStatusByte(0, static_cast<bus::Addr4882>(d->pad), &value); });
    if (!busFailed()) *result = static_cast<char>(value);
  }
  finish(*d);
}

void Bench::ibtrg(int ud) {
  Descriptor* d = enterDevice(ud);
  if (!d) return;
  bus_.Trigger(0, static_cast<bus::Addr4882>(d->pad));
  status_ = bus_.status();
  finish(*d);
}

void Bench::ibloc(int ud) {
  Descriptor* d = enter(ud);
  if (!d) return;
  // Go to local: remote state is not simulated, so only an absent device can make it fail.
  if (!d->board && !bus_.listens(d->pad)) {
    fail(bus::ENOL);
  } else {
    succeed();
  }
  finish(*d);
}

void Bench::ibln(int ud, int pad, int sad, short* found) {
  Descriptor* d = enter(ud);
  if (!d) return;
  if (!found || pad < 0 || pad > kMaxPad || (sad != -1 && !secondary(sad))) {
    fail(bus::EARG);
  } else {
    *found = bus_.listens(pad) ? 1 : 0;
    succeed();
  }
  finish(*d);
}

void Bench::ibwait(int ud, int mask) {
  Descriptor* d = enter(ud);
  if (!d) return;
  if (mask & ~(d->board ? kBoardWaitBits : kDeviceWaitBits)) {
    fail(bus::EARG);
    finish(*d);
    return;
  }
  succeed();
  if (d->end) status_.ibsta |= END;
  finish(*d);
  if (mask == 0 || (status_.ibsta & mask & ~TIMO)) return;
  // Nothing on the simulated bus changes while a caller waits: what is not there now is not
  // going to come, so the wait ends with the descriptor's time-out.
  const double seconds =
      sim::SimulatedBus::timeoutSeconds(d->board ? bus_.timeoutCode() : d->timeout);
  if (seconds > 0) clock_.sleepFor(seconds);
  status_.ibsta |= TIMO;
}

// ---- board calls -----------------------------------------------------------------------------

void Bench::clearAddressing() {
  listeners_.clear();
  talker_ = -1;
}

void Bench::ibcmd(int ud, const char* commands, long count) {
  Descriptor* d = enterBoard(ud);
  if (!d) return;
  if (!bus_.online()) {
    status_ = {ERR, bus::ENEB, 0, 0};
    return;
  }
  if (count < 0 || (!commands && count > 0)) {
    fail(bus::EARG);
    return;
  }
  for (long i = 0; i < count; ++i) {
    const unsigned char byte = static_cast<unsigned char>(commands[i]) & 0x7F;
    if (byte == kUnl) {
      listeners_.clear();
    } else if (byte == kUnt) {
      talker_ = -1;
    } else if (byte >= 0x20 && byte < kUnl) {
      if (std::find(listeners_.begin(), listeners_.end(), byte - 0x20) == listeners_.end())
        listeners_.push_back(byte - 0x20);
    } else if (byte >= 0x40 && byte < kUnt) {
      talker_ = byte - 0x40;
    } else if (byte == kDcl) {
      bus_.DevClear(0, bus::NOADDR);
    } else if (byte == kSdc) {
      for (int pad : listeners_)
        if (bus_.listens(pad)) bus_.DevClear(0, static_cast<bus::Addr4882>(pad));
    }
    // GET, GTL, LLO, serial poll enable and disable, secondary addresses: nothing simulated
    // changes with them.
  }
  succeed(count);
}

void Bench::boardWrite(const char* data, long count, int endMode) {
  std::vector<int> targets;
  for (int pad : listeners_)
    if (pad != sim::SimulatedBus::kBoardAddress) targets.push_back(pad);
  if (targets.empty() || !std::all_of(targets.begin(), targets.end(),
                                      [&](int pad) { return bus_.listens(pad); })) {
    fail(bus::ENOL);
    return;
  }
  for (int pad : targets) {
    bus_.Send(0, static_cast<bus::Addr4882>(pad), data, count, eotMode(endMode));
    status_ = bus_.status();
    if (busFailed()) return;
  }
}

void Bench::boardRead(char* buffer, long count, int termination, bool sevenBit) {
  if (count < 0 || (!buffer && count > 0)) {
    fail(bus::EARG);
  } else if (talker_ < 0 || talker_ == sim::SimulatedBus::kBoardAddress) {
    timeOut(bus_.timeoutCode());  // nobody addressed to talk
  } else {
    bus_.receive(0, static_cast<bus::Addr4882>(talker_), buffer, count, termination, sevenBit);
    status_ = bus_.status();
  }
}

void Bench::ibsre(int ud, int value) {
  Descriptor* d = enterBoard(ud);
  if (d && configure(*d, IbcSRE, value)) succeed();
}

void Bench::ibsic(int ud) {
  Descriptor* d = enterBoard(ud);
  if (!d) return;
  if (!systemController_) {
    fail(bus::ESAC);
    return;
  }
  bus_.SendIFC(0);
  status_ = bus_.status();
  clearAddressing();
}

void Bench::iblines(int ud, short* lines) {
  Descriptor* d = enterBoard(ud);
  if (!d) return;
  if (!lines) {
    fail(bus::EARG);
    return;
  }
  short state = kValidLines;
  if (bus_.baseStatus() & bus::SRQI) state |= kBusSrq;
  if (bus_.remoteEnable()) state |= kBusRen;
  *lines = state;
  succeed();
}

void Bench::ibist(int ud, int value) {
  Descriptor* d = enterBoard(ud);
  if (d && configure(*d, IbcIst, value)) succeed();
}

void Bench::ibrsc(int ud, int value) {
  Descriptor* d = enterBoard(ud);
  if (d && configure(*d, IbcSC, value)) succeed();
}

void Bench::ibgts(int ud, int) {
  // Standby and take control: ATN is not simulated, so both just succeed on the board.
  if (enterBoard(ud)) succeed();
}

void Bench::ibcac(int ud, int) {
  if (enterBoard(ud)) succeed();
}

void Bench::ibppc(int ud, int value) { ibconfig(ud, IbcPPC, value); }

void Bench::ibrpp(int ud, char* result) {
  Descriptor* d = enterBoard(ud);
  if (!d) return;
  if (!result) {
    fail(bus::EARG);
    return;
  }
  *result = 0;  // the simulated devices do not answer parallel polls
  succeed();
}

// ---- 488.2 routines --------------------------------------------------------------------------

void Bench::sendIfc(int board) {
  // Unlike the other routines this one also works on a board that is offline: it brings it
  // back.
  if (board != 0) {
    status_ = {ERR, bus::ENEB, 0, 0};
    return;
  }
  ibsic(0);
}

void Bench::send(int board, Addr address, const char* data, long count, int mode) {
  if (!boardNumber(board)) return;
  if (mode != NULLend && mode != DABend && mode != NLend) {
    fail(bus::EARG);
    return;
  }
  if (const std::optional<int> pad = padOf(address)) {
    bus_.Send(0, static_cast<bus::Addr4882>(*pad), data, count, eotMode(mode));
    status_ = bus_.status();
  }
}

void Bench::receive(int board, Addr address, char* buffer, long count, int termination) {
  if (!boardNumber(board)) return;
  if (const std::optional<int> pad = padOf(address)) {
    bus_.Receive(0, static_cast<bus::Addr4882>(*pad), buffer, count, termination);
    status_ = bus_.status();
  }
}

void Bench::devClear(int board, Addr address) {
  if (!boardNumber(board)) return;
  if (address == kNoAddr) {
    bus_.DevClear(0, bus::NOADDR);
    status_ = bus_.status();
  } else if (const std::optional<int> pad = padOf(address)) {
    bus_.DevClear(0, static_cast<bus::Addr4882>(*pad));
    status_ = bus_.status();
  }
}

void Bench::findLstn(int board, const Addr* pads, Addr* found, int limit) {
  if (!boardNumber(board)) return;
  // Addr is unsigned and the bus's Addr4882 signed: the same 16 bits, NOADDR included.
  bus_.FindLstn(0, reinterpret_cast<const bus::Addr4882*>(pads),
                reinterpret_cast<bus::Addr4882*>(found), limit);
  status_ = bus_.status();
}

void Bench::readStatusByte(int board, Addr address, short* result) {
  if (!boardNumber(board)) return;
  if (const std::optional<int> pad = padOf(address)) {
    bus_.ReadStatusByte(0, static_cast<bus::Addr4882>(*pad), result);
    status_ = bus_.status();
  }
}

void Bench::sendList(int board, const Addr* list, const char* data, long count, int mode) {
  const std::optional<std::vector<int>> pads = listed(board, list);
  if (!pads) return;
  if (pads->empty()) {
    fail(bus::EARG);
    return;
  }
  for (int pad : *pads) {
    send(board, static_cast<Addr>(pad), data, count, mode);
    if (status_.ibsta & ERR) return;
  }
}

void Bench::sendDataBytes(int board, const char* data, long count, int mode) {
  if (!boardNumber(board)) return;
  if (count < 0 || (!data && count > 0) || (mode != NULLend && mode != DABend && mode != NLend)) {
    fail(bus::EARG);
    return;
  }
  boardWrite(data, count, mode);
}

void Bench::sendSetup(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = listed(board, list);
  if (!pads) return;
  if (pads->empty()) {
    fail(bus::EARG);
    return;
  }
  listeners_ = *pads;
  talker_ = sim::SimulatedBus::kBoardAddress;
  succeed();
}

void Bench::receiveSetup(int board, Addr address) {
  if (!boardNumber(board)) return;
  const std::optional<int> pad = padOf(address);
  if (!pad) return;
  listeners_ = {sim::SimulatedBus::kBoardAddress};
  talker_ = *pad;
  succeed();
}

void Bench::rcvRespMsg(int board, char* buffer, long count, int termination) {
  if (!boardNumber(board)) return;
  if (termination != bus::STOPend && (termination < 0 || termination > 0xFF)) {
    fail(bus::EARG);
    return;
  }
  boardRead(buffer, count, termination, false);
}

void Bench::devClearList(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = listed(board, list);
  if (!pads) return;
  if (pads->empty()) {
    devClear(board, kNoAddr);
    return;
  }
  for (int pad : *pads) {
    devClear(board, static_cast<Addr>(pad));
    if (status_.ibsta & ERR) return;
  }
}

void Bench::enableRemote(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = listed(board, list);
  if (!pads) return;
  if (!systemController_) {
    fail(bus::ESAC);
    return;
  }
  bus_.ibsre(0, 1);
  for (int pad : *pads) {
    if (!bus_.listens(pad)) {
      fail(bus::ENOL);
      return;
    }
  }
  succeed();
}

void Bench::setRwls(int board, const Addr* list) { enableRemote(board, list); }

void Bench::enableLocal(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = listed(board, list);
  if (!pads) return;
  if (pads->empty()) {
    // No addresses: REN itself goes false, every device back to local.
    if (!systemController_) {
      fail(bus::ESAC);
      return;
    }
    bus_.ibsre(0, 0);
  }
  for (int pad : *pads) {
    if (!bus_.listens(pad)) {
      fail(bus::ENOL);
      return;
    }
  }
  succeed();
}

void Bench::trigger(int board, Addr address) {
  if (!boardNumber(board)) return;
  if (const std::optional<int> pad = padOf(address)) {
    bus_.Trigger(0, static_cast<bus::Addr4882>(*pad));
    status_ = bus_.status();
  }
}

void Bench::triggerList(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = listed(board, list);
  if (!pads) return;
  if (pads->empty()) {
    ibcmd(0, "\x08", 1);  // GET to the listeners already addressed
    return;
  }
  for (int pad : *pads) {
    trigger(board, static_cast<Addr>(pad));
    if (status_.ibsta & ERR) return;
  }
}

void Bench::allSpoll(int board, const Addr* list, short* results) {
  const std::optional<std::vector<int>> pads = listed(board, list, results != nullptr);
  if (!pads) return;
  for (std::size_t i = 0; i < pads->size(); ++i) {
    readStatusByte(board, static_cast<Addr>((*pads)[i]), &results[i]);
    if (status_.ibsta & ERR) {
      status_.ibcnt = static_cast<int>(i);
      status_.ibcntl = static_cast<long>(i);
      return;
    }
  }
  succeed(static_cast<long>(pads->size()));
}

void Bench::findRqs(int board, const Addr* list, short* result) {
  const std::optional<std::vector<int>> pads = listed(board, list, result != nullptr);
  if (!pads) return;
  for (std::size_t i = 0; i < pads->size(); ++i) {
    readStatusByte(board, static_cast<Addr>((*pads)[i]), result);
    if (status_.ibsta & ERR) return;
    if (*result & 0x40) {
      succeed(static_cast<long>(i));
      return;
    }
  }
  fail(bus::ETAB, static_cast<long>(pads->size()));
}

void Bench::waitSrq(int board, short* result) {
  if (!boardNumber(board)) return;
  if (!result) {
    fail(bus::EARG);
    return;
  }
  const bool asserted = (bus_.baseStatus() & bus::SRQI) != 0;
  if (!asserted) {
    const double seconds = sim::SimulatedBus::timeoutSeconds(bus_.timeoutCode());
    if (seconds > 0) clock_.sleepFor(seconds);
  }
  *result = asserted ? 1 : 0;
  succeed();
  if (!asserted) status_.ibsta |= TIMO;
}

void Bench::testSys(int board, const Addr* list, short* results) {
  const std::optional<std::vector<int>> pads = listed(board, list, results != nullptr);
  if (!pads) return;
  long failed = 0;
  for (std::size_t i = 0; i < pads->size(); ++i) {
    const auto pad = static_cast<bus::Addr4882>((*pads)[i]);
    char reply[32] = {};
    bus_.Send(0, pad, "*TST?", 5, bus::EotMode::NLend);
    if (!busFailed()) bus_.Receive(0, pad, reply, sizeof reply - 1, bus::STOPend);
    if (busFailed()) {
      status_ = bus_.status();
      return;
    }
    results[i] = static_cast<short>(std::strtol(reply, nullptr, 10));
    if (results[i] != 0) ++failed;
  }
  succeed(failed);
}

void Bench::resetSys(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = listed(board, list);
  if (!pads) return;
  if (!systemController_) {
    fail(bus::ESAC);
    return;
  }
  bus_.SendIFC(0);
  clearAddressing();
  bus_.ibsre(0, 1);
  bus_.DevClear(0, bus::NOADDR);
  for (int pad : *pads) {
    bus_.Send(0, static_cast<bus::Addr4882>(pad), "*RST", 4, bus::EotMode::NLend);
    if (busFailed()) {
      status_ = bus_.status();
      return;
    }
  }
  succeed();
}

void Bench::pPoll(int board, short* result) {
  if (!boardNumber(board)) return;
  if (!result) {
    fail(bus::EARG);
    return;
  }
  *result = 0;  // the simulated devices do not answer parallel polls
  succeed();
}

void Bench::pPollConfig(int board, Addr address, int line, int sense) {
  if (!boardNumber(board)) return;
  const std::optional<int> pad = padOf(address);
  if (!pad) return;
  if (line < 1 || line > 8 || (sense != 0 && sense != 1)) {
    fail(bus::EARG);
  } else if (!bus_.listens(*pad)) {
    fail(bus::ENOL);
  } else {
    succeed();
  }
}

void Bench::pPollUnconfig(int board, const Addr* list) {
  if (listed(board, list)) succeed();
}

}  // namespace simlibrary
