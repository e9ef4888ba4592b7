#pragma once

#include "Board.h"
#include "DeviceIo.h"

namespace simlibrary {

// The IEEE 488.2 routines on board 0: single-address and address-list forms of send, receive,
// clear, trigger, remote and local, serial and parallel polls, the bus's listeners, self-tests
// and reset. Addresses come as Addr and lists end at kNoAddr; each routine checks its board and
// addresses through the Board and leaves its outcome in the board's status. Those that address
// the board itself (SendDataBytes, RcvRespMsg, TriggerList's GET, SendIFC) go through DeviceIo.
class Routines4882 {
 public:
  Routines4882(Board& board, DeviceIo& io);

  void sendIfc(int board);
  void send(int board, Addr address, const char* data, long count, int endMode);
  void receive(int board, Addr address, char* buffer, long count, int termination);
  void devClear(int board, Addr address);
  void findLstn(int board, const Addr* pads, Addr* found, int limit);
  void readStatusByte(int board, Addr address, short* result);
  void sendList(int board, const Addr* list, const char* data, long count, int endMode);
  void sendDataBytes(int board, const char* data, long count, int endMode);
  void sendSetup(int board, const Addr* list);
  void receiveSetup(int board, Addr address);
  void rcvRespMsg(int board, char* buffer, long count, int termination);
  void devClearList(int board, const Addr* list);
  void enableRemote(int board, const Addr* list);
  void enableLocal(int board, const Addr* list);
  void setRwls(int board, const Addr* list);
  void trigger(int board, Addr address);
  void triggerList(int board, const Addr* list);
  void allSpoll(int board, const Addr* list, short* results);
  void findRqs(int board, const Addr* list, short* result);
  void waitSrq(int board, short* result);
  void testSys(int board, const Addr* list, short* results);
  void resetSys(int board, const Addr* list);
  void pPoll(int board, short* result);
  void pPollConfig(int board, Addr address, int line, int sense);
  void pPollUnconfig(int board, const Addr* list);
  // Local lockout to every device: the simulated devices keep no remote/local state.
  void sendLlo(int board);
  // Whether SRQ is asserted now (1) or not (0).
  void testSrq(int board, short* result);
  // The simulated board stays controller-in-charge: passing control fails with ECAP.
  void passControl(int board, Addr address);

 private:
  // Whether a device listens at every address; false with ENOL when one does not.
  bool allListen(const std::vector<int>& pads);

  Board& board_;
  DeviceIo& io_;
  sim::SimulatedBus& bus_;
};

}  // namespace simlibrary
