#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace converter {

// A device on the simulated GPIB bus, as the controller-in-charge sees it.
class Device {
 public:
  virtual ~Device() = default;

  // Data bytes addressed to the device; `eoi` when the last one carried EOI.
  virtual void listen(std::string_view bytes, bool eoi) = 0;
  // The device has been addressed to talk. Returns what it has to say (the last byte carries
  // EOI). Nothing when it has nothing to say: the controller's read times out. An empty text
  // is an answer without data: the read ends at once with END and no bytes.
  virtual std::optional<std::string_view> talk() = 0;
  // The controller took the first `count` bytes of what talk() offered.
  virtual void consumed(std::size_t count) = 0;
  // Serial poll: the status byte, RQS reported once per request. Nothing when it does not answer.
  virtual std::optional<std::uint8_t> serialPoll() = 0;
  // Selected device clear.
  virtual void clear() = 0;
  // True while the device holds SRQ asserted.
  virtual bool requestingService() const = 0;
  // Clock time at which what the device has to say is complete; a read addressed to it before
  // then waits. At once for a device that answers from what it holds.
  virtual double readyAt() const { return 0; }
};

// The IEEE 488.2 event and status registers every such instrument keeps.
class StatusModel {
 public:
  enum EsrBit : std::uint8_t { OPC = 1, QYE = 4, DDE = 8, EXE = 16, CME = 32, PON = 128 };
  enum StbBit : std::uint8_t { MAV = 16, ESB = 32, MSS = 64 };

  void setEvent(std::uint8_t bits) { esr_ |= bits; }
  std::uint8_t takeEsr() {
    const std::uint8_t value = esr_;
    esr_ = 0;
    return value;
  }
  std::uint8_t esr() const { return esr_; }
  void clearEvents() { esr_ = 0; }

  std::uint8_t ese = 0;
  // Bit 6 of the service request enable is not settable.
  std::uint8_t sre() const { return sre_; }
  void setSre(std::uint8_t value) { sre_ = value & static_cast<std::uint8_t>(~MSS); }

  // Status byte without MSS, given whether a reply waits in the output queue.
  std::uint8_t summary(bool messageAvailable) const {
    std::uint8_t stb = 0;
    if (messageAvailable) stb |= MAV;
    if (esr_ & ese) stb |= ESB;
    return stb;
  }
  // *STB? value: MSS is the live summary of the enabled bits.
  std::uint8_t stb(bool messageAvailable) const {
    const std::uint8_t stb = summary(messageAvailable);
    return (stb & sre_) ? stb | MSS : stb;
  }

  // Re-evaluates the request for service; a new reason raises RQS (and SRQ) again.
  void update(bool messageAvailable) {
    const bool want = (summary(messageAvailable) & sre_) != 0;
    if (want && !wanted_) rqs_ = true;
    if (!want) rqs_ = false;
    wanted_ = want;
  }
  bool rqs() const { return rqs_; }
  // A serial poll reports RQS once and clears it; SRQ drops with it.
  std::uint8_t poll(bool messageAvailable) {
    std::uint8_t value = summary(messageAvailable);
    if (rqs_) value |= MSS;
    rqs_ = false;
    return value;
  }

 private:
  std::uint8_t esr_ = 0;
  std::uint8_t sre_ = 0;
  bool wanted_ = false;
  bool rqs_ = false;
};

}  // namespace converter
