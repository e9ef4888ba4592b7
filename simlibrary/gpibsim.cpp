// The simulated bench behind linux-gpib's user API: the C entry points a linux-gpib client
// program links against, each one call on the one Bench of the process under one lock. The
// status of a call goes to the calling thread's own status (the Thread* functions) and, as
// linux-gpib does, to the shared ibsta, iberr, ibcnt and ibcntl.

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "Bench.h"
#include "BenchSettings.h"

#define GPIBSIM_VISIBLE __attribute__((visibility("default")))
#define GPIBSIM_EXPORT extern "C" GPIBSIM_VISIBLE

namespace {

using simlibrary::Addr;

struct Simulator {
  Simulator() {
    const std::string problem = simlibrary::applyEnvironment(
        bench.bus(), [](const char* name) { return std::getenv(name); });
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
  }
  simlibrary::Bench bench;
  std::mutex mutex;
};

Simulator& simulator() {
  static Simulator instance;
  return instance;
}

thread_local bus::Status threadStatus;

}  // namespace

extern "C" {
GPIBSIM_VISIBLE volatile int ibsta = 0;
GPIBSIM_VISIBLE volatile int iberr = 0;
GPIBSIM_VISIBLE volatile int ibcnt = 0;
GPIBSIM_VISIBLE volatile long ibcntl = 0;
}

namespace {

// Runs one call on the bench and publishes its outcome; the call's own result, if any.
template <typename Call>
auto run(Call&& body) {
  Simulator& s = simulator();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.bench.begin();
  auto result = body(s.bench);
  threadStatus = s.bench.status();
  ibsta = threadStatus.ibsta;
  iberr = threadStatus.iberr;
  ibcnt = threadStatus.ibcnt;
  ibcntl = threadStatus.ibcntl;
  return result;
}

// A call whose result is ibsta.
template <typename Call>
int call(Call&& body) {
  return run([&](simlibrary::Bench& bench) {
    body(bench);
    return bench.status().ibsta;
  });
}

const char* bytes(const void* data) { return static_cast<const char*>(data); }
char* bytes(void* data) { return static_cast<char*>(data); }

}  // namespace

// ---- device and board calls ------------------------------------------------------------------

