#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
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

// The simulated bench behind linux-gpib's user API: the descriptor table (board 0 as
// descriptor 0, devices from 16 up), per descriptor its address, time-out, end-of-string and
// EOI settings, and the board's addressing state, over one sim::SimulatedBus. Every call leaves
// its outcome in status() as linux-gpib would; none throws. Not thread-safe by itself: the
// library holds one lock around every call.
class Bench {
 public:
  static constexpr int kFirstDevice = 16;
  static constexpr int kDescriptors = 1024;

  Bench();

  sim::SimulatedBus& bus() { return bus_; }
  bus::Clock& clock() { return clock_; }
  const bus::Status& status() const { return status_; }
  // Starts a call that is not about one descriptor: a clean status.
  void begin() { status_ = {}; }

  // Device and board calls; a new descriptor, or -1 with the status telling why.
  int ibdev(int board, int pad, int sad, int timeout, int eot, int eos);
  int ibfind(const std::string& name);
  void ibwrt(int ud, const char* data, long count);
  void ibrd(int ud, char* buffer, long count);
  void ibcmd(int ud, const char* commands, long count);
  void ibclr(int ud);
  void ibrsp(int ud, char* result);
  void ibtrg(int ud);
  void ibloc(int ud);
  void ibonl(int ud, int value);
  void ibtmo(int ud, int code);
  void ibeos(int ud, int value);
  void ibeot(int ud, int value);
  void ibpad(int ud, int pad);
  void ibsad(int ud, int sad);
  void ibsre(int ud, int value);
  void ibsic(int ud);
  void ibln(int ud, int pad, int sad, short* found);
  void ibconfig(int ud, int option, int value);
  void ibask(int ud, int option, int* value);
  void ibwait(int ud, int mask);
  void iblines(int ud, short* lines);
  void ibist(int ud, int value);
  void ibrsc(int ud, int value);
  void ibgts(int ud, int value);
  void ibcac(int ud, int value);
  void ibppc(int ud, int value);
  void ibrpp(int ud, char* result);

  // 488.2 routines on board 0.
  void sendIfc(int board);
  void send(int board, Addr address, const char* data, long count, int endMode);
  void receive(int board, Addr address, char* buffer, long count, int termination);
  void devClear(int board, Addr address);
  void findLstn(int board, const Addr* pads, Addr* found, int limit);
  void readStatusByte(int board, Addr address, short* result);
  void sendList(int board, const Addr* list, const char* data, long count, int endMode);
  void sendDataBytes(int board, const char* data, long count, int endMode);
  void sendSetup(int board, const Addr* list);
  void receiveSetup(int board, Addr address);
  void rcvRespMsg(int board, char* buffer, long count, int termination);
  void devClearList(int board, const Addr* list);
  void enableRemote(int board, const Addr* list);
  void enableLocal(int board, const Addr* list);
  void setRwls(int board, const Addr* list);
  void trigger(int board, Addr address);
  void triggerList(int board, const Addr* list);
  void allSpoll(int board, const Addr* list, short* results);
  void findRqs(int board, const Addr* list, short* result);
  void waitSrq(int board, short* result);
  void testSys(int board, const Addr* list, short* results);
  void resetSys(int board, const Addr* list);
  void pPoll(int board, short* result);
  void pPollConfig(int board, Addr address, int line, int sense);
  void pPollUnconfig(int board, const Addr* list);

 private:
  struct Descriptor {
    bool board = false;
    int pad = 0;
    int sad = -1;  // -1: none; else 0..30
    int timeout = sim::SimulatedBus::kDefaultTimeoutCode;
    int spollTimeout = 11;  // 1 s
    int eos = 0;
    int eosFlags = 0;
    bool eot = true;
    int ppc = 0;
    bool readdr = false;
    bool end = false;  // the last read ended at END
  };

  // Entry checks: a descriptor that exists, and of the right kind; false with the status set.
  Descriptor* enter(int ud);
  Descriptor* enterBoard(int ud);
  Descriptor* enterDevice(int ud);
  bool boardNumber(int board);
  // Primary address of a 488.2 address, or nothing (EARG) when it is no valid address.
  std::optional<int> padOf(Addr address);
  // The addresses of a list up to NOADDR, each checked; nothing (EARG, ibcnt at the bad one).
  std::optional<std::vector<int>> padsOf(const Addr* list);
  // The start of a routine on an address list: board 0, every address valid, and somewhere for
  // the results when it gives some; nothing, with the status set, otherwise.
  std::optional<std::vector<int>> listed(int board, const Addr* list, bool outputGiven = true);

  void fail(int error, long count = 0);
  void succeed(long count = 0);
  void timeOut(int code);
  // Composes ibsta after a call on `d`: the board sees its own state, a device its own bits.
  void finish(const Descriptor& d);
  // Runs a bus call with the time-out `code` in force, then takes the bus's outcome.
  template <typename Call>
  void onBus(int code, Call&& call);
  bool busFailed() const { return (bus_.status().ibsta & bus::ERR) != 0; }

  void write(int pad, const char* data, long count, bool eoi, int eos, int eosFlags);
  void boardWrite(const char* data, long count, int endMode);
  void boardRead(char* buffer, long count, int termination, bool sevenBit);
  void clearAddressing();
  std::optional<long> option(const Descriptor& d, int option) const;
  bool configure(Descriptor& d, int option, int value);

  bus::SteadyClock clock_;
  sim::SimulatedBus bus_;
  std::vector<std::optional<Descriptor>> table_;
  bus::Status status_;

  std::vector<int> listeners_;
  int talker_ = -1;
  bool systemController_ = true;
  int ist_ = 0;
};

}  // namespace simlibrary
