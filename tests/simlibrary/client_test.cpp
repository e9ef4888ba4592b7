// A client of the simulated bench written as a linux-gpib program is: the API declared from
// its documented interface, linked with -lgpib and run with the drop-in directory on
// LD_LIBRARY_PATH. Each suite runs in its own process on the bench its ctest entry sets up
// (tests/simlibrary/CMakeLists.txt): run them through ctest.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

extern "C" {
int ibdev(int board, int pad, int sad, int tmo, int eot, int eos);
int ibfind(const char* name);
int ibwrt(int ud, const void* data, long count);
int ibrd(int ud, void* buffer, long count);
int ibclr(int ud);
int ibrsp(int ud, char* result);
int ibwait(int ud, int mask);
int ibtmo(int ud, int code);
int ibsre(int ud, int value);
int ibeos(int ud, int value);
int ibonl(int ud, int value);
int ibpad(int ud, int value);
int ibconfig(int ud, int option, int value);
int ibask(int ud, int option, int* value);
void DevClear(int board, unsigned short address);
void FindRQS(int board, const unsigned short* list, short* result);
int ThreadIbsta(void);
int ThreadIberr(void);
int ThreadIbcnt(void);
long ThreadIbcntl(void);
const char* gpib_error_string(int error);
extern volatile int ibsta, iberr;
extern volatile long ibcntl;
}

