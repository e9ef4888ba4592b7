// A stand-in GPIB driver library with the C entry points of an NI-488.2-style driver.
// It writes every call it gets, with its arguments, into a log the tests read back, and
// answers from fixed rules: address 4 and 7 listen, a serial poll answers 0x40 plus the
// address, Receive hands out the reply the test put in place.
//
// Flavours, chosen at compile time:
//   (default)              linux-gpib: gpib_error_string, Thread* accessors, and the
//                          ibsta variables left stale, so a driver reading them is caught
//   STANDIN_NI             NI family: no gpib_error_string, status only in user_ib* variables
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

constexpr int kCmpl = 0x0100;
constexpr int kEnd = 0x2000;
constexpr unsigned short kNoAddr = 0xFFFF;

struct Answer {
  int ibsta;
  int iberr;
  int ibcnt;
  long ibcntl;
};

std::string calls;
std::string reply;
bool forced = false;
Answer forcedAnswer{};
Answer current{};

void record(const std::string& line) { calls += line + "\n"; }

std::string bytes(const void* data, long count) {
  std::string text;
  const auto* p = static_cast<const unsigned char*>(data);
  for (long i = 0; i < count; ++i) {
    if (p[i] >= 0x20 && p[i] < 0x7F) {
      text += static_cast<char>(p[i]);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", p[i]);
      text += escaped;
    }
  }
  return text;
}

std::string number(long value) { return std::to_string(value); }

void answer(int ibsta, long count);

}  // namespace

#if !defined(STANDIN_NI) && !defined(STANDIN_WITHOUT_STATUS)
// linux-gpib exports these in every build; the default flavour never updates them.
extern "C" {
STANDIN_VISIBLE int ibsta = 0x7777;
STANDIN_VISIBLE int iberr = 77;
STANDIN_VISIBLE int ibcnt = 777;
STANDIN_VISIBLE long ibcntl = 7777;
}
#endif

#ifdef STANDIN_NI
extern "C" {
STANDIN_VISIBLE int user_ibsta = 0;
STANDIN_VISIBLE int user_iberr = 0;
STANDIN_VISIBLE int user_ibcnt = 0;
STANDIN_VISIBLE long user_ibcntl = 0;
}
#endif

namespace {

// Every call ends here, as in a real driver: the status of this call, or the one the test
// asked for.
void answer(int status, long count) {
  current = forced ? forcedAnswer : Answer{status, 0, static_cast<int>(count), count};
  forced = false;
#ifdef STANDIN_NI
  user_ibsta = current.ibsta;
  user_iberr = current.iberr;
  user_ibcnt = current.ibcnt;
  user_ibcntl = current.ibcntl;
#elif defined(STANDIN_STATUS_VARIABLES)
  ibsta = current.ibsta;
  iberr = current.iberr;
  ibcnt = current.ibcnt;
  ibcntl = current.ibcntl;
#endif
}

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
STANDIN_EXPORT const char* gpib_error_string(int error) {
  return error == 0 ? "EDVR" : "other error";
}
#endif

#if !defined(STANDIN_NI) && !defined(STANDIN_STATUS_VARIABLES) && !defined(STANDIN_WITHOUT_STATUS)
STANDIN_EXPORT int ThreadIbsta() { return current.ibsta; }
STANDIN_EXPORT int ThreadIberr() { return current.iberr; }
STANDIN_EXPORT int ThreadIbcnt() { return current.ibcnt; }
STANDIN_EXPORT long ThreadIbcntl() { return current.ibcntl; }
#endif

STANDIN_EXPORT int ibonl(int ud, int value) {
  record("ibonl " + number(ud) + " " + number(value));
  answer(kCmpl, 0);
  return current.ibsta;
}

STANDIN_EXPORT int ibsre(int ud, int value) {
  record("ibsre " + number(ud) + " " + number(value));
  answer(kCmpl, 0);
  return current.ibsta;
}

STANDIN_EXPORT int ibtmo(int ud, int code) {
  record("ibtmo " + number(ud) + " " + number(code));
  answer(kCmpl, 0);
  return current.ibsta;
}

STANDIN_EXPORT void SendIFC(int board) {
  record("SendIFC " + number(board));
  answer(kCmpl, 0);
}

STANDIN_EXPORT void DevClear(int board, unsigned short address) {
  record("DevClear " + number(board) + " " + number(address));
  answer(kCmpl, 0);
}

#ifndef STANDIN_WITHOUT_FINDLSTN
STANDIN_EXPORT void FindLstn(int board, const unsigned short* padList, unsigned short* resultList,
                             int limit) {
  std::string pads;
  int found = 0;
  for (const unsigned short* pad = padList; *pad != kNoAddr; ++pad) {
    pads += (pads.empty() ? "" : ",") + number(*pad);
    if ((*pad == 4 || *pad == 7) && found < limit) resultList[found++] = *pad;
  }
  record("FindLstn " + number(board) + " [" + pads + "] " + number(limit));
  answer(kCmpl, found);
}
#endif

STANDIN_EXPORT void ReadStatusByte(int board, unsigned short address, short* result) {
  record("ReadStatusByte " + number(board) + " " + number(address));
  *result = static_cast<short>(0x40 + address);
  answer(kCmpl, 1);
}

STANDIN_EXPORT void Send(int board, unsigned short address, const void* data, long count,
                         int endMode) {
  record("Send " + number(board) + " " + number(address) + " [" + bytes(data, count) + "] " +
         number(count) + " " + number(endMode));
  answer(kCmpl, count);
}

STANDIN_EXPORT void Receive(int board, unsigned short address, void* buffer, long count,
                            int termination) {
  record("Receive " + number(board) + " " + number(address) + " " + number(count) + " " +
         number(termination));
  const long n = std::min(count, static_cast<long>(reply.size()));
  std::memcpy(buffer, reply.data(), n);
  answer(kCmpl | kEnd, n);
}
