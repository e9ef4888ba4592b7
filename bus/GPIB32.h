#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Clock.h"
#include "Driver.h"
#include "Observer.h"

namespace bus {

// The bus as every window sees it: the driver wrappers with the status variables they refresh,
// the program-wide values, and the one send/receive path to the converter.
// One object lives as long as the program and is handed to each window.
class GPIB32 {
 public:
  GPIB32(Driver& driver, Clock& clock, Sound& sound, Observer* observer = nullptr);

  // Driver status variables, refreshed after every wrapped call.
  int ibsta = 0;  // 16-bit status word, held unsigned (ERR = 0x8000)
  int iberr = 0;
  std::int16_t ibcnt = 0;
  std::int32_t ibcntl = 0;

  // Program-wide values.
  std::int16_t BoardIndex = 0;
  std::int16_t ConverterAddr = 4;
  std::string InterfaceName;
  std::string ReplyBuf;
  std::string ErrorText;
  std::int16_t ModelNumber = 0;

  // Did the last wrapped call fail (ERR, bit 15 of ibsta)?
  bool failed() const { return (ibsta & ERR) != 0; }

  // Wrappers: one per driver entry point, each followed by GetIBVars.
  void ibonl(int unit, int value);
  void ibsre(int unit, int value);
  void ibtmo(int unit, int code);
  void SendIFC(int board);
  void DevClear(int board, int address);
  // Both lists hold 16-bit entries; resultList must have room for `limit` of them.
  void FindLstn(int board, const std::vector<std::int16_t>& addressList,
                std::vector<std::int16_t>& resultList, int limit);
  void ReadStatusByte(int board, int address, std::int16_t& result);
  // eotMode in the NI numbering the console's callers use: 0 none, 1 NLend, 2 DABend.
  void Send(int board, int address, const std::string& text, int eotMode);
  // Received bytes overwrite the start of `buffer`; the rest keeps its former characters.
  void Receive(int board, int address, std::string& buffer, long count, int termination);
  void GetIBVars();

  // Message exchange with the converter. Both act only while InterfaceName is "GPIB".
  void Send_msg(int board, int address, const std::string& line, int mode = 1);
  void Recv_msg(int board, int address, std::string& buffer, int count = 256);
  // A read without the interface gate: `buffer` becomes `count` blanks and up to `count`
  // bytes are read into it, stopping at EOI.
  void ReceiveDirect(int board, int address, std::string& buffer, long count);
  // Waits without handling any window event; sleeps rather than spins.
  void Delay(double seconds);

  // Replaces `label` by the report of the last failed call, copies it to ErrorText and takes
  // board 0 offline.
  void BusStatusReport(std::string& label);

  // The system beep.
  void Beep();

  Driver& driver() { return driver_; }
  Clock& clock() { return clock_; }
  Observer* observer() const { return observer_; }
  void setObserver(Observer* observer) { observer_ = observer; }

 private:
  // Refreshes the status variables and tells the observer of the call with the status it left.
  void called(Call call);
  // After a read that filled its buffer without reaching EOI, reads and drops the rest of
  // that reply so that the next exchange is not answered with stale bytes. The status
  // variables keep what the first read left.
  void discardRestOfReply(int board, int address, long count);

  Driver& driver_;
  Clock& clock_;
  Sound& sound_;
  Observer* observer_;
};

}  // namespace bus
