#include <gtest/gtest.h>

#include <functional>

#include "SimTestSupport.h"

namespace {

using Bus = simtest::BusFixture;
using simtest::kIdentity;
using simtest::kOk;

TEST_F(Bus, DiscoveryExchangeAsTheConsoleRunsIt) {
  sim::SimulatedBus fresh(clock);
  fresh.SendIFC(0);
  EXPECT_EQ(fresh.status().ibsta, kOk);
  fresh.ibsre(0, 1);
  EXPECT_TRUE(fresh.remoteEnable());
  fresh.ibtmo(0, 11);
  EXPECT_EQ(fresh.status().ibsta, kOk);
  EXPECT_EQ(fresh.status().iberr, sim::SimulatedBus::kDefaultTimeoutCode);  // previous value
  const std::pair<std::string, std::string> exchange[] = {
      {"*IDN?", kIdentity}, {"*ESE 255;*SRE 32", ""}, {"FORM:TALK ASCII", ""},
      {"*ESR?", "0\n"},     {"R  0, 1", "5270\n"},    {"R  901, 1", "0\n"},
  };
  for (const auto& [line, reply] : exchange) {
    fresh.Send(0, 4, line.data(), static_cast<long>(line.size()), bus::EotMode::NLend);
    EXPECT_EQ(fresh.status().ibsta, kOk) << line;
    EXPECT_EQ(fresh.status().ibcntl, static_cast<long>(line.size()) + 1) << line;
    if (reply.empty()) continue;
    char buffer[80];
    fresh.Receive(0, 4, buffer, sizeof buffer, bus::STOPend);
    EXPECT_EQ(fresh.status().ibsta, kOk | bus::END) << line;
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(fresh.status().ibcntl)), reply);
  }
}

TEST_F(Bus, TimeoutCodesElapseOnTheClockAndBadOnesAreRefused) {
  const std::pair<int, double> rows[] = {{11, 1.0}, {9, 0.1}, {13, 10.0}, {17, 1000.0},
                                         {1, 10e-6}, {0, 0.0}};
  for (const auto& [code, seconds] : rows) {
    bus.ibtmo(0, code);
    const double before = clock.now();
    EXPECT_EQ(receive(), "") << code;
    EXPECT_EQ(bus.status().ibsta, kOk | bus::ERR | bus::TIMO) << code;
    EXPECT_EQ(bus.status().iberr, bus::EABO) << code;
    EXPECT_EQ(bus.status().ibcntl, 0);
    EXPECT_NEAR(clock.now() - before, seconds, 1e-9) << code;
  }
  bus.ibtmo(0, 11);
  for (int code : {18, -1}) {
    bus.ibtmo(0, code);
    EXPECT_EQ(bus.status().ibsta & bus::ERR, bus::ERR) << code;
    EXPECT_EQ(bus.status().iberr, bus::EARG) << code;
    EXPECT_EQ(bus.timeoutCode(), 11);
  }
}

