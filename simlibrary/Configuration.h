#pragma once

#include <optional>

#include "Board.h"

namespace simlibrary {

// What a descriptor is set to and what it reports: ibconfig and ibask over linux-gpib's options,
// and the calls that set one option each (time-out, end-of-string, EOI, addresses, parallel
// poll configuration; on the board remote enable, ist and system controller). Options the
// simulated board does not have are taken only at their neutral value (ECAP otherwise). Each
// call leaves its outcome in the board's status.
class Configuration {
 public:
  explicit Configuration(Board& board);

  void ibconfig(int ud, int option, int value);
  void ibask(int ud, int option, int* value);

  void ibtmo(int ud, int code);
  void ibeos(int ud, int value);
  void ibeot(int ud, int value);
  void ibpad(int ud, int pad);
  void ibsad(int ud, int sad);
  void ibppc(int ud, int value);
  // On the board descriptor.
  void ibsre(int ud, int value);
  void ibist(int ud, int value);
  void ibrsc(int ud, int value);
  void ibdma(int ud, int value);
  // The board's own status byte (0..255), for a controller that polls it; ibrsv2's request
  // for service has no one to reach, the board being the only controller.
  void ibrsv(int ud, int statusByte);
  // On a device descriptor: its access board, by name; only gpib0 exists (ENEB otherwise).
  void ibbna(int ud, const char* name);

 private:
  // An option's value on `d`, or nothing when `d` has no such option.
  std::optional<long> option(const Descriptor& d, int option) const;
  // Sets one option; false with the status set for a value or option it refuses.
  bool configure(Descriptor& d, int option, int value);

  Board& board_;
  sim::SimulatedBus& bus_;
};

}  // namespace simlibrary
