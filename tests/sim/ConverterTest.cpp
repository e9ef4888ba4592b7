#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <optional>
#include <tuple>

#include "Message.h"
#include "SimTestSupport.h"

namespace {

// A line sent, and the reply read after it (nullopt: no read).
struct Line {
  std::string command;
  std::optional<std::string> reply;
};

struct Script {
  const char* name;
  std::vector<Line> lines;
};

void PrintTo(const Script& script, std::ostream* os) { *os << script.name; }

// Each script runs on a fresh bus; a reply of nullopt means the console reads nothing after the
// line, "" means it reads and the read times out.
const Script kScripts[] = {
    {"identity lower case", {{"*idn?", "ORVANE,5630,SIM-000417,2.10\n"}}},
    {"discovery setup", {{"*ESE 255;*SRE 32", {}}, {"*ESE?;*SRE?", "255;32\n"}}},
    {"ese fraction rounds", {{"*ESE  3.5", {}}, {"*ESE?", "4\n"}, {"*ESR?", "0\n"}}},
    {"ese out of range", {{"*ESE 256", {}}, {"*ESE?", "0\n"}, {"*ESR?", "16\n"}, {"*ESR?", "0\n"}}},
    {"ese not a number", {{"*ESE abc", {}}, {"*ESR?", "32\n"}}},
    {"sre bit 6 not settable", {{"*SRE 255", {}}, {"*SRE?", "191\n"}}},
    {"unknown command", {{"BOGUS", {}}, {"*ESR?", "32\n"}, {"*ESR?", "0\n"}}},
    {"cls clears events", {{"BOGUS", {}}, {"*CLS", {}}, {"*ESR?", "0\n"}}},
    {"read with nothing to say", {{"*CLS", ""}, {"*ESR?", "4\n"}}},
    {"unread reply lost", {{"*IDN?", {}}, {"*ESR?", "4\n"}}},
    {"stb with reply waiting", {{"*IDN?;*STB?", "ORVANE,5630,SIM-000417,2.10;16\n"}}},
    {"stb esb and mss",
     {{"*ESE 32;*SRE 32", {}},
      {"BOGUS", {}},
      {"*STB?", "96\n"},
      {"*ESR?", "32\n"},
      {"*STB?", "0\n"}}},
    {"opc", {{"*OPC", {}}, {"*ESR?", "1\n"}, {"*OPC?", "1\n"}}},
    {"psc query",
     {{"*PSC?", "1\n"}, {"*PSC 0", {}}, {"*PSC?", "0\n"}, {"*PSC  .5", {}}, {"*PSC?", "1\n"}}},
    {"sav slot 0 only", {{"*SAV 0", {}}, {"*ESR?", "0\n"}, {"*SAV 1", {}}, {"*ESR?", "16\n"}}},
    {"read temperature", {{"R  100, 1", "75\n"}, {"E?", "0\n"}}},
    {"read serial number", {{"R  1, 2", "42,1187\n"}}},
    {"read identity block", {{"R  3, 3", "302,1,2311\n"}}},
    {"read time of day", {{"R  1916, 3", "0,0,0\n"}}},
    {"hex format",
     {{"FORM:TALK HEXL", {}},
      {"R  300, 1", "004B\n"},
      {"R  0, 1", "1496\n"},
      {"FORM:TALK?", "HEXL\n"},
      {"form:talk ascii", {}},
      {"R  300, 1", "75\n"}}},
    {"hex negative", {{"W  300,-40", {}}, {"FORM:TALK HEXL", {}}, {"R  300, 1", "FFD8\n"}}},
    {"format bad word", {{"FORM:TALK OCTAL", {}}, {"*ESR?", "16\n"}, {"FORM:TALK?", "ASCII\n"}}},
    {"write negative", {{"W  300,-40", {}}, {"R  300, 1", "-40\n"}, {"E?", "0\n"}}},
    {"write fraction rounds half up", {{"W  300, 72.5", {}}, {"R  300, 1", "73\n"}}},
    {"write below low limit is off", {{"W  300,-101", {}}, {"R  300, 1", "-101\n"}, {"E?", "0\n"}}},
    {"write unsigned form", {{"W  300, 65535", {}}, {"R  300, 1", "-1\n"}}},
    {"write several registers", {{"W  4000, 7, 3", {}}, {"E?", "0\n"}, {"R  4000, 2", "7,3\n"}}},
    {"write out of 16 bits", {{"W  300, 65536", {}}, {"*ESR?", "16\n"}, {"R  300, 1", "75\n"}}},
    {"write without value", {{"W  300", {}}, {"*ESR?", "32\n"}}},
    {"read without count", {{"R  300", {}}, {"*ESR?", "32\n"}}},
    {"read count zero", {{"R  300, 0", {}}, {"*ESR?", "16\n"}}},
    {"read register out of range", {{"R  70000, 1", {}}, {"*ESR?", "16\n"}}},
    {"unknown register", {{"R  9999, 1", ""}, {"E?", "2\n"}, {"*ESR?", "12\n"}}},
    {"value above high limit", {{"W  300, 1001", {}}, {"E?", "3\n"}, {"R  300, 1", "75\n"}}},
    {"read-only register", {{"W  0, 1", {}}, {"E?", "2\n"}}},
    {"error register survives reading", {{"R  9999, 1", {}}, {"E?", "2\n"}, {"E?", "2\n"}}},
    {"error register cleared by next transaction",
     {{"R  9999, 1", {}}, {"R  0, 1", "5270\n"}, {"E?", "0\n"}}},
    {"other device address times out",
     {{"C  2", {}},
      {"R  0, 1", ""},
      {"E?", "101\n"},
      {"C  1", {}},
      {"E?", "101\n"},
      {"R  0, 1", "5270\n"},
      {"E?", "0\n"}}},
    {"broadcast write",
     {{"C  0", {}}, {"W  300, 80", {}}, {"E?", "0\n"}, {"C 1", {}}, {"R  300, 1", "80\n"}}},
    {"address query", {{"C  17", {}}, {"C?", "17\n"}}},
    {"rst restores format and address",
     {{"FORM:TALK HEXL;C 5", {}}, {"*RST", {}}, {"C?", "1\n"}, {"R  300, 1", "75\n"}}},
    {"baud settings",
     {{"SYST:COMM:SER:BAUD?", "9600\n"},
      {"SYST:COMM:SER:BAUD 19200", {}},
      {"SYST:COMM:SER:BAUD?", "19200\n"},
      {"SYST:COMM:SER 9600", {}},
      {"syst:comm:ser:baud?", "9600\n"},
      {"SYSTEM:COMMUNICATE:SERIAL:BAUD?", "9600\n"}}},
    {"baud unsupported",
     {{"SYST:COMM:SER:BAUD 4800", {}}, {"*ESR?", "16\n"}, {"SYST:COMM:SER:BAUD?", "9600\n"}}},
    {"rs485 settings",
     {{"SYST:COMM:SER:RS485?", "1\n"},
      {"SYST:COMM:SER:RS485 OFF", {}},
      {"SYST:COMM:SER:RS485?", "0\n"},
      {"SYST:COMM:SER:RS485 on", {}},
      {"SYST:COMM:SER:RS485?", "1\n"},
      {"SYST:COMM:SER:RS485 MAYBE", {}},
      {"*ESR?", "16\n"}}},
    {"baud takes effect at update only",
     {{"SYST:COMM:SER:BAUD 19200", {}},
      {"R  0, 1", "5270\n"},
      {"SYST:COMM:SER:UPDATE", {}},
      {"R  0, 1", ""},
      {"E?", "101\n"},
      {"SYST:COMM:SER 9600;SYST:COMM:SER:UPDATE", {}},
      {"R  0, 1", "5270\n"}}},
    {"empty commands ignored", {{";;*IDN?;", "ORVANE,5630,SIM-000417,2.10\n"}}},
};

class ConverterScript : public simtest::BusFixture, public ::testing::WithParamInterface<Script> {};

TEST_P(ConverterScript, RepliesExactly) {
  for (const Line& line : GetParam().lines) {
    send(line.command);
    ASSERT_EQ(bus.status().ibsta & bus::ERR, 0) << line.command;
    if (!line.reply) continue;
    EXPECT_EQ(receive(), *line.reply) << line.command;
    if (line.reply->empty()) {
      EXPECT_EQ(bus.status().ibsta & (bus::ERR | bus::TIMO), bus::ERR | bus::TIMO) << line.command;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, ConverterScript, ::testing::ValuesIn(kScripts),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// ---- state behind the replies ----------------------------------------------------------------

using ConverterState = simtest::BusFixture;

TEST_F(ConverterState, PowerOnStateAndSettingsReachTheLinkOnlyAtUpdate) {
  const sim::Converter& c = bus.converter();
  EXPECT_EQ(ask("*ESE?;*SRE?;*ESR?;C?;FORM:TALK?"), "0;0;0;1;ASCII\n");
  EXPECT_EQ(ask("SYST:COMM:SER:BAUD?;SYST:COMM:SER:RS485?;E?"), "9600;1;0\n");
  send("SYST:COMM:SER:BAUD 19200;SYST:COMM:SER:RS485 OFF");
  EXPECT_EQ(c.linkBaud(), 9600);
  EXPECT_TRUE(c.linkRs485());
  send("SYST:COMM:SER:UPDATE");
  EXPECT_EQ(c.linkBaud(), 19200);
  EXPECT_FALSE(c.linkRs485());
}

TEST_F(ConverterState, PowerCycleRestoresSavedEnablesUnlessClearRequested) {
  send("*ESE 20;*SRE 16;*PSC 0;SYST:COMM:SER 19200;*SAV 0");
  send("*ESE 1;*SRE 1;SYST:COMM:SER 9600");
  bus.converter().powerCycle();
  EXPECT_EQ(ask("*ESE?;*SRE?;SYST:COMM:SER:BAUD?"), "20;16;19200\n");
  EXPECT_EQ(bus.converter().linkBaud(), 19200);
  EXPECT_EQ(ask("*ESR?"), "128\n");  // power on
  send("*PSC 1");
  bus.converter().powerCycle();
  EXPECT_EQ(ask("*ESE?;*SRE?"), "0;0\n");
}

TEST_F(ConverterState, ModelIsConfigurable) {
  bus.converter().setModel("1234");
  EXPECT_EQ(ask("*IDN?"), "ORVANE,1234,SIM-000417,2.10\n");
}

TEST_F(ConverterState, MessageEndsAtLineFeedOrEoiAndAnOverlongOneIsAnError) {
  bus.Send(0, 4, "*IDN", 4, bus::EotMode::NULLend);
  bus.Send(0, 4, "?", 1, bus::EotMode::NLend);
  EXPECT_EQ(receive(), simtest::kIdentity);
  bus.Send(0, 4, "R 0,1", 5, bus::EotMode::DABend);  // EOI on the last byte, no line feed
  EXPECT_EQ(receive(), "5270\n");
  send(std::string(5000, 'R'));
  EXPECT_EQ(ask("*ESR?"), "32\n");
  EXPECT_EQ(ask("R  0, 1"), "5270\n");
}

// ---- the parser on its own -------------------------------------------------------------------

TEST(Parsing, LenientDecimalNumbersWholeNumbersAndMessageUnits) {
  const std::pair<const char*, std::optional<double>> rows[] = {
      {"  100", 100.0}, {" 72.5 ", 72.5},  {"-40", -40.0},       {"+3", 3.0},
      {".5", 0.5},      {"5.", 5.0},       {"1E-2", 0.01},       {"\t7\r", 7.0},
      {"", {}},         {"12abc", {}},     {"-", {}},            {".", {}},
      {"1e", {}},       {"inf", {}},       {"nan", {}},          {"1.2.3", {}},
      {"0x10", {}},     {"1e400", HUGE_VAL}, {"1e-400", 0.0},
  };
  for (const auto& [text, value] : rows) EXPECT_EQ(sim::parseNumber(text), value) << text;
  const std::tuple<double, int, int, std::optional<int>> whole[] = {
      {2.5, 0, 10, 3},          {-2.5, -10, 10, -3},   {2.49, 0, 10, 2},  {10.4, 0, 10, 10},
      {10.5, 0, 10, {}}, {HUGE_VAL, 0, 10, {}}, {NAN, 0, 10, {}},
  };
  for (const auto& [x, low, high, value] : whole) EXPECT_EQ(sim::wholeNumber(x, low, high), value) << x;
  const auto units = sim::splitMessage(" *ese 255 ; ;syst:comm:ser:baud?;W  300, 10,20 ");
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[0].header + "|" + units[0].parameters, "*ESE|255");
  EXPECT_EQ(units[1].header + "|" + units[1].parameters, "SYST:COMM:SER:BAUD?|");
  EXPECT_EQ(units[2].header, "W");
  EXPECT_EQ(sim::splitParameters(units[2].parameters),
            (std::vector<std::string>{"300", "10", "20"}));
}

}  // namespace
