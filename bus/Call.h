#pragma once

#include <string>

#include "Driver.h"

namespace bus {

// The driver entry points the console calls (routineName lists their names in this order).
enum class Routine {
  ibonl,
  ibsre,
  ibtmo,
  SendIFC,
  DevClear,
  FindLstn,
  ReadStatusByte,
  Send,
  Receive
};

// Its name as the driver spells it ("ReadStatusByte").
const char* routineName(Routine routine);

// One driver call as the console made it, and the status it left: what every observer of the
// bus is handed, to read field by field. Fields a routine does not take keep their defaults.
struct Call {
  Routine routine = Routine::ibonl;
  int board = 0;       // the board, or the unit descriptor of ibonl, ibsre and ibtmo
  int address = -1;    // DevClear, ReadStatusByte, Send, Receive: the device; -1 for none
  int value = 0;       // ibonl, ibsre: the value; ibtmo: the time-out code; FindLstn: the limit
  std::string sent{};  // Send: the bytes
  EotMode end = EotMode::NLend;  // Send
  long count = 0;                // Receive: the bytes asked for
  int termination = STOPend;     // Receive: STOPend or the end-of-string byte
  std::string received{};        // Receive: the bytes that arrived (none when it failed empty)
  Status after{};

  bool failed() const { return (after.ibsta & ERR) != 0; }
};

}  // namespace bus
