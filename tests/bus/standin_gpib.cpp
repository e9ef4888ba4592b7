// A stand-in NI-488.2-style driver library: it logs each call in standin_calls and answers by
// fixed rules: 4 and 7 listen, a serial poll answers 0x40 plus the address, Receive hands out
// standin_reply, ibsta is CMPL unless standin_next says otherwise. Plain, it is linux-gpib with
// Thread* accessors; STANDIN_NI has user_ib* variables only, beside an incomplete set under the
// linux-gpib names; STANDIN_PARTIAL lacks FindLstn and any status.
#include <array>
#include <cstdio>
#include <string>
#include <utility>

#define EXPORT extern "C"

extern "C" {
std::string standin_calls, standin_reply;
std::array<long, 4> standin_next;  // when set, the status the next call reports
#ifdef STANDIN_NI
int ibsta, ibcnt, user_ibsta, user_iberr, user_ibcnt;
long ibcntl, user_ibcntl;
#endif
}

namespace {
std::array<long, 4> now;  // ibsta, iberr, ibcnt, ibcntl

// Not std::to_string: its digit table would pin the library in memory for good.
std::string str(long value) {
  char text[24];
  std::snprintf(text, sizeof text, " %ld", value);
  return text;
}
std::string str(const std::string& text) { return " [" + text + "]"; }

// Every call ends here: logged with its arguments, leaving its status.
template <typename... Args>
int answer(int sta, long count, const char* call, Args... args) {
  standin_calls += (call + ... + str(args)) + "\n";
  now = standin_next[0] ? std::exchange(standin_next, {}) : std::array{long{sta}, 0L, count, count};
#ifdef STANDIN_NI
  user_ibsta = now[0], user_iberr = now[1], user_ibcnt = now[2], user_ibcntl = now[3];
#endif
  return now[0];
}
}  // namespace

#if !defined(STANDIN_NI) && !defined(STANDIN_PARTIAL)
EXPORT const char* gpib_error_string(int) { return "EDVR"; }
EXPORT int ThreadIbsta() { return now[0]; }
EXPORT int ThreadIberr() { return now[1]; }
EXPORT int ThreadIbcnt() { return now[2]; }
EXPORT long ThreadIbcntl() { return now[3]; }
#endif

EXPORT int ibonl(int ud, int v) { return answer(0x100, 0, "ibonl", ud, v); }
EXPORT int ibsre(int ud, int v) { return answer(0x100, 0, "ibsre", ud, v); }
EXPORT int ibtmo(int ud, int v) { return answer(0x100, 0, "ibtmo", ud, v); }
EXPORT void SendIFC(int board) { answer(0x100, 0, "SendIFC", board); }
EXPORT void DevClear(int board, unsigned short pad) { answer(0x100, 0, "DevClear", board, pad); }
EXPORT void ReadStatusByte(int board, unsigned short pad, short* result) {
  *result = static_cast<short>(0x40 + pad), answer(0x100, 1, "ReadStatusByte", board, pad);
}
EXPORT void Send(int board, unsigned short pad, const void* data, long count, int endMode) {
  const std::string text(count > 0 ? static_cast<const char*>(data) : "", count);
  answer(0x100, count, "Send", board, pad, text, count, endMode);
}
EXPORT void Receive(int board, unsigned short pad, void* buffer, long count, int termination) {
  const long n = static_cast<long>(standin_reply.copy(static_cast<char*>(buffer), count));
  answer(0x2000 | 0x100, n, "Receive", board, pad, count, termination);
}
#ifndef STANDIN_PARTIAL
EXPORT void FindLstn(int board, const unsigned short* pads, unsigned short* found, int limit) {
  std::string list;
  int n = 0;
  for (; *pads != 0xFFFF; list += str(*pads++))
    if ((*pads == 4 || *pads == 7) && n < limit) found[n++] = *pads;
  answer(0x100, n, "FindLstn", board, list, limit);
}
#endif
