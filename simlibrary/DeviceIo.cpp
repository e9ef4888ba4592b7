#include "DeviceIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace simlibrary {

namespace {

using bus::END;
using bus::RQS;
using bus::TIMO;

// Bits ibwait may wait for on each kind of descriptor.
constexpr int kDeviceWaitBits = TIMO | END | RQS | bus::CMPL;
constexpr int kBoardWaitBits = 0x7FFF & ~RQS;
// iblines: which lines the report covers (low byte) and which are asserted (high byte).
constexpr short kValidLines = 0x80 | 0x40 | 0x20 | 0x10 | 0x08;  // EOI ATN SRQ REN IFC
constexpr short kBusSrq = 0x2000;
constexpr short kBusRen = 0x1000;
// Command bytes ibcmd understands.
constexpr unsigned char kSdc = 0x04, kDcl = 0x14;
constexpr unsigned char kUnl = 0x3F, kUnt = 0x5F;

}  // namespace

DeviceIo::DeviceIo(Board& board) : board_(board), bus_(board.bus()) {}

// ---- any descriptor --------------------------------------------------------------------------

void DeviceIo::write(int pad, const char* data, long count, bool eoi, int eos, int eosFlags) {
  // With XEOS every end-of-string byte goes out with EOI, ending a message there.
  const int mask = (eosFlags & BIN) ? 0xFF : 0x7F;
  long sent = 0;
  long from = 0;
  for (long i = 0; i < count; ++i) {
    if (!(eosFlags & XEOS) || (static_cast<unsigned char>(data[i]) & mask) != (eos & mask))
      continue;
    bus_.Send(0, static_cast<bus::Addr4882>(pad), data + from, i + 1 - from, bus::EotMode::DABend);
    if (board_.busFailed()) {
      board_.takeBusStatus();
      return;
    }
    sent += bus_.status().ibcntl;
    from = i + 1;
  }
  if (from < count || count == 0) {
    bus_.Send(0, static_cast<bus::Addr4882>(pad), data ? data + from : data, count - from,
              eoi ? bus::EotMode::DABend : bus::EotMode::NULLend);
    if (board_.busFailed()) {
      board_.takeBusStatus();
      return;
    }
    sent += bus_.status().ibcntl;
  }
  board_.succeed(sent);
}

void DeviceIo::writeOn(Descriptor& d, const char* data, long count, bool last) {
  if (d.board) {
    if (!board_.offline()) boardWrite(data, count, d.eot && last ? DABend : NULLend);
    return;
  }
  const int boardCode = bus_.timeoutCode();
  bus_.setTimeoutCode(d.timeout);
  write(d.pad, data, count, d.eot && last, d.eos, d.eosFlags);
  bus_.setTimeoutCode(boardCode);
}

void DeviceIo::readOn(Descriptor& d, char* buffer, long count) {
  const int termination = (d.eosFlags & REOS) ? d.eos : bus::STOPend;
  const bool sevenBit = !(d.eosFlags & BIN);
  if (d.board) {
    if (!board_.offline()) boardRead(buffer, count, termination, sevenBit);
  } else {
    board_.onBus(d.timeout, [&] {
      bus_.receive(0, static_cast<bus::Addr4882>(d.pad), buffer, count, termination, sevenBit);
    });
  }
  d.end = (board_.status().ibsta & END) != 0;
}

void DeviceIo::ibwrt(int ud, const char* data, long count) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  if (!board_.badArgument(count < 0 || (!data && count > 0))) writeOn(*d, data, count, true);
  board_.finish(*d);
}

void DeviceIo::ibrd(int ud, char* buffer, long count) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  readOn(*d, buffer, count);
  board_.finish(*d);
}

namespace {

constexpr long kFileChunk = 65536;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

void DeviceIo::ibwrtf(int ud, const char* path) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  if (board_.badArgument(!path)) return board_.finish(*d);
  const File file(std::fopen(path, "rb"));
  if (!file) {
    board_.fail(bus::EFSO, errno);
    return board_.finish(*d);
  }
  // In pieces, so that a large file need not fit in memory; EOI only with the end of the file.
  std::vector<char> piece(static_cast<std::size_t>(kFileChunk));
  long sent = 0;
  std::size_t n = std::fread(piece.data(), 1, piece.size(), file.get());
  for (;;) {
    const int next = std::fgetc(file.get());
    const bool last = next == EOF;
    if (last && std::ferror(file.get())) {
      board_.fail(bus::EFSO, errno);
      break;
    }
    writeOn(*d, piece.data(), static_cast<long>(n), last);
    if (board_.status().ibsta & bus::ERR) {
      board_.status().ibcntl += sent;
      board_.status().ibcnt = static_cast<int>(board_.status().ibcntl);
      break;
    }
    sent += board_.status().ibcntl;
    if (last) {
      board_.succeed(sent);
      break;
    }
    piece[0] = static_cast<char>(next);
    n = 1 + std::fread(piece.data() + 1, 1, piece.size() - 1, file.get());
  }
  board_.finish(*d);
}

