#pragma once

#include <memory>
#include <string>

#include "Clock.h"
#include "Converter.h"
#include "GpibBoard.h"
#include "ModbusLink.h"

namespace converter {

// The console's own converter: a GPIB bus with the converter model alone at address 4, in front
// of a Modbus link to a real controller. Each command line is carried out while it is sent
// (Send returns when its transactions are done, each bounded by the response time-out), so a
// read finds the reply waiting.
class SoftwareConverter final : public GpibBoard {
 public:
  static constexpr int kAddress = 4;

  SoftwareConverter(bus::Clock& clock, std::unique_ptr<modbus::Link> link,
                    const modbus::SerialSettings& serial = modbus::SerialSettings{});

  // "software converter at GPIB address 4 on Modbus TCP 127.0.0.1:502"
  std::string describe() const override;

  Converter& converter() { return converter_; }
  modbus::Link& link() { return *link_; }

 protected:
  const Device* deviceAt(int address) const override;
  void clearEveryDevice() override { converter_.clear(); }
  bool serviceRequested() const override { return converter_.requestingService(); }

 private:
  std::unique_ptr<modbus::Link> link_;
  Converter converter_;
};

}  // namespace converter
