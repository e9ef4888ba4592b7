// The simulated bench behind linux-gpib's user API: the C entry points a linux-gpib client
// program links against, each one call under one lock on the process's one simulated Board,
// through the part that carries it out (DeviceIo, Routines4882, Configuration, or the Board's
// own descriptor table). The status of a call goes to the calling thread's own status (the
// Thread* functions) and, as linux-gpib does, to the shared ibsta, iberr, ibcnt and ibcntl.
// A new entry point is named under the version node in libgpib.map, defined here through
// call() or run(), and carried out by the class of its kind.

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <mutex>

#include "Board.h"
#include "Configuration.h"
#include "DeviceIo.h"
#include "EnvironmentSettings.h"
#include "Routines4882.h"

#define GPIBSIM_VISIBLE __attribute__((visibility("default")))
#define GPIBSIM_EXPORT extern "C" GPIBSIM_VISIBLE

namespace {

using simlibrary::Addr;

// The process's one simulated board, set up from the GPIBSIM_* variables, and the parts that
// carry out calls on it.
struct Simulator {
  Simulator() {
    const std::string problem = simlibrary::applyEnvironment(
        board.bus(), [](const char* name) { return std::getenv(name); });
    if (!problem.empty()) std::fprintf(stderr, "%s\n", problem.c_str());
  }
  simlibrary::Board board;
  simlibrary::DeviceIo io{board};
  simlibrary::Routines4882 routines{board, io};
  simlibrary::Configuration configuration{board};
  std::mutex mutex;
};

Simulator& simulator() {
  static Simulator instance;
  return instance;
}

thread_local bus::Status threadStatus;
// The outcome of the thread's last asynchronous call (ibrda, ibwrta, ibcmda), which has always
// completed by the time it returns.
thread_local bus::Status asyncStatus;

}  // namespace

extern "C" {
GPIBSIM_VISIBLE volatile int ibsta = 0;
GPIBSIM_VISIBLE volatile int iberr = 0;
GPIBSIM_VISIBLE volatile int ibcnt = 0;
GPIBSIM_VISIBLE volatile long ibcntl = 0;
}

namespace {

// Runs one call on the simulator and publishes its outcome; the call's own result, if any.
template <typename Call>
auto run(Call&& body) {
  Simulator& s = simulator();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.board.begin();
  auto result = body(s);
  threadStatus = s.board.status();
  ibsta = threadStatus.ibsta;
  iberr = threadStatus.iberr;
  ibcnt = threadStatus.ibcnt;
  ibcntl = threadStatus.ibcntl;
  return result;
}

// A call whose result is ibsta.
template <typename Call>
int call(Call&& body) {
  return run([&](Simulator& s) {
    body(s);
    return s.board.status().ibsta;
  });
}

const char* bytes(const void* data) { return static_cast<const char*>(data); }
char* bytes(void* data) { return static_cast<char*>(data); }

}  // namespace

// ---- device and board calls ------------------------------------------------------------------

