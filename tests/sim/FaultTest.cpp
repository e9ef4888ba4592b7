#include <gtest/gtest.h>

#include <random>

#include "SimTestSupport.h"

namespace {

using Faults = simtest::BusFixture;
using simtest::kIdentity;

TEST_F(Faults, ConverterAbsentOrSilentAndBack) {
  bus.setConverterPresent(false);
  send("*IDN?");
  EXPECT_EQ(bus.status().iberr, bus::ENOL);
  EXPECT_EQ(receive(), "");
  EXPECT_EQ(bus.status().iberr, bus::EABO);
  bus.setConverterPresent(true);
  EXPECT_EQ(ask("*IDN?"), kIdentity);
  // A silent converter still listens, but every read and poll times out.
  bus.setConverterSilent(true);
  send("W  300, 80");
  EXPECT_EQ(bus.status().ibsta & bus::ERR, 0);
  const double before = clock.now();
  EXPECT_EQ(ask("R  300, 1"), "");
  EXPECT_EQ(bus.status().ibsta & (bus::ERR | bus::TIMO), bus::ERR | bus::TIMO);
  EXPECT_DOUBLE_EQ(clock.now() - before, 1.0);
  stb();
  EXPECT_EQ(bus.status().ibsta & bus::TIMO, bus::TIMO);
  bus.setConverterSilent(false);
  EXPECT_EQ(ask("R  300, 1"), "80\n");
}

TEST_F(Faults, NextTransactionsFailWithTheGivenCode) {
  for (int code : {1, 2, 3, 100, 101, 201, 203, 250, 299, 150, 404}) {
    bus.failNextTransactions(2, code);
    frames.clear();
    const std::string expected = std::to_string(code) + "\n";
    EXPECT_EQ(ask("R  300, 1"), "") << code;
    EXPECT_EQ(ask("E?"), expected) << code;
    send("W  300, 90");
    EXPECT_EQ(ask("E?"), expected) << code;
    EXPECT_EQ(ask("R  300, 1"),
              code == 101 || code == 1 || code == 2 || code == 3 || code == 150 || code == 404
                  ? "75\n"   // the write never reached the controller
                  : "90\n")  // it did; only its answer was damaged
        << code;
    EXPECT_EQ(ask("E?"), "0\n") << code;
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].errorCode, code);
    send("W  300, 75");
  }
}

TEST_F(Faults, DamagedFramesLookTheirPart) {
  struct Row {
    int code;
    std::size_t responseLength;
    bool crcValid;
  };
  const Row rows[] = {{101, 0, false}, {100, 7, false}, {203, 3, false}, {2, 5, true}};
  for (const Row& row : rows) {
    bus.failNextTransactions(1, row.code);
    frames.clear();
    send("R  300, 1");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].response.size(), row.responseLength) << row.code;
    EXPECT_EQ(sim::crcValid(frames[0].response), row.crcValid) << row.code;
  }
}

TEST_F(Faults, FailedTransactionSetsDeviceDependentError) {
  send("*ESE 8;*SRE 32");
  bus.failNextTransactions(1, 101);
  send("W  300, 80");
  EXPECT_EQ(ask("*STB?"), "96\n");
  EXPECT_EQ(ask("*ESR?"), "8\n");
}

TEST_F(Faults, RegisterHoldsAValueOrAnswersNothing) {
  bus.setRegisterValue(0, 5271);
  bus.setRegisterValue(100, 0xFFFE);
  EXPECT_EQ(ask("R  0, 1;R  100, 1"), "5271;-2\n");
  bus.clearRegisterFault(100);
  EXPECT_EQ(ask("R  100, 1"), "75\n");
  bus.setRegisterSilent(100);
  EXPECT_EQ(ask("R  100, 1"), "");
  EXPECT_EQ(ask("E?"), "101\n");
  EXPECT_EQ(ask("R  300, 1"), "75\n");
  EXPECT_EQ(ask("W  300, 80;R  99, 3"), "");  // a read that covers it
  EXPECT_EQ(ask("E?"), "101\n");
  bus.setRegisterSilent(300);
  send("W  300, 90");
  EXPECT_EQ(ask("E?"), "101\n");
  bus.clearFaults();
  EXPECT_EQ(ask("R  300, 1"), "80\n");
}

TEST_F(Faults, RawReplyWhateverWasAskedAndIdentityText) {
  std::string raw("A\0B\xFF\x80", 5);
  raw += std::string(294, '\xE9') + "\n";
  bus.setNextReply(raw);
  send("W  300, 80");  // a command that answers nothing
  EXPECT_EQ(receive(256), raw.substr(0, 256));
  EXPECT_EQ(bus.status().ibsta, simtest::kOk);  // no END: more to come
  EXPECT_EQ(receive(256), raw.substr(256));
  EXPECT_EQ(bus.status().ibsta, simtest::kOk | bus::END);
  EXPECT_EQ(bus.status().ibcntl, 44);
  EXPECT_EQ(ask("R  300, 1"), "80\n");  // only the next reply
  bus.setNextReply("5270.5");
  EXPECT_EQ(ask("R  0, 1"), "5270.5");
  bus.setNextReply("");
  EXPECT_EQ(ask("*IDN?"), "");  // nothing to say at all: the read times out
  bus.setIdentity("ACME,9999,1,0.1");
  EXPECT_EQ(ask("*IDN?"), "ACME,9999,1,0.1\n");
}

