#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "Message.h"
#include "SimulatedBus.h"

namespace {

std::string num(double value) { return (std::ostringstream() << value).str(); }
std::string rep(const std::string& t, int n) { return n ? t + rep(t, n - 1) : ""; }
std::string hex(const modbus::Bytes& bytes) {
  std::string text;
  for (int b : bytes) text += "0123456789ABCDEF"[b >> 4], text += "0123456789ABCDEF"[b & 15];
  return text;
}
const std::string kIdn = "ORVANE,5630,SIM-000417,2.10\n", kFull(1100, 'X'), kPad(252, ' ');

// The simulated bus on virtual time, driven by steps joined by " | ": LINE sends LINE (line
// feed, EOI) and reads the reply; >LINE only sends, }LINE ends it with EOI, )LINE without end;
// < reads 256 bytes (<3: three); $ polls; ! clears; @7 after the mark addresses 7 (!@-1: all);
// ~S lets S seconds pass; %60 sets the room temperature; L puts the chamber on its linear model
// (a constant 3 degrees a second, landing on the set point); 300=5 ?300 write and read controller
// registers, ?T its exact temperature; &0103012C0001 hands it that frame with CRC; # gives the
// Modbus frames since the last #. A step leaves the bytes read ("+" without EOI), the polled
// byte, a refused register access with "!" and its code, "E" and iberr, or "T" and the seconds
// a time-out took; "[]" for a read that ended at once with no data; "*" first while a device
// requests service.
struct Sim {
  bus::VirtualClock clock;
  sim::SimulatedBus bus{clock};
  sim::WatlowF4& f4 = bus.controller();
  std::string frames;

  Sim() {
    bus.converter().setFrameListener([this](const modbus::RtuExchange& e) {
      frames += " " + hex(e.request) + ">" + hex(e.response);
    });
    bus.ibtmo(0, 11);  // 1 s, as the console sets it
  }

  std::string run(const std::string& session) {
    std::string log, out;
    for (std::size_t at = 0, end = 0; at < session.size(); at = end + 3) {
      end = std::min(session.find(" | ", at), session.size());
      out = step(session.substr(at, end - at));
      log += out.empty() ? "" : (log.empty() ? "" : " | ") + out;
    }
    return log;
  }

