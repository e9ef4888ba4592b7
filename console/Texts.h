#pragma once

#include <string>

namespace console {

// The explanation of a value of the converter's Modbus error register.
std::string modbusErrorExplanation(double code);

}  // namespace console
