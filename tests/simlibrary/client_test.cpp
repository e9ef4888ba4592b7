// A client of the simulated bench written as a linux-gpib program is: the API declared from
// its documented interface, linked with -lgpib and run with the drop-in directory on
// LD_LIBRARY_PATH. Each suite runs in its own process on the bench its ctest entry sets up
// (tests/simlibrary/CMakeLists.txt): run them through ctest.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern "C" {
int ibdev(int board, int pad, int sad, int tmo, int eot, int eos);
int ibfind(const char* name);
int ibwrt(int ud, const void* data, long count);
int ibrd(int ud, void* buffer, long count);
int ibclr(int ud), ibpct(int ud), ibloc(int ud), ibtrg(int ud), ibstop(int ud);
int ibrsp(int ud, char* result);
int ibwait(int ud, int mask), ibtmo(int ud, int code), ibsre(int ud, int value);
int ibeos(int ud, int value), ibeot(int ud, int value), ibonl(int ud, int value);
int ibpad(int ud, int value), ibdma(int ud, int value), ibconfig(int ud, int option, int value);
int ibask(int ud, int option, int* value);
int ibcmd(int ud, const void* commands, long count);
int ibcmda(int ud, const void* commands, long count);
int ibwrta(int ud, const void* data, long count);
int ibwrtf(int ud, const char* path);
int ibrdf(int ud, const char* path);
int ibspb(int ud, short* result);
int ibrsv(int ud, int statusByte), ibrsv2(int ud, int statusByte, int newReason);
int ibbna(int ud, const char* name);
int ibevent(int ud, short* event);
void DevClear(int board, unsigned short address), Trigger(int board, unsigned short address);
void DevClearList(int board, const unsigned short* list);
void FindRQS(int board, const unsigned short* list, short* result);
void AllSpoll(int board, const unsigned short* list, short* results);
void AllSPoll(int board, const unsigned short* list, short* results);
void SendList(int board, const unsigned short* list, const void* data, long count, int mode);
void Receive(int board, unsigned short address, void* buffer, long count, int termination);
void SendDataBytes(int board, const void* data, long count, int mode);
void PPollConfig(int board, unsigned short address, int line, int sense);
void SendSetup(int board, const unsigned short* list);
void TestSys(int board, const unsigned short* list, short* results);
void ResetSys(int board, const unsigned short* list);
void SendLLO(int board), PassControl(int board, unsigned short address);
void TestSRQ(int board, short* result);
int AsyncIbsta(void), AsyncIberr(void), ThreadIbsta(void), ThreadIberr(void), ThreadIbcnt(void);
long AsyncIbcntl(void), ThreadIbcntl(void);
int parse_gpib_conf(const char* path, void* configs, unsigned count, void* boards, unsigned n);
const char* gpib_error_string(int error);
extern volatile int ibsta, iberr, ibcnt;
extern volatile long ibcntl;
}