GPIBSIM_EXPORT int ibdev(int board, int pad, int sad, int timeout, int eot, int eos) {
  return run([&](Simulator& s) { return s.board.ibdev(board, pad, sad, timeout, eot, eos); });
}
GPIBSIM_EXPORT int ibfind(const char* name) {
  return run([&](Simulator& s) { return s.board.ibfind(name ? name : ""); });
}
GPIBSIM_EXPORT int ibwrt(int ud, const void* data, long count) {
  return call([&](Simulator& s) { s.io.ibwrt(ud, bytes(data), count); });
}
GPIBSIM_EXPORT int ibrd(int ud, void* buffer, long count) {
  return call([&](Simulator& s) { s.io.ibrd(ud, bytes(buffer), count); });
}
GPIBSIM_EXPORT int ibwrtf(int ud, const char* path) {
  return call([&](Simulator& s) { s.io.ibwrtf(ud, path); });
}
GPIBSIM_EXPORT int ibrdf(int ud, const char* path) {
  return call([&](Simulator& s) { s.io.ibrdf(ud, path); });
}
GPIBSIM_EXPORT int ibcmd(int ud, const void* commands, long count) {
  return call([&](Simulator& s) { s.io.ibcmd(ud, bytes(commands), count); });
}
// The asynchronous forms complete before they return; ibwait then finds CMPL at once, and
// the Async* functions tell their outcome.
GPIBSIM_EXPORT int ibwrta(int ud, const void* data, long count) {
  const int result = ibwrt(ud, data, count);
  asyncStatus = threadStatus;
  return result;
}
GPIBSIM_EXPORT int ibrda(int ud, void* buffer, long count) {
  const int result = ibrd(ud, buffer, count);
  asyncStatus = threadStatus;
  return result;
}
GPIBSIM_EXPORT int ibcmda(int ud, const void* commands, long count) {
  const int result = ibcmd(ud, commands, count);
  asyncStatus = threadStatus;
  return result;
}
GPIBSIM_EXPORT int ibstop(int ud) {
  return call([&](Simulator& s) { s.io.ibstop(ud); });
}
GPIBSIM_EXPORT int ibclr(int ud) {
  return call([&](Simulator& s) { s.io.ibclr(ud); });
}
GPIBSIM_EXPORT int ibrsp(int ud, char* result) {
  return call([&](Simulator& s) { s.io.ibrsp(ud, result); });
}
GPIBSIM_EXPORT int ibtrg(int ud) {
  return call([&](Simulator& s) { s.io.ibtrg(ud); });
}
GPIBSIM_EXPORT int ibloc(int ud) {
  return call([&](Simulator& s) { s.io.ibloc(ud); });
}
GPIBSIM_EXPORT int ibonl(int ud, int value) {
  return call([&](Simulator& s) { s.board.ibonl(ud, value); });
}
GPIBSIM_EXPORT int ibtmo(int ud, int code) {
  return call([&](Simulator& s) { s.configuration.ibtmo(ud, code); });
}
GPIBSIM_EXPORT int ibeos(int ud, int value) {
  return call([&](Simulator& s) { s.configuration.ibeos(ud, value); });
}
GPIBSIM_EXPORT int ibeot(int ud, int value) {
  return call([&](Simulator& s) { s.configuration.ibeot(ud, value); });
}
GPIBSIM_EXPORT int ibpad(int ud, int pad) {
  return call([&](Simulator& s) { s.configuration.ibpad(ud, pad); });
}
GPIBSIM_EXPORT int ibsad(int ud, int sad) {
  return call([&](Simulator& s) { s.configuration.ibsad(ud, sad); });
}
GPIBSIM_EXPORT int ibsre(int ud, int value) {
  return call([&](Simulator& s) { s.configuration.ibsre(ud, value); });
}
GPIBSIM_EXPORT int ibsic(int ud) {
  return call([&](Simulator& s) { s.io.ibsic(ud); });
}
GPIBSIM_EXPORT int ibln(int ud, int pad, int sad, short* found) {
  return call([&](Simulator& s) { s.io.ibln(ud, pad, sad, found); });
}
GPIBSIM_EXPORT int ibconfig(int ud, int option, int value) {
  return call([&](Simulator& s) { s.configuration.ibconfig(ud, option, value); });
}
GPIBSIM_EXPORT int ibask(int ud, int option, int* value) {
  return call([&](Simulator& s) { s.configuration.ibask(ud, option, value); });
}
GPIBSIM_EXPORT int ibwait(int ud, int mask) {
  return call([&](Simulator& s) { s.io.ibwait(ud, mask); });
}
GPIBSIM_EXPORT int iblines(int ud, short* lines) {
  return call([&](Simulator& s) { s.io.iblines(ud, lines); });
}
GPIBSIM_EXPORT int ibist(int ud, int value) {
  return call([&](Simulator& s) { s.configuration.ibist(ud, value); });
}
GPIBSIM_EXPORT int ibrsc(int ud, int value) {
  return call([&](Simulator& s) { s.configuration.ibrsc(ud, value); });
}
GPIBSIM_EXPORT int ibgts(int ud, int value) {
  return call([&](Simulator& s) { s.io.ibgts(ud, value); });
}
GPIBSIM_EXPORT int ibcac(int ud, int value) {
  return call([&](Simulator& s) { s.io.ibcac(ud, value); });
}
GPIBSIM_EXPORT int ibppc(int ud, int value) {
  return call([&](Simulator& s) { s.configuration.ibppc(ud, value); });
}
GPIBSIM_EXPORT int ibrpp(int ud, char* result) {
  return call([&](Simulator& s) { s.io.ibrpp(ud, result); });
}
GPIBSIM_EXPORT int ibspb(int ud, short* result) {
  return call([&](Simulator& s) { s.io.ibspb(ud, result); });
}
GPIBSIM_EXPORT int ibrsv(int ud, int statusByte) {
  return call([&](Simulator& s) { s.configuration.ibrsv(ud, statusByte); });
}
GPIBSIM_EXPORT int ibrsv2(int ud, int statusByte, int /*newReasonForService*/) {
  return ibrsv(ud, statusByte);
}
GPIBSIM_EXPORT int ibdma(int ud, int value) {
  return call([&](Simulator& s) { s.configuration.ibdma(ud, value); });
}
GPIBSIM_EXPORT int ibbna(int ud, const char* name) {
  return call([&](Simulator& s) { s.configuration.ibbna(ud, name); });
}
GPIBSIM_EXPORT int ibevent(int ud, short* event) {
  return call([&](Simulator& s) { s.io.ibevent(ud, event); });
}
GPIBSIM_EXPORT int ibpct(int ud) {
  return call([&](Simulator& s) { s.io.ibpct(ud); });
}
GPIBSIM_EXPORT void ibvers(char** version) {
  // The linux-gpib release whose interface this library follows.
  static char text[] = "4.3.6";
  if (version) *version = text;
}

