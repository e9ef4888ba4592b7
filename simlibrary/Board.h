#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
#include "LinuxGpib.h"
#include "SimulatedBus.h"

namespace simlibrary {

// What one descriptor stands for: the board (descriptor 0) or a device at its address, with the
// settings linux-gpib keeps per descriptor.
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

// Whom the board has addressed: its listeners (its own address among them when it listens
// itself) and its talker (-1: none).
struct Addressing {
  std::vector<int> listeners;
  int talker = -1;

  void clear() {
    listeners.clear();
    talker = -1;
  }
};

// The simulated GPIB board 0 behind linux-gpib's user API, over one sim::SimulatedBus on the
// steady clock: the descriptor table (the board as descriptor 0, devices from 16 up), the status
// of the call in progress, whom the board has addressed and whether it is system controller.
// It opens and closes descriptors (ibdev, ibfind, ibonl) and offers the checks every call starts
// with; the calls themselves are DeviceIo's, Routines4882's and Configuration's, each working on
// one Board. Every call leaves its outcome in status() as linux-gpib would; none throws. Not
// thread-safe by itself: the library holds one lock around every call.
class Board {
 public:
  static constexpr int kFirstDevice = 16;
  static constexpr int kDescriptors = 1024;

  Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  sim::SimulatedBus& bus() { return bus_; }
  bus::Clock& clock() { return clock_; }
  Addressing& addressing() { return addressing_; }
  bool systemController() const { return systemController_; }
  void setSystemController(bool on) { systemController_ = on; }
  int ist() const { return ist_; }
  void setIst(int value) { ist_ = value; }
  // The status byte the board would give when polled as a device (ibrsv), and whether it polls
  // devices that request service by itself, queueing their status bytes (IbcAUTOPOLL).
  int statusByte() const { return statusByte_; }
  void setStatusByte(int value) { statusByte_ = value; }
  bool autopoll() const { return autopoll_; }
  void setAutopoll(bool on) { autopoll_ = on; }

  // ---- the call's status
  const bus::Status& status() const { return status_; }
  bus::Status& status() { return status_; }
  // Starts a call that is not about one descriptor: a clean status.
  void begin() { status_ = {}; }
  void fail(int error, long count = 0);
  // Fails the call with EARG when an argument is `bad`; tells whether it did.
  bool badArgument(bool bad) {
    if (bad) fail(bus::EARG);
    return bad;
  }
  void succeed(long count = 0);
  // Fails the call with ENEB, ERR alone, when the board is offline; tells whether it did.
  bool offline() {
    if (bus_.online()) return false;
    status_ = {bus::ERR, bus::ENEB, 0, 0};
    return true;
  }
  // Waits out the time-out `code`, then fails with TIMO.
  void timeOut(int code);
  // Composes ibsta after a call on `d`: the board sees its own state, a device its own bits.
  void finish(const Descriptor& d);
  // The bus's outcome becomes the call's.
  void takeBusStatus() { status_ = bus_.status(); }
  bool busFailed() const { return (bus_.status().ibsta & bus::ERR) != 0; }
  // Runs a bus call with the time-out `code` in force, then takes the bus's outcome.
  template <typename Call>
  void onBus(int code, Call&& call) {
    const int boardCode = bus_.timeoutCode();
    bus_.setTimeoutCode(code);
    call();
    bus_.setTimeoutCode(boardCode);
    takeBusStatus();
  }

  // ---- entry checks
  // A descriptor that exists, and of the right kind; null with the status set.
  Descriptor* enter(int ud);
  Descriptor* enterBoard(int ud);
  Descriptor* enterDevice(int ud);
  // A 488.2 routine's board: 0, and online; false with the status set.
  bool boardNumber(int board);
  // Primary address of a 488.2 address, or nothing (EARG) when it is no valid address.
  std::optional<int> padOf(Addr address);
  // The addresses of a list up to NOADDR, each checked; nothing (EARG, ibcnt at the bad one).
  std::optional<std::vector<int>> padsOf(const Addr* list);
  // The start of a routine on an address list: board 0, every address valid, and somewhere for
  // the results when it gives some; nothing, with the status set, otherwise.
  std::optional<std::vector<int>> listed(int board, const Addr* list, bool outputGiven = true);

  // ---- descriptors opened and closed; a new descriptor, or -1 with the status telling why
  int ibdev(int board, int pad, int sad, int timeout, int eot, int eos);
  int ibfind(const std::string& name);
  // Takes the board offline (its addressing cleared) or back online; a device descriptor is
  // freed, or put back to its address with the default settings.
  void ibonl(int ud, int value);

 private:
  bus::SteadyClock clock_;
  sim::SimulatedBus bus_;
  std::vector<std::optional<Descriptor>> table_;
  bus::Status status_;

  Addressing addressing_;
  bool systemController_ = true;
  int ist_ = 0;
  int statusByte_ = 0;
  bool autopoll_ = false;
};

}  // namespace simlibrary
