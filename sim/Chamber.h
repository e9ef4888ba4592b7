#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sim {

// The climate chamber behind the Watlow F4: what its input 1 measures.
//
// The thermal model is one heat capacity (the chamber's air, shelves and walls) warmed by a
// heater, chilled by a cooler and losing heat to the room through its walls; the heat of an
// output reaches the sensor after a dead time. The controller drives it with its own PID loop on
// the set point, the output limited to the outputs set up (heat, cool, both, or none, which
// leaves the chamber drifting to the room). It advances in fixed steps of kStep seconds, so the
// same story gives the same temperatures on every run and machine.
//
// The linear model is the bench's first one: the temperature moves at a constant rate straight
// to the set point and lands on it.
//
// Temperatures and the loop's band are in the controller's unit; the plant is in SI units.
class Chamber {
 public:
  // Seconds of one step of the thermal model.
  static constexpr double kStep = 0.1;

  enum class Model { Thermal, Linear };

  // A benchtop chamber: from 75 F to a set point of 150 F it overshoots by about three degrees
  // and stays within half a degree of 150 from 79 s on; it cools more slowly than it heats.
  struct Plant {
    double thermalMass = 2.5;   // kJ per kelvin
    double heaterPower = 2500;  // W at 100 % heat
    double coolerPower = 1200;  // W at 100 % cool
    double roomLoss = 10;       // W per kelvin between chamber and room
    double deadTime = 5;        // s from an output's change to its heat reaching the sensor
    bool operator==(const Plant&) const = default;
  };
  // The controller's loop on set point 1.
  struct Loop {
    double band = 10;       // proportional band in degrees: full output at this error
    double integral = 20;   // s per repeat; 0 turns integral action off
    double derivative = 0;  // s
    bool operator==(const Loop&) const = default;
  };
  // The linear model, degrees a second: heating and cooling with an output set up for it, and
  // the drift to the room without one.
  struct Rates {
    double heat = 3, cool = 3, drift = 0.5;
  };
  // What the controller asks of the chamber.
  struct Drive {
    std::optional<double> target;  // the set point now; none while control is off
    bool heats = false;            // an output is set up to heat
    bool cools = false;            // an output is set up to cool
    double ambient = 75;           // the room
  };
  // The heat the chamber took in the last step, W: from the heater, into the cooler, through
  // the walls (to the room when positive).
  struct Flows {
    double heater = 0, cooler = 0, room = 0;
  };

  // Why a plant or a loop cannot be used (a number out of range), empty when it can.
  static std::string refusal(const Plant& plant);
  static std::string refusal(const Loop& loop);

  // Starts at `temperature` in a unit with `degreesPerKelvin` (1.8 Fahrenheit, 1 Celsius).
  Chamber(double temperature, double degreesPerKelvin);

  Model model() const { return model_; }
  // Changing the model keeps the temperature; the loop starts afresh.
  void setModel(Model model);

  // One step of kStep seconds of the thermal model.
  void step(const Drive& drive);
  // `seconds` of the linear model.
  void drift(double seconds, const Drive& drive);

  double temperature() const { return temperature_; }
  // The loop's output now, percent: heat positive, cool negative.
  double output() const { return output_; }
  const Flows& flows() const { return flows_; }

  // Parameters that refusal() refuses are ignored.
  void setPlant(const Plant& plant);
  const Plant& plant() const { return plant_; }
  void setLoop(const Loop& loop);
  const Loop& loop() const { return loop_; }
  // Rates that are not positive are ignored one by one.
  void setRates(double heat, double cool, double drift);
  const Rates& rates() const { return rates_; }

  // The controller's unit changed: the temperature and the band follow into the new one.
  void changeUnit(double degreesPerKelvin, double (*convert)(double));

 private:
  void resetLoop();
  void resizeDelay();
  // What is left after a step of the difference to the balance temperature.
  double decay() const;

  Model model_ = Model::Thermal;
  Plant plant_;
  Loop loop_;
  Rates rates_;
  double scale_;  // degrees of the unit per kelvin
  double temperature_;
  double output_ = 0;    // percent, as the loop set it in the last step
  double integral_ = 0;  // the integral term, percent
  double lastMeasured_;  // the temperature the loop saw in the last step
  bool controlled_ = false;
  // The outputs of the last dead time, oldest at `delayAt_`: what reaches the chamber now.
  std::vector<double> delay_;
  std::size_t delayAt_ = 0;
  double decay_;
  Flows flows_;
};

}  // namespace sim
