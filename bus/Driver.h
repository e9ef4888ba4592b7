#pragma once

#include <cstdint>
#include <iterator>
#include <string>

namespace bus {

// Status bits of ibsta, NI-488.2 numbering (the same in every driver family).
enum StatusBit : int {
  ERR = 0x8000,
  TIMO = 0x4000,
  END = 0x2000,
  SRQI = 0x1000,
  RQS = 0x0800,
  SPOLL = 0x0400,
  EVENT = 0x0200,
  CMPL = 0x0100,
  LOK = 0x0080,
  REM = 0x0040,
  CIC = 0x0020,
  ATN = 0x0010,
  TACS = 0x0008,
  LACS = 0x0004,
  DTAS = 0x0002,
  DCAS = 0x0001,
};

// Error codes of iberr.
enum ErrorCode : int {
  EDVR = 0,
  ECIC = 1,
  ENOL = 2,
  EADR = 3,
  EARG = 4,
  ESAC = 5,
  EABO = 6,
  ENEB = 7,
  EOIP = 10,
  ECAP = 11,
  EFSO = 12,
  EBUS = 14,
  ESTB = 15,
  ESRQ = 16,
  ETAB = 20,
};

// Primary address as the 488.2 routines take it; NOADDR ends an address list.
using Addr4882 = std::int16_t;
constexpr Addr4882 NOADDR = -1;  // 0xFFFF

// End modes of Send, by name: their numbers differ between driver families,
// so only the library driver turns them into numbers (the trace names them in this order).
enum class EotMode { NULLend, NLend, DABend };

// Termination of Receive: stop at EOI (same value in every family), or a byte 0..255.
constexpr int STOPend = 0x0100;

// Seconds an ibtmo code stands for (NI numbering, the same in every family: 0 none,
// 1 = 10 us ... 11 = 1 s ... 17 = 1000 s); negative for a code no driver knows.
inline double timeoutSeconds(int code) {
  constexpr double seconds[] = {0.0,  10e-6, 30e-6, 100e-6, 300e-6, 1e-3,  3e-3,  10e-3, 30e-3,
                                0.1,  0.3,   1.0,   3.0,    10.0,   30.0,  100.0, 300.0, 1000.0};
  constexpr int codes = static_cast<int>(std::size(seconds));
  return code >= 0 && code < codes ? seconds[code] : -1.0;
}
constexpr int kLongestTimeoutCode = 17;

// The driver's status variables after a call.
struct Status {
  int ibsta = 0;
  int iberr = 0;
  int ibcnt = 0;
  long ibcntl = 0;
};

// The GPIB driver as the console uses it: the NI-488.2 calls it makes, nothing more.
// Every call leaves its outcome in status(); no call throws.
class Driver {
 public:
  virtual ~Driver() = default;

  virtual void ibonl(int ud, int value) = 0;
  virtual void ibsre(int ud, int value) = 0;
  virtual void ibtmo(int ud, int code) = 0;
  virtual void SendIFC(int board) = 0;
  virtual void DevClear(int board, Addr4882 address) = 0;
  // padList ends with NOADDR; at most `limit` addresses are written to resultList.
  virtual void FindLstn(int board, const Addr4882* padList, Addr4882* resultList, int limit) = 0;
  virtual void ReadStatusByte(int board, Addr4882 address, std::int16_t* result) = 0;
  virtual void Send(int board, Addr4882 address, const char* data, long count, EotMode mode) = 0;
  // Reads at most `count` bytes into buffer; ibcntl tells how many arrived.
  virtual void Receive(int board, Addr4882 address, char* buffer, long count, int termination) = 0;

  virtual Status status() const = 0;
  // One line for the operator: which driver this is ("built-in simulator", a library path).
  virtual std::string describe() const = 0;
  // Why the driver cannot work (a library that does not load, an adapter that does not
  // answer), while its calls fail with EDVR; empty otherwise.
  virtual std::string problem() const { return {}; }
};

}  // namespace bus