namespace {

constexpr int ERR = 0x8000, TIMO = 0x4000, END = 0x2000, RQS = 0x800, CMPL = 0x100;
constexpr int REOS = 0x400, XEOS = 0x800, BIN = 0x1000;
constexpr int T1ms = 5, T10ms = 7, T30ms = 8, T3s = 12;
constexpr int EDVR = 0, ENOL = 2, EARG = 4, EABO = 6, ECAP = 11;
constexpr int IbcTMO = 3, IbcAUTOPOLL = 7, IbcReadAdjust = 0x13, IbcEndBitIsNormal = 0x1a,
              IbcRsv = 0x21;
constexpr int NLend = 2, STOPend = 0x100;
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
  EXPECT_EQ(ibcnt + ibcntl, 8);
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
    ibeos(ud, row.eos), write(ud, "R 1,2");
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
  // Addressed as a listener, the converter takes bytes sent with each end mode: none keeps the
  // message open, the line feed ends it.
  const unsigned short converter[] = {4, NOADDR};
  SendSetup(0, converter), SendDataBytes(0, "*ID", 3, 0);
  EXPECT_EQ(status(), "0120/0/3");
  SendDataBytes(0, "N?", 2, NLend);
  EXPECT_EQ(status(), "0120/0/3");
  Trigger(0, 4);
  EXPECT_EQ(status(), "0120/0/0");
  EXPECT_EQ(read(ud), "ORVANE,5630,SIM-000417,2.10\n 2100/0/28");
  // An empty address list clears every device on the bus.
  write(ud, "*IDN?");
  const unsigned short everyone[] = {NOADDR};
  DevClearList(0, everyone);
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
  const int ud = openConverter(), nobody = openConverter(12);
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
      {"no lockout on the board", [](int d) { return ibconfig(d, 0x17, 0); }, 0, "0120/0/0"},
      {"lockout on the board", [](int d) { return ibconfig(d, 0x17, 1); }, 0, "8120/11/0"},
      {"a secondary address", [](int d) { return ibconfig(d, 0x2, 0x60); }, nobody, "0100/0/0"},
      {"event queue on a device", [](int d) { return ibconfig(d, 0x15, 1); }, ud, "8100/4/0"},
      {"event queue on the board", [](int d) { return ibconfig(d, 0x15, 1); }, 0, "0120/0/0"},
      {"moving the board", [](int d) { return ibpad(d, 5); }, 0, "8120/11/0"},
      {"no buffer to read into", [](int d) { return ibrd(d, nullptr, 5); }, ud, "8100/4/0"},
      {"no data to send", [](int d) { return SendDataBytes(d, nullptr, 3, NLend), ThreadIbsta(); },
       0, "8120/4/0"},
      {"an end mode no family has",
       [](int d) { return SendDataBytes(d, "x", 1, 7), ThreadIbsta(); }, 0, "8120/4/0"},
      {"parallel poll on line 0", [](int d) { return PPollConfig(d, 4, 0, 1), ThreadIbsta(); }, 0,
       "8120/4/0"},
      {"parallel poll on line 9", [](int d) { return PPollConfig(d, 4, 9, 1), ThreadIbsta(); }, 0,
       "8120/4/0"},
      {"parallel poll sensing 2", [](int d) { return PPollConfig(d, 4, 1, 2), ThreadIbsta(); }, 0,
       "8120/4/0"},
      {"parallel poll on nobody", [](int d) { return PPollConfig(d, 12, 1, 1), ThreadIbsta(); }, 0,
       "8120/2/0"},
      {"a trigger to nobody", [](int d) { return Trigger(d, 12), ThreadIbsta(); }, 0, "8120/2/0"},
      {"EOI kept on the board", [](int d) { return ibeot(d, 1); }, 0, "0120/0/0"},
      {"a device trigger to nobody", [](int d) { return ibtrg(d); }, nobody, "8100/2/0"},
      {"to local, nobody there", [](int d) { return ibloc(d); }, nobody, "8100/2/0"},
      {"to local after a failure", [](int d) { return ibloc(d); }, ud, "0100/0/0"},
  };
  for (const auto& row : rows) {
    const int returned = row.call(row.ud);
    EXPECT_EQ(returned, ThreadIbsta()) << row.what;
    EXPECT_EQ(status(), row.status) << row.what;
  }
  // Primary addresses run from 0 to 30.
  EXPECT_GE(ibdev(0, 30, 0, T3s, 1, 0), 16);
  EXPECT_EQ(ibdev(0, 31, 0, T3s, 1, 0), -1);
  EXPECT_EQ(ibdev(1, 4, 0, T3s, 1, 0), -1);  // a board that is not there
  int normal = 0;
  EXPECT_EQ(ibask(ud, IbcEndBitIsNormal, &normal) & ERR, 0);
  EXPECT_EQ(normal, 1);
  EXPECT_EQ(ibfind("gpib0"), 0);
  EXPECT_EQ(ibfind("no-such-device"), -1);
  EXPECT_EQ(ThreadIberr() * 1000 + ThreadIbcntl(), EDVR * 1000 + ENODEV);
  std::string texts;
  for (int code : {EDVR, ENOL, EABO, 8, 9, ECAP, 21})
    texts += gpib_error_string(code) + std::string("|");
  EXPECT_EQ(texts,
            "EDVR 0: OS error|ENOL 2: No listeners|EABO 6: Operation aborted|EDMA 8: DMA "
            "error|libgpib: Unknown error code 9|ECAP 11: Capability does not exist|"
            "libgpib: Unknown error code|");
}

TEST(Bench, EachThreadKeepsItsOwnStatus) {
  const int ud = openConverter();
  std::string other;
  std::thread([&] { ibclr(-1), other = status(); }).join();
  EXPECT_EQ(other, "8000/4/0");
  EXPECT_EQ(iberr, EARG);                 // the shared variable saw the other thread's call
  EXPECT_EQ(status(), "0100/0/0") << ud;  // this thread still has its own ibdev's
}

