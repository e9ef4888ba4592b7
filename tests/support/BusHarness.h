#pragma once

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "Clock.h"
#include "GPIB32.h"
#include "Observer.h"

namespace testing_support {

using Lines = std::vector<std::string>;

// Records every event the console makes and renders it in a short form, one event after another
// joined by " | ", so that a whole handler's traffic fits one expected string:
//   >LINE        Send(0, 4, "LINE", NLend)          >@5 LINE   the same to address 5
//   <            Receive(0, 4, 256, STOPend)        <80, <@5, <@5 80
//   ~0.1         a pause of 0.1 s                   beep, show NAME, hide NAME
// Any other call stands as the trace writes it: SendIFC(0), ibonl(0, 0), DevClear(0, 4),
// FindLstn(0, 31).
class Tap final : public bus::Observer {
 public:
  // Called with each event's short form as it happens, while its handler still runs.
  std::function<void(const std::string& event)> during;

  void driverCall(const bus::Call& call) override;
  void pause(double seconds) override;
  void beep() override;
  void window(const std::string& name, bool shown) override;

  // The events since the last take, in short form, and forget them.
  std::string take();
  Lines takeLines();
  int beeps() const { return beeps_; }

 private:
  void add(std::string event);
  Lines events_;
  int beeps_ = 0;
};

// What a test drives the console's bus code on: one clock, one driver, one GPIB32 as every
// window is handed it, in virtual time, with a Tap on its traffic.
template <class Driver>
struct BusHarness {
  BusHarness() { gpib.InterfaceName = "GPIB"; }
  static Driver make(bus::VirtualClock& clock) {
    if constexpr (std::is_constructible_v<Driver, bus::Clock&>)
      return Driver(clock);
    else
      return Driver();
  }
  bus::VirtualClock clock;
  Driver driver = make(clock);
  bus::SilentSound sound;
  Tap tap;
  bus::GPIB32 gpib{driver, clock, sound, &tap};
};

}  // namespace testing_support