TEST_F(Bus, DriverErrors) {
  using Call = std::function<void(sim::SimulatedBus&)>;
  struct Row {
    const char* name;
    Call call;
    int ibsta;
    int iberr;
    double elapsed;
  };
  std::int16_t poll = 0;
  char buf[16];
  const auto send = [](int board, int address, long count) -> Call {
    return [=](auto& b) { b.Send(board, static_cast<bus::Addr4882>(address), "X", count,
                                 bus::EotMode::NLend); };
  };
  const int kErr = kOk | bus::ERR, kTimo = kOk | bus::ERR | bus::TIMO;
  const Row rows[] = {
      {"send to empty address", send(0, 5, 1), kErr, bus::ENOL, 0.0},
      {"device clear of empty address", [](auto& b) { b.DevClear(0, 9); }, kErr, bus::ENOL, 0.0},
      {"receive from empty address", [&](auto& b) { b.Receive(0, 9, buf, 16, bus::STOPend); },
       kTimo, bus::EABO, 1.0},
      {"poll of empty address", [&](auto& b) { b.ReadStatusByte(0, 9, &poll); }, kTimo, bus::EABO,
       1.0},
      {"send to address 31", send(0, 31, 1), kErr, bus::EARG, 0.0},
      {"poll of address 40", [&](auto& b) { b.ReadStatusByte(0, 40, &poll); }, kErr, bus::EARG,
       0.0},
      {"send to the board itself", send(0, 0, 1), kErr, bus::EADR, 0.0},
      {"negative count", send(0, 4, -1), kErr, bus::EARG, 0.0},
      {"null buffer", [](auto& b) { b.Receive(0, 4, nullptr, 10, bus::STOPend); }, kErr, bus::EARG,
       0.0},
      {"bad termination", [&](auto& b) { b.Receive(0, 4, buf, 10, 0x200); }, kErr, bus::EARG, 0.0},
      {"null poll result", [](auto& b) { b.ReadStatusByte(0, 4, nullptr); }, kErr, bus::EARG, 0.0},
      {"board 1", [](auto& b) { b.SendIFC(1); }, bus::ERR, bus::ENEB, 0.0},
      {"unit 3 offline", [](auto& b) { b.ibonl(3, 0); }, bus::ERR, bus::EDVR, 0.0},
  };
  for (const Row& row : rows) {
    const double before = clock.now();
    row.call(bus);
    EXPECT_EQ(bus.status().ibsta & ~bus::SRQI, row.ibsta) << row.name;
    EXPECT_EQ(bus.status().iberr, row.iberr) << row.name;
    EXPECT_EQ(bus.status().ibcntl, 0) << row.name;
    EXPECT_DOUBLE_EQ(clock.now() - before, row.elapsed) << row.name;
  }
  EXPECT_EQ(poll, 0);
}

TEST_F(Bus, OfflineUntilInterfaceClearOrIbonl) {
  bus.ibonl(0, 0);
  EXPECT_EQ(bus.status().ibsta, bus::CMPL);
  std::int16_t poll = 0;
  const std::function<void()> calls[] = {
      [&] { send("*IDN?"); },          [&] { receive(); },
      [&] { bus.ibsre(0, 1); },        [&] { bus.ibtmo(0, 11); },
      [&] { bus.DevClear(0, 4); },     [&] { bus.ReadStatusByte(0, 4, &poll); },
  };
  for (const auto& call : calls) {
    call();
    EXPECT_EQ(bus.status().ibsta, bus::ERR);
    EXPECT_EQ(bus.status().iberr, bus::ENEB);
  }
  EXPECT_EQ(clock.now(), 0.0);  // an offline board waits for nothing
  bus.SendIFC(0);
  EXPECT_EQ(bus.status().ibsta, kOk);
  EXPECT_EQ(ask("*IDN?"), kIdentity);
  bus.ibonl(0, 0);
  bus.ibonl(0, 1);
  EXPECT_EQ(ask("R  0, 1"), "5270\n");
}

TEST_F(Bus, ListenerSearch) {
  std::vector<bus::Addr4882> all;
  for (int a = 0; a <= 30; ++a) all.push_back(static_cast<bus::Addr4882>(a));
  all.push_back(bus::NOADDR);
  struct Row {
    const char* name;
    bool converterPresent;
    std::vector<bus::Addr4882> list;
    int limit;
    std::vector<bus::Addr4882> results;
    int ibsta;
    int iberr;
  };
  const Row rows[] = {
      {"whole bus", true, all, 31, {0, 4, 7}, kOk, 0},
      {"converter absent", false, all, 31, {0, 7}, kOk, 0},
      {"list order kept", true, {7, 5, 4, 0, bus::NOADDR}, 31, {7, 4, 0}, kOk, 0},
      {"table overflow", true, all, 2, {0, 4}, kOk | bus::ERR, bus::ETAB},
      {"empty list", true, {bus::NOADDR}, 31, {}, kOk, 0},
      {"address 31 in list", true, {0, 31, bus::NOADDR}, 31, {}, kOk | bus::ERR, bus::EARG},
  };
  for (const Row& row : rows) {
    bus.setConverterPresent(row.converterPresent);
    std::vector<bus::Addr4882> results(33, 0);
    bus.FindLstn(0, row.list.data(), results.data(), row.limit);
    EXPECT_EQ(bus.status().ibsta, row.ibsta) << row.name;
    EXPECT_EQ(bus.status().iberr, row.iberr) << row.name;
    const int count = static_cast<int>(row.results.size());
    EXPECT_EQ(bus.status().ibcnt, count) << row.name;
    EXPECT_EQ(bus.status().ibcntl, count) << row.name;
    std::vector<bus::Addr4882> expected = row.results;
    expected.resize(33, 0);
    EXPECT_EQ(results, expected) << row.name;
  }
}