TEST(Bench, XeosEndsAMessageAtEveryEndOfStringByte) {
  const int ud = openConverter();
  ibtmo(ud, T10ms);
  // Split after its N, "*IDN?" is two messages the converter does not know: nothing to read.
  const struct {
    int eos;
    std::string reply;
  } rows[] = {
      {0, "ORVANE,5630,SIM-000417,2.10\n 2100/0/28"},
      {XEOS | 'N', " c100/6/0"},
      {XEOS | 0xCE, " c100/6/0"},  // seven bits compared: 0xCE matches N
      {XEOS | BIN | 0xCE, "ORVANE,5630,SIM-000417,2.10\n 2100/0/28"},
  };
  for (const auto& row : rows) {
    ibeos(ud, row.eos);
    EXPECT_EQ(write(ud, "*IDN?"), "0100/0/5") << std::hex << row.eos;  // every byte counted
    EXPECT_EQ(read(ud), row.reply) << std::hex << row.eos;
  }  // Only the bytes given are looked at: an end-of-string byte just past them ends nothing.
  ibeos(ud, XEOS | '\n'), ibwrt(ud, "*IDN?\n", 5);
  EXPECT_EQ(status(), "0100/0/5");
  EXPECT_EQ(read(ud), "ORVANE,5630,SIM-000417,2.10\n 2100/0/28");
  ibeos(ud, 0);
}

TEST(Bench, BoardLevelCommandsAddressTheBus) {
  const std::string talkTo4("\x3f\x5f\x40\x24", 4);    // UNL UNT, board talks, 4 listens
  const std::string listenTo4("\x3f\x5f\x44\x20", 4);  // UNL UNT, 4 talks, board listens
  EXPECT_EQ(ibcmd(0, talkTo4.data(), 4), 0x0120);
  EXPECT_EQ(write(0, "*IDN?"), "0120/0/5");
  EXPECT_EQ(ibcmd(0, listenTo4.data(), 4) & ERR, 0);
  EXPECT_EQ(read(0), "ORVANE,5630,SIM-000417,2.10\n 2120/0/28");
  // DCL clears the converter: the reply it held is gone.
  ibcmd(0, talkTo4.data(), 4), write(0, "*IDN?");
  ibcmd(0, "\x14", 1), ibtmo(0, T10ms), ibcmd(0, listenTo4.data(), 4);
  EXPECT_EQ(read(0), " c120/6/0");
  ibtmo(0, T3s);
  // Listeners that are not there, a bad count, a device descriptor.
  ibcmd(0, "\x3f\x2c", 2);  // UNL, 12 listens
  EXPECT_EQ(write(0, "*IDN?"), "8120/2/0");
  EXPECT_EQ(ibcmd(0, "\x3f", -1), 0x8120);
  EXPECT_EQ(ThreadIberr(), EARG);
  EXPECT_EQ(ibcmd(openConverter(), "\x3f", 1) & ERR, ERR);
}

TEST(Bench, RoutinesOnAddressLists) {
  const unsigned short both[] = {4, 7, NOADDR}, withAbsent[] = {4, 12, NOADDR}, empty[] = {NOADDR},
                       converter[] = {4, NOADDR};
  ibtmo(0, T10ms);  // for the poll of the absent address
  SendList(0, both, "*IDN?", 5, NLend);
  EXPECT_EQ(status(), "0120/0/6");
  std::string replies;
  for (unsigned short pad : {4, 7}) {
    char reply[64];
    Receive(0, pad, reply, sizeof reply, STOPend);
    replies += std::string(reply, static_cast<std::size_t>(ThreadIbcntl()));
  }
  EXPECT_EQ(replies, "ORVANE,5630,SIM-000417,2.10\nSIMULATED,BENCH METER 7,0,1.0\n");
  SendList(0, empty, "*IDN?", 5, NLend);
  EXPECT_EQ(status(), "8120/4/0");
  SendList(0, withAbsent, "*CLS", 4, NLend);
  EXPECT_EQ(ThreadIberr(), ENOL);

  // AllSpoll and AllSPoll are one routine; a poll that fails says where in ibcnt.
  for (auto poll : {AllSpoll, AllSPoll}) {
    short bytes[2] = {-1, -1};
    poll(0, both, bytes);
    EXPECT_EQ(status() + " " + std::to_string(bytes[0]) + "," + std::to_string(bytes[1]),
              "0120/0/2 0,0");
    poll(0, withAbsent, bytes);
    EXPECT_EQ(status(), "c120/6/1");
  }
  short results[2] = {-1, -1};
  TestSys(0, converter, results);
  EXPECT_EQ(status() + " " + std::to_string(results[0]), "0120/0/0 0");  // ibcnt: failures
  TestSys(0, both, results);
  EXPECT_EQ(status(), "c120/6/0");  // the instrument has no *TST? to answer
  TestSys(0, withAbsent, results);
  EXPECT_EQ(ThreadIberr(), ENOL);
  ibtmo(0, T3s);

  // ResetSys clears the bus and sends *RST: the converter talks ASCII again.
  const int ud = openConverter();
  write(ud, "FORM:TALK HEXL"), ResetSys(0, converter);
  EXPECT_EQ(status(), "0120/0/0");
  write(ud, "FORM:TALK?");
  EXPECT_EQ(read(ud), "ASCII\n 2100/0/6");
}