// ---- 488.2 routines --------------------------------------------------------------------------

GPIBSIM_EXPORT void SendIFC(int board) {
  call([&](Simulator& s) { s.routines.sendIfc(board); });
}
GPIBSIM_EXPORT void DevClear(int board, Addr address) {
  call([&](Simulator& s) { s.routines.devClear(board, address); });
}
GPIBSIM_EXPORT void DevClearList(int board, const Addr* list) {
  call([&](Simulator& s) { s.routines.devClearList(board, list); });
}
GPIBSIM_EXPORT void FindLstn(int board, const Addr* pads, Addr* found, int limit) {
  call([&](Simulator& s) { s.routines.findLstn(board, pads, found, limit); });
}
GPIBSIM_EXPORT void ReadStatusByte(int board, Addr address, short* result) {
  call([&](Simulator& s) { s.routines.readStatusByte(board, address, result); });
}
GPIBSIM_EXPORT void Send(int board, Addr address, const void* data, long count, int endMode) {
  call([&](Simulator& s) { s.routines.send(board, address, bytes(data), count, endMode); });
}
GPIBSIM_EXPORT void Receive(int board, Addr address, void* buffer, long count, int termination) {
  call(
      [&](Simulator& s) { s.routines.receive(board, address, bytes(buffer), count, termination); });
}
GPIBSIM_EXPORT void SendList(int board, const Addr* list, const void* data, long count,
                             int endMode) {
  call([&](Simulator& s) { s.routines.sendList(board, list, bytes(data), count, endMode); });
}
GPIBSIM_EXPORT void SendCmds(int board, const void* commands, long count) {
  call([&](Simulator& s) {
    if (board == 0) {
      s.io.ibcmd(0, bytes(commands), count);
    } else {
      s.routines.sendIfc(board);  // no such board: ENEB as every routine gives it
    }
  });
}
GPIBSIM_EXPORT void SendDataBytes(int board, const void* data, long count, int endMode) {
  call([&](Simulator& s) { s.routines.sendDataBytes(board, bytes(data), count, endMode); });
}
GPIBSIM_EXPORT void SendSetup(int board, const Addr* list) {
  call([&](Simulator& s) { s.routines.sendSetup(board, list); });
}
GPIBSIM_EXPORT void ReceiveSetup(int board, Addr address) {
  call([&](Simulator& s) { s.routines.receiveSetup(board, address); });
}
GPIBSIM_EXPORT void RcvRespMsg(int board, void* buffer, long count, int termination) {
  call([&](Simulator& s) { s.routines.rcvRespMsg(board, bytes(buffer), count, termination); });
}
GPIBSIM_EXPORT void EnableRemote(int board, const Addr* list) {
  call([&](Simulator& s) { s.routines.enableRemote(board, list); });
}
GPIBSIM_EXPORT void EnableLocal(int board, const Addr* list) {
  call([&](Simulator& s) { s.routines.enableLocal(board, list); });
}
GPIBSIM_EXPORT void SetRWLS(int board, const Addr* list) {
  call([&](Simulator& s) { s.routines.setRwls(board, list); });
}
GPIBSIM_EXPORT void Trigger(int board, Addr address) {
  call([&](Simulator& s) { s.routines.trigger(board, address); });
}
GPIBSIM_EXPORT void TriggerList(int board, const Addr* list) {
  call([&](Simulator& s) { s.routines.triggerList(board, list); });
}
GPIBSIM_EXPORT void AllSpoll(int board, const Addr* list, short* results) {
  call([&](Simulator& s) { s.routines.allSpoll(board, list, results); });
}
// linux-gpib exports the routine under both spellings.
GPIBSIM_EXPORT void AllSPoll(int board, const Addr* list, short* results) {
  AllSpoll(board, list, results);
}
GPIBSIM_EXPORT void FindRQS(int board, const Addr* list, short* result) {
  call([&](Simulator& s) { s.routines.findRqs(board, list, result); });
}
GPIBSIM_EXPORT void WaitSRQ(int board, short* result) {
  call([&](Simulator& s) { s.routines.waitSrq(board, result); });
}
GPIBSIM_EXPORT void TestSys(int board, const Addr* list, short* results) {
  call([&](Simulator& s) { s.routines.testSys(board, list, results); });
}
GPIBSIM_EXPORT void ResetSys(int board, const Addr* list) {
  call([&](Simulator& s) { s.routines.resetSys(board, list); });
}
GPIBSIM_EXPORT void PPoll(int board, short* result) {
  call([&](Simulator& s) { s.routines.pPoll(board, result); });
}
GPIBSIM_EXPORT void PPollConfig(int board, Addr address, int line, int sense) {
  call([&](Simulator& s) { s.routines.pPollConfig(board, address, line, sense); });
}
GPIBSIM_EXPORT void PPollUnconfig(int board, const Addr* list) {
  call([&](Simulator& s) { s.routines.pPollUnconfig(board, list); });
}
GPIBSIM_EXPORT void SendLLO(int board) {
  call([&](Simulator& s) { s.routines.sendLlo(board); });
}
GPIBSIM_EXPORT void TestSRQ(int board, short* result) {
  call([&](Simulator& s) { s.routines.testSrq(board, result); });
}
GPIBSIM_EXPORT void PassControl(int board, Addr address) {
  call([&](Simulator& s) { s.routines.passControl(board, address); });
}

