#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Driver.h"
#include "Link.h"
#include "Protocol.h"

namespace prologix {

// The GPIB driver through a Prologix-protocol adapter (Prologix GPIB-USB or GPIB-ETHERNET,
// AR488) in controller mode, on a serial port or a TCP connection.
//
// - The adapter is board 0 at address 0; devices are 1 to 30.
// - Each call waits at most the time-out in force (ibtmo) for the adapter; a reply that does not
//   come in time leaves ERR, TIMO and EABO.
// - A reply ends where the adapter marks the device's EOI (`++eot_enable`, kEndMark), so that
//   replies holding line feeds are read whole; on an adapter without the mark, at its line feed
//   (the converter ends every reply with one). A reply longer than the caller's buffer is read
//   on by the next Receive from the same address, as with a real board.
// - Connecting asks `++ver` until the adapter answers, for up to 2 s: one that restarts when its
//   port opens gets the time to start.
// - The adapter cannot see whether a device listens, so Send never fails with ENOL; the
//   missing reply shows as a time-out. After a read or poll that timed out, the adapter is
//   asked `++ver`: one that does not answer that either is lost (EDVR), not the instrument.
// - An adapter that cannot be reached, does not answer or goes away leaves ERR and EDVR, and
//   problem() says why. SendIFC and ibonl(0, 1) connect again.
class PrologixDriver final : public bus::Driver {
 public:
  explicit PrologixDriver(std::unique_ptr<Link> link);

  // Opens the link and sets the adapter up; false (and problem()) when it does not answer.
  bool connect();
  const std::string& version() const { return version_; }
  Flavour flavour() const { return session_.flavour; }

  // Told once each time the adapter is lost or cannot be reached: the problem line.
  std::function<void(const std::string&)> onProblem;
  // What the driver did that the calls do not show (how it searched for listeners, a
  // connection made or lost), for the trace.
  std::function<void(const std::string&)> onNote;

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
  std::string describe() const override;
  std::string problem() const override { return problem_; }

 private:
  enum class Line { Arrived, Late, Lost };

  // The common entry checks; `reconnect` lets the call bring a lost adapter back.
  bool ready(int board, bool reconnect = false);
  bool deviceAddress(int address);
  Deadline deadline() const;
  bool write(const std::vector<std::string>& lines, Deadline until);
  // Reads until `pending_` holds a line feed, or `limit` bytes, or the deadline passes.
  Line readUntilLineFeed(Deadline until, size_t limit = SIZE_MAX);
  // Takes the first line out of pending_ (without CR LF).
  std::string takeLine();
  // Whatever is left of an earlier reply is stale once the adapter is told something new.
  void dropStaleReply();
  // Reads until pending_ holds what a read of `room` bytes hands out, or the deadline passes.
  Line readReply(Deadline until, size_t room);
  // Sends `lines` and takes the adapter's one-line answer to them (without CR LF).
  Line ask(const std::vector<std::string>& lines, Deadline until, std::string& answer);
  // After a time-out: whether the adapter still answers; if not it is lost.
  bool adapterAnswers();
  // The link failed: every call fails with EDVR until a reconnect; said once.
  void lose(const char* how = "lost: ");
  // The same for a reason of the driver's own (the link's problem when `why` is empty).
  void giveUp(const std::string& why, const char* how = "lost: ");
  void listenersByPolling(const bus::Addr4882* padList, std::vector<int>& found, Deadline until);
  void note(const std::string& text) const;

  std::unique_ptr<Link> link_;
  Session session_;
  std::string version_;
  std::string problem_;
  bool online_ = true;
  int timeoutCode_ = 13;  // 10 s, a board's usual default
  // Bytes of a reply not yet handed out; replyOpen_ while its line feed is still to come.
  std::string pending_;
  bool replyOpen_ = false;
  int replyAddress_ = -1;
  bus::Status status_;
};

}  // namespace prologix