TEST_F(Bus, ReceiveStopsAtTerminationByteAndTakesNothingForZeroBytes) {
  send("R  0, 1");
  char buffer[16];
  bus.Receive(0, 4, buffer, sizeof buffer, '7');
  EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(bus.status().ibcntl)), "527");
  EXPECT_EQ(bus.status().ibsta, kOk | bus::END);
  bus.Receive(0, 4, buffer, 0, bus::STOPend);
  EXPECT_EQ(bus.status().ibsta, kOk);
  EXPECT_EQ(receive(), "0\n");
}

TEST_F(Bus, InstrumentAtSevenIdentifies) {
  send("*IDN?", 7);
  EXPECT_EQ(receive(256, 7), "SIMULATED,BENCH METER 7,0,1.0\n");
  send("BOGUS", 7);
  send("*ESR?", 7);
  EXPECT_EQ(receive(256, 7), "32\n");
}

TEST_F(Bus, ServiceRequestAndSerialPoll) {
  send("*ESE 255;*SRE 32");
  EXPECT_EQ(stb(), 0);
  EXPECT_EQ(bus.status().ibsta, kOk);
  send("BOGUS");  // command error -> ESB -> service request
  EXPECT_EQ(bus.status().ibsta, kOk | bus::SRQI);
  EXPECT_EQ(stb(), 96);                // RQS and ESB
  EXPECT_EQ(bus.status().ibsta, kOk);  // the poll took SRQ away
  EXPECT_EQ(stb(), 32);                // RQS reported once; ESB stays until the ESR is read
  EXPECT_EQ(ask("*STB?"), "96\n");     // MSS still summarises the enabled bits
  EXPECT_EQ(ask("*ESR?"), "32\n");
  EXPECT_EQ(stb(), 0);
  send("BOGUS");  // a new reason requests service again
  EXPECT_EQ(stb(), 96);
  // A reply waiting (MAV) requests service when enabled, until it is read.
  send("*CLS;*SRE 16");
  send("*IDN?");
  EXPECT_EQ(stb(), 64 | 16);
  EXPECT_EQ(stb(), 16);
  receive();
  EXPECT_EQ(stb(), 0);
}

TEST_F(Bus, DeviceClearDropsThePendingReplyOnly) {
  send("*ESE 8;*IDN?");
  bus.DevClear(0, 4);
  EXPECT_EQ(bus.status().ibsta, kOk);
  EXPECT_EQ(receive(), "");
  EXPECT_EQ(bus.status().iberr, bus::EABO);
  bus.DevClear(0, bus::NOADDR);
  EXPECT_EQ(ask("*ESE?"), "8\n");
}

TEST_F(Bus, RemoteEnableHandsBackThePreviousSetting) {
  bus.ibsre(0, 0);
  EXPECT_EQ(bus.status().iberr, 1);
  EXPECT_FALSE(bus.remoteEnable());
  bus.ibsre(0, 1);
  EXPECT_EQ(bus.status().iberr, 0);
}

}  // namespace