namespace {

constexpr int ERR = 0x8000, TIMO = 0x4000, END = 0x2000, RQS = 0x800, CMPL = 0x100;
constexpr int REOS = 0x400, BIN = 0x1000;
constexpr int T10ms = 7, T30ms = 8, T3s = 12;
constexpr int EDVR = 0, ENOL = 2, EARG = 4, EABO = 6, ECAP = 11;
constexpr int IbcTMO = 3, IbcReadAdjust = 0x13;
constexpr unsigned short NOADDR = 0xFFFF;
unsigned short MakeAddr(int pad, int sad) { return static_cast<unsigned short>(pad | sad << 8); }

// The calling thread's status after a call, as "ibsta/iberr/ibcnt".
std::string status() {
  char text[40];
  std::snprintf(text, sizeof text, "%04x/%d/%d", ThreadIbsta(), ThreadIberr(), ThreadIbcnt());
  return text;
}

std::string write(int ud, const std::string& text) {
  ibwrt(ud, text.data(), static_cast<long>(text.size()));
  return status();
}

// A read of up to `count` bytes: the bytes, then the status.
std::string read(int ud, long count = 256) {
  char buffer[256];
  ibrd(ud, buffer, count);
  return std::string(buffer, static_cast<std::size_t>(ThreadIbcntl())) + " " + status();
}

int openConverter(int pad = 4) {
  const int ud = ibdev(0, pad, 0, T3s, 1, 0);
  EXPECT_GE(ud, 16) << status();
  return ud;
}

TEST(Bench, ConverterConversation) {
  const int ud = openConverter();
  const struct {
    const char* command;
    std::string written, reply;
  } rows[] = {
      {"*IDN?", "0100/0/5", "ORVANE,5630,SIM-000417,2.10\n 2100/0/28"},
      {"W 300,500", "0100/0/9", ""},
      {"R 300,1", "0100/0/7", "500\n 2100/0/4"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(write(ud, row.command), row.written) << row.command;
    if (!row.reply.empty()) {
      EXPECT_EQ(read(ud), row.reply) << row.command;
    }
  }
  // The shared variables follow the last call of any thread.
  EXPECT_EQ(ibsta, 0x2100);
  EXPECT_EQ(ibcntl, 4);
}

TEST(Bench, EndOfStringEndsARead) {
  const int ud = openConverter();
  // Serial number registers 1 and 2 answer "42,1187\n"; a read stops at the first match.
  const struct {
    int eos;
    std::string first;
  } rows[] = {
      {0, "42,1187\n 2100/0/8"},
      {REOS | ',', "42, 2100/0/3"},
      {REOS | 0xAC, "42, 2100/0/3"},  // seven bits compared: 0xAC matches ','
      {REOS | BIN | 0xAC, "42,1187\n 2100/0/8"},
  };
  for (const auto& row : rows) {
    ibeos(ud, row.eos);
    write(ud, "R 1,2");
    EXPECT_EQ(read(ud), row.first) << std::hex << row.eos;
    ibclr(ud);
  }
  // A read that fills the buffer ends without END.
  write(ud, "*IDN?");
  EXPECT_EQ(read(ud, 6), "ORVANE 0100/0/6");
}

TEST(Bench, DeviceClearAndSettings) {
  const int ud = openConverter();
  // ibtmo and ibsre on a device and on the board leave iberr at 0, not the previous setting.
  int code = 0;
  EXPECT_EQ(ibtmo(ud, T10ms), CMPL);
  EXPECT_EQ(ibask(ud, IbcTMO, &code) | ThreadIberr() | code, CMPL | T10ms);
  EXPECT_EQ(ibtmo(0, T3s) & (ERR | CMPL), CMPL);
  EXPECT_EQ(ibsre(0, 1) & ERR, 0);
  EXPECT_EQ(ThreadIberr(), 0);
  // A cleared converter forgets the reply it held: the read times out.
  write(ud, "*IDN?");
  EXPECT_EQ(ibclr(ud), CMPL);
  EXPECT_EQ(read(ud), " c100/6/0");
  // The 488.2 routines take the address with a secondary address too.
  write(ud, "*IDN?");
  DevClear(0, MakeAddr(4, 0x60));
  EXPECT_EQ(ThreadIbsta() & ERR, 0) << status();
  // ibonl(ud, 1) restores the settings the descriptor was opened with; 0 closes it.
  EXPECT_EQ(ibonl(ud, 1), CMPL);
  ibask(ud, IbcTMO, &code);
  EXPECT_EQ(code, 13);
  EXPECT_EQ(ibonl(ud, 0), CMPL);
  EXPECT_EQ(ibclr(ud), ERR);
}

TEST(Bench, ErrorsAsTheRealLibrary) {
  const int ud = openConverter();
  const int nobody = openConverter(12);
  const struct {
    const char* what;
    int (*call)(int);
    int ud;
    std::string status;
  } rows[] = {
      {"bad descriptor", [](int d) { return ibclr(d); }, -1, "8000/4/0"},
      {"never opened", [](int d) { return ibtmo(d, T3s); }, 15, "8000/4/0"},
      {"beyond the table", [](int d) { return ibonl(d, 1); }, 5000, "8000/4/0"},
      {"board-only call on a device", [](int d) { return ibsre(d, 1); }, ud, "8100/4/0"},
      {"no listener", [](int d) { return ibwrt(d, "*CLS", 4); }, nobody, "8100/2/0"},
      {"bad time-out code", [](int d) { return ibtmo(d, 18); }, ud, "8100/4/0"},
      {"unsupported option", [](int d) { return ibconfig(d, IbcReadAdjust, 1); }, ud, "8100/11/0"},
      {"moving the board", [](int d) { return ibpad(d, 5); }, 0, "8120/11/0"},
      {"no buffer to read into", [](int d) { return ibrd(d, nullptr, 5); }, ud, "8100/4/0"},
  };
  for (const auto& row : rows) {
    const int returned = row.call(row.ud);
    EXPECT_EQ(returned, ThreadIbsta()) << row.what;
    EXPECT_EQ(status(), row.status) << row.what;
  }
  // Primary addresses run from 0 to 30.
  EXPECT_GE(ibdev(0, 30, 0, T3s, 1, 0), 16);
  EXPECT_EQ(ibdev(0, 31, 0, T3s, 1, 0), -1);
  EXPECT_EQ(ibfind("gpib0"), 0);
  EXPECT_EQ(ibfind("no-such-device"), -1);
  EXPECT_EQ(ThreadIberr() * 1000 + ThreadIbcntl(), EDVR * 1000 + ENODEV);
  std::string texts;
  for (int code : {EDVR, ENOL, EABO, 8, 9, ECAP, 21}) texts += gpib_error_string(code) + std::string("|");
  EXPECT_EQ(texts, "EDVR 0: OS error|ENOL 2: No listeners|EABO 6: Operation aborted|EDMA 8: DMA "
                   "error|libgpib: Unknown error code 9|ECAP 11: Capability does not exist|"
                   "libgpib: Unknown error code|");
}

TEST(Bench, EachThreadKeepsItsOwnStatus) {
  const int ud = openConverter();
  std::string other;
  std::thread failing([&] {
    ibclr(-1);
    other = status();
  });
  failing.join();
  EXPECT_EQ(other, "8000/4/0");
  EXPECT_EQ(iberr, EARG);  // the shared variable saw the other thread's call
  EXPECT_EQ(status(), "0100/0/0") << ud;  // this thread still has its own ibdev's
}

// GPIBSIM_FAULTS="modbus-error 2 1": the first Modbus transaction fails with exception 2.
TEST(FaultyBench, SerialPollAfterAnError) {
  const int ud = openConverter();
  write(ud, "*ESE 8;*SRE 32");  // device-dependent errors request service
  // The failed query answers nothing, and the converter asks for service at once.
  EXPECT_EQ(write(ud, "R 300,1"), "0900/0/7");
  EXPECT_EQ(read(ud), " 2900/0/0");
  EXPECT_EQ(ibwait(ud, RQS | TIMO), RQS | CMPL | END);
  const unsigned short both[] = {7, 4, NOADDR};
  short found = 0;
  FindRQS(0, both, &found);
  EXPECT_EQ(std::to_string(found) + " " + status(), "96 0120/0/1");  // ESB|MSS, at index 1
  char byte = 0;
  EXPECT_EQ(ibrsp(ud, &byte), CMPL);  // RQS went with the poll
  EXPECT_EQ(byte, 0x20);
  write(ud, "E?");
  EXPECT_EQ(read(ud), "2\n 2100/0/2");
}

// GPIBSIM_ADDRESS=9 GPIBSIM_INSTRUMENT=4 GPIBSIM_FAULTS="silent on".
TEST(SilentBench, ReadTimesOut) {
  const int instrument = openConverter(4);
  write(instrument, "*IDN?");
  EXPECT_EQ(read(instrument), "SIMULATED,BENCH METER 7,0,1.0\n 2100/0/30");
  const int converter = ibdev(0, 9, 0, T30ms, 1, 0);
  EXPECT_EQ(write(converter, "*IDN?"), "0100/0/5");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(read(converter), " c100/6/0");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

// GPIBSIM_PLANT="0.01 10000 0 0 0" GPIBSIM_LATENCY=150: ten joules a kelvin heated by 10 kW
// without loss or dead time, behind a controller that takes 150 ms to answer.
TEST(ChamberBench, HeatsInOneStepAndAnswersLate) {
  const int ud = openConverter();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(write(ud, "W 700,1;W 300,150;R 300,1"), "0100/0/25");
  EXPECT_EQ(read(ud), "150\n 2100/0/4");  // after three transactions
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(450));
  // One step at full heat: 75 F + 1.8 * 10 kW * 0.1 s / 10 J/K; then the loop holds it off.
  write(ud, "R 100,1");
  EXPECT_EQ(read(ud), "255\n 2100/0/4");
}

}  // namespace
