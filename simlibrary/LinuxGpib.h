#pragma once

#include <cstdint>
#include <optional>

#include "Driver.h"
#include "SimulatedBus.h"

namespace simlibrary {

// linux-gpib's numbers the client programs pass: end-of-string flags in the upper byte of an
// eos value, send end modes, ibconfig/ibask options, bus line bits.
enum EosFlag : int { REOS = 0x400, XEOS = 0x800, BIN = 0x1000 };
enum SendEnd : int { NULLend = 0, DABend = 1, NLend = 2 };
enum Option : int {
  IbcPAD = 0x1,
  IbcSAD = 0x2,
  IbcTMO = 0x3,
  IbcEOT = 0x4,
  IbcPPC = 0x5,
  IbcREADDR = 0x6,
  IbcAUTOPOLL = 0x7,
  IbcCICPROT = 0x8,
  IbcIRQ = 0x9,
  IbcSC = 0xa,
  IbcSRE = 0xb,
  IbcEOSrd = 0xc,
  IbcEOSwrt = 0xd,
  IbcEOScmp = 0xe,
  IbcEOSchar = 0xf,
  IbcPP2 = 0x10,
  IbcTIMING = 0x11,
  IbcDMA = 0x12,
  IbcReadAdjust = 0x13,
  IbcWriteAdjust = 0x14,
  IbcEventQueue = 0x15,
  IbcSPollBit = 0x16,
  IbcSendLLO = 0x17,
  IbcSPollTime = 0x18,
  IbcPPollTime = 0x19,
  IbcEndBitIsNormal = 0x1a,
  IbcUnAddr = 0x1b,
  IbcHSCableLength = 0x1f,
  IbcIst = 0x20,
  IbcRsv = 0x21,
  IbaBNA = 0x200,
};

// 488.2 addresses as the library takes them: primary in the low byte, secondary (0x60..0x7E,
// or 0 for none) in the high byte; 0xFFFF ends a list.
using Addr = std::uint16_t;
constexpr Addr kNoAddr = 0xFFFF;

constexpr int kMaxPad = 30;
constexpr int kSadOffset = 0x60;

// A time-out code the bus knows (TNONE..T1000s).
inline bool validTimeoutCode(int code) { return sim::SimulatedBus::timeoutSeconds(code) >= 0; }

// A secondary address as ibdev and ibsad take it: 0 for none (-1), else 0x60..0x7E (0..30).
inline std::optional<int> secondary(int value) {
  if (value == 0) return -1;
  if (value < kSadOffset || value > kSadOffset + kMaxPad) return std::nullopt;
  return value - kSadOffset;
}

// How a write with linux-gpib's end mode ends on the bus.
inline bus::EotMode eotMode(int mode) {
  return mode == NLend ? bus::EotMode::NLend
                       : (mode == DABend ? bus::EotMode::DABend : bus::EotMode::NULLend);
}

}  // namespace simlibrary