  std::string step(std::string s) {
    const char kind = s[0];
    const double start = clock.now();
    if (kind == '~') return clock.sleepFor(std::stod(s.erase(0, 1))), "";
    if (kind == '%') return f4.setAmbient(std::stod(s.erase(0, 1))), "";
    if (s == "L") return f4.setChamberModel(sim::Chamber::Model::Linear), "";
    if (kind == '#') return "#" + std::exchange(frames, "");
    if (kind == '?' || std::isdigit(kind)) return registers(s);
    modbus::Bytes frame;
    for (std::size_t i = 1; kind == '&' && i < s.size(); i += 2)
      frame.push_back(static_cast<std::uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
    if (kind == '&') return modbus::appendCrc(frame), "&" + hex(f4.handle(frame));
    const bool query = std::string("<>})$!").find(kind) == std::string::npos;
    std::size_t used = 0;
    if (!query) s.erase(0, 1);
    const auto a = static_cast<bus::Addr4882>(s[0] == '@' ? std::stoi(s.erase(0, 1), &used) : 4);
    s.erase(0, used ? used + 1 : 0);
    const std::size_t mode = std::string(")>}").find(kind);  // NULLend, NLend, DABend
    if (query || mode != std::string::npos)
      bus.Send(0, a, s.data(), static_cast<long>(s.size()), bus::EotMode(query ? 1 : mode));
    std::string out(query || kind == '<' ? (s.empty() || query ? 256 : std::stoul(s)) : 0, '\0');
    if (!out.empty()) bus.Receive(0, a, out.data(), static_cast<long>(out.size()), bus::STOPend);
    if (!out.empty())
      out.resize(bus.status().ibcntl), out += bus.status().ibsta & bus::END ? "" : "+";
    if (out.empty() && (query || kind == '<') && (bus.status().ibsta & bus::END)) out = "[]";
    std::int16_t polled = 0;
    if (kind == '$') bus.ReadStatusByte(0, a, &polled), out = std::to_string(polled);
    if (kind == '!') bus.DevClear(0, a);
    const bus::Status st = bus.status();
    if (st.ibsta & bus::ERR)
      out = st.ibsta & bus::TIMO ? "T" + num(clock.now() - start) : "E" + std::to_string(st.iberr);
    return (st.ibsta & bus::SRQI ? "*" : "") + out;
  }

  std::string registers(const std::string& s) {
    std::istringstream in(s);
    std::string out;
    for (std::string t; in >> t;) {
      std::int16_t v = 0;
      const int reg = std::atoi(t.c_str() + (t[0] == '?'));  // ?T reads register 0, unused
      const int code =
          t[0] == '?' ? f4.read(reg, v) : f4.write(reg, std::atoi(&t[t.find('=') + 1]));
      const std::string value = t == "?T" ? num(f4.temperature()) : std::to_string(v);
      if (code || t[0] == '?') out += " " + (code ? t + "!" + std::to_string(code) : value);
    }
    return out.erase(0, !out.empty());
  }
};

void expectSessions(const std::vector<std::pair<std::string, std::string>>& rows) {
  for (const auto& [session, expected] : rows) EXPECT_EQ(Sim().run(session), expected) << session;
}

std::string status(const bus::Status& t) {
  char s[64];
  return std::string(s, std::snprintf(s, 64, "%x %d %d %ld", t.ibsta, t.iberr, t.ibcnt, t.ibcntl));
}

TEST(Converter, Sessions) {
  expectSessions({
      {"*idn? | >*ESE 3.5;*SRE 255;*PSC 0 | *ESE?;*SRE?;*PSC?;*TST?;*OPC?;*ESR? | "
       ">*ESE 256;*SRE 256;*PSC 32768;*PSC -32768;C 32768;C -32769 | "
       "*ESE?;*SRE?;*PSC?;C?;*ESR? | >*ESE 0;*SRE 0;*PSC .5;*SAV 0;*WAI;*OPC;C -32768 | "
       "*ESE?;*SRE?;*PSC?;C?;*ESR? | *SAV 1;*ESR? | *IDN?;*STB? | >*ESE 36;*SRE 32 | >BOGUS | "
       "*STB? | $ | $ | *ESR? | *STB? | >*RST | >*IDN? | *ESR? | < | *ESR?",
       kIdn + " | 4;191;0;0;1;0\n | 4;191;0;1;16\n | 0;0;1;-32768;1\n | 16\n | " +
           "ORVANE,5630,SIM-000417,2.10;16\n | * | *96\n | 96 | 32 | 32\n | 0\n | 4\n | *T1 | 4\n"},
      // Each refusal alone, with the event it leaves; none sends a frame.
      {"BOGUS;*ESR? | *CLS 1;*ESR? | *IDN? x;*ESR? | *ESE? 1;*ESR? | *ESR? 1;*ESR? | "
       "FORM? 1;*ESR? | FORM:TALK;*ESR? | FORM:TALK OCTAL;*ESR? | FORM:TALK:X HEXL;FORM?;*ESR? | "
       "*ESE abc;*ESR? | SYST:COMM:SER:RS485;*ESR? | "
       "SYST:COMM:SER:RS485 MAYBE;SYST:COMM:SER:RS485?;*ESR? | SYST:COMM:SER:RS485? 1;*ESR? | "
       "SYST:COMM:SER:UPD 1;*ESR? | SYST:COMM:SER 4800;*ESR? | R 0;*ESR? | W 0;*ESR? | "
       ">R 65536,1;R 0,0;R 0,126;W 65536,1;W 0,65536;W 0,-32769 | # | >W 0" +
           rep(",1", 124) + " | # | *ESR? | >W 0" + rep(",1", 123) + " | E?;*ESR?",
       "32\n | 32\n | 32\n | 32\n | 32\n | 32\n | 32\n | 16\n | ASCII;32\n | 32\n | 32\n | "
       "1;16\n | 32\n | 32\n | 16\n | 32\n | 32\n | # | # | 48\n | 2;8\n"},
      {":SYST:COMM:SER:BAUD?;SYST:COMM:SER:RS485? | >SYST:COMM:SER:BAUD 19200;SYST:COMM:SER:RS485 "
       "OFF | system:communicate:serial:baud?;syst:comm:ser:rs485? | R 0,1 | >SYST:COMM:SER:UPDATE "
       "| R 0,1 | E?;*ESR? | >SYST:COMM:SER 9600;SYST:COMM:SER:RS485 ON | SYST:COMM:SER?;"
       "SYST:COMM:SER:RS485? | >SYST:COMM:SER:UPD | R 0,1",
       "9600;1\n | 19200;0\n | 5270\n | [] | 101;8\n | 9600;1\n | 5270\n"},
      {">W 300,-40 | R 300,1;R 0,6 | >FORM:TALK HEXL | R 300,1;R 0,1;FORM:TALK? | "
       ">form:talk ascii | >W 300, 72.5 | R 300,1;FORMAT:TALK? | >W 300,65535 | R 300,1;E? | "
       "R 9999,1 | E?;*ESR? | E? | R 4000,2 | >W 4000,7,3 | E?;R 4000,2 | >W 300,1001 | E? | "
       ">FORM:TALK HEXL;C 5;*RST | E?;FORM:TALK?;C?",
       "-40;5270,42,1187,302,1,2311\n | FFD8;1496;HEXL\n | 73;ASCII\n | -1;0\n | [] | "
       "2;8\n | 2\n | 1,1\n | 0;7,3\n | 3\n | 0;ASCII;1\n"},
      {"R 0,1 | # | >W 300,-40 | # | >W 4000,3,1 | # | R 9999,1 | # | >W 0,1 | # | >C 0;W 300,80 | "
       "C?;E? | >R 0,1 | E? | >C 2;W 300,1 | E? | >C 247;R 0,1;C 248;R 0,1;C 1 | # | R 300,1 | "
       "~1 | R 300,1",
       "5270\n | # 010300000001840A>0103021496372A | # 0106012CFFD80855>0106012CFFD80855 | "
       "# 01100FA00002040003000189E7>01100FA0000242FE | [] | # 0103270F0001BEBD>018302C0F1 | "
       "# 010600000001480A>018602C3A1 | 0;0\n | 101\n | 101\n | # 0006012C00504812> "
       "00030000000185DB> 0206012C0001880C> F70300000001909C> FF030000000191D4> | T1 | 80\n"},
      {">*SRE 16 | )*IDN | >? | $ | < | }R 0,1 | < | )*ESR? | } | < | > | < | >*IDN? | )" + kFull +
           " | ! | *ESR? | >*IDN? | !@-1 | < | >*ESE 32;*SRE 32 | >" + std::string(1020, ' ') +
           "*CLS | *ESR? | >*CLS" + std::string(1021, ' ') + " | $ | *ESR? | }" + kFull,
       "* | 80 | " + kIdn + " | * | 5270\n | T1 | * | 4\n | * | * | 0\n | * | T1 | 0\n | * | " +
           "96 | 32\n | *"},
      {">@7 *IDN?;*STB? | $@7 | <@7 | >@7 BOGUS;*RST;*ESR? | <@7 | >@7 BOGUS;*CLS;*ESR?;*STB? | "
       "<@7 | <@7 | >@7 *ESR? | <@7 | >@7 *IDN? | >@7 *ESR? | <@7 | >@7 *IDN? | !@7 | <@7 | "
       ")@7 *IDN | !@-1 | }@7 *ESR? | <@7 | >@7 " +
           kPad + "*IDN? | >@7 *ESR? | <@7 | >@7 *IDN? | >@7 *CLS | <@7",
       "16 | SIMULATED,BENCH METER 7,0,1.0;16\n | 32\n | 0;16\n | T1 | 4\n | 4\n | T1 | 4\n | "
       "32\n | T1"},
  });
  const std::pair<const char*, std::optional<double>> rows[] = {
      {" 72.5 ", 72.5}, {"+.5", 0.5},        {"5.", 5.0},    {"1e+2", 100.0},
      {"2E1", 20.0},    {"1E-2", 0.01},      {"-", {}},      {"1e+", {}},
      {"12a", {}},      {"1e400", HUGE_VAL}, {"1E-400", 0.0}};
  for (const auto& [text, value] : rows) EXPECT_EQ(sim::parseNumber(text), value) << text;
}

// 100, 201-299: the controller acts, its answer is damaged; 1-99: answered for it; else lost.
TEST(Converter, FailedTransactions) {
  std::string log;
  for (int code : {1, 100, 299, 101, 150, 200, 201, 203, 300}) {
    Sim s;
    s.bus.failNextTransactions(2, code);
    log += s.run(">R 300,1 | # | >W 300,90 | E?;*ESR? | R 300,1") + ", ";
  }
  const std::string r = "# 0103012C0001443F>";
  EXPECT_EQ(log, r + "01830180F0 | 1;8\n | 75\n, " + r + "010302004BF88C | 100;8\n | 90\n, " + r +
                     "010302004BF873 | 299;8\n | 90\n, " + r + " | 101;8\n | 75\n, " + r +
                     " | 150;8\n | 75\n, " + r + " | 200;8\n | 75\n, " + r +
                     "01 | 201;8\n | 90\n, " + r + "010302 | 203;8\n | 90\n, " + r +
                     " | 300;8\n | 75\n, ");
}

TEST(Converter, FaultsOnCommandAndPowerCycle) {
  Sim s;
  sim::SimulatedBus& b = s.bus;
  b.setConverterPresent(false);
  EXPECT_EQ(s.run(">*IDN? | < | $ | !"), "E2 | T1 | T1 | E2");
  b.setConverterPresent(true), b.setConverterSilent(true);
  EXPECT_EQ(s.run(">W 300,80 | R 300,1 | $"), "T1 | T1");
  b.setConverterSilent(false), b.setRegisterValue(0, 5271), b.setRegisterValue(100, 0xFFFE),
      b.setRegisterSilent(300);
  EXPECT_EQ(s.run("R 0,1;R 100,1 | R 299,1 | E? | R 299,2 | E? | >W 300,90 | E?"),
            "5271;-2\n | [] | 2\n | [] | 101\n | 101\n");
  b.clearRegisterFault(100), b.setNextReply(std::string("A\0BCD", 5)),
      b.setIdentity("ACME,9999,1,0.1"), b.setControllerBaud(4800);
  EXPECT_EQ(s.run(">W 301,1 | <3 | < | < | *IDN? | R 0,1"),
            std::string("A\0B", 3) + "+ | CD | T1 | ACME,9999,1,0.1\n | []");
  b.setConverterPresent(false), b.setConverterSilent(true), b.failNextTransactions(5, 3),
      b.setNextReply("junk"), b.clearFaults();
  EXPECT_EQ(s.run("R 0,1;R 100,1;R 300,1"), "5270;75;80\n");
  s.run(
      ">*ESE 160;*SRE 32;*PSC 0;SYST:COMM:SER 19200;SYST:COMM:SER:RS485 OFF;*SAV 0;"
      "SYST:COMM:SER:UPD | >*ESE 1;*SRE 1;SYST:COMM:SER 9600;SYST:COMM:SER:RS485 ON;"
      "FORM:TALK HEXL;C 5;R 0,1 | >*IDN?");
  s.run(")" + kFull);  // power goes while a reply and an overlong line wait
  sim::Converter& c = b.converter();
  EXPECT_FALSE(c.linkRs485());
  b.setControllerBaud(19200), c.powerCycle();
  EXPECT_EQ(s.run("$ | *ESR?;*ESE?;*SRE?;SYST:COMM:SER?;SYST:COMM:SER:RS485?;FORM:TALK?;C?;E? | "
                  "R 0,1 | >*PSC 1"),
            "96 | 128;160;32;19200;0;ASCII;1;0\n | 5270\n");
  c.powerCycle(), c.setModel("1234");
  EXPECT_EQ(s.run("*ESE?;*SRE?;*IDN?"), "0;0;ORVANE,1234,SIM-000417,2.10\n");
}

TEST(Controller, Sessions) {
  expectSessions({
      {"?0 ?1 ?2 ?3 ?4 ?5 ?25 ?100 ?200 ?300 ?507 ?602 ?603 ?901 ?1217 ?4002 ?4003 ?4063 | "
       "300=1001 300=1000 0=1 5=0 100=1 200=1 4005=0 4063=0 25=1 25=0 500=2 500=0 507=1000 "
       "507=0 602=1000 603=-100 603=999 300=1000 700=3 700=0 717=2 901=2 901=0 1217=2 1217=0 "
       "1916=24 1916=23 1917=60 1917=59 1918=0 4000=41 4000=1 4001=257 4001=1 4002=0 4002=6 "
       "4003=1 500=1 550=0 700=1 ?500 ?550 ?700 ?717 ?1916 ?1917 ?1918",
       "5270 42 1187 302 1 2311 0 75 0 75 2 -100 1000 0 0 0 255 ?4063!2 | 300=1001!3 0=1!2 "
       "5=0!2 100=1!2 200=1!2 4005=0!3 4063=0!2 25=1!3 500=2!3 507=1000!3 602=1000!3 "
       "603=-100!3 300=1000!3 700=3!3 901=2!3 1217=2!3 1916=24!3 1917=60!3 4000=41!3 "
       "4001=257!3 4002=0!3 4002=6!3 4003=1!3 1 0 1 2 23 59 0"},
      {"1916=13 1917=0 1918=5 ?1916 ?1917 ?1918 | ~3655 | ?1916 ?1917 ?1918 1917=30 ?1917 "
       "?1918 | ~36000 | ?1916",
       "13 0 5 | 14 1 0 30 0 | 0"},
      {"300=212 901=1 ?300 ?100 ?602 ?603 ?901 901=1 ?300 | ~100 | ?100 901=0 ?300 ?100",
       "100 24 -73 538 1 100 | 24 212 75"},
      {"L | 700=1 717=2 300=150 | ~1 | ?100 | ~23 | ?T | ~1 | ?T | 300=60 | ~29 | ?100 | ~1 | ?T",
       "78 | 147 | 150 | 63 | 60"},
      {"L | ~10 | %85 | ~10 | ?T | 300=150 | ~100 | ?T", "80 | 85"},
      {"L | 602=50 700=1 717=2 300=50 | %60 | ~40 | ?100 300=51 | ~3 | ?T", "60 | 51"},
      {"L | 700=1 300=80 | ~1.5 | ?100 | ~0.5 | ?T | %100 | ~10 | ?T", "80 | 80 | 85"},
      {"L | 717=2 300=70 | %90 | ~1.8 | ?T | %50 | ~10 | ?T", "70 | 65"},
      {"4002=1 4003=1 4001=2 4002=2 4001=1 4002=2 4003=5 4002=2 4001=3 4002=2 4001=5 4002=2 "
       "4001=3 4003=2 4001=1 ?4003 4001=2 ?4003 4002=4 ?4003 4001=3 ?4003 4002=4 | 4001=1 "
       "4003=0 4009=24 4009=23 4003=1 4009=100 4009=0 4010=60 4010=0 4011=60 4011=0 4003=2 "
       "4011=0 4011=10000 4011=1 4004=2 4004=0 4008=8 4008=0 4012=2 4012=0 4044=1001 4044=-101 "
       "4044=-100 4046=2 4046=0 4048=2 4048=0 4060=4 4060=0 4003=4 4003=3 | 4003=1 4004=1 "
       "4008=7 4009=99 4010=59 4011=59 4012=1 4044=1000 4046=1 4048=1 4060=3 ?4003 ?4004 "
       "?4008 ?4009 ?4010 ?4011 ?4012 ?4044 ?4046 ?4048 ?4060",
       "4003=1!3 4002=2!3 4002=2!3 3 5 2 255 4002=4!3 | 4009=24!3 4009=100!3 4010=60!3 "
       "4011=60!3 4011=0!3 4011=10000!3 4004=2!3 4008=8!3 4012=2!3 4044=1001!3 4044=-101!3 "
       "4046=2!3 4048=2!3 4060=4!3 4003=4!3 | 1 1 7 99 59 59 1 1000 1 1 3"},
      {"4002=1 4002=1 4001=7 4002=1 ?4000 ?4001 4000=1 4002=3 4002=3 4002=1 ?4000 " +
           rep("4002=1 ", 37) + "?4000 4002=1 ?4000 4002=2 4002=255 4000=40 4002=3 | 4002=1 " +
           rep("4002=2 ", 256) + "4002=2",
       "3 1 4002=3!3 1 40 0 4002=2!3 4002=3!3 | 4002=2!3"},
      {"&0103 | &0103012C007E | &0105012C0001 | &0104012C0001 | &0110012C0001020050 | ?300 | "
       "&0110012C00020500500051 | ?300 | &0110012C007CF8" +
           rep("00", 248),
       "&0183030131 | &0183030131 | &0185018350 | &010402004BF907 | &0110012C0001C1FC | 80 | "
       "&0190030C01 | 80 | &0190030C01"},
  });
}

// Profile 1: start at 00:00:30, ramp at 60 degrees a minute to 95, soak 30 s, end holding.
// Profile 2: five minutes to 131, end with all outputs off. Profile 3: soak 10 s, no end.
TEST(Controller, ProfilesRun) {
  Sim s;
  EXPECT_EQ(
      s.run("L | 700=1 717=2 | %70 | 4002=1 4002=2 4003=0 4011=30 4001=2 4002=2 4003=2 4011=600 "
            "4044=95 4001=3 4002=2 4003=3 4011=30 4001=4 4002=2 4003=5 4060=0 | 4002=1 4002=2 "
            "4003=1 4010=5 4044=131 4001=2 4002=2 4003=5 4060=2 | 4002=1 4002=2 4003=3 "
            "4011=10 | ~1000 | 1916=23 1917=59 1918=30 4000=1 4001=1 4002=5 ?200 | ~59 | ?300 "
            "| ~11 | ?300 ?100 4002=3 4002=255 4003=3 4002=2 4000=2 4003=1 | ~10 | ?300 | ~35 "
            "| ?100 ?300 ?200 901=1 ?300 4000=1 4001=2 ?4011 ?4044 4011=9999 901=0 ?300 ?4011 "
            "?4044 300=75 ?300 | ~10 | 4000=2 4001=1 4002=5 | ~150 | ?300 ?100 ?200 901=1 "
            "?300 901=0 | ~151 | ?300 ?200 4000=3 4002=5 | ~5 | ?200 | ~6 | ?200 ?300 ?T "
            "4002=5 | ~2 | 1217=1 ?200 ?300 4000=2 4002=5 | ~301 | 300=75 | ~100 | ?100"),
      "2 | 75 | 85 85 4002=3!3 4002=255!3 4003=3!3 4002=2!3 | 95 | 95 95 0 35 333 35 95 9999 "
      "95 75 | 103 103 2 39 | 75 0 | 2 | 0 131 130.5 | 0 75 | 75");
  EXPECT_EQ(s.f4.stepCount(1) * 10 + s.f4.stepCount(2), 42);
}

// The thermal chamber's answer to a set point after the setup steps, watched every step for
// `seconds`: the highest and lowest temperature, when it first came within half a degree of the
// target and from when it stayed there ("never"), and where it ended.
std::string response(const std::string& setup, double target, double seconds,
                     const sim::Chamber::Plant& plant = {}, const sim::Chamber::Loop& loop = {}) {
  Sim s;
  s.f4.setPlant(plant), s.f4.setLoop(loop);
  s.run(setup);
  const double start = s.clock.now();
  double high = s.f4.temperature(), low = high, reached = -1, settled = -1, t = 0;
  while (t < seconds) {
    s.clock.sleepFor(0.1);
    t = s.clock.now() - start;
    const double now = s.f4.temperature();
    high = std::max(high, now), low = std::min(low, now);
    const bool near = std::fabs(now - target) <= 0.5;
    if (near && reached < 0) reached = t;
    if (near && settled < 0) settled = t;
    if (!near) settled = -1;
  }
  const auto when = [](double at) { return at < 0 ? std::string("never") : num(std::round(at)); };
  char text[96];
  std::snprintf(text, sizeof text, "%.1f..%.1f, near %s, settled %s, ends %.1f", low, high,
                when(reached).c_str(), when(settled).c_str(), s.f4.temperature());
  return text;
}

TEST(Chamber, PlantResponses) {
  const std::string settled150 = "700=1 717=2 300=150 | ~300 | ";
  const struct {
    const char* what;
    std::string setup;
    double target;
    const char* expected;
    sim::Chamber::Plant plant = {};
    sim::Chamber::Loop loop = {};
  } rows[] = {
      // A few degrees over, within half a degree after 79 s (two minutes at most).
      {"heats from the room, overshoots, settles", "700=1 717=2 300=150", 150,
       "75.0..152.9, near 50, settled 79, ends 150.0"},
      {"cools more slowly than it heats", settled150 + "300=75", 75,
       "72.9..150.0, near 81, settled 108, ends 75.0"},
      {"heat only", "700=1 300=150", 150, "75.0..152.9, near 50, settled 77, ends 150.0"},
      {"heat only, a lower set point: the walls alone", settled150 + "717=0 300=100", 100,
       "100.1..150.0, near 277, settled 277, ends 100.1"},
      {"cool only, a higher set point", "717=2 300=150", 150,
       "75.0..75.0, near never, settled never, ends 75.0"},
      {"no output set up: to the room", "300=150 | %60", 60,
       "64.5..75.0, near never, settled never, ends 64.5"},
      {"in Celsius: 150 F becomes 66 C", settled150 + "901=1", 66,
       "65.6..66.4, near 0, settled 0, ends 66.0"},
      {"set point off: to the room", settled150 + "300=-100 | %60", 60,
       "87.6..150.0, near never, settled never, ends 87.6"},
      {"a derivative damps the overshoot",
       "700=1 717=2 300=150",
       150,
       "75.0..151.8, near 51, settled 62, ends 150.0",
       {},
       {10, 20, 1}},
      {"twice the dead time: the same loop swings on",
       "700=1 717=2 300=150",
       150,
       "75.0..161.1, near 55, settled never, ends 160.6",
       {2.5, 2500, 1200, 10, 10}},
      {"proportional only: short of the set point",
       "700=1 717=2 300=150",
       150,
       "75.0..151.8, near 51, settled never, ends 148.4",
       {},
       {10, 0, 0}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(response(row.setup, row.target, 300, row.plant, row.loop), row.expected) << row.what;
}

// A minute's ramp from the room to 150, then a minute's soak: set point and temperature every
// ten seconds. The temperature lags the ramp and overshoots where it ends.
TEST(Chamber, ProfileRampFollowedWithLag) {
  Sim s;
  s.run(
      "700=1 717=2 4002=1 4002=2 4003=1 4010=1 4044=150 4001=2 4002=2 4003=3 4010=1 4001=3 "
      "4002=2 4003=5 4001=1 4002=5");
  std::string seen;
  for (int t = 10; t <= 130; t += 10) seen += s.run("~10 | ?300 ?100") + ", ";
  EXPECT_EQ(seen,
            "88 78, 100 95, 113 110, 125 123, 138 137, 150 149, 150 159, 150 154, 150 149, "
            "150 150, 150 150, 150 150, 150 150, ");
}

// What a read of the converter waits for after its line went out: the transactions' bytes at the
// link's baud rate, 3.5 characters of silence after each frame, the controller's latency, or the
// converter's response time-out when no answer comes.
TEST(Converter, LinkTakesItsTime) {
  const struct {
    const char* setup;  // the bench before the line is sent
    const char* line;
    const char* expected;  // the reply read, and after how many milliseconds
  } rows[] = {
      {"", "R 100,1", "75\n 30.208"},        {"", "W 300,90;R 300,1", "90\n 61.563"},
      {"19200", "R 100,1", "75\n 17.604"},   {"silent", "R 100,1", "[] 513.177"},
      {"latency", "R 100,1", "75\n 75.208"}, {"instant", "R 100,1", "75\n 0"},
      {"injected", "R 100,1", "[] 17.188"},
  };
  for (const auto& row : rows) {
    Sim s;
    const std::string setup = row.setup;
    if (setup == "19200") s.run(">SYST:COMM:SER 19200;SYST:COMM:SER:UPD"), s.f4.setBaud(19200);
    if (setup == "silent") s.bus.setRegisterSilent(100);
    if (setup == "latency") s.bus.converter().setLatency(0.05);
    if (setup == "instant") s.bus.converter().setPaced(false);
    if (setup == "injected") s.bus.failNextTransactions(1, 101);
    const double start = s.clock.now();
    const std::string reply = s.run(row.line);
    char ms[32];
    std::snprintf(ms, sizeof ms, " %.3f", (s.clock.now() - start) * 1000);
    EXPECT_EQ(reply + (std::string(ms) == " 0.000" ? " 0" : ms), row.expected) << row.setup;
  }
  // A read whose time-out is shorter than the wait times out; the reply comes later.
  Sim s;
  s.bus.setRegisterSilent(100);
  s.bus.ibtmo(0, 9);  // 100 ms
  EXPECT_EQ(s.run(">R 100,1 | < | < | ~0.4 | < | E?"), "T0.1 | T0.1 | [] | 101\n");
}

TEST(Bus, DriverCallsAndListenerSearch) {
  Sim s;
  sim::SimulatedBus& b = s.bus;
  char got[16];
  std::string log;
  const auto note = [&] { log += status(b.status()) + ", "; };
  log = s.run(">@5 X | >@0 X | >@31 X | >@30 X | <@9 | $@9 | $@40 | !@9 | !@31 | *IDN?") + ", ";
  b.ibonl(3, 0), note(), b.ibonl(0, 0), note(), b.Receive(0, 4, got, 1, bus::STOPend), note(),
      b.SendIFC(0), note(), b.ibtmo(0, 18), note(), b.ibtmo(0, 0), note(), b.ibsre(0, 1), note(),
      b.ibsre(0, 0), note(), b.Send(0, 4, nullptr, 0, bus::EotMode::NLend), note(),
      b.Send(0, 4, nullptr, 1, bus::EotMode::NLend), note(),
      b.Receive(0, 4, nullptr, 1, bus::STOPend), note(), b.Receive(0, 4, nullptr, 0, bus::STOPend),
      note(), b.Receive(0, 4, got, 1, 0x200), note(), b.Receive(0, 4, got, 1, 0xFF), note(),
      b.Receive(0, 4, got, 1, 0), note(), b.Send(0, 4, "R 0,1", 5, bus::EotMode::NLend),
      b.Receive(0, 4, got, 9, '7'), note(), b.Receive(0, 4, got, 1, bus::STOPend), note(),
      b.ReadStatusByte(0, 4, nullptr), note();
  for (int code = 0; code <= 17; ++code) b.ibtmo(0, code), log += s.run("<@9") + " ";
  EXPECT_EQ(log, "E2 | E3 | E4 | E2 | T1 | T1 | E4 | E2 | E4 | " + kIdn +
                     ", 8000 0 0 0, 100 0 0 0, 8000 7 0 0, 120 0 0 0, 8120 4 0 0, 120 11 0 0, "
                     "120 0 0 0, 120 1 0 0, 120 0 1 1, 8120 4 0 0, 8120 4 0 0, 120 0 0 0, "
                     "8120 4 0 0, c120 6 0 0, c120 6 0 0, 2120 0 3 3, 120 0 1 1, 8120 4 0 0, "
                     "T0 T1e-05 T3e-05 T0.0001 T0.0003 T0.001 T0.003 T0.01 T0.03 T0.1 T0.3 T1 T3 "
                     "T10 T30 T100 T300 T1000 ");
  const auto search = [](std::vector<bus::Addr4882> list, int limit, bool present = true) {
    Sim s;
    s.bus.setConverterPresent(present);
    std::vector<bus::Addr4882> found(33, 99);
    s.bus.FindLstn(0, list.data(), limit ? found.data() : nullptr, limit);
    std::string text = status(s.bus.status()) + ":";
    for (int a : found) text += a == 99 ? "" : " " + std::to_string(a);
    return text + ", ";
  };
  std::vector<bus::Addr4882> all, unended(258, 5);
  for (int a = 0; a <= 31; ++a) all.push_back(static_cast<bus::Addr4882>(a < 31 ? a : -1));
  unended[256] = 4;  // never read: a list ends at its 256th entry
  EXPECT_EQ(search(all, 3) + search(all, 3, false) + search(all, 2) + search(all, 0) +
                search(all, -1) + search({7, 5, 4, 0, bus::NOADDR}, 31) +
                search({0, 31, bus::NOADDR}, 31) + search(unended, 31),
            "120 0 3 3: 0 4 7, 120 0 2 2: 0 7, 8120 20 2 2: 0 4, 8120 20 0 0:, 8120 4 0 0:, "
            "120 0 3 3: 7 4 0, 8120 4 0 0: 0, 120 0 0 0:, ");
}

template <typename F>
F* entry(void* library, const char* name) {
  return reinterpret_cast<F*>(dlsym(library, name));
}

TEST(Bus, DriverLibraryLoadedByPath) {
  void* lib = dlopen(GPIBSIM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  EXPECT_EQ(entry<int(int, int)>(lib, "ibtmo")(0, 0), 0x120);  // a read of nothing fails at once
  std::string got;
  for (int mode : {2, 1, 0, 3}) {  // NLend, DABend, NULLend and one the library does not have
    char reply[64];
    entry<void(int, unsigned short, const void*, long, int)>(lib, "Send")(0, 4, "*IDN?", 5, mode);
    got += std::to_string(entry<int()>(lib, "ThreadIberr")()) + " ";
    entry<void(int, unsigned short, void*, long, int)>(lib, "Receive")(0, 4, reply, 64, 0x100);
    got += std::string(reply, entry<long()>(lib, "ThreadIbcntl")()) +
           std::to_string(*entry<int>(lib, "ibsta")) + "/" +
           std::to_string(entry<int()>(lib, "ThreadIbcnt")()) + " ";
  }
  EXPECT_EQ(got, "0 " + kIdn + "8480/28 0 " + kIdn + "8480/28 0 49440/0 4 49440/0 ");
  dlclose(lib);
}

}  // namespace
