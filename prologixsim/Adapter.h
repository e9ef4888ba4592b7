#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "SimulatedBus.h"

namespace prologixsim {

// A Prologix-protocol adapter in controller mode in front of the simulated bench: bytes from
// the host in, bytes for the host out. One per connection; they share the bench.
//
// Lines end at an unescaped CR or LF; ESC makes the next byte data. A line starting with an
// unescaped `++` is a command, any other line goes to the addressed device, with EOI on its
// last byte when `++eoi 1` and the terminator `++eos` names appended. Commands: addr, auto, clr,
// eoi, eos, eot_enable, eot_char, ifc, loc, mode, read, read_tmo_ms, rst, spoll, ver; as
// an AR488 also ren and findlstn (a Prologix adapter ignores both). An adapter built without
// the end mark treats eot_enable and eot_char as commands it does not know.
class Adapter {
 public:
  Adapter(sim::SimulatedBus& bench, bool ar488, bool endMark = true);

  std::string feed(std::string_view bytes);
  // Told every data line passed on to a device, unescaped and with its terminator.
  std::function<void(int address, const std::string& bytes)> passedOn;
  std::string version() const;

 private:
  struct Byte {
    char value;
    bool escaped;
  };
  std::string lineEnded();
  std::string command(const std::string& line);
  std::string toDevice(std::string data);
  std::string read(const std::string& argument);
  std::string serialPoll(const std::string& argument);
  std::string findListeners();
  // Sets the bench's time-out to the longest code within `++read_tmo_ms`.
  void useReadTimeout();

  sim::SimulatedBus& bench_;
  bool ar488_;
  bool endMark_;
  std::vector<Byte> line_;
  bool escape_ = false;
  int address_ = 1;
  int autoRead_ = 0;
  int eoi_ = 1;
  int eos_ = 0;  // 0 CR LF, 1 CR, 2 LF, 3 none
  int eotEnable_ = 0;
  int eotChar_ = 0;
  int readTimeoutMs_ = 500;
};

}  // namespace prologixsim