std::string fileText(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST(Bench, FilesWrittenToAndReadIntoADevice) {
  const int ud = openConverter();
  const std::string query = testing::TempDir() + "gpibsim_query",
                    saved = testing::TempDir() + "gpibsim_saved";
  std::ofstream(query, std::ios::binary) << "*IDN?";
  std::ofstream(saved, std::ios::binary) << "kept|";
  EXPECT_EQ(ibwrtf(ud, query.c_str()), CMPL);
  EXPECT_EQ(status(), "0100/0/5");
  EXPECT_EQ(ibrdf(ud, saved.c_str()), END | CMPL);
  EXPECT_EQ(status(), "2100/0/28");
  EXPECT_EQ(fileText(saved), "kept|ORVANE,5630,SIM-000417,2.10\n");  // appended
  // A file that cannot be opened: EFSO, errno in ibcntl, nothing sent or read.
  EXPECT_EQ(ibwrtf(ud, "/no-such-folder/query"), ERR | CMPL);
  EXPECT_EQ(ThreadIberr() * 1000 + ThreadIbcntl(), 12 * 1000 + ENOENT);
  write(ud, "*IDN?");
  EXPECT_EQ(ibrdf(ud, "/no-such-folder/saved"), ERR | CMPL);
  EXPECT_EQ(ThreadIberr(), 12);
  EXPECT_EQ(read(ud), "ORVANE,5630,SIM-000417,2.10\n 2100/0/28");  // still there to read
  EXPECT_EQ(ibwrtf(ud, nullptr), ERR | CMPL);
  std::remove(query.c_str()), std::remove(saved.c_str());
}

TEST(Bench, EntryPointsBeyondTheSimulatedBoard) {
  const int ud = openConverter();
  short value = -1;
  int asked = -1;
  const struct {
    const char* what;
    void (*call)(int ud, short* value);
    std::string status;
  } rows[] = {
      {"no event queue", [](int, short* v) { ibevent(0, v); }, "8120/11/0"},
      {"events of a device", [](int d, short* v) { ibevent(d, v); }, "8100/4/0"},
      {"control passed", [](int d, short*) { ibpct(d); }, "8100/11/0"},
      {"control passed by address", [](int, short*) { PassControl(0, 4); }, "8120/11/0"},
      {"DMA kept", [](int, short*) { ibdma(0, 1); }, "0120/0/0"},
      {"DMA off", [](int, short*) { ibdma(0, 0); }, "8120/11/0"},
      {"nothing to stop", [](int d, short*) { ibstop(d); }, "0100/0/0"},
      {"the board it has", [](int d, short*) { ibbna(d, "gpib0"); }, "0100/0/0"},
      {"no other board", [](int d, short*) { ibbna(d, "gpib1"); }, "8100/7/0"},
      {"own status byte", [](int, short*) { ibrsv(0, 0x41); }, "0120/0/0"},
      {"own status byte, form 2", [](int, short*) { ibrsv2(0, 0x42, 1); }, "0120/0/0"},
      {"a status byte is 8 bits", [](int, short*) { ibrsv(0, 256); }, "8120/4/0"},
      {"a device has none", [](int d, short*) { ibrsv(d, 1); }, "8100/4/0"},
      {"local lockout", [](int, short*) { SendLLO(0); }, "0120/0/0"},
      {"no SRQ", [](int, short* v) { TestSRQ(0, v); }, "0120/0/0"},
      {"no such board", [](int, short* v) { TestSRQ(1, v); }, "8000/7/0"},
      {"queue with autopoll off", [](int d, short* v) { ibspb(d, v); }, "0100/0/0"},
  };
  for (const auto& row : rows) {
    row.call(ud, &value);
    EXPECT_EQ(status(), row.status) << row.what;
  }
  EXPECT_EQ(value, 0);  // neither SRQ nor a queued byte
  EXPECT_EQ(ibask(0, IbcRsv, &asked) & ERR, 0);
  EXPECT_EQ(asked, 0x42);
  // The asynchronous calls complete at once and leave their outcome for AsyncIbsta and kin.
  EXPECT_EQ(ibwrta(ud, "*IDN?", 5), CMPL);
  ibcmda(ud, "\x3f", 1);  // not on a device
  EXPECT_EQ(ibwrta(ud, "*IDN?", 5), CMPL);
  EXPECT_EQ(AsyncIbsta() * 100 + AsyncIberr() * 10 + AsyncIbcntl(), CMPL * 100 + 5);
  EXPECT_EQ(ibcmda(0, "\x3f", 1), 0x0120);
  EXPECT_EQ(AsyncIbcntl(), 1);
  EXPECT_EQ(parse_gpib_conf("/etc/gpib.conf", nullptr, 0, nullptr, 0), -1);
}

TEST(Bench, BoardOfflineRefusesWithEneb) {
  const int ud = openConverter();
  ASSERT_EQ(ibonl(0, 0) & ERR, 0);
  const auto start = std::chrono::steady_clock::now();
  for (int d : {0, ud}) {
    EXPECT_EQ(read(d), " 8000/7/0") << d;
    EXPECT_EQ(write(d, "*IDN?"), "8000/7/0") << d;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));  // no time-out
  EXPECT_EQ(ibonl(0, 1) & ERR, 0);
  EXPECT_EQ(write(ud, "*IDN?"), "0100/0/5");
}

