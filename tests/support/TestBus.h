#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "Driver.h"

namespace testing_support {

// A driver for tests: answers reads from a script of replies, reports listeners and a status
// byte as told, and fails chosen calls with chosen driver errors. Calls are recorded by the
// GPIB32 wrappers' observer, not here.
class TestBus final : public bus::Driver {
 public:
  // Queue the converter's next reply (bytes as sent, line feed included when wanted).
  void reply(const std::string& bytes) { replies_.push_back(bytes); }
  // The next call of `name` ("Send", "Receive", "SendIFC", ...) fails with `iberr`.
  void failNext(const std::string& name, int iberr, int extraBits = 0);
  // Every call of `name` fails until cleared.
  void failAlways(const std::string& name, int iberr, int extraBits = 0);
  void clearFailures() { failures_.clear(), always_.clear(); }

  std::vector<bus::Addr4882> listeners = {0, 4};
  std::int16_t statusByte = 0;
  size_t pendingReplies() const { return replies_.size(); }

  void ibonl(int, int) override { succeed("ibonl"); }
  void ibsre(int, int) override { succeed("ibsre"); }
  void ibtmo(int, int) override { succeed("ibtmo"); }
  void SendIFC(int) override { succeed("SendIFC"); }
  void DevClear(int, bus::Addr4882) override { succeed("DevClear"); }
  void FindLstn(int board, const bus::Addr4882* padList, bus::Addr4882* resultList,
                int limit) override;
  void ReadStatusByte(int board, bus::Addr4882 address, std::int16_t* result) override;
  void Send(int board, bus::Addr4882 address, const char* data, long count,
            bus::EotMode mode) override;
  void Receive(int board, bus::Addr4882 address, char* buffer, long count,
               int termination) override;
  bus::Status status() const override { return status_; }
  std::string describe() const override { return "test bus"; }

 private:
  struct Failure {
    int iberr;
    int extraBits;
  };
  // Fails the call when a failure is due for it; otherwise sets a success status.
  bool succeed(const std::string& name, int extraBits = 0, long count = 0);

  std::deque<std::string> replies_;
  std::map<std::string, std::deque<Failure>> failures_;
  std::map<std::string, Failure> always_;
  bus::Status status_;
};

}  // namespace testing_support