void DeviceIo::ibrdf(int ud, const char* path) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  if (board_.badArgument(!path)) return board_.finish(*d);
  const File file(std::fopen(path, "ab"));
  if (!file) {
    board_.fail(bus::EFSO, errno);
    return board_.finish(*d);
  }
  // Read on until the message ends (END, or the end-of-string byte) or a read fails.
  std::vector<char> piece(static_cast<std::size_t>(kFileChunk));
  long received = 0;
  for (;;) {
    readOn(*d, piece.data(), kFileChunk);
    bus::Status status = board_.status();
    const std::size_t n = static_cast<std::size_t>(std::max(0L, status.ibcntl));
    received += static_cast<long>(n);
    if (std::fwrite(piece.data(), 1, n, file.get()) != n || std::fflush(file.get()) != 0) {
      board_.fail(bus::EFSO, errno);
      break;
    }
    status.ibcnt = static_cast<int>(received);
    status.ibcntl = received;
    board_.status() = status;
    if ((status.ibsta & (bus::ERR | END)) || n < piece.size()) break;
  }
  board_.finish(*d);
}

void DeviceIo::ibloc(int ud) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  // Go to local: remote state is not simulated, so only an absent device can make it fail.
  if (!d->board && !bus_.listens(d->pad)) {
    board_.fail(bus::ENOL);
  } else {
    board_.succeed();
  }
  board_.finish(*d);
}

void DeviceIo::ibln(int ud, int pad, int sad, short* found) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  if (!found || pad < 0 || pad > kMaxPad || (sad != -1 && !secondary(sad))) {
    board_.fail(bus::EARG);
  } else {
    *found = bus_.listens(pad) ? 1 : 0;
    board_.succeed();
  }
  board_.finish(*d);
}

void DeviceIo::ibwait(int ud, int mask) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  if (mask & ~(d->board ? kBoardWaitBits : kDeviceWaitBits)) {
    board_.fail(bus::EARG);
    board_.finish(*d);
    return;
  }
  board_.succeed();
  bus::Status& status = board_.status();
  if (d->end) status.ibsta |= END;
  board_.finish(*d);
  if (mask == 0 || (status.ibsta & mask & ~TIMO)) return;
  // Nothing on the simulated bus changes while a caller waits: what is not there now is not
  // going to come, so the wait ends with the descriptor's time-out.
  const double seconds =
      sim::SimulatedBus::timeoutSeconds(d->board ? bus_.timeoutCode() : d->timeout);
  if (seconds > 0) board_.clock().sleepFor(seconds);
  status.ibsta |= TIMO;
}

void DeviceIo::ibstop(int ud) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  board_.succeed();
  board_.finish(*d);
}

// ---- device descriptors ----------------------------------------------------------------------

void DeviceIo::ibclr(int ud) {
  Descriptor* d = board_.enterDevice(ud);
  if (!d) return;
  board_.onBus(d->timeout, [&] { bus_.DevClear(0, static_cast<bus::Addr4882>(d->pad)); });
  board_.finish(*d);
}

void DeviceIo::ibrsp(int ud, char* result) {
  Descriptor* d = board_.enterDevice(ud);
  if (!d) return;
  if (!result) {
    board_.fail(bus::EARG);
  } else {
    std::int16_t value = 0;
    board_.onBus(d->spollTimeout,
                 [&] { bus_.ReadStatusByte(0, static_cast<bus::Addr4882>(d->pad), &value); });
    if (!board_.busFailed()) *result = static_cast<char>(value);
  }
  board_.finish(*d);
}

void DeviceIo::ibspb(int ud, short* result) {
  Descriptor* d = board_.enterDevice(ud);
  if (!d) return;
  if (!board_.badArgument(!result)) {
    *result = board_.autopoll() && bus_.requestingService(d->pad) ? 1 : 0;
    board_.succeed();
  }
  board_.finish(*d);
}

void DeviceIo::ibpct(int ud) {
  Descriptor* d = board_.enterDevice(ud);
  if (!d) return;
  board_.fail(bus::ECAP);
  board_.finish(*d);
}

