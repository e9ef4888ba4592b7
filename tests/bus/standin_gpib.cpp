// A stand-in GPIB driver library with the C entry points of an NI-488.2-style driver.
// It logs every call with its arguments for the tests to read back, and answers from fixed
// rules: addresses 4 and 7 listen, a serial poll answers 0x40 plus the address, Receive hands
// out the reply the test put in place. Flavours, chosen at compile time:
//   (default)                 linux-gpib: gpib_error_string, Thread* accessors, and the ibsta
//                             variables left stale, so a driver reading them is caught
//   STANDIN_NI                NI family: no gpib_error_string, status only in user_ib* variables
//   STANDIN_STATUS_VARIABLES  linux-gpib with status only in the ibsta variables
//   STANDIN_WITHOUT_FINDLSTN  lacks FindLstn
//   STANDIN_WITHOUT_STATUS    exports no status at all

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#define STANDIN_VISIBLE __attribute__((visibility("default")))
#define STANDIN_EXPORT extern "C" STANDIN_VISIBLE

namespace {
struct Answer {
  int ibsta, iberr, ibcnt;
  long ibcntl;
};
std::string calls, reply;
bool forced = false;
Answer forcedAnswer{}, current{};
}  // namespace

#ifdef STANDIN_NI
#define STATUS_VARIABLE(name) user_##name
#else
#define STATUS_VARIABLE(name) name
#endif
#ifndef STANDIN_WITHOUT_STATUS
extern "C" {  // the default flavour exports these too, holding stale values
STANDIN_VISIBLE int STATUS_VARIABLE(ibsta) = 0x7777, STATUS_VARIABLE(iberr) = 77,
                    STATUS_VARIABLE(ibcnt) = 777;
STANDIN_VISIBLE long STATUS_VARIABLE(ibcntl) = 7777;
}
#endif

namespace {
// Every call ends here, as in a real driver: logged, with the status of this call or the one
// the test asked for.
int answer(const std::string& call, int status, long count) {
  calls += call + "\n";
  current = forced ? forcedAnswer : Answer{status, 0, static_cast<int>(count), count};
  forced = false;
#if defined(STANDIN_NI) || defined(STANDIN_STATUS_VARIABLES)
  STATUS_VARIABLE(ibsta) = current.ibsta;
  STATUS_VARIABLE(iberr) = current.iberr;
  STATUS_VARIABLE(ibcnt) = current.ibcnt;
  STATUS_VARIABLE(ibcntl) = current.ibcntl;
#endif
  return current.ibsta;
}
std::string str(long value) { return std::to_string(value); }
}  // namespace

// --- Controls for the tests ---
STANDIN_EXPORT const char* standin_log() { return calls.c_str(); }
STANDIN_EXPORT void standin_reset() {
  calls.clear();
  reply.clear();
  forced = false;
  current = Answer{};
}
STANDIN_EXPORT void standin_set_reply(const char* data, long count) { reply.assign(data, count); }
// The next call reports exactly this status.
STANDIN_EXPORT void standin_force_status(int sta, int err, int cnt, long cntl) {
  forced = true;
  forcedAnswer = Answer{sta, err, cnt, cntl};
}

// --- The driver's entry points ---
#ifndef STANDIN_NI
STANDIN_EXPORT const char* gpib_error_string(int error) { return error == 0 ? "EDVR" : "other"; }
#endif
#if !defined(STANDIN_NI) && !defined(STANDIN_STATUS_VARIABLES) && !defined(STANDIN_WITHOUT_STATUS)
STANDIN_EXPORT int ThreadIbsta() { return current.ibsta; }
STANDIN_EXPORT int ThreadIberr() { return current.iberr; }
STANDIN_EXPORT int ThreadIbcnt() { return current.ibcnt; }
STANDIN_EXPORT long ThreadIbcntl() { return current.ibcntl; }
#endif

constexpr int kCmpl = 0x0100;
STANDIN_EXPORT int ibonl(int ud, int v) { return answer("ibonl " + str(ud) + " " + str(v), kCmpl, 0); }
STANDIN_EXPORT int ibsre(int ud, int v) { return answer("ibsre " + str(ud) + " " + str(v), kCmpl, 0); }
STANDIN_EXPORT int ibtmo(int ud, int v) { return answer("ibtmo " + str(ud) + " " + str(v), kCmpl, 0); }
STANDIN_EXPORT void SendIFC(int board) { answer("SendIFC " + str(board), kCmpl, 0); }
STANDIN_EXPORT void DevClear(int board, unsigned short address) {
  answer("DevClear " + str(board) + " " + str(address), kCmpl, 0);
}

#ifndef STANDIN_WITHOUT_FINDLSTN
STANDIN_EXPORT void FindLstn(int board, const unsigned short* pads, unsigned short* results,
                             int limit) {
  std::string list;
  int found = 0;
  for (const unsigned short* pad = pads; *pad != 0xFFFF; ++pad) {
    list += (list.empty() ? "" : ",") + str(*pad);
    if ((*pad == 4 || *pad == 7) && found < limit) results[found++] = *pad;
  }
  answer("FindLstn " + str(board) + " [" + list + "] " + str(limit), kCmpl, found);
}
#endif

STANDIN_EXPORT void ReadStatusByte(int board, unsigned short address, short* result) {
  *result = static_cast<short>(0x40 + address);
  answer("ReadStatusByte " + str(board) + " " + str(address), kCmpl, 1);
}

STANDIN_EXPORT void Send(int board, unsigned short address, const void* data, long count,
                         int endMode) {
  std::string text;  // printable bytes as they are, others as \xHH
  for (long i = 0; i < count; ++i) {
    const unsigned char c = static_cast<const unsigned char*>(data)[i];
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
    text += escaped;
  }
  answer("Send " + str(board) + " " + str(address) + " [" + text + "] " + str(count) + " " +
             str(endMode),
         kCmpl, count);
}

STANDIN_EXPORT void Receive(int board, unsigned short address, void* buffer, long count,
                            int termination) {
  const long n = std::min(count, static_cast<long>(reply.size()));
  std::memcpy(buffer, reply.data(), n);
  answer("Receive " + str(board) + " " + str(address) + " " + str(count) + " " + str(termination),
         0x2000 | kCmpl, n);
}
