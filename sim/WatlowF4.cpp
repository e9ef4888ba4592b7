#include "WatlowF4.h"

#include <algorithm>
#include <cmath>

#include "Registers.h"

namespace sim {

namespace {

constexpr double kDay = 86400.0;

// Identity registers 1 to 5: serial number in two halves, software revision, revision code,
// manufacturing date (year and week).
constexpr std::int16_t kSerialHigh = 42;
constexpr std::int16_t kSerialLow = 1187;
constexpr std::int16_t kSoftware = 302;
constexpr std::int16_t kRevisionCode = 1;
constexpr std::int16_t kManufactured = 2311;

constexpr int kModeStatic = 0;
constexpr int kModeRunning = 2;

std::int16_t toRegister(double value) {
  if (!std::isfinite(value)) return 0;
  // Steps of a tenth of a second leave traces far below a millionth of a degree; drop them so
  // that 79.5 reads as 80 and not as 79.
  const double cleaned = std::round(value * 1e6) / 1e6;
  return static_cast<std::int16_t>(std::lround(std::clamp(cleaned, -32768.0, 32767.0)));
}

bool inRange(int value, int low, int high) { return value >= low && value <= high; }

double fahrenheitToCelsius(double f) { return (f - 32.0) * 5.0 / 9.0; }
double celsiusToFahrenheit(double c) { return c * 9.0 / 5.0 + 32.0; }

constexpr double kDegreesFPerKelvin = 1.8;

// Chamber steps due by `now`: the grid is counted from clock zero, so a temperature does not
// depend on how often the controller was asked.
long long stepsDue(double now) {
  return static_cast<long long>(std::floor(now / Chamber::kStep + 1e-6));
}

}  // namespace

WatlowF4::WatlowF4(bus::Clock& clock)
    : clock_(clock),
      lastUpdate_(clock.now()),
      steps_(stepsDue(clock.now())),
      chamber_(75.0, kDegreesFPerKelvin) {}

// ---- time and temperature ------------------------------------------------------------------

void WatlowF4::advance() {
  const double now = clock_.now();
  if (chamber_.model() == Chamber::Model::Linear) {
    if (now > lastUpdate_) simulate(now - lastUpdate_);
  } else {
    for (const long long due = stepsDue(now); steps_ < due;) {
      ++steps_;
      chamber_.step(drive(static_cast<double>(steps_) * Chamber::kStep));
    }
  }
  lastUpdate_ = std::max(lastUpdate_, now);
}

void WatlowF4::simulate(double seconds) {
  // Fine steps keep ramps smooth; very long jumps coarsen them so a jump of days stays quick.
  const double tick = std::max(0.1, seconds / 200000.0);
  double t = lastUpdate_;
  const double end = lastUpdate_ + seconds;
  while (t < end) {
    const double dt = std::min(tick, end - t);
    t += dt;
    chamber_.drift(dt, drive(t));
  }
}

Chamber::Drive WatlowF4::drive(double at) {
  const std::optional<double> target = controlTarget(at);
  return {target, heats(), cools(), ambient_};
}

std::optional<double> WatlowF4::controlTarget(double at) {
  if (run_) {
    const double target = targetNow(at);
    if (run_) return target;
  }
  if (outputsOff_) return std::nullopt;
  if (hold_) return hold_;
  if (setPoint_ <= lowLimit_) return std::nullopt;
  return static_cast<double>(setPoint_);
}

double WatlowF4::stepTarget(const Step& step, double elapsed) const {
  const double from = run_->from;
  switch (step.type) {
    case kTimed:
    case kRampRate:
      if (run_->stepLength <= 0) return step.endTemp;
      return from + (step.endTemp - from) * std::clamp(elapsed / run_->stepLength, 0.0, 1.0);
    default:
      return from;
  }
}

void WatlowF4::startStep(double at) {
  const Step& step = (*profiles_[run_->profile - 1])[run_->step];
  const double duration = step.hours * 3600.0 + step.minutes * 60.0 + step.seconds;
  run_->stepStart = at;
  switch (step.type) {
    case kAutoStart: {
      const double tod = std::fmod(std::fmod(clockOffset_ + at, kDay) + kDay, kDay);
      run_->stepLength = std::fmod(duration - tod + kDay, kDay);
      break;
    }
    case kRampRate: {
      const double perSecond = step.seconds / 10.0 / 60.0;
      run_->stepLength = perSecond > 0 ? std::fabs(step.endTemp - run_->from) / perSecond : 0.0;
      break;
    }
    case kTimed:
    case kSoak:
      run_->stepLength = duration;
      break;
    default:
      run_->stepLength = 0.0;
      break;
  }
}

double WatlowF4::targetNow(double at) {
  while (run_) {
    const Profile& profile = *profiles_[run_->profile - 1];
    const Step& step = profile[run_->step];
    if (step.type == kEnd) {
      const double last = run_->from;
      finishRun(&step);
      return last;
    }
    const double elapsed = at - run_->stepStart;
    if (elapsed < run_->stepLength) return stepTarget(step, elapsed);
    if (step.type == kTimed || step.type == kRampRate) run_->from = step.endTemp;
    const double next = run_->stepStart + run_->stepLength;
    if (++run_->step >= profile.size()) {
      const double last = run_->from;
      finishRun(nullptr);
      return last;
    }
    startStep(next);
  }
  return chamber_.temperature();
}

void WatlowF4::finishRun(const Step* endStep) {
  const int action = endStep ? endStep->endAction : kEndHold;
  if (action == kEndHold) hold_ = run_->from;
  if (action == kEndControlOff || action == kEndAllOff) outputsOff_ = true;
  run_.reset();
}

double WatlowF4::temperature() {
  advance();
  return chamber_.temperature();
}

const Chamber& WatlowF4::chamber() {
  advance();
  return chamber_;
}

void WatlowF4::setChamberModel(Chamber::Model model) {
  advance();
  chamber_.setModel(model);
  steps_ = stepsDue(clock_.now());
}

void WatlowF4::setPlant(const Chamber::Plant& plant) {
  advance();
  chamber_.setPlant(plant);
}

void WatlowF4::setLoop(const Chamber::Loop& loop) {
  advance();
  chamber_.setLoop(loop);
}

void WatlowF4::setAmbient(double degrees) {
  advance();
  if (std::isfinite(degrees)) ambient_ = std::clamp(degrees, -1000.0, 3000.0);
}

void WatlowF4::setRates(double heat, double cool, double drift) {
  advance();
  chamber_.setRates(heat, cool, drift);
}

void WatlowF4::setTimeOfDay(double secondsOfDay) {
  advance();
  if (!std::isfinite(secondsOfDay)) return;
  clockOffset_ = std::fmod(secondsOfDay, kDay) - clock_.now();
}

double WatlowF4::timeOfDay() const {
  return std::fmod(std::fmod(clockOffset_ + clock_.now(), kDay) + kDay, kDay);
}

int WatlowF4::profileCount() const {
  return static_cast<int>(std::count_if(profiles_.begin(), profiles_.end(),
                                        [](const auto& p) { return p.has_value(); }));
}

int WatlowF4::stepCount(int profile) const {
  if (!inRange(profile, 1, kMaxProfiles) || !profiles_[profile - 1]) return -1;
  return static_cast<int>(profiles_[profile - 1]->size());
}

void WatlowF4::changeUnit(int unit) {
  if (unit == unit_) return;
  const auto convert = [unit](double v) {
    return unit == 1 ? fahrenheitToCelsius(v) : celsiusToFahrenheit(v);
  };
  const auto convertRegister = [&](int v) { return static_cast<int>(toRegister(convert(v))); };
  chamber_.changeUnit(unit == 1 ? 1.0 : kDegreesFPerKelvin,
                      unit == 1 ? fahrenheitToCelsius : celsiusToFahrenheit);
  ambient_ = convert(ambient_);
  setPoint_ = convertRegister(setPoint_);
  lowLimit_ = convertRegister(lowLimit_);
  highLimit_ = convertRegister(highLimit_);
  if (hold_) hold_ = convert(*hold_);
  if (run_) run_->from = convert(run_->from);
  const double rateScale = unit == 1 ? 5.0 / 9.0 : 9.0 / 5.0;
  for (auto& profile : profiles_) {
    if (!profile) continue;
    for (Step& step : *profile) {
      step.endTemp = convertRegister(step.endTemp);
      if (step.type == kRampRate)
        step.seconds = std::clamp(static_cast<int>(std::lround(step.seconds * rateScale)), 1, 9999);
    }
  }
  // A running step keeps its length: its temperatures and its rate scale alike.
  unit_ = unit;
}

// ---- registers -----------------------------------------------------------------------------

std::uint8_t WatlowF4::read(int reg, std::int16_t& value) {
  advance();
  switch (reg) {
    case f4::Model:
      value = kModel;
      return 0;
    case f4::SerialNumber:
      value = kSerialHigh;
      return 0;
    case f4::SerialNumber + 1:
      value = kSerialLow;
      return 0;
    case f4::SoftwareRevision:
      value = kSoftware;
      return 0;
    case f4::RevisionCode:
      value = kRevisionCode;
      return 0;
    case f4::ManufactureDate:
      value = kManufactured;
      return 0;
    case f4::SaveChanges:
      value = 0;
      return 0;
    case f4::Temperature:
      value = toRegister(chamber_.temperature());
      return 0;
    case f4::ControlMode:
      value = run_ ? kModeRunning : kModeStatic;
      return 0;
    case f4::SetPoint: {
      const double now = clock_.now();
      if (run_) {
        const double target = targetNow(now);
        if (run_) {
          value = toRegister(target);
          return 0;
        }
      }
      value = hold_ ? toRegister(*hold_) : static_cast<std::int16_t>(setPoint_);
      return 0;
    }
    case f4::Output1AControl:
      value = static_cast<std::int16_t>(ctrl1a_);
      return 0;
    case f4::Hysteresis:
      value = static_cast<std::int16_t>(hysteresis_);
      return 0;
    case f4::Output1BControl:
      value = static_cast<std::int16_t>(ctrl1b_);
      return 0;
    case f4::LowLimit:
      value = static_cast<std::int16_t>(lowLimit_);
      return 0;
    case f4::HighLimit:
      value = static_cast<std::int16_t>(highLimit_);
      return 0;
    case f4::Output1AFunction:
      value = static_cast<std::int16_t>(out1a_);
      return 0;
    case f4::Output1BFunction:
      value = static_cast<std::int16_t>(out1b_);
      return 0;
    case f4::Unit:
      value = static_cast<std::int16_t>(unit_);
      return 0;
    case f4::ProfileStop:
      value = 0;
      return 0;
    case f4::TimeOfDay:
    case f4::TimeOfDay + 1:
    case f4::TimeOfDay + 2: {
      const int seconds = static_cast<int>(timeOfDay());
      const int parts[] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
      value = static_cast<std::int16_t>(parts[reg - f4::TimeOfDay]);
      return 0;
    }
    case f4::FreeProfiles:
      value = static_cast<std::int16_t>(kMaxProfiles - profileCount());
      return 0;
    case f4::RunningProfile:
    case f4::RunningStep:
      value = !run_                       ? 0
              : reg == f4::RunningProfile ? static_cast<std::int16_t>(run_->profile)
                                          : static_cast<std::int16_t>(run_->step + 1);
      return 0;
    default:
      if (reg >= f4::ProfileNumber && reg <= f4::StepBlockLast)
        return readProfileRegister(reg, value);
      if (const int at = reg - f4::ProfileNames; at >= 0 && at < kMaxProfiles * kNameLength) {
        const auto profile = static_cast<std::size_t>(at / kNameLength);
        const std::string& name = names_[profile];
        const std::size_t i = static_cast<std::size_t>(at % kNameLength);
        value = profiles_[profile] && i < name.size() ? static_cast<unsigned char>(name[i]) : ' ';
        return 0;
      }
      return modbus::kIllegalAddress;
  }
}

std::uint8_t WatlowF4::write(int reg, std::int16_t value) {
  advance();
  const int v = value;
  switch (reg) {
    case f4::Model:
    case f4::SerialNumber:
    case f4::SerialNumber + 1:
    case f4::SoftwareRevision:
    case f4::RevisionCode:
    case f4::ManufactureDate:
    case f4::Temperature:
    case f4::ControlMode:
      return modbus::kIllegalAddress;
    case f4::SaveChanges:
      // Edits take effect as they are written; the save command only has to be well formed.
      return v == 0 ? 0 : modbus::kIllegalValue;
    case f4::SetPoint:
      // At or below the low limit means "off"; only the high limit is enforced.
      if (v > highLimit_) return modbus::kIllegalValue;
      setPoint_ = v;
      hold_.reset();
      outputsOff_ = false;
      return 0;
    case f4::Output1AControl:
    case f4::Output1BControl:
      if (!inRange(v, 0, 1)) return modbus::kIllegalValue;
      (reg == f4::Output1AControl ? ctrl1a_ : ctrl1b_) = v;
      return 0;
    case f4::Hysteresis:
      if (!inRange(v, 0, 999)) return modbus::kIllegalValue;
      hysteresis_ = v;
      return 0;
    case f4::LowLimit:
      if (v >= highLimit_) return modbus::kIllegalValue;
      lowLimit_ = v;
      return 0;
    case f4::HighLimit:
      if (v <= lowLimit_) return modbus::kIllegalValue;
      highLimit_ = v;
      return 0;
    case f4::Output1AFunction:
    case f4::Output1BFunction:
      if (!inRange(v, 0, 2)) return modbus::kIllegalValue;
      (reg == f4::Output1AFunction ? out1a_ : out1b_) = v;
      return 0;
    case f4::Unit:
      if (!inRange(v, 0, 1)) return modbus::kIllegalValue;
      changeUnit(v);
      return 0;
    case f4::ProfileStop:
      if (!inRange(v, 0, 1)) return modbus::kIllegalValue;
      if (v == 1) run_.reset();
      return 0;
    case f4::TimeOfDay:
    case f4::TimeOfDay + 1:
    case f4::TimeOfDay + 2: {
      if (!inRange(v, 0, reg == f4::TimeOfDay ? 23 : 59)) return modbus::kIllegalValue;
      const int seconds = static_cast<int>(timeOfDay());
      int parts[] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
      parts[reg - f4::TimeOfDay] = v;
      setTimeOfDay(parts[0] * 3600.0 + parts[1] * 60.0 + parts[2]);
      return 0;
    }
    case f4::FreeProfiles:
    case f4::RunningProfile:
    case f4::RunningStep:
      return modbus::kIllegalAddress;
    default:
      if (reg >= f4::ProfileNumber && reg <= f4::StepBlockLast) return writeProfileRegister(reg, v);
      if (const int at = reg - f4::ProfileNames; at >= 0 && at < kMaxProfiles * kNameLength) {
        // A name is kept for a profile that exists, in printable characters.
        const int profile = at / kNameLength + 1;
        if (!editable(profile) || !inRange(v, 32, 126)) return modbus::kIllegalValue;
        std::string& name = names_[static_cast<std::size_t>(profile - 1)];
        name.resize(kNameLength, ' ');
        name[static_cast<std::size_t>(at % kNameLength)] = static_cast<char>(v);
        return 0;
      }
      return modbus::kIllegalAddress;
  }
}

// ---- profile editing -------------------------------------------------------------------------

const WatlowF4::Step* WatlowF4::selectedStep() const {
  if (!inRange(selectedProfile_, 1, kMaxProfiles)) return nullptr;
  const auto& profile = profiles_[selectedProfile_ - 1];
  if (!profile || selectedStep_ > static_cast<int>(profile->size())) return nullptr;
  return &(*profile)[selectedStep_ - 1];
}

WatlowF4::Step* WatlowF4::selectedStep() {
  return const_cast<Step*>(static_cast<const WatlowF4*>(this)->selectedStep());
}

bool WatlowF4::editable(int profile) const {
  return inRange(profile, 1, kMaxProfiles) && profiles_[profile - 1].has_value() &&
         !(run_ && run_->profile == profile);
}

std::uint8_t WatlowF4::readProfileRegister(int reg, std::int16_t& value) const {
  const Step* step = selectedStep();
  const auto field = [step](int Step::*member) {
    return static_cast<std::int16_t>(step ? step->*member : 0);
  };
  switch (reg) {
    case f4::ProfileNumber:
      value = static_cast<std::int16_t>(selectedProfile_);
      return 0;
    case f4::StepNumber:
      value = static_cast<std::int16_t>(selectedStep_);
      return 0;
    case f4::ProfileAction:
      value = 0;
      return 0;
    case f4::StepType:
      value = step ? static_cast<std::int16_t>(step->type) : kNoStep;
      return 0;
    case f4::AutoStartKind:
      value = field(&Step::autoStartKind);
      return 0;
    case f4::AutoStartDay:
      value = field(&Step::day);
      return 0;
    case f4::StepHours:
      value = field(&Step::hours);
      return 0;
    case f4::StepMinutes:
      value = field(&Step::minutes);
      return 0;
    case f4::StepSeconds:
      value = field(&Step::seconds);
      return 0;
    case f4::WaitFor:
      value = field(&Step::waitFor);
      return 0;
    case f4::EndTemperature:
      value = field(&Step::endTemp);
      return 0;
    case f4::Event1:
      value = field(&Step::event1);
      return 0;
    case f4::Event2:
      value = field(&Step::event2);
      return 0;
    case f4::EndAction:
      value = field(&Step::endAction);
      return 0;
    case f4::RampRate:
      if (step && step->type == kRampRate) {
        value = field(&Step::seconds);
        return 0;
      }
      [[fallthrough]];
    default:
      // The rest of the step's block (the only registers that come here besides those above):
      // kept as written, 0 until then.
      value = 0;
      if (step)
        if (const auto kept = step->other.find(reg); kept != step->other.end())
          value = static_cast<std::int16_t>(kept->second);
      return 0;
  }
}

std::uint8_t WatlowF4::writeProfileRegister(int reg, int v) {
  switch (reg) {
    case f4::ProfileNumber:
      if (!inRange(v, 1, kMaxProfiles)) return modbus::kIllegalValue;
      selectedProfile_ = v;
      return 0;
    case f4::StepNumber:
      if (!inRange(v, 1, kMaxSteps)) return modbus::kIllegalValue;
      selectedStep_ = v;
      return 0;
    case f4::ProfileAction:
      return profileAction(v);
    case f4::StepType:
    case f4::AutoStartKind:
    case f4::AutoStartDay:
    case f4::StepHours:
    case f4::StepMinutes:
    case f4::StepSeconds:
    case f4::WaitFor:
    case f4::EndTemperature:
    case f4::Event1:
    case f4::Event2:
    default:  // the end action and the rest of the step's block
      break;
  }

  Step* step = selectedStep();
  if (!step || !editable(selectedProfile_)) return modbus::kIllegalValue;
  const auto set = [v](int& field, int low, int high) -> std::uint8_t {
    if (!inRange(v, low, high)) return modbus::kIllegalValue;
    field = v;
    return 0;
  };
  switch (reg) {
    case f4::StepType:
      if (v != kAutoStart && v != kTimed && v != kRampRate && v != kSoak && v != kEnd)
        return modbus::kIllegalValue;
      step->type = v;
      return 0;
    case f4::AutoStartKind:
      return set(step->autoStartKind, 0, 1);
    case f4::AutoStartDay:
      return set(step->day, 0, 7);
    case f4::StepHours:
      return set(step->hours, 0, step->type == kAutoStart ? 23 : 99);
    case f4::StepMinutes:
      return set(step->minutes, 0, 59);
    case f4::StepSeconds:
      return step->type == kRampRate ? set(step->seconds, 1, 9999) : set(step->seconds, 0, 59);
    case f4::WaitFor:
      return set(step->waitFor, 0, 1);
    case f4::EndTemperature:
      return set(step->endTemp, lowLimit_, highLimit_);
    case f4::Event1:
      return set(step->event1, 0, 1);
    case f4::Event2:
      return set(step->event2, 0, 1);
    case f4::EndAction:
      return set(step->endAction, kEndHold, kEndIdle);
    case f4::RampRate:
      if (step->type == kRampRate) return set(step->seconds, 1, 9999);
      [[fallthrough]];
    default:
      step->other[reg] = v;
      return 0;
  }
}

std::uint8_t WatlowF4::profileAction(int action) {
  // Every action but create and delete-all needs an existing profile; editable() checks it.
  std::optional<Profile> none;
  auto& profile =
      inRange(selectedProfile_, 1, kMaxProfiles) ? profiles_[selectedProfile_ - 1] : none;
  switch (action) {
    case f4::ProfileActions::Create: {
      const auto free = std::find_if(profiles_.begin(), profiles_.end(),
                                     [](const auto& p) { return !p.has_value(); });
      if (free == profiles_.end()) {
        selectedProfile_ = 0;  // shows the store is full: no profile has number 0
        return 0;
      }
      free->emplace();
      selectedProfile_ = static_cast<int>(free - profiles_.begin()) + 1;
      names_[static_cast<std::size_t>(selectedProfile_ - 1)].clear();
      selectedStep_ = 1;
      return 0;
    }
    case f4::ProfileActions::InsertStep: {  // before the selected step, or after the last
      if (!editable(selectedProfile_)) return modbus::kIllegalValue;
      if (selectedStep_ > static_cast<int>(profile->size()) + 1 ||
          profile->size() >= static_cast<std::size_t>(kMaxSteps))
        return modbus::kIllegalValue;
      profile->insert(profile->begin() + (selectedStep_ - 1), Step{});
      return 0;
    }
    case f4::ProfileActions::Delete:
      if (!editable(selectedProfile_)) return modbus::kIllegalValue;
      profile.reset();
      return 0;
    case f4::ProfileActions::DeleteStep:
      if (!selectedStep() || !editable(selectedProfile_)) return modbus::kIllegalValue;
      profile->erase(profile->begin() + (selectedStep_ - 1));
      return 0;
    case f4::ProfileActions::Run: {
      if (!selectedStep()) return modbus::kIllegalValue;
      advance();
      run_ = Run{selectedProfile_, static_cast<std::size_t>(selectedStep_ - 1), 0.0, 0.0,
                 chamber_.temperature()};
      hold_.reset();
      outputsOff_ = false;
      startStep(clock_.now());
      return 0;
    }
    case f4::ProfileActions::DeleteAll:
      if (run_) return modbus::kIllegalValue;
      for (auto& p : profiles_) p.reset();
      return 0;
    default:
      return modbus::kIllegalValue;
  }
}

// ---- the Modbus slave ----------------------------------------------------------------------

modbus::Bytes WatlowF4::handle(const modbus::Bytes& request) {
  using namespace modbus;
  if (request.size() < 4 || !crcValid(request)) return {};
  const std::uint8_t address = request[0];
  const bool broadcast = address == 0;
  if (!broadcast && address != kAddress) return {};
  advance();

  const std::uint8_t function = request[1];
  const auto exception = [&](std::uint8_t code) {
    if (broadcast) return Bytes{};
    return exceptionResponse(kAddress, function, code);
  };
  const auto touchesSilent = [&](int first, int count) {
    for (int reg = first; reg < first + count; ++reg) {
      const auto fault = faults_.find(reg);
      if (fault != faults_.end() && fault->second.silent) return true;
    }
    return false;
  };

  switch (function) {
    case kReadHolding:
    case kReadInput: {
      if (broadcast) return {};
      if (request.size() != 8) return exception(modbus::kIllegalValue);
      const int first = word(request, 2);
      const int count = word(request, 4);
      if (!inRange(count, 1, kMaxReadCount)) return exception(modbus::kIllegalValue);
      if (touchesSilent(first, count)) return {};
      std::vector<std::uint16_t> values;
      for (int reg = first; reg < first + count; ++reg) {
        std::int16_t value = 0;
        if (const std::uint8_t code = read(reg, value)) return exception(code);
        const auto fault = faults_.find(reg);
        values.push_back(fault != faults_.end() ? fault->second.value
                                                : static_cast<std::uint16_t>(value));
      }
      return readResponse(kAddress, function, values);
    }
    case kWriteSingle: {
      if (request.size() != 8) return exception(modbus::kIllegalValue);
      const int reg = word(request, 2);
      if (touchesSilent(reg, 1)) return {};
      if (const std::uint8_t code = write(reg, static_cast<std::int16_t>(word(request, 4))))
        return exception(code);
      return broadcast ? Bytes{} : request;
    }
    case kWriteMultiple: {
      if (request.size() < 9) return exception(modbus::kIllegalValue);
      const int first = word(request, 2);
      const int count = word(request, 4);
      if (!inRange(count, 1, kMaxWriteCount) || request[6] != 2 * count ||
          request.size() != 9 + 2 * static_cast<std::size_t>(count))
        return exception(modbus::kIllegalValue);
      if (touchesSilent(first, count)) return {};
      for (int i = 0; i < count; ++i) {
        const auto value = static_cast<std::int16_t>(word(request, 7 + 2 * i));
        if (const std::uint8_t code = write(first + i, value)) return exception(code);
      }
      if (broadcast) return {};
      Bytes reply(request.begin(), request.begin() + 6);
      appendCrc(reply);
      return reply;
    }
    default:
      return exception(modbus::kIllegalFunction);
  }
}

// ---- faults ----------------------------------------------------------------------------------

void WatlowF4::forceRegister(int reg, std::uint16_t value) { faults_[reg] = {false, value}; }
void WatlowF4::silenceRegister(int reg) { faults_[reg] = {true, 0}; }
void WatlowF4::clearRegisterFault(int reg) { faults_.erase(reg); }
void WatlowF4::clearRegisterFaults() { faults_.clear(); }

}  // namespace sim