GPIBSIM_EXPORT int ibdev(int board, int pad, int sad, int timeout, int eot, int eos) {
  return run([&](simlibrary::Bench& b) { return b.ibdev(board, pad, sad, timeout, eot, eos); });
}
GPIBSIM_EXPORT int ibfind(const char* name) {
  return run([&](simlibrary::Bench& b) { return b.ibfind(name ? name : ""); });
}
GPIBSIM_EXPORT int ibwrt(int ud, const void* data, long count) {
  return call([&](simlibrary::Bench& b) { b.ibwrt(ud, bytes(data), count); });
}
GPIBSIM_EXPORT int ibrd(int ud, void* buffer, long count) {
  return call([&](simlibrary::Bench& b) { b.ibrd(ud, bytes(buffer), count); });
}
// The asynchronous forms complete before they return; ibwait then finds CMPL at once.
GPIBSIM_EXPORT int ibwrta(int ud, const void* data, long count) { return ibwrt(ud, data, count); }
GPIBSIM_EXPORT int ibrda(int ud, void* buffer, long count) { return ibrd(ud, buffer, count); }
GPIBSIM_EXPORT int ibcmd(int ud, const void* commands, long count) {
  return call([&](simlibrary::Bench& b) { b.ibcmd(ud, bytes(commands), count); });
}
GPIBSIM_EXPORT int ibclr(int ud) {
  return call([&](simlibrary::Bench& b) { b.ibclr(ud); });
}
GPIBSIM_EXPORT int ibrsp(int ud, char* result) {
  return call([&](simlibrary::Bench& b) { b.ibrsp(ud, result); });
}
GPIBSIM_EXPORT int ibtrg(int ud) {
  return call([&](simlibrary::Bench& b) { b.ibtrg(ud); });
}
GPIBSIM_EXPORT int ibloc(int ud) {
  return call([&](simlibrary::Bench& b) { b.ibloc(ud); });
}
GPIBSIM_EXPORT int ibonl(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibonl(ud, value); });
}
GPIBSIM_EXPORT int ibtmo(int ud, int code) {
  return call([&](simlibrary::Bench& b) { b.ibtmo(ud, code); });
}
GPIBSIM_EXPORT int ibeos(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibeos(ud, value); });
}
GPIBSIM_EXPORT int ibeot(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibeot(ud, value); });
}
GPIBSIM_EXPORT int ibpad(int ud, int pad) {
  return call([&](simlibrary::Bench& b) { b.ibpad(ud, pad); });
}
GPIBSIM_EXPORT int ibsad(int ud, int sad) {
  return call([&](simlibrary::Bench& b) { b.ibsad(ud, sad); });
}
GPIBSIM_EXPORT int ibsre(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibsre(ud, value); });
}
GPIBSIM_EXPORT int ibsic(int ud) {
  return call([&](simlibrary::Bench& b) { b.ibsic(ud); });
}
GPIBSIM_EXPORT int ibln(int ud, int pad, int sad, short* found) {
  return call([&](simlibrary::Bench& b) { b.ibln(ud, pad, sad, found); });
}
GPIBSIM_EXPORT int ibconfig(int ud, int option, int value) {
  return call([&](simlibrary::Bench& b) { b.ibconfig(ud, option, value); });
}
GPIBSIM_EXPORT int ibask(int ud, int option, int* value) {
  return call([&](simlibrary::Bench& b) { b.ibask(ud, option, value); });
}
GPIBSIM_EXPORT int ibwait(int ud, int mask) {
  return call([&](simlibrary::Bench& b) { b.ibwait(ud, mask); });
}
GPIBSIM_EXPORT int iblines(int ud, short* lines) {
  return call([&](simlibrary::Bench& b) { b.iblines(ud, lines); });
}
GPIBSIM_EXPORT int ibist(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibist(ud, value); });
}
GPIBSIM_EXPORT int ibrsc(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibrsc(ud, value); });
}
GPIBSIM_EXPORT int ibgts(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibgts(ud, value); });
}
GPIBSIM_EXPORT int ibcac(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibcac(ud, value); });
}
GPIBSIM_EXPORT int ibppc(int ud, int value) {
  return call([&](simlibrary::Bench& b) { b.ibppc(ud, value); });
}
GPIBSIM_EXPORT int ibrpp(int ud, char* result) {
  return call([&](simlibrary::Bench& b) { b.ibrpp(ud, result); });
}
GPIBSIM_EXPORT void ibvers(char** version) {
  // The linux-gpib release whose interface this library follows.
  static char text[] = "4.3.6";
  if (version) *version = text;
}

// ---- 488.2 routines --------------------------------------------------------------------------

