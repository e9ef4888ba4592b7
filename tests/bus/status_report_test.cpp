#include <gtest/gtest.h>

#include "Clock.h"
#include "GPIB32.h"
#include "Recorder.h"
#include "StatusReport.h"
#include "TestBus.h"

namespace {

struct ReportRow {
  const char* label;
  int ibsta;
  int iberr;
  long ibcntl;
  const char* report;
};

TEST(StatusReport, ExactText) {
  const ReportRow rows[] = {
      {"SendIFC Error", 0x8100, 0, 0, "SendIFC Error   CMPL >iberr =  0 EDVR <DOS Error>ibcnt =  0"},
      {"ReadStatusByte Error", 0x8000, 2, 0,
       "ReadStatusByte Error   ERR >iberr =  2 ENOL <No Listener>ibcnt =  0"},
      {"x", 0xC100, 6, 0, "x   CMPL >iberr =  6 EABO <Op. aborted>ibcnt =  0"},
      {"x", 0x8000, 8, 3, "x   ERR >iberr =  8ibcnt =  3"},
      {"x", 0x8000, 2, -1, "x   ERR >iberr =  2 ENOL <No Listener>ibcnt = -1"},
      {"x", 0, 7, 0, "x   >iberr =  7 ENEB <No GPIB board>ibcnt =  0"},
      {"x", 0x8001, 20, 12, "x   DCAS >iberr =  20 ETAB <Table Overflow>ibcnt =  12"},
      {"", 0x8000, -1, 0, "   ERR >iberr = -1ibcnt =  0"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(bus::statusReportText(r.label, r.ibsta, r.iberr, r.ibcntl), r.report);
}

TEST(StatusReport, EveryStatusBitAndErrorName) {
  const char* bits[] = {" DCAS", " DTAS", " LACS", " TACS", " ATN",  " CIC",  " REM",  " LOK",
                        " CMPL", " EVENT", " SPOLL", " RQS", " SRQI", " END", " TIMO", " ERR"};
  for (int b = 0; b < 16; ++b) EXPECT_EQ(bus::statusName(1 << b), bits[b]);
  EXPECT_EQ(bus::statusName(0), "");
  const std::pair<int, const char*> errors[] = {
      {0, " EDVR <DOS Error>"},         {1, " ECIC <Not CIC>"},        {2, " ENOL <No Listener>"},
      {3, " EADR <Address error>"},     {4, " EARG <Invalid argument>"}, {5, " ESAC <Not Sys Ctrlr>"},
      {6, " EABO <Op. aborted>"},       {7, " ENEB <No GPIB board>"},  {8, ""},
      {9, ""},                          {10, " EOIP <Async I/O in prg>"}, {11, " ECAP <No capability>"},
      {12, " EFSO <File sys. error>"},  {13, ""},                     {14, " EBUS <Command error>"},
      {15, " ESTB <Status byte lost>"}, {16, " ESRQ <SRQ stuck on>"},  {17, ""},
      {20, " ETAB <Table Overflow>"},   {21, ""},
  };
  for (const auto& [code, name] : errors) EXPECT_EQ(bus::errorName(code), name) << code;
}

TEST(StatusReport, ReportTakesBoardZeroOffline) {
  testing_support::TestBus bus;
  bus::VirtualClock clock;
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib(bus, clock, sound, &rec);
  gpib.BoardIndex = 3;
  bus.failNext("Send", bus::ENOL);
  gpib.Send(3, 4, "*IDN?", 1);
  std::string label = "ReadStatusByte Error";
  gpib.BusStatusReport(label);
  EXPECT_EQ(label, "ReadStatusByte Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0");
  EXPECT_EQ(gpib.ErrorText, label);
  EXPECT_EQ(rec.events(), (std::vector<std::string>{"Send(3, 4, \"*IDN?\", NLend)", "ibonl(0, 0)"}));
}

}  // namespace
