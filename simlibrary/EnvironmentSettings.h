#pragma once

#include <functional>
#include <string>

#include "SimulatedBus.h"

namespace simlibrary {

// Looks up one environment variable; null when it is not set.
using Environment = std::function<const char*(const char* name)>;

// Sets the bench up from the GPIBSIM_* variables: GPIBSIM_MODEL, GPIBSIM_IDENTITY,
// GPIBSIM_ADDRESS (the converter's GPIB address), GPIBSIM_INSTRUMENT (the second instrument's
// address, or none), GPIBSIM_AMBIENT (degrees) and GPIBSIM_FAULTS (the script's sim steps,
// separated by ';': absent, present, silent on|off, modbus-error CODE [COUNT],
// register REG VALUE|none|clear, reply "TEXT", identity "TEXT", baud N, model TEXT,
// ambient DEGREES, rates HEAT COOL DRIFT, chamber thermal|linear, plant MASS HEATER COOLER LOSS
// DEAD-TIME, loop BAND INTEGRAL DERIVATIVE, latency MILLISECONDS, link paced|instant).
// GPIBSIM_CHAMBER, GPIBSIM_PLANT, GPIBSIM_LOOP, GPIBSIM_LATENCY and GPIBSIM_LINK take the words
// of the step of their name.
// All or nothing: when a value cannot be used the bench stays as it is and the returned line
// says which value and why; empty when everything was taken.
std::string applyEnvironment(sim::SimulatedBus& bus, const Environment& environment);

}  // namespace simlibrary
