#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Clock.h"
#include "Device.h"
#include "Frame.h"
#include "ModbusLink.h"

namespace converter {

// The GPIB-to-Modbus converter: an IEEE 488.2 instrument whose command lines become Modbus RTU
// transactions with the controller on its Modbus link (the simulated controller, or a real
// master on a serial port or a TCP gateway).
//
// Reply formats: one line per program message ending in a line feed, EOI on that line feed;
// several queries in one message answer in one line separated by ';'. Register values are
// decimal (signed 16-bit) in ASCII format, four upper-case hexadecimal digits in HEXL format,
// several registers separated by ','.
class Converter : public Device {
 public:
  static constexpr int kDefaultBaud = 9600;
  static constexpr std::size_t kInputLimit = 1024;

  // Seconds the converter waits for the controller's answer before it gives up (error 101).
  static constexpr double kResponseTimeout = 0.5;

  // Modbus error register codes beyond the controller's own exception codes.
  static constexpr int kCrcError = 100;
  static constexpr int kTimeout = 101;
  static constexpr int kPartialBase = 200;

  using FrameListener = std::function<void(const modbus::RtuExchange&)>;

  // The converter speaks to its controller through `link`, which outlives it; its serial
  // settings at power-on are `serial` (9600 baud, RS-485 unless told otherwise).
  Converter(bus::Clock& clock, modbus::Link& link,
            const modbus::SerialSettings& serial = modbus::SerialSettings{});

  void listen(std::string_view bytes, bool eoi) override;
  std::optional<std::string_view> talk() override;
  void consumed(std::size_t count) override;
  std::optional<std::uint8_t> serialPoll() override;
  void clear() override;
  bool requestingService() const override;
  double readyAt() const override { return link_.readyAt(); }

  // Identity: the whole *IDN? reply line (without its line feed), or just the model in it.
  void setIdentity(std::string text);
  void setModel(const std::string& model);
  const std::string& identity() const { return identity_; }

  // Called with every Modbus transaction, as it went over the line.
  void setFrameListener(FrameListener listener) { listener_ = std::move(listener); }

  // Power off and on: settings saved by *SAV come back; with *PSC 1 the enable registers clear.
  void powerCycle();

  // Faults of the converter itself, for the simulated bench.
  void setSilent(bool silent) { silent_ = silent; }
  bool silent() const { return silent_; }
  // The next time the converter is addressed to talk it says exactly these bytes.
  void setNextReply(std::string raw);
  void clearNextReply() { nextReply_.reset(); }

  // State as the front panel would show it.
  int errorRegister() const { return errorRegister_; }
  int modbusAddress() const { return modbusAddress_; }
  bool hexFormat() const { return hex_; }
  int baudSetting() const { return baud_; }
  int linkBaud() const { return linkBaud_; }
  bool rs485Setting() const { return rs485_; }
  bool linkRs485() const { return linkRs485_; }
  std::uint8_t ese() const { return status_.ese; }
  std::uint8_t sre() const { return status_.sre(); }
  std::uint8_t esr() const { return status_.esr(); }
  bool powerOnClear() const { return psc_; }

 private:
  struct Saved {
    std::uint8_t ese = 0;
    std::uint8_t sre = 0;
    int baud = kDefaultBaud;
    bool rs485 = true;
  };

  void execute(std::string_view message);
  // Carries out one command; a query appends its answer to `replies`.
  void command(const std::string& header, const std::string& parameters,
               std::vector<std::string>& replies);
  bool serialCommand(const std::string& header, const std::string& parameters,
                     std::vector<std::string>& replies);
  void readRegisters(const std::string& parameters, std::vector<std::string>& replies);
  void writeRegisters(const std::string& parameters);
  // The slave address the requests go to: one no slave can have goes out as 255, which no one
  // answers.
  std::uint8_t slave() const;
  // One transaction; the response frame on success, nothing on failure.
  std::optional<modbus::Bytes> transact(modbus::Bytes frame, std::size_t expectedLength);
  int judge(const modbus::Bytes& request, const modbus::Bytes& response,
            std::size_t expectedLength) const;
  std::optional<long> number(const std::string& text, long low, long high);
  void refreshService() { status_.update(!output_.empty()); }

  bus::Clock& clock_;
  modbus::Link& link_;
  FrameListener listener_;

  std::string identity_;
  std::string input_;
  bool overflow_ = false;
  std::string output_;
  // The last message's queries all failed on the Modbus side: the reply is empty, not missing.
  bool emptyReply_ = false;
  bool failedQuery_ = false;
  StatusModel status_;
  bool psc_ = true;
  Saved saved_;

  bool hex_ = false;
  int modbusAddress_ = 1;
  int errorRegister_ = 0;
  int baud_ = kDefaultBaud;
  bool rs485_ = true;
  int linkBaud_ = kDefaultBaud;
  bool linkRs485_ = true;

  bool silent_ = false;
  std::optional<std::string> nextReply_;
};

}  // namespace converter
