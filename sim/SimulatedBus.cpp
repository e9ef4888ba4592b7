#include "SimulatedBus.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sim {

namespace {

constexpr int kMaxAddress = 30;

}  // namespace

SimulatedBus::SimulatedBus(bus::Clock& clock)
    : GpibBoard(clock),
      controller_(clock),
      converter_(clock, controller_),
      instrument_("SIMULATED,BENCH METER 7,0,1.0") {}

std::string SimulatedBus::describe() const {
  return "built-in simulator: converter at GPIB address " + std::to_string(converterAddress_) +
         ", Watlow F4 at Modbus address 1";
}

void SimulatedBus::clearFaults() {
  converterPresent_ = true;
  converter_.setSilent(false);
  converter_.failNextTransactions(0, 0);
  converter_.clearNextReply();
  controller_.clearRegisterFaults();
  controller_.setBaud(WatlowF4::kDefaultBaud);
}

// ---- the devices on the bus ------------------------------------------------------------------

const Device* SimulatedBus::deviceAt(int address) const {
  if (address == converterAddress_ && converterPresent_) return &converter_;
  if (address == instrumentAddress_) return &instrument_;
  return nullptr;
}

bool SimulatedBus::setConverterAddress(int address) {
  if (address <= kBoardAddress || address > kMaxAddress || address == instrumentAddress_)
    return false;
  converterAddress_ = address;
  return true;
}

bool SimulatedBus::setInstrumentAddress(int address) {
  if (address != -1 &&
      (address <= kBoardAddress || address > kMaxAddress || address == converterAddress_))
    return false;
  instrumentAddress_ = address;
  return true;
}

void SimulatedBus::clearEveryDevice() {
  if (converterPresent_) converter_.clear();
  instrument_.clear();
}

bool SimulatedBus::serviceRequested() const {
  return (converterPresent_ && converter_.requestingService()) || instrument_.requestingService();
}

}  // namespace sim
