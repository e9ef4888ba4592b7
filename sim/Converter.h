#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Clock.h"
#include "Device.h"
#include "Frame.h"
#include "WatlowF4.h"

namespace sim {

// The GPIB-to-Modbus converter: an IEEE 488.2 instrument whose command lines become Modbus RTU
// transactions with the controller on its serial link.
//
// Reply formats: one line per program message ending in a line feed, EOI on that line feed;
// several queries in one message answer in one line separated by ';'. Register values are
// decimal (signed 16-bit) in ASCII format, four upper-case hexadecimal digits in HEXL format,
// several registers separated by ','.
class Converter final : public Device {
 public:
  static constexpr int kDefaultBaud = 9600;
  static constexpr std::size_t kInputLimit = 1024;

  // Seconds the converter waits for the controller's answer before it gives up (error 101).
  static constexpr double kResponseTimeout = 0.5;
  // Seconds the controller takes to begin its answer once a request has arrived.
  static constexpr double kDefaultLatency = 0.005;

  // Modbus error register codes beyond the controller's own exception codes.
  static constexpr int kCrcError = 100;
  static constexpr int kTimeout = 101;
  static constexpr int kPartialBase = 200;

  using FrameListener = std::function<void(const modbus::RtuExchange&)>;

  Converter(bus::Clock& clock, WatlowF4& controller);

  void listen(std::string_view bytes, bool eoi) override;
  std::optional<std::string_view> talk() override;
  void consumed(std::size_t count) override;
  std::optional<std::uint8_t> serialPoll() override;
  void clear() override;
  bool requestingService() const override;
  double readyAt() const override { return readyAt_; }

  // Whether transactions take their time on the link (the default) or none at all.
  void setPaced(bool paced) { paced_ = paced; }
  bool paced() const { return paced_; }
  // The controller's response latency, seconds (0 to 10; other values are ignored).
  void setLatency(double seconds);
  double latency() const { return latency_; }
  // Seconds one transaction holds the serial link at `baud`: the request's bytes and the
  // silence of 3.5 characters after it, then the latency, the response's bytes and its silence,
  // or the response time-out when no answer comes (`responseBytes` none). RTU characters are 11
  // bits: start, 8 data, parity (or a second stop bit), stop.
  static double linkSeconds(int baud, std::size_t requestBytes,
                            std::optional<std::size_t> responseBytes, double latency);

  // Identity: the whole *IDN? reply line (without its line feed), or just the model in it.
  void setIdentity(std::string text);
  void setModel(const std::string& model);
  const std::string& identity() const { return identity_; }

  // Called with every Modbus transaction, as it went over the line.
  void setFrameListener(FrameListener listener) { listener_ = std::move(listener); }

  // Power off and on: settings saved by *SAV come back; with *PSC 1 the enable registers clear.
  void powerCycle();

  // Faults.
  void setSilent(bool silent) { silent_ = silent; }
  bool silent() const { return silent_; }
  // The next `count` transactions fail with `code` (what E? then answers).
  void failNextTransactions(int count, int code);
  // Transactions still to fail, and with what.
  int pendingFailures() const { return failCount_; }
  int pendingFailureCode() const { return failCode_; }
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
  // One transaction; the response PDU's data on success, nothing on failure.
  // The slave address the requests go to: one no slave can have goes out as 255, which no one
  // answers.
  std::uint8_t slave() const;
  std::optional<modbus::Bytes> transact(modbus::Bytes frame, std::size_t expectedLength);
  int judge(const modbus::Bytes& request, const modbus::Bytes& response,
            std::size_t expectedLength) const;
  std::optional<long> number(const std::string& text, long low, long high);
  void refreshService() { status_.update(!output_.empty()); }

  bus::Clock& clock_;
  WatlowF4& controller_;
  FrameListener listener_;
  // The serial link is busy with this message's transactions until then.
  double readyAt_ = 0;
  double latency_ = kDefaultLatency;
  bool paced_ = true;

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
  int failCount_ = 0;
  int failCode_ = 0;
  std::optional<std::string> nextReply_;
};

}  // namespace sim
