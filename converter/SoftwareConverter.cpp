#include "SoftwareConverter.h"

namespace converter {

SoftwareConverter::SoftwareConverter(bus::Clock& clock, std::unique_ptr<modbus::Link> link,
                                     const modbus::SerialSettings& serial)
    : GpibBoard(clock), link_(std::move(link)), converter_(clock, *link_, serial) {}

std::string SoftwareConverter::describe() const {
  return "software converter at GPIB address " + std::to_string(kAddress) + " on " +
         link_->describe();
}

const Device* SoftwareConverter::deviceAt(int address) const {
  return address == kAddress ? &converter_ : nullptr;
}

}  // namespace converter
