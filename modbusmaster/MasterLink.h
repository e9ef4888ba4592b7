#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "MasterFraming.h"
#include "ModbusLink.h"

struct _modbus;

namespace modbusmaster {

// The converter's Modbus link to a real controller, through Debian's libmodbus: Modbus RTU on a
// serial device (a USB-to-RS-485 cable) or Modbus TCP to a gateway or a controller that speaks
// it. The converter hands RTU frames in and gets RTU frames back whatever the transport: on TCP
// the MBAP header replaces the slave address and the CRC on the way out, and the answer comes
// back as unit, PDU and a CRC computed here, so the monitor decodes it like any other.
//
// - No transaction waits longer than the converter's response time-out (0.5 s from the end of
//   the request, kResponseTimeout) for the answer's first byte; an answer that pauses longer
//   than the frame's silence (plus 20 ms a USB adapter may add) is cut short there. Nothing
//   that came in time: no answer (the converter's error 101).
// - RTU: 3.5 characters of silence (1.75 ms above 19200 baud) before each request; a broadcast
//   write waits for no answer; after a failed transaction whatever is still arriving is dropped,
//   so that a late answer is not taken for the next request's.
// - No request is sent twice: a write that went out may have been carried out. A TCP connection
//   is closed after a time-out (its late answer dies with it) and opened again for the next
//   request, as is a link that was lost or could not be opened; that opening waits at most the
//   response time-out.
// - A serial port another program holds (its lock, or an exclusive open) is not used.
class MasterLink final : public modbus::Link {
 public:
  static constexpr double kResponseTimeout = 0.5;
  static constexpr int kDefaultTcpPort = 502;
  // What the converter's error register says for an answer that arrived damaged (on RTU a bad
  // CRC; on TCP a header that does not fit the request).
  static constexpr int kDamaged = 100;

  static std::unique_ptr<MasterLink> rtu(const std::string& device, const PortSettings& port);
  static std::unique_ptr<MasterLink> tcp(const std::string& host, int port = kDefaultTcpPort);
  ~MasterLink() override;

  // Opens the port or connects now; false, with problem() saying why, when it cannot.
  bool open();
  bool isOpen() const { return context_ != nullptr && open_; }

  modbus::Reply transact(const modbus::Bytes& request) override;
  // On RTU the converter's baud rate becomes the port's (the port opens again); on TCP the
  // gateway's own serial settings apply, and nothing changes here.
  void setSerial(const modbus::SerialSettings& settings) override;
  // "Modbus RTU /dev/ttyUSB0 at 9600 baud 8N1", "Modbus TCP 127.0.0.1:502"
  std::string describe() const override;
  // Why the link is down; empty while it works.
  const std::string& problem() const { return problem_; }

  // Told when the link opens, cannot be opened, or is lost: "connected: ...", "cannot open: ...
  // (reason)", "lost: ... (reason)"; each once, until the link's state changes again.
  std::function<void(const std::string&)> onNote;

 private:
  MasterLink(bool serial, std::string where, PortSettings port, int tcpPort);
  bool create();
  void close();
  bool lockPort();
  // The link stopped working for `why`: closed, said once.
  void lose(const std::string& why);
  void note(const std::string& text);
  void waitForSilence();
  void setTimeouts(double response, double byte);
  modbus::Reply receiveRtu();
  modbus::Reply receiveTcp(const modbus::Bytes& request);

  bool serial_;
  std::string where_;  // the device, or the host
  PortSettings port_;
  int tcpPort_;
  _modbus* context_ = nullptr;
  bool open_ = false;
  std::string lockFile_;  // the lock file taken for the serial port, to be removed with it
  std::string problem_;
  std::string lastNote_;
  std::chrono::steady_clock::time_point quietFrom_{};
};

// The link `--modbus TARGET` names: a serial device (a path starting with /) or HOST[:PORT].
std::unique_ptr<MasterLink> linkFor(const std::string& target, const PortSettings& port,
                                    std::string& problem);

}  // namespace modbusmaster