GPIBSIM_EXPORT void SendIFC(int board) {
  call([&](simlibrary::Bench& b) { b.sendIfc(board); });
}
GPIBSIM_EXPORT void DevClear(int board, Addr address) {
  call([&](simlibrary::Bench& b) { b.devClear(board, address); });
}
GPIBSIM_EXPORT void DevClearList(int board, const Addr* list) {
  call([&](simlibrary::Bench& b) { b.devClearList(board, list); });
}
GPIBSIM_EXPORT void FindLstn(int board, const Addr* pads, Addr* found, int limit) {
  call([&](simlibrary::Bench& b) { b.findLstn(board, pads, found, limit); });
}
GPIBSIM_EXPORT void ReadStatusByte(int board, Addr address, short* result) {
  call([&](simlibrary::Bench& b) { b.readStatusByte(board, address, result); });
}
GPIBSIM_EXPORT void Send(int board, Addr address, const void* data, long count, int endMode) {
  call([&](simlibrary::Bench& b) { b.send(board, address, bytes(data), count, endMode); });
}
GPIBSIM_EXPORT void Receive(int board, Addr address, void* buffer, long count, int termination) {
  call([&](simlibrary::Bench& b) { b.receive(board, address, bytes(buffer), count, termination); });
}
GPIBSIM_EXPORT void SendList(int board, const Addr* list, const void* data, long count,
                             int endMode) {
  call([&](simlibrary::Bench& b) { b.sendList(board, list, bytes(data), count, endMode); });
}
GPIBSIM_EXPORT void SendCmds(int board, const void* commands, long count) {
  call([&](simlibrary::Bench& b) {
    if (board == 0) b.ibcmd(0, bytes(commands), count);
    else b.sendIfc(board);  // no such board: ENEB as every routine gives it
  });
}
GPIBSIM_EXPORT void SendDataBytes(int board, const void* data, long count, int endMode) {
  call([&](simlibrary::Bench& b) { b.sendDataBytes(board, bytes(data), count, endMode); });
}
GPIBSIM_EXPORT void SendSetup(int board, const Addr* list) {
  call([&](simlibrary::Bench& b) { b.sendSetup(board, list); });
}
GPIBSIM_EXPORT void ReceiveSetup(int board, Addr address) {
  call([&](simlibrary::Bench& b) { b.receiveSetup(board, address); });
}
GPIBSIM_EXPORT void RcvRespMsg(int board, void* buffer, long count, int termination) {
  call([&](simlibrary::Bench& b) { b.rcvRespMsg(board, bytes(buffer), count, termination); });
}
GPIBSIM_EXPORT void EnableRemote(int board, const Addr* list) {
  call([&](simlibrary::Bench& b) { b.enableRemote(board, list); });
}
GPIBSIM_EXPORT void EnableLocal(int board, const Addr* list) {
  call([&](simlibrary::Bench& b) { b.enableLocal(board, list); });
}
GPIBSIM_EXPORT void SetRWLS(int board, const Addr* list) {
  call([&](simlibrary::Bench& b) { b.setRwls(board, list); });
}
GPIBSIM_EXPORT void Trigger(int board, Addr address) {
  call([&](simlibrary::Bench& b) { b.trigger(board, address); });
}
GPIBSIM_EXPORT void TriggerList(int board, const Addr* list) {
  call([&](simlibrary::Bench& b) { b.triggerList(board, list); });
}
GPIBSIM_EXPORT void AllSpoll(int board, const Addr* list, short* results) {
  call([&](simlibrary::Bench& b) { b.allSpoll(board, list, results); });
}
GPIBSIM_EXPORT void FindRQS(int board, const Addr* list, short* result) {
  call([&](simlibrary::Bench& b) { b.findRqs(board, list, result); });
}
GPIBSIM_EXPORT void WaitSRQ(int board, short* result) {
  call([&](simlibrary::Bench& b) { b.waitSrq(board, result); });
}
GPIBSIM_EXPORT void TestSys(int board, const Addr* list, short* results) {
  call([&](simlibrary::Bench& b) { b.testSys(board, list, results); });
}
GPIBSIM_EXPORT void ResetSys(int board, const Addr* list) {
  call([&](simlibrary::Bench& b) { b.resetSys(board, list); });
}
GPIBSIM_EXPORT void PPoll(int board, short* result) {
  call([&](simlibrary::Bench& b) { b.pPoll(board, result); });
}
GPIBSIM_EXPORT void PPollConfig(int board, Addr address, int line, int sense) {
  call([&](simlibrary::Bench& b) { b.pPollConfig(board, address, line, sense); });
}
GPIBSIM_EXPORT void PPollUnconfig(int board, const Addr* list) {
  call([&](simlibrary::Bench& b) { b.pPollUnconfig(board, list); });
}

// ---- status ----------------------------------------------------------------------------------

GPIBSIM_EXPORT int ThreadIbsta(void) { return threadStatus.ibsta; }
GPIBSIM_EXPORT int ThreadIberr(void) { return threadStatus.iberr; }
GPIBSIM_EXPORT int ThreadIbcnt(void) { return threadStatus.ibcnt; }
GPIBSIM_EXPORT long ThreadIbcntl(void) { return threadStatus.ibcntl; }

GPIBSIM_EXPORT const char* gpib_error_string(int error) {
  // linux-gpib's own wording, numbered as iberr is.
  static const char* const kTexts[] = {
      "EDVR 0: OS error",
      "ECIC 1: Board not controller in charge",
      "ENOL 2: No listeners",
      "EADR 3: Improper addressing",
      "EARG 4: Bad argument",
      "ESAC 5: Board not system controller",
      "EABO 6: Operation aborted",
      "ENEB 7: Non-existant board",
      "EDMA 8: DMA error",
      "libgpib: Unknown error code 9",
      "EOIP 10: IO operation in progress",
      "ECAP 11: Capability does not exist",
      "EFSO 12: File system error",
      "libgpib: Unknown error code 13",
      "EBUS 14: Bus error",
      "ESTB 15: Lost status byte",
      "ESRQ 16: Stuck service request",
      "libgpib: Unknown error code 17",
      "libgpib: Unknown error code 18",
      "libgpib: Unknown error code 19",
      "ETAB 20: Table problem",
  };
  if (error < 0 || error >= static_cast<int>(sizeof kTexts / sizeof kTexts[0]))
    return "libgpib: Unknown error code";
  return kTexts[error];
}