// GPIBSIM_FAULTS="modbus-error 2 1": the first Modbus transaction fails with exception 2.
TEST(FaultyBench, SerialPollAfterAnError) {
  const int ud = openConverter();
  write(ud, "*ESE 8;*SRE 32");  // device-dependent errors request service
  // The failed query answers nothing, and the converter asks for service at once.
  EXPECT_EQ(write(ud, "R 300,1"), "0900/0/7");
  EXPECT_EQ(read(ud), " 2900/0/0");
  EXPECT_EQ(ibwait(ud, RQS | TIMO), RQS | CMPL | END);
  // With autopolling on, the status byte of the converter asking for service waits in its queue.
  short queued = -1;
  int autopoll = 0;
  ibconfig(0, IbcAUTOPOLL, 1), ibask(0, IbcAUTOPOLL, &autopoll);
  EXPECT_EQ(ibspb(ud, &queued), RQS | CMPL);
  EXPECT_EQ(queued * 10 + autopoll, 11);
  const unsigned short both[] = {7, 4, NOADDR};
  short found = 0;
  FindRQS(0, both, &found);
  EXPECT_EQ(std::to_string(found) + " " + status(), "96 0120/0/1");  // ESB|MSS, at index 1
  char byte = 0;
  EXPECT_EQ(ibrsp(ud, &byte), CMPL);  // RQS went with the poll
  EXPECT_EQ(byte, 0x20);
  ibspb(ud, &queued);
  EXPECT_EQ(queued, 0);
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

// Six threads, each with its own descriptor of the converter, ask and poll at once: every call's
// outcome reaches its own thread, and a reply is the converter's whole or, when another
// thread's query cut in, none (a time-out). The sanitizer stage runs this under ThreadSanitizer.
TEST(Threads, ManyClientsAtOnce) {
  constexpr int kThreads = 6, kRounds = 200;
  std::vector<std::string> faults(kThreads);
  std::vector<int> answered(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &faults, &answered] {
      const int ud = ibdev(0, 4, 0, T1ms, 1, 0);
      const auto check = [&](const char* call, int returned) {
        if (returned != ThreadIbsta() && faults[t].empty())
          faults[t] = std::string(call) + " returned another status than the thread's own";
      };
      for (int round = 0; round < kRounds; ++round) {
        check("ibwrt", ibwrt(ud, "*IDN?", 5));
        char reply[64];
        const int read = ibrd(ud, reply, sizeof reply);
        check("ibrd", read);
        const std::string text(reply, static_cast<std::size_t>(ThreadIbcntl()));
        if (!(read & ERR) && text == "ORVANE,5630,SIM-000417,2.10\n")
          ++answered[t];
        else if (read != (ERR | TIMO | CMPL) && faults[t].empty())
          faults[t] = "read " + text + " " + status();
        char byte = 0;
        check("ibrsp", ibrsp(ud, &byte));
      }
      ibonl(ud, 0);
    });
  }
  int total = 0;
  for (int t = 0; t < kThreads; ++t) {
    threads[static_cast<std::size_t>(t)].join();
    EXPECT_EQ(faults[static_cast<std::size_t>(t)], "") << "thread " << t;
    total += answered[static_cast<std::size_t>(t)];
  }
  EXPECT_GT(total, 0);
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