// linux-gpib's reader of gpib.conf, which its configuration tool calls. The simulated bench
// has no such file: the answer is the one for a file that cannot be read, and the tables the
// caller passes stay untouched.
GPIBSIM_EXPORT int parse_gpib_conf(const char* /*path*/, void* /*configs*/,
                                   unsigned int /*configCount*/, void* /*boards*/,
                                   unsigned int /*boardCount*/) {
  return -1;
}

// ---- status ----------------------------------------------------------------------------------

GPIBSIM_EXPORT int ThreadIbsta(void) { return threadStatus.ibsta; }
GPIBSIM_EXPORT int ThreadIberr(void) { return threadStatus.iberr; }
GPIBSIM_EXPORT int ThreadIbcnt(void) { return threadStatus.ibcnt; }
GPIBSIM_EXPORT long ThreadIbcntl(void) { return threadStatus.ibcntl; }
GPIBSIM_EXPORT int AsyncIbsta(void) { return asyncStatus.ibsta; }
GPIBSIM_EXPORT int AsyncIberr(void) { return asyncStatus.iberr; }
GPIBSIM_EXPORT int AsyncIbcnt(void) { return asyncStatus.ibcnt; }
GPIBSIM_EXPORT long AsyncIbcntl(void) { return asyncStatus.ibcntl; }

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
  if (error < 0 || error >= static_cast<int>(std::size(kTexts)))
    return "libgpib: Unknown error code";
  return kTexts[error];
}
