#pragma once

#include <string>

#include "Device.h"

namespace sim {

// A plain IEEE 488.2 instrument with nothing to do but identify itself and keep its status
// registers; it makes a listener search show a bus with more than one device.
class Instrument final : public converter::Device {
 public:
  explicit Instrument(std::string identity);

  void listen(std::string_view bytes, bool eoi) override;
  std::optional<std::string_view> talk() override;
  void consumed(std::size_t count) override;
  std::optional<std::uint8_t> serialPoll() override;
  void clear() override;
  bool requestingService() const override { return status_.rqs(); }

 private:
  void execute();

  std::string identity_;
  std::string input_;
  std::string output_;
  converter::StatusModel status_;
};

}  // namespace sim
