#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Clock.h"
#include "Observer.h"
#include "Readings.h"

namespace trend {

// Watches the console's own bus traffic and turns what it already reads and writes into
// records: a read of register 100 is a temperature, of 300 a set point; writes of 300 set the
// set point (at or below the low limit read from 602 it is off), of 901 the unit; 4000 then
// 4002 = 5 runs a profile, 1217 = 1 stops it; a driver call that fails, and an error register
// (E?) that holds a Modbus error, are bus errors. It never makes a bus call of its own.
class Collector final : public bus::Observer {
 public:
  using Listener = std::function<void(const Record&)>;

  explicit Collector(const bus::Clock& clock);

  // Called with every record, in the order they happen.
  void addListener(Listener listener) { listeners_.push_back(std::move(listener)); }

  void driverCall(const bus::Call& call) override;

  // The newest state, as the next record will carry it.
  const Record& newest() const { return newest_; }

 private:
  enum class Pending { None, Temperature, SetPoint, LowLimit, Unit, ErrorRegister };

  void sent(int address, const std::string& line, bool delivered);
  void replied(int address, const std::string& bytes);
  void publish(Record::What what, std::optional<EventKind> event = {}, std::string text = {},
               int profile = 0);
  std::optional<double> value(const std::string& reply) const;

  const bus::Clock& clock_;
  double origin_;
  std::vector<Listener> listeners_;
  Record newest_;
  Pending pending_ = Pending::None;
  int pendingAddress_ = -1;
  bool hex_ = false;
  std::optional<double> lowLimit_;
  std::optional<double> profile_;
};

}  // namespace trend
