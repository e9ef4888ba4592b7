#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Chamber.h"
#include "Clock.h"
#include "Frame.h"

namespace sim {

// A Watlow F4 temperature controller as a Modbus RTU slave: its registers, set-point limits,
// profile store and a process temperature that follows the clock.
//
// All temperatures are held in the unit register 901 selects and answered as whole degrees.
// Time only moves when the controller is asked something: every access first catches the
// simulation up with the clock, so a virtual clock can jump hours at once. The chamber it
// measures and drives is a Chamber (see Chamber.h).
class WatlowF4 {
 public:
  static constexpr std::uint8_t kAddress = 1;
  static constexpr int kModel = 5270;
  static constexpr int kMaxProfiles = 40;
  static constexpr int kMaxSteps = 256;
  static constexpr int kNameLength = 10;
  // The step type a selection without a step reads: no step type there is.
  static constexpr std::int16_t kNoStep = 255;
  static constexpr int kDefaultBaud = 9600;

  enum StepType { kAutoStart = 0, kTimed = 1, kRampRate = 2, kSoak = 3, kEnd = 5 };
  enum EndAction { kEndHold = 0, kEndControlOff = 1, kEndAllOff = 2, kEndIdle = 3 };

  explicit WatlowF4(bus::Clock& clock);

  // Answers one RTU request frame with its response frame, or with nothing: a bad CRC, another
  // slave address, a broadcast, or a register told to answer nothing.
  modbus::Bytes handle(const modbus::Bytes& request);

  // Register access as a Modbus master sees it; 0 or the exception code.
  std::uint8_t read(int reg, std::int16_t& value);
  std::uint8_t write(int reg, std::int16_t value);

  // The serial settings of its port; the converter's link must match them to be heard.
  int baud() const { return baud_; }
  void setBaud(int baud) { baud_ = baud; }

  // Process temperature, unrounded, in the current unit.
  double temperature();
  // The room the chamber drifts toward when nothing drives it, in the current unit.
  void setAmbient(double degrees);
  double ambient() const { return ambient_; }
  // 0 Fahrenheit, 1 Celsius (register 901).
  int unit() const { return unit_; }
  // The chamber as it is now. Changes to it take effect from now on: time up to now runs as
  // before.
  const Chamber& chamber();
  void setChamberModel(Chamber::Model model);
  // Parameters the chamber refuses (Chamber::refusal) are ignored.
  void setPlant(const Chamber::Plant& plant);
  void setLoop(const Chamber::Loop& loop);
  // How fast the linear model heats, cools and drifts, in degrees per second of the current
  // unit; a rate that is not positive is ignored.
  void setRates(double heat, double cool, double drift);
  // Sets the controller's clock so that it now shows `secondsOfDay` after midnight.
  void setTimeOfDay(double secondsOfDay);
  double timeOfDay() const;
  bool profileRunning() const { return run_.has_value(); }
  int profileCount() const;
  int stepCount(int profile) const;

  // Faults: a register that answers a fixed value whatever it holds, or never answers.
  struct RegisterFault {
    bool silent = false;
    std::uint16_t value = 0;
  };
  const std::map<int, RegisterFault>& registerFaults() const { return faults_; }
  void forceRegister(int reg, std::uint16_t value);
  void silenceRegister(int reg);
  void clearRegisterFault(int reg);
  void clearRegisterFaults();

 private:
  struct Step {
    int type = kSoak;
    int autoStartKind = 0;     // 4004
    int day = 0;               // 4008
    int hours = 0;             // 4009
    int minutes = 0;           // 4010
    int seconds = 0;           // 4011; tenths of a degree per minute on a ramp-rate step
    int waitFor = 0;           // 4012
    int endTemp = 0;           // 4044
    int event1 = 0;            // 4046
    int event2 = 0;            // 4048
    int endAction = kEndHold;  // 4060
    // The other registers of the step's block (dates, waits, events, jumps, second loop), as
    // written: they do not change how the step runs.
    std::map<int, int> other;
  };
  using Profile = std::vector<Step>;

  struct Run {
    int profile = 0;
    std::size_t step = 0;
    double stepStart = 0.0;
    double stepLength = 0.0;
    double from = 0.0;  // target at the start of the step
  };

  void advance();
  void simulate(double seconds);
  Chamber::Drive drive(double at);
  double targetNow(double at);
  void startStep(double at);
  double stepTarget(const Step& step, double elapsed) const;
  void finishRun(const Step* endStep);
  std::optional<double> controlTarget(double at);

  std::uint8_t readProfileRegister(int reg, std::int16_t& value) const;
  std::uint8_t writeProfileRegister(int reg, int value);
  std::uint8_t profileAction(int action);
  Step* selectedStep();
  const Step* selectedStep() const;
  bool editable(int profile) const;
  void changeUnit(int unit);

  bool heats() const { return out1a_ == 1 || out1b_ == 1; }
  bool cools() const { return out1a_ == 2 || out1b_ == 2; }

  bus::Clock& clock_;
  double lastUpdate_;
  long long steps_;           // the chamber's thermal steps since clock zero
  double clockOffset_ = 0.0;  // time of day at clock zero
  int baud_ = kDefaultBaud;

  int unit_ = 0;  // 0 Fahrenheit, 1 Celsius
  Chamber chamber_;
  double ambient_ = 75.0;
  int setPoint_ = 75;
  int lowLimit_ = -100;
  int highLimit_ = 1000;
  int ctrl1a_ = 0, ctrl1b_ = 0, hysteresis_ = 2, out1a_ = 0, out1b_ = 0;

  std::optional<double> hold_;  // target held after a profile ended with "hold"
  bool outputsOff_ = false;     // a profile ended switching control off

  std::array<std::optional<Profile>, kMaxProfiles> profiles_;
  std::array<std::string, kMaxProfiles> names_;  // blank until written
  int selectedProfile_ = 1;                      // 4000
  int selectedStep_ = 1;                         // 4001
  std::optional<Run> run_;

  std::map<int, RegisterFault> faults_;
};

}  // namespace sim
