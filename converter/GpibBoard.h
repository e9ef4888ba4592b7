#pragma once

#include <string>

#include "Clock.h"
#include "Device.h"
#include "Driver.h"

namespace converter {

// A GPIB bus with board 0 as controller-in-charge at primary address 0 and the devices a
// subclass places on it (deviceAt), driven through the same calls as a real board.
//
// Driver behaviour worth knowing:
// - ibtmo takes the NI time-out codes (0 none, 1 = 10 us ... 11 = 1 s ... 17 = 1000 s); a read
//   that times out lets exactly that much time pass on the clock. A read of a device whose
//   answer is not complete yet (Device::readyAt) waits for it first.
// - After ibonl(0, 0) the board is offline: every call but ibonl(0, 1) and SendIFC fails with
//   ERR and ENEB; SendIFC brings it back online.
// - Send, DevClear to an address where no device listens fail at once with ENOL. Receive and
//   ReadStatusByte from such an address wait for the time-out (the board itself listens, so
//   there is a listener) and fail with TIMO and EABO, as on real hardware.
// - Talking to or polling the board's own address fails with EADR.
class GpibBoard : public bus::Driver {
 public:
  static constexpr int kBoardAddress = 0;
  static constexpr int kDefaultTimeoutCode = 13;  // 10 s, a board's usual default

  explicit GpibBoard(bus::Clock& clock) : clock_(clock) {}

  void ibonl(int ud, int value) override;
  void ibsre(int ud, int value) override;
  void ibtmo(int ud, int code) override;
  void SendIFC(int board) override;
  void DevClear(int board, bus::Addr4882 address) override;
  void FindLstn(int board, const bus::Addr4882* padList, bus::Addr4882* resultList,
                int limit) override;
  void ReadStatusByte(int board, bus::Addr4882 address, std::int16_t* result) override;
  void Send(int board, bus::Addr4882 address, const char* data, long count,
            bus::EotMode mode) override;
  void Receive(int board, bus::Addr4882 address, char* buffer, long count,
               int termination) override;
  bus::Status status() const override { return status_; }

  // Receive with the termination byte compared on its low seven bits only when `sevenBitEos`
  // (linux-gpib's end-of-string match without BIN).
  void receive(int board, bus::Addr4882 address, char* buffer, long count, int termination,
               bool sevenBitEos);
  // Group execute trigger to one device: ENOL where nobody listens. The devices here have
  // nothing to trigger, so they take it without effect.
  void Trigger(int board, bus::Addr4882 address);
  // True where a device listens at `address`.
  bool listens(int address) const { return deviceAt(address) != nullptr; }
  // ibsta's bits of the board's own state (CIC, SRQI), as a call that does no I/O reports them.
  int baseStatus() const;
  // True while the device at `address` asserts SRQ; false where nobody is.
  bool requestingService(int address) const;
  // Sets the board's time-out without touching the status; false for an unknown code.
  bool setTimeoutCode(int code);

  // Seconds a time-out code stands for; negative for a code the driver does not know, 0 for
  // "no time-out".
  static double timeoutSeconds(int code);

  bool online() const { return online_; }
  bool remoteEnable() const { return ren_; }
  int timeoutCode() const { return timeoutCode_; }

 protected:
  // The device at `address` (1..30), nullptr where none listens.
  virtual const Device* deviceAt(int address) const = 0;
  Device* deviceAt(int address);
  // Universal device clear: every device the bus reaches.
  virtual void clearEveryDevice() = 0;
  // True while any device on the bus asserts SRQ.
  virtual bool serviceRequested() const = 0;

  bus::Clock& clock_;

 private:
  // The common entry checks: board number, online, address range.
  bool boardReady(int board);
  bool addressValid(int address);
  // The device that listens at a valid address; nullptr with the status set (EARG, EADR, ENOL)
  // when there is none.
  Device* listenerAt(int address);
  void succeed(int extra = 0, long count = 0);
  void fail(int error, int extra = 0, long count = 0);
  // Fails with TIMO once the time-out has passed, `waited` seconds of it already.
  void timeOut(long count = 0, double waited = 0);
  // Waits, within the time-out, for what `device` has to say to be complete; false when the
  // time-out came first. `waited` is the time it took.
  bool awaitReply(const Device& device, double& waited);
  void refuse(int error);

  bool online_ = true;
  bool ren_ = false;
  int timeoutCode_ = kDefaultTimeoutCode;
  bus::Status status_;
};

}  // namespace converter
