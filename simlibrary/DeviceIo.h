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
  void ibloc(int ud);
  void ibln(int ud, int pad, int sad, short* found);
  void ibwait(int ud, int mask);

  // On a device descriptor.
  void ibclr(int ud);
  void ibrsp(int ud, char* result);
  void ibtrg(int ud);

  // On the board descriptor.
  void ibcmd(int ud, const char* commands, long count);
  void ibsic(int ud);
  void iblines(int ud, short* lines);
  void ibgts(int ud, int value);
  void ibcac(int ud, int value);
  void ibrpp(int ud, char* result);

  // The board as talker to the listeners it addressed (ENOL when there are none, or one of them
  // is absent), and as listener to the device it addressed to talk (a time-out when none).
  void boardWrite(const char* data, long count, int endMode);
  void boardRead(char* buffer, long count, int termination, bool sevenBit);

 private:
  // One device write: split at every end-of-string byte when XEOS asks for EOI there.
  void write(int pad, const char* data, long count, bool eoi, int eos, int eosFlags);

  Board& board_;
  sim::SimulatedBus& bus_;
};

}  // namespace simlibrary
