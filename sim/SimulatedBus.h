#pragma once

#include <array>
#include <map>
#include <string>

#include "BenchConverter.h"
#include "Clock.h"
#include "GpibBoard.h"
#include "Instrument.h"
#include "WatlowF4.h"

namespace sim {

// A GPIB bus with board 0 as controller-in-charge at primary address 0 (the board model of
// converter::GpibBoard), the converter at 4 (the Watlow F4 behind it on the serial link) and a
// plain 488.2 instrument at 7.
class SimulatedBus final : public converter::GpibBoard {
 public:
  static constexpr int kConverterAddress = 4;
  static constexpr int kInstrumentAddress = 7;

  explicit SimulatedBus(bus::Clock& clock);

  std::string describe() const override;

  Converter& converter() { return converter_; }
  WatlowF4& controller() { return controller_; }
  Instrument& instrument() { return instrument_; }

  // Where the devices sit (1..30, not the board's 0); -1 takes the instrument off the bus.
  // False, and nothing changed, for an address that is taken or out of range.
  bool setConverterAddress(int address);
  bool setInstrumentAddress(int address);
  int converterAddress() const { return converterAddress_; }
  int instrumentAddress() const { return instrumentAddress_; }

  // Faults on command; none of them can make a call misbehave beyond what a real bus does.
  void setConverterPresent(bool present) { converterPresent_ = present; }
  void setConverterSilent(bool silent) { converter_.setSilent(silent); }
  void failNextTransactions(int count, int code) { converter_.failNextTransactions(count, code); }
  void setRegisterValue(int reg, std::uint16_t value) { controller_.forceRegister(reg, value); }
  void setRegisterSilent(int reg) { controller_.silenceRegister(reg); }
  void clearRegisterFault(int reg) { controller_.clearRegisterFault(reg); }
  void setNextReply(std::string raw) { converter_.setNextReply(std::move(raw)); }
  void setIdentity(std::string text) { converter_.setIdentity(std::move(text)); }
  void setControllerBaud(int baud) { controller_.setBaud(baud); }
  // Takes every fault back; the devices' own state stays as it is.
  void clearFaults();

  // The faults as they stand, for an operator's panel.
  bool converterPresent() const { return converterPresent_; }
  bool converterSilent() const { return converter_.silent(); }
  int pendingFailures() const { return converter_.pendingFailures(); }
  int pendingFailureCode() const { return converter_.pendingFailureCode(); }
  const std::map<int, WatlowF4::RegisterFault>& registerFaults() const {
    return controller_.registerFaults();
  }
  int controllerBaud() const { return controller_.baud(); }
  const std::string& identity() const { return converter_.identity(); }

 protected:
  const Device* deviceAt(int address) const override;
  void clearEveryDevice() override;
  bool serviceRequested() const override;

 private:
  WatlowF4 controller_;
  Converter converter_;
  Instrument instrument_;
  bool converterPresent_ = true;
  int converterAddress_ = kConverterAddress;
  int instrumentAddress_ = kInstrumentAddress;
};

}  // namespace sim
