#include "Chamber.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sim {

namespace {

// Moves `from` toward `to` by at most `step`, landing on it exactly.
double approach(double from, double to, double step) {
  if (std::fabs(to - from) <= step) return to;
  return from < to ? from + step : from - step;
}

// One parameter's range: above `low` (or from it, when `lowIncluded`) up to `high`.
struct Range {
  const char* what;
  double value;
  double low;
  bool lowIncluded;
  double high;
  const char* unit;
};

// The shortest text that reads back as `value`, with a point whatever the locale.
std::string numberText(double value) {
  char text[32];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return error == std::errc() ? std::string(text, end) : std::string();
}

std::string check(std::initializer_list<Range> ranges) {
  for (const Range& r : ranges) {
    const bool fits = std::isfinite(r.value) &&
                      (r.lowIncluded ? r.value >= r.low : r.value > r.low) && r.value <= r.high;
    if (!fits)
      return std::string(r.what) + " must lie " + (r.lowIncluded ? "from " : "above ") +
             numberText(r.low) + (r.lowIncluded ? " to " : " and up to ") + numberText(r.high) +
             " " + r.unit;
  }
  return {};
}

}  // namespace

std::string Chamber::refusal(const Plant& p) {
  return check({{"the thermal mass", p.thermalMass, 0, false, 100000, "kJ per kelvin"},
                {"the heater power", p.heaterPower, 0, true, 1000000, "W"},
                {"the cooler power", p.coolerPower, 0, true, 1000000, "W"},
                {"the loss to the room", p.roomLoss, 0, true, 100000, "W per kelvin"},
                {"the dead time", p.deadTime, 0, true, 600, "s"}});
}

std::string Chamber::refusal(const Loop& l) {
  return check({{"the proportional band", l.band, 0, false, 10000, "degrees"},
                {"the integral time", l.integral, 0, true, 100000, "s"},
                {"the derivative time", l.derivative, 0, true, 10000, "s"}});
}

Chamber::Chamber(double temperature, double degreesPerKelvin)
    : scale_(degreesPerKelvin),
      temperature_(temperature),
      lastMeasured_(temperature),
      decay_(decay()) {
  resizeDelay();
}

double Chamber::decay() const {
  return std::exp(-plant_.roomLoss * kStep / (plant_.thermalMass * 1000.0));
}

void Chamber::setModel(Model model) {
  model_ = model;
  resetLoop();
}

void Chamber::resetLoop() {
  output_ = 0;
  integral_ = 0;
  lastMeasured_ = temperature_;
  controlled_ = false;
  std::fill(delay_.begin(), delay_.end(), 0.0);
  flows_ = {};
}

void Chamber::resizeDelay() {
  // Whole steps; the output of this step is the last one in the line.
  const auto length = static_cast<std::size_t>(std::lround(plant_.deadTime / kStep));
  delay_.assign(length, output_);
  delayAt_ = 0;
}

void Chamber::setPlant(const Plant& plant) {
  if (!refusal(plant).empty()) return;
  const bool newDelay = plant.deadTime != plant_.deadTime;
  plant_ = plant;
  decay_ = decay();
  if (newDelay) resizeDelay();
}

void Chamber::setLoop(const Loop& loop) {
  if (refusal(loop).empty()) loop_ = loop;
}

void Chamber::setRates(double heat, double cool, double drift) {
  const auto usable = [](double rate) { return std::isfinite(rate) && rate > 0; };
  if (usable(heat)) rates_.heat = heat;
  if (usable(cool)) rates_.cool = cool;
  if (usable(drift)) rates_.drift = drift;
}

void Chamber::changeUnit(double degreesPerKelvin, double (*convert)(double)) {
  const double ratio = degreesPerKelvin / scale_;
  temperature_ = convert(temperature_);
  lastMeasured_ = convert(lastMeasured_);
  loop_.band *= ratio;
  scale_ = degreesPerKelvin;
}

void Chamber::step(const Drive& drive) {
  // The loop: proportional on the error, integral of it, derivative of the measurement (a new
  // set point gives no kick). The output stays within what the outputs set up allow; the
  // integral only grows while the output is not pinned at that limit by the same error.
  const double high = drive.heats ? 100.0 : 0.0;
  const double low = drive.cools ? -100.0 : 0.0;
  if (!drive.target || (!drive.heats && !drive.cools)) {
    output_ = 0;
    integral_ = 0;
    controlled_ = false;
  } else {
    const double gain = 100.0 / loop_.band;
    const double error = *drive.target - temperature_;
    const double slope = controlled_ ? (temperature_ - lastMeasured_) / kStep : 0.0;
    const double direct = gain * (error - loop_.derivative * slope);
    const double grown =
        loop_.integral > 0 ? integral_ + gain * error * kStep / loop_.integral : 0.0;
    const double wanted = direct + grown;
    if ((wanted <= high || error < 0) && (wanted >= low || error > 0)) integral_ = grown;
    integral_ = std::clamp(integral_, low, high);
    output_ = std::clamp(direct + integral_, low, high);
    controlled_ = true;
  }
  lastMeasured_ = temperature_;

  // What reaches the chamber now is the output of one dead time ago.
  double applied = output_;
  if (!delay_.empty()) {
    applied = delay_[delayAt_];
    delay_[delayAt_] = output_;
    delayAt_ = (delayAt_ + 1) % delay_.size();
  }
  // An output set up no longer can still have heat on its way; none arrives from it.
  if ((applied > 0 && !drive.heats) || (applied < 0 && !drive.cools)) applied = 0;
  const double heater = plant_.heaterPower * std::max(applied, 0.0) / 100.0;
  const double cooler = plant_.coolerPower * std::max(-applied, 0.0) / 100.0;

  // Exact over the step for a constant drive: the temperature relaxes toward the one where the
  // walls lose what the outputs bring, with the time constant mass / loss.
  const double capacity = plant_.thermalMass * 1000.0;  // J per kelvin
  const double net = heater - cooler;
  const double before = temperature_;
  if (plant_.roomLoss > 0) {
    const double balance = drive.ambient + scale_ * net / plant_.roomLoss;
    temperature_ = balance + (temperature_ - balance) * decay_;
  } else {
    temperature_ += scale_ * net * kStep / capacity;
  }
  flows_ = {heater, cooler, net - capacity * (temperature_ - before) / scale_ / kStep};
}

void Chamber::drift(double seconds, const Drive& drive) {
  const double drifted = approach(temperature_, drive.ambient, rates_.drift * seconds);
  const bool heats = drive.heats, cools = drive.cools;
  if (!drive.target) {
    temperature_ = drifted;
    return;
  }
  const double target = *drive.target;
  if (target > temperature_ && heats) {
    temperature_ = approach(temperature_, target, rates_.heat * seconds);
  } else if (target < temperature_ && cools) {
    temperature_ = approach(temperature_, target, rates_.cool * seconds);
  } else if (target == temperature_ && (heats || cools)) {
    // Held on target by whichever output pushes against the drift.
    const bool driftingUp = drive.ambient > temperature_;
    if ((driftingUp && !cools) || (!driftingUp && !heats)) temperature_ = drifted;
  } else {
    // The output that would be needed is not set up; the other one stops the drift at target.
    const bool crosses = (temperature_ - target) * (drifted - target) < 0;
    temperature_ = crosses ? target : drifted;
  }
}

}  // namespace sim
