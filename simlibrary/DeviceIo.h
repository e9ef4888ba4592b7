#pragma once

#include "Board.h"

namespace simlibrary {

// The calls that move messages over a descriptor: on a device its writes and reads (with its
// end-of-string and EOI settings), clear, serial poll, trigger, go to local, listener check and
// wait; on the board descriptor its command bytes, interface clear, the bus lines, and its own
// writes to the listeners and reads from the talker it has addressed, which the 488.2 routines
// build on. Each call leaves its outcome in the board's status.
class DeviceIo {
 public:
  explicit DeviceIo(Board& board);

  // On any descriptor.
  void ibwrt(int ud, const char* data, long count);
  void ibrd(int ud, char* buffer, long count);
  // The same with a file: all of it written, or the whole message read and appended to it.
  // A file that cannot be opened, read or written fails the call with EFSO (errno in ibcntl).
  void ibwrtf(int ud, const char* path);
  void ibrdf(int ud, const char* path);
  void ibloc(int ud);
  void ibln(int ud, int pad, int sad, short* found);
  void ibwait(int ud, int mask);
  // Stops asynchronous I/O: the asynchronous calls complete before they return, so there is
  // never any to stop.
  void ibstop(int ud);

  // On a device descriptor.
  void ibclr(int ud);
  void ibrsp(int ud, char* result);
  void ibtrg(int ud);
  // How many status bytes wait in the device's queue: with autopolling on, the one of a device
  // that requests service (ibrsp takes it), otherwise none.
  void ibspb(int ud, short* result);
  // Passing control to the device: the simulated board stays controller-in-charge (ECAP).
  void ibpct(int ud);

  // On the board descriptor.
  void ibcmd(int ud, const char* commands, long count);
  void ibsic(int ud);
  void iblines(int ud, short* lines);
  void ibgts(int ud, int value);
  void ibcac(int ud, int value);
  void ibrpp(int ud, char* result);
  // The board's event queue: the board is never addressed by another controller and keeps
  // none (ECAP).
  void ibevent(int ud, short* event);

  // The board as talker to the listeners it addressed (ENOL when there are none, or one of them
  // is absent), and as listener to the device it addressed to talk (a time-out when none).
  void boardWrite(const char* data, long count, int endMode);
  void boardRead(char* buffer, long count, int termination, bool sevenBit);

 private:
  // One device write: split at every end-of-string byte when XEOS asks for EOI there.
  void write(int pad, const char* data, long count, bool eoi, int eos, int eosFlags);
  // ibwrt's and ibrd's work on a descriptor already entered: `last` says whether EOI may go
  // with the end of these bytes (false for all but the last piece of a file).
  void writeOn(Descriptor& d, const char* data, long count, bool last);
  void readOn(Descriptor& d, char* buffer, long count);

  Board& board_;
  sim::SimulatedBus& bus_;
};

}  // namespace simlibrary
