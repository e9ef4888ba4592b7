#include "Configuration.h"

#include <string_view>

namespace simlibrary {

Configuration::Configuration(Board& board) : board_(board), bus_(board.bus()) {}

// ---- ibconfig and ibask ----------------------------------------------------------------------

void Configuration::ibconfig(int ud, int which, int value) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  if (configure(*d, which, value)) board_.succeed();
  board_.finish(*d);
}

void Configuration::ibask(int ud, int which, int* value) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  const std::optional<long> answer = value ? option(*d, which) : std::nullopt;
  if (answer) {
    *value = static_cast<int>(*answer);
    board_.succeed();
  } else {
    board_.fail(bus::EARG);
  }
  board_.finish(*d);
}

std::optional<long> Configuration::option(const Descriptor& d, int which) const {
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
    case IbcAUTOPOLL:
      return board_.autopoll();
    case IbcReadAdjust:
    case IbcWriteAdjust:
    case IbcUnAddr:
    case IbcHSCableLength:
    case IbcCICPROT:
    case IbcSendLLO:
    case IbcEventQueue:
    case IbcPP2:
      return 0;
    case IbaBNA:
      return 0;
  }
  if (!d.board) return std::nullopt;
  switch (which) {
    case IbcSC:
      return board_.systemController();
    case IbcSRE:
      return bus_.remoteEnable();
    case IbcIst:
      return board_.ist();
    case IbcDMA:
    case IbcIRQ:
      return 1;
    case IbcRsv:
      return board_.statusByte();
  }
  return std::nullopt;
}

bool Configuration::configure(Descriptor& d, int which, int value) {
  const auto eosFlag = [&](int flag) {
    d.eosFlags = value ? d.eosFlags | flag : d.eosFlags & ~flag;
    return true;
  };
  // Options the simulated board does not have, and which it only takes at their neutral value.
  const auto neutral = [&](int allowed) {
    if (value == allowed) return true;
    board_.fail(bus::ECAP);
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
      if (!validTimeoutCode(value)) break;
      if (d.board) {
        bus_.setTimeoutCode(value);
      } else {
        d.timeout = value;
      }
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
      if (d.board || !validTimeoutCode(value)) break;
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
      board_.setSystemController(value != 0);
      return true;
    case IbcSRE:
      if (!d.board) break;
      if (!board_.systemController()) {
        board_.fail(bus::ESAC);
        return false;
      }
      bus_.ibsre(0, value);
      return true;
    case IbcIst:
      if (!d.board) break;
      board_.setIst(value != 0);
      return true;
    case IbcAUTOPOLL:
      if (!d.board) break;
      board_.setAutopoll(value != 0);
      return true;
    case IbcEventQueue:
    case IbcPP2:
    case IbcSPollBit:
      if (!d.board) break;
      return true;
  }
  board_.fail(bus::EARG);
  return false;
}

// ---- one option each -------------------------------------------------------------------------

void Configuration::ibtmo(int ud, int code) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  if (!validTimeoutCode(code)) {
    board_.fail(bus::EARG);
  } else {
    if (d->board) {
      bus_.setTimeoutCode(code);
    } else {
      d->timeout = code;
    }
    board_.succeed();
  }
  board_.finish(*d);
}

void Configuration::ibeos(int ud, int value) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  if (value & ~(0xFF | REOS | XEOS | BIN)) {
    board_.fail(bus::EARG);
  } else {
    d->eos = value & 0xFF;
    d->eosFlags = value & (REOS | XEOS | BIN);
    board_.succeed();
  }
  board_.finish(*d);
}

void Configuration::ibeot(int ud, int value) {
  Descriptor* d = board_.enter(ud);
  if (!d) return;
  d->eot = value != 0;
  board_.succeed();
  board_.finish(*d);
}

void Configuration::ibpad(int ud, int pad) { ibconfig(ud, IbcPAD, pad); }

void Configuration::ibsad(int ud, int sad) { ibconfig(ud, IbcSAD, sad); }

void Configuration::ibppc(int ud, int value) { ibconfig(ud, IbcPPC, value); }

void Configuration::ibsre(int ud, int value) {
  Descriptor* d = board_.enterBoard(ud);
  if (d && configure(*d, IbcSRE, value)) board_.succeed();
}

void Configuration::ibist(int ud, int value) {
  Descriptor* d = board_.enterBoard(ud);
  if (d && configure(*d, IbcIst, value)) board_.succeed();
}

void Configuration::ibrsc(int ud, int value) {
  Descriptor* d = board_.enterBoard(ud);
  if (d && configure(*d, IbcSC, value)) board_.succeed();
}

void Configuration::ibdma(int ud, int value) {
  Descriptor* d = board_.enterBoard(ud);
  if (d && configure(*d, IbcDMA, value)) board_.succeed();
}

void Configuration::ibrsv(int ud, int statusByte) {
  if (!board_.enterBoard(ud) || board_.badArgument(statusByte < 0 || statusByte > 0xFF)) return;
  board_.setStatusByte(statusByte);
  board_.succeed();
}

void Configuration::ibbna(int ud, const char* name) {
  Descriptor* d = board_.enterDevice(ud);
  if (!d) return;
  if (!board_.badArgument(!name)) {
    if (std::string_view(name) == "gpib0") {
      board_.succeed();  // already its board
    } else {
      board_.fail(bus::ENEB);
    }
  }
  board_.finish(*d);
}

}  // namespace simlibrary