void DeviceIo::ibtrg(int ud) {
  Descriptor* d = board_.enterDevice(ud);
  if (!d) return;
  bus_.Trigger(0, static_cast<bus::Addr4882>(d->pad));
  board_.takeBusStatus();
  board_.finish(*d);
}

// ---- the board descriptor --------------------------------------------------------------------

void DeviceIo::ibcmd(int ud, const char* commands, long count) {
  Descriptor* d = board_.enterBoard(ud);
  if (!d || board_.offline()) return;
  if (board_.badArgument(count < 0 || (!commands && count > 0))) return;
  Addressing& addressing = board_.addressing();
  std::vector<int>& listeners = addressing.listeners;
  for (long i = 0; i < count; ++i) {
    const unsigned char byte = static_cast<unsigned char>(commands[i]) & 0x7F;
    if (byte == kUnl) {
      listeners.clear();
    } else if (byte == kUnt) {
      addressing.talker = -1;
    } else if (byte >= 0x20 && byte < kUnl) {
      if (std::find(listeners.begin(), listeners.end(), byte - 0x20) == listeners.end())
        listeners.push_back(byte - 0x20);
    } else if (byte >= 0x40 && byte < kUnt) {
      addressing.talker = byte - 0x40;
    } else if (byte == kDcl) {
      bus_.DevClear(0, bus::NOADDR);
    } else if (byte == kSdc) {
      for (int pad : listeners)
        if (bus_.listens(pad)) bus_.DevClear(0, static_cast<bus::Addr4882>(pad));
    }
    // GET, GTL, LLO, serial poll enable and disable, secondary addresses: nothing simulated
    // changes with them.
  }
  board_.succeed(count);
}

void DeviceIo::ibsic(int ud) {
  Descriptor* d = board_.enterBoard(ud);
  if (!d) return;
  if (!board_.systemController()) {
    board_.fail(bus::ESAC);
    return;
  }
  bus_.SendIFC(0);
  board_.takeBusStatus();
  board_.addressing().clear();
}

void DeviceIo::iblines(int ud, short* lines) {
  Descriptor* d = board_.enterBoard(ud);
  if (!d) return;
  if (board_.badArgument(!lines)) return;
  short state = kValidLines;
  if (bus_.baseStatus() & bus::SRQI) state |= kBusSrq;
  if (bus_.remoteEnable()) state |= kBusRen;
  *lines = state;
  board_.succeed();
}

void DeviceIo::ibgts(int ud, int) {
  // Standby and take control: ATN is not simulated, so both just succeed on the board.
  if (board_.enterBoard(ud)) board_.succeed();
}

void DeviceIo::ibcac(int ud, int) {
  if (board_.enterBoard(ud)) board_.succeed();
}

void DeviceIo::ibrpp(int ud, char* result) {
  Descriptor* d = board_.enterBoard(ud);
  if (!d) return;
  if (board_.badArgument(!result)) return;
  *result = 0;  // the simulated devices do not answer parallel polls
  board_.succeed();
}

void DeviceIo::ibevent(int ud, short* event) {
  if (board_.enterBoard(ud) && !board_.badArgument(!event)) board_.fail(bus::ECAP);
}

void DeviceIo::boardWrite(const char* data, long count, int endMode) {
  std::vector<int> targets;
  for (int pad : board_.addressing().listeners)
    if (pad != sim::SimulatedBus::kBoardAddress) targets.push_back(pad);
  if (targets.empty() ||
      !std::all_of(targets.begin(), targets.end(), [&](int pad) { return bus_.listens(pad); })) {
    board_.fail(bus::ENOL);
    return;
  }
  for (int pad : targets) {
    bus_.Send(0, static_cast<bus::Addr4882>(pad), data, count, eotMode(endMode));
    board_.takeBusStatus();
    if (board_.busFailed()) return;
  }
}

void DeviceIo::boardRead(char* buffer, long count, int termination, bool sevenBit) {
  const int talker = board_.addressing().talker;
  if (count < 0 || (!buffer && count > 0)) {
    board_.fail(bus::EARG);
  } else if (talker < 0 || talker == sim::SimulatedBus::kBoardAddress) {
    board_.timeOut(bus_.timeoutCode());  // nobody addressed to talk
  } else {
    bus_.receive(0, static_cast<bus::Addr4882>(talker), buffer, count, termination, sevenBit);
    board_.takeBusStatus();
  }
}

}  // namespace simlibrary