TEST_F(Faults, ControllerAtAnotherBaudRateAndClearFaultsTakesEverythingBack) {
  bus.setControllerBaud(19200);
  EXPECT_EQ(ask("R  0, 1"), "");
  EXPECT_EQ(ask("E?"), "101\n");
  EXPECT_EQ(ask("SYST:COMM:SER:BAUD 19200;R  0, 1"), "");  // not before the update
  EXPECT_EQ(ask("SYST:COMM:SER:UPDATE;R  0, 1"), "5270\n");
  bus.setControllerBaud(4800);  // a rate the converter cannot even take
  EXPECT_EQ(ask("R  0, 1"), "");
  bus.setConverterPresent(false);
  bus.setConverterSilent(true);
  bus.failNextTransactions(5, 3);
  bus.setRegisterValue(0, 1);
  bus.setNextReply("junk");
  bus.clearFaults();
  EXPECT_EQ(ask("SYST:COMM:SER 9600;SYST:COMM:SER:UPDATE;R  0, 1;E?"), "5270;0\n");
}

// Garbage of every kind must leave the bus and its devices answering normally.
TEST_F(Faults, GarbageNeverBreaksAnything) {
  std::mt19937 random(1234);
  const std::string nasty[] = {
      "R  1e308, 1e308", "W  300, -1e308", "W  4000,,,", "R ,", "C 1e999", "*ESE 1e-999",
      "W  300," + std::string(3000, '9'), std::string(2000, ';'), "R  100, 1;R 0,125", "::::",
      "W  4002, 255;W 4002, 5", "SYST:COMM:SER:BAUD -9600", "FORM:TALK", "*IDN? x",
      std::string("R\0 0, 1", 7),
  };
  for (const std::string& line : nasty) {
    send(line);
    receive();
  }
  for (int i = 0; i < 500; ++i) {
    std::string line(static_cast<std::size_t>(random() % 300), ' ');
    for (char& c : line) c = static_cast<char>(random() % 256);
    bus.Send(0, 4, line.data(), static_cast<long>(line.size()),
             static_cast<bus::EotMode>(random() % 3));
    char buffer[64];
    bus.Receive(0, 4, buffer, random() % 64, bus::STOPend);
  }
  bus.DevClear(0, 4);
  send("*CLS");
  EXPECT_EQ(ask("*IDN?;C 1;R  0, 1"), "ORVANE,5630,SIM-000417,2.10;5270\n");
}

// ---- RTU frames ----------------------------------------------------------------------------

TEST(Crc, KnownVectors) {
  const std::uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(sim::crc16(check, sizeof check), 0x4B37);
  sim::Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
  sim::appendCrc(request);
  EXPECT_EQ(request, (sim::Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}));
  EXPECT_TRUE(sim::crcValid(request));
  request[2] ^= 1;
  EXPECT_FALSE(sim::crcValid(request));
  EXPECT_FALSE(sim::crcValid(sim::Bytes{0x01, 0x03}));
}

using Frames = simtest::BusFixture;

TEST_F(Frames, EachTransactionAsItWentOverTheLine) {
  struct Row {
    const char* line;
    sim::Bytes request;   // without CRC
    sim::Bytes response;  // without CRC
  };
  const Row rows[] = {
      {"R  0, 1", {0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, {0x01, 0x03, 0x02, 0x14, 0x96}},
      {"R  1, 2", {0x01, 0x03, 0x00, 0x01, 0x00, 0x02}, {0x01, 0x03, 0x04, 0x00, 0x2A, 0x04, 0xA3}},
      {"W  300, 75", {0x01, 0x06, 0x01, 0x2C, 0x00, 0x4B}, {0x01, 0x06, 0x01, 0x2C, 0x00, 0x4B}},
      {"W  300,-40", {0x01, 0x06, 0x01, 0x2C, 0xFF, 0xD8}, {0x01, 0x06, 0x01, 0x2C, 0xFF, 0xD8}},
      {"W  4000, 3, 1",
       {0x01, 0x10, 0x0F, 0xA0, 0x00, 0x02, 0x04, 0x00, 0x03, 0x00, 0x01},
       {0x01, 0x10, 0x0F, 0xA0, 0x00, 0x02}},
      {"R  9999, 1", {0x01, 0x03, 0x27, 0x0F, 0x00, 0x01}, {0x01, 0x83, 0x02}},
      {"W  0, 1", {0x01, 0x06, 0x00, 0x00, 0x00, 0x01}, {0x01, 0x86, 0x02}},
  };
  for (const Row& row : rows) {
    frames.clear();
    send(row.line);
    receive();
    ASSERT_EQ(frames.size(), 1u) << row.line;
    sim::Bytes request = row.request, response = row.response;
    sim::appendCrc(request);
    sim::appendCrc(response);
    EXPECT_EQ(frames[0].request, request) << row.line;
    EXPECT_EQ(frames[0].response, response) << row.line;
  }
}

TEST_F(Frames, TimeoutHasNoResponseAndCarriesTheTime) {
  clock.sleepFor(12.5);
  send("C  2;R  0, 1");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].request[0], 0x02);
  EXPECT_TRUE(frames[0].response.empty());
  EXPECT_EQ(frames[0].errorCode, 101);
  EXPECT_DOUBLE_EQ(frames[0].time, 12.5);
}

}  // namespace
