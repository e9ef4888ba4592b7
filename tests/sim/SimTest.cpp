#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Message.h"
#include "SimulatedBus.h"
#include "StatusReport.h"

namespace {

using namespace std::string_literals;
using bus::EotMode;

std::string num(double value) { return (std::ostringstream() << value).str(); }
std::string repeat(const std::string& text, int n) { return n ? text + repeat(text, n - 1) : ""; }
std::string hex(const modbus::Bytes& bytes) {
  std::string text;
  for (int b : bytes) text += "0123456789ABCDEF"[b >> 4], text += "0123456789ABCDEF"[b & 15];
  return text;
}
const std::string kIdn = "ORVANE,5630,SIM-000417,2.10\n", kFull(1100, 'X'), kPad(252, ' ');
const std::string kTimedOut = "timed out after 1 s";  // the time-out the console sets
constexpr int kConverter = sim::SimulatedBus::kConverterAddress;
constexpr int kMeter = sim::SimulatedBus::kInstrumentAddress;

// The controller's registers and the values the stories write to them, by the F4's numbers.
constexpr int kTemperature = 100, kControlMode = 200, kSetPoint = 300, kLowLimit = 602,
              kHighLimit = 603, kOutput1A = 700, kOutput1B = 717, kUnit = 901, kProfileStop = 1217,
              kHours = 1916, kMinutes = 1917, kSeconds = 1918, kProfile = 4000, kStep = 4001,
              kAction = 4002, kStepType = 4003, kStepMinutes = 4010, kStepSeconds = 4011,
              kEndTemperature = 4044, kEndAction = 4060;
constexpr int kHeat = 1, kCool = 2;  // an output's function
constexpr int kCreate = 1, kInsertStep = 2, kDelete = 3, kDeleteStep = 4, kRun = 5,
              kDeleteAll = 255;                                            // profile actions
constexpr int kAutoStart = 0, kTimed = 1, kRamp = 2, kSoak = 3, kEnd = 5;  // step types
constexpr int kHold = 0, kAllOff = 2;                                      // end actions

struct Bench;
// One thing done on the bench, and what it should show (see Bench): nothing unless told.
struct Step {
  std::string what;
  std::function<std::string(Bench&)> run;
  std::string expected = {};
  Step shows(std::string text) const { return {what, run, std::move(text)}; }
};

// The simulated bus on virtual time, driven step by step as the console would drive it. A step
// shows the reply it read (" without END" where the read stopped before the end, "empty reply"
// where it ended at once with nothing), a poll's "status byte N", a register's value or the
// exception that refused the access ("exception 3"), the Modbus frames asked for, or how the call
// failed ("timed out after S s", or the driver's error: "ENOL"); ", SRQ" follows, or "SRQ" stands
// alone, while a device requests service. A step that went well and read nothing shows nothing.
struct Bench {
  bus::VirtualClock clock;
  sim::SimulatedBus bus{clock};
  sim::WatlowF4& f4 = bus.controller();
  std::string exchanges;  // the Modbus frames since frames() last took them

  Bench() {
    bus.converter().setFrameListener([this](const modbus::RtuExchange& e) {
      exchanges += (exchanges.empty() ? "" : ", ") + hex(e.request) + " -> " +
                   (e.response.empty() ? "no answer" : hex(e.response));
    });
    bus.ibtmo(0, 11);  // 1 s, as the console sets it
  }
  void play(const std::vector<Step>& story) {
    for (const Step& step : story) EXPECT_EQ(step.run(*this), step.expected) << step.what;
  }
  // What the driver's last call shows, `data` being what it read.
  std::string shown(std::string data, double start) const {
    const bus::Status s = bus.status();
    if (s.ibsta & bus::ERR)
      data = s.ibsta & bus::TIMO ? "timed out after " + num(clock.now() - start) + " s"
                                 : bus::errorCodeName(s.iberr);
    return s.ibsta & bus::SRQI ? data + (data.empty() ? "SRQ" : ", SRQ") : data;
  }
  void send(const std::string& line, EotMode end, int at) {
    bus.Send(0, at, line.data(), static_cast<long>(line.size()), end);
  }
  std::string receive(long count, int at) {
    std::string data(count, '\0');
    bus.Receive(0, at, data.data(), count, bus::STOPend);
    data.resize(bus.status().ibcntl);
    if (!(bus.status().ibsta & bus::END)) return data + " without END";
    return data.empty() ? "empty reply" : data;
  }
};

// A driver call as a step: `io` makes it and gives what it read.
Step call(const std::string& what, std::function<std::string(Bench&)> io) {
  return {what, [=](Bench& b) {
            const double start = b.clock.now();
            return b.shown(io(b), start);
          }};
}
Step send(const std::string& line, EotMode end = EotMode::NLend, int at = kConverter) {
  return call("send " + line, [=](Bench& b) { return b.send(line, end, at), ""s; });
}
Step ask(const std::string& line, int at = kConverter) {
  return call("ask " + line,
              [=](Bench& b) { return b.send(line, EotMode::NLend, at), b.receive(256, at); });
}
Step read(long count = 256, int at = kConverter) {
  return call("read", [=](Bench& b) { return b.receive(count, at); });
}
Step poll(int at = kConverter) {
  return call("poll", [=](Bench& b) {
    std::int16_t polled = 0;
    b.bus.ReadStatusByte(0, at, &polled);
    return "status byte " + std::to_string(polled);
  });
}
Step clear(int at = kConverter) {
  return call("clear", [=](Bench& b) { return b.bus.DevClear(0, at), ""s; });
}
// Register access straight to the controller, as a Modbus master has it.
Step readRegister(int reg) {
  return {"read register " + std::to_string(reg), [=](Bench& b) {
            std::int16_t value = 0;
            const int code = b.f4.read(reg, value);
            return code ? "exception " + std::to_string(code) : std::to_string(value);
          }};
}
Step writeRegister(int reg, int value) {
  return {"write register " + std::to_string(reg) + " = " + std::to_string(value), [=](Bench& b) {
            const int code = b.f4.write(reg, static_cast<std::int16_t>(value));
            return code ? "exception " + std::to_string(code) : ""s;
          }};
}
Step action(int what) { return writeRegister(kAction, what); }
// Register reads and what each shows; register writes in turn, each taken or refused with its
// exception.
std::vector<Step> reads(const std::vector<std::pair<int, const char*>>& rows) {
  std::vector<Step> steps;
  for (auto [reg, shows] : rows) steps.push_back(readRegister(reg).shows(shows));
  return steps;
}
struct Write {
  int reg, value, exception = 0;
};
std::vector<Step> writes(const std::vector<Write>& rows) {
  std::vector<Step> steps;
  for (auto [reg, value, exception] : rows)
    steps.push_back(
        writeRegister(reg, value).shows(exception ? "exception " + std::to_string(exception) : ""));
  return steps;
}
// A new profile with these steps, each its type and its registers, written as the profile window
// writes them: every step inserted before the one after the last.
using ProfileStep = std::pair<int, std::vector<std::pair<int, int>>>;
Step createProfile(const std::vector<ProfileStep>& steps) {
  return {"create a profile", [=](Bench& b) {
            std::string refused = writeRegister(kAction, kCreate).run(b);
            for (int n = 1; n <= static_cast<int>(steps.size()); ++n) {
              if (n > 1) refused += writeRegister(kStep, n).run(b);
              refused += writeRegister(kAction, kInsertStep).run(b);
              refused += writeRegister(kStepType, steps[n - 1].first).run(b);
              for (auto [reg, value] : steps[n - 1].second)
                refused += writeRegister(reg, value).run(b);
            }
            return refused;
          }};
}
// A Modbus RTU request in hex, handed to the controller with its CRC: its answer in hex.
Step request(const std::string& text) {
  return {"request " + text, [=](Bench& b) {
            modbus::Bytes frame;
            for (std::size_t i = 0; i < text.size(); i += 2)
              frame.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
            modbus::appendCrc(frame);
            return hex(b.f4.handle(frame));
          }};
}
// The converter's Modbus exchanges since the last time, each "request -> answer".
Step frames() {
  return {"frames", [](Bench& b) {
            const std::string taken = std::exchange(b.exchanges, {});
            return taken.empty() ? "none"s : taken;
          }};
}
// A change to the bench that shows nothing.
Step act(const std::string& what, std::function<void(Bench&)> change) {
  return {what, [=](Bench& b) { return change(b), ""s; }};
}
Step wait(double s) {
  return act("wait " + num(s), [=](Bench& b) { b.clock.sleepFor(s); });
}
Step ambient(double t) {
  return act("ambient", [=](Bench& b) { b.f4.setAmbient(t); });
}
// The thermal chamber's make and the controller's loop, as `sim plant` and `sim loop` set them.
Step plant(double mass, double heater, double cooler, double loss, double dead) {
  return act("plant", [=](Bench& b) { b.f4.setPlant({mass, heater, cooler, loss, dead}); });
}
Step loop(double p, double i, double d) {
  return act("loop", [=](Bench& b) { b.f4.setLoop({p, i, d}); });
}
// The chamber's linear model: a constant 3 degrees a second, landing on the set point.
Step linearChamber() {
  return act("linear", [](Bench& b) { b.f4.setChamberModel(sim::Chamber::Model::Linear); });
}
// The controller's exact temperature, unrounded.
Step temperature() {
  return {"temperature", [](Bench& b) { return num(b.f4.temperature()); }};
}

TEST(Converter, CommonCommandsAndServiceRequest) {
  Bench().play({ask("*idn?").shows(kIdn), send("*ESE 3.5;*SRE 255;*PSC 0"),
                ask("*ESE?;*SRE?;*PSC?;*TST?;*OPC?;*ESR?").shows("4;191;0;0;1;0\n"),
                send("*ESE 256;*SRE 256;*PSC 32768;*PSC -32768;C 32768;C -32769"),
                ask("*ESE?;*SRE?;*PSC?;C?;*ESR?").shows("4;191;0;1;16\n"),
                send("*ESE 0;*SRE 0;*PSC .5;*SAV 0;*WAI;*OPC;C -32768"),
                ask("*ESE?;*SRE?;*PSC?;C?;*ESR?").shows("0;0;1;-32768;1\n"),
                ask("*SAV 1;*ESR?").shows("16\n"),
                ask("*IDN?;*STB?").shows("ORVANE,5630,SIM-000417,2.10;16\n"),
                // A command error requests service: the event summary bit of the status byte.
                send("*ESE 36;*SRE 32"), send("BOGUS").shows("SRQ"),
                ask("*STB?").shows("96\n, SRQ"), poll().shows("status byte 96"),
                poll().shows("status byte 32"), ask("*ESR?").shows("32\n"),
                ask("*STB?").shows("0\n"),
                // A reply left unread, and a read with nothing to read, are query errors.
                send("*RST"), send("*IDN?"), ask("*ESR?").shows("4\n"),
                read().shows(kTimedOut + ", SRQ"), ask("*ESR?").shows("4\n")});
}

// Each refusal alone, with the event *ESR? reads after it: 32 a command error (an unknown header,
// a parameter missing, out of place or not a number), 16 an execution error (a value not taken).
TEST(Converter, RefusedCommands) {
  Bench b;
  for (const char* line :
       {"BOGUS", "*CLS 1", "*IDN? x", "*ESE? 1", "*ESR? 1", "FORM? 1", "FORM:TALK", "*ESE abc",
        "SYST:COMM:SER:RS485", "SYST:COMM:SER:RS485? 1", "SYST:COMM:SER:UPD 1", "R 0", "W 0"})
    b.play({ask(line + ";*ESR?"s).shows("32\n")});
  b.play({ask("FORM:TALK OCTAL;*ESR?").shows("16\n"),
          ask("FORM:TALK:X HEXL;FORM?;*ESR?").shows("ASCII;32\n"),
          ask("SYST:COMM:SER:RS485 MAYBE;SYST:COMM:SER:RS485?;*ESR?").shows("1;16\n"),
          ask("SYST:COMM:SER 4800;*ESR?").shows("16\n")});
  // Out of range, or more registers than a frame holds: nothing goes to the controller.
  b.play({send("R 65536,1;R 0,0;R 0,126;W 65536,1;W 0,65536;W 0,-32769"), frames().shows("none"),
          send("W 0" + repeat(",1", 124)), frames().shows("none"), ask("*ESR?").shows("48\n"),
          // As many as a frame holds go, to a register that cannot be written.
          send("W 0" + repeat(",1", 123)), ask("E?;*ESR?").shows("2;8\n")});
}

TEST(Converter, SerialLinkSettingsTakeEffectOnUpdate) {
  Bench().play({ask(":SYST:COMM:SER:BAUD?;SYST:COMM:SER:RS485?").shows("9600;1\n"),
                send("SYST:COMM:SER:BAUD 19200;SYST:COMM:SER:RS485 OFF"),
                ask("system:communicate:serial:baud?;syst:comm:ser:rs485?").shows("19200;0\n"),
                ask("R 0,1").shows("5270\n"), send("SYST:COMM:SER:UPDATE"),
                ask("R 0,1").shows("empty reply"), ask("E?;*ESR?").shows("101;8\n"),
                send("SYST:COMM:SER 9600;SYST:COMM:SER:RS485 ON"),
                ask("SYST:COMM:SER?;SYST:COMM:SER:RS485?").shows("9600;1\n"),
                send("SYST:COMM:SER:UPD"), ask("R 0,1").shows("5270\n")});
}

// Registers read and written in either format; the converter's error register E? holds the
// outcome of the last transaction.
TEST(Converter, RegistersFormatsAndTheErrorRegister) {
  Bench().play({send("W 300,-40"), ask("R 300,1;R 0,6").shows("-40;5270,42,1187,302,1,2311\n"),
                send("FORM:TALK HEXL"), ask("R 300,1;R 0,1;FORM:TALK?").shows("FFD8;1496;HEXL\n"),
                send("form:talk ascii"), send("W 300, 72.5"),
                ask("R 300,1;FORMAT:TALK?").shows("73;ASCII\n"), send("W 300,65535"),
                ask("R 300,1;E?").shows("-1;0\n"), ask("R 9999,1").shows("empty reply"),
                ask("E?;*ESR?").shows("2;8\n"), ask("E?").shows("2\n"),
                ask("R 4000,2").shows("1,1\n"), send("W 4000,7,3"),
                ask("E?;R 4000,2").shows("0;7,3\n"), send("W 300,1001"), ask("E?").shows("3\n"),
                send("FORM:TALK HEXL;C 5;*RST"), ask("E?;FORM:TALK?;C?").shows("0;ASCII;1\n")});
}

// The frames each command puts on the serial link, to the controller's address C or another.
TEST(Converter, ModbusFrames) {
  Bench().play(
      {ask("R 0,1").shows("5270\n"), frames().shows("010300000001840A -> 0103021496372A"),
       send("W 300,-40"), frames().shows("0106012CFFD80855 -> 0106012CFFD80855"),
       send("W 4000,3,1"), frames().shows("01100FA00002040003000189E7 -> 01100FA0000242FE"),
       ask("R 9999,1").shows("empty reply"), frames().shows("0103270F0001BEBD -> 018302C0F1"),
       send("W 0,1"), frames().shows("010600000001480A -> 018602C3A1"),
       // Broadcast, another slave, the highest address and one beyond (sent as 255): no answer.
       send("C 0;W 300,80"), ask("C?;E?").shows("0;0\n"), send("R 0,1"), ask("E?").shows("101\n"),
       send("C 2;W 300,1"), ask("E?").shows("101\n"), send("C 247;R 0,1;C 248;R 0,1;C 1"),
       frames().shows("0006012C00504812 -> no answer, 00030000000185DB -> no answer, "
                      "0206012C0001880C -> no answer, F70300000001909C -> no answer, "
                      "FF030000000191D4 -> no answer"),
       ask("R 300,1").shows(kTimedOut), wait(1), ask("R 300,1").shows("80\n")});
}

// How a line may end, what an overlong one does, and device clears; *SRE 16 asks for service
// whenever a reply waits.
TEST(Converter, LineEndsOverlongLinesAndClears) {
  Bench().play({send("*SRE 16"), send("*IDN", EotMode::NULLend), send("?").shows("SRQ"),
                poll().shows("status byte 80"), read().shows(kIdn),
                send("R 0,1", EotMode::DABend).shows("SRQ"), read().shows("5270\n"),
                send("*ESR?", EotMode::NULLend), send("", EotMode::DABend), read().shows(kTimedOut),
                send("").shows("SRQ"), read().shows("4\n"), send("*IDN?").shows("SRQ"),
                send(kFull, EotMode::NULLend).shows("SRQ"), clear(), ask("*ESR?").shows("0\n"),
                send("*IDN?").shows("SRQ"), clear(bus::NOADDR), read().shows(kTimedOut),
                // A line of 1024 bytes is taken whole; one byte more is a command error.
                send("*ESE 32;*SRE 32"), send(std::string(1020, ' ') + "*CLS"),
                ask("*ESR?").shows("0\n"), send("*CLS" + std::string(1021, ' ')).shows("SRQ"),
                poll().shows("status byte 96"), ask("*ESR?").shows("32\n"),
                send(kFull, EotMode::DABend).shows("SRQ")});
}

// The bench meter at address 7, a plain 488.2 instrument.
TEST(Meter, CommonCommandsAndClears) {
  const auto tell = [](const std::string& line, EotMode end = EotMode::NLend) {
    return send(line, end, kMeter);
  };
  const auto reply = [] { return read(256, kMeter); };
  Bench().play({tell("*IDN?;*STB?"), poll(kMeter).shows("status byte 16"),
                reply().shows("SIMULATED,BENCH METER 7,0,1.0;16\n"), tell("BOGUS;*RST;*ESR?"),
                reply().shows("32\n"), tell("BOGUS;*CLS;*ESR?;*STB?"), reply().shows("0;16\n"),
                reply().shows(kTimedOut), tell("*ESR?"), reply().shows("4\n"),
                // A reply left unread is a query error; a clear forgets it, a line not ended too.
                tell("*IDN?"), tell("*ESR?"), reply().shows("4\n"), tell("*IDN?"), clear(kMeter),
                reply().shows(kTimedOut), tell("*IDN", EotMode::NULLend), clear(bus::NOADDR),
                tell("*ESR?", EotMode::DABend), reply().shows("4\n"),
                // 257 bytes and the line feed: more than its buffer holds.
                tell(kPad + "*IDN?"), tell("*ESR?"), reply().shows("32\n"), tell("*IDN?"),
                tell("*CLS"), reply().shows(kTimedOut)});
}

TEST(Converter, NumbersInCommandLines) {
  const std::pair<const char*, std::optional<double>> rows[] = {
      {" 72.5 ", 72.5}, {"+.5", 0.5},        {"5.", 5.0},    {"1e+2", 100.0},
      {"2E1", 20.0},    {"1E-2", 0.01},      {"-", {}},      {"1e+", {}},
      {"12a", {}},      {"1e400", HUGE_VAL}, {"1E-400", 0.0}};
  for (const auto& [text, value] : rows) EXPECT_EQ(sim::parseNumber(text), value) << text;
}

// Two transactions fail with each code: a read of the set point, then a write of 90 to it. Codes
// 100 and 201-299 let the controller act but damage its answer; 1-99 answer for it with that
// exception; any other loses the request.
TEST(Converter, FailedTransactions) {
  const struct {
    int code;
    const char* answer;    // to the read
    const char* setPoint;  // after the write
  } rows[] = {
      {1, "01830180F0", "75\n"},  {100, "010302004BF88C", "90\n"}, {299, "010302004BF873", "90\n"},
      {101, "no answer", "75\n"}, {150, "no answer", "75\n"},      {200, "no answer", "75\n"},
      {201, "01", "90\n"},        {203, "010302", "90\n"},         {300, "no answer", "75\n"}};
  for (const auto& row : rows) {
    Bench b;
    b.bus.failNextTransactions(2, row.code);
    SCOPED_TRACE(row.code);
    b.play({send("R 300,1"), frames().shows("0103012C0001443F -> "s + row.answer), send("W 300,90"),
            ask("E?;*ESR?").shows(std::to_string(row.code) + ";8\n"),
            ask("R 300,1").shows(row.setPoint)});
  }
}

TEST(Converter, FaultsOnCommandAndPowerCycle) {
  Bench b;
  sim::SimulatedBus& bus = b.bus;
  bus.setConverterPresent(false);
  b.play({send("*IDN?").shows("ENOL"), read().shows(kTimedOut), poll().shows(kTimedOut),
          clear().shows("ENOL")});
  bus.setConverterPresent(true), bus.setConverterSilent(true);
  b.play({send("W 300,80"), ask("R 300,1").shows(kTimedOut), poll().shows(kTimedOut)});
  bus.setConverterSilent(false), bus.setRegisterValue(0, 5271), bus.setRegisterValue(100, 0xFFFE),
      bus.setRegisterSilent(300);
  b.play({ask("R 0,1;R 100,1").shows("5271;-2\n"), ask("R 299,1").shows("empty reply"),
          ask("E?").shows("2\n"), ask("R 299,2").shows("empty reply"), ask("E?").shows("101\n"),
          send("W 300,90"), ask("E?").shows("101\n")});
  bus.clearRegisterFault(100), bus.setNextReply("A\0BCD"s), bus.setIdentity("ACME,9999,1,0.1"),
      bus.setControllerBaud(4800);
  b.play({send("W 301,1"), read(3).shows("A\0B without END"s), read().shows("CD"),
          read().shows(kTimedOut), ask("*IDN?").shows("ACME,9999,1,0.1\n"),
          ask("R 0,1").shows("empty reply")});
  bus.setConverterPresent(false), bus.setConverterSilent(true), bus.failNextTransactions(5, 3),
      bus.setNextReply("junk"), bus.clearFaults();
  b.play({ask("R 0,1;R 100,1;R 300,1").shows("5270;75;80\n"),
          send("*ESE 160;*SRE 32;*PSC 0;SYST:COMM:SER 19200;SYST:COMM:SER:RS485 OFF;*SAV 0;"
               "SYST:COMM:SER:UPD"),
          send("*ESE 1;*SRE 1;SYST:COMM:SER 9600;SYST:COMM:SER:RS485 ON;FORM:TALK HEXL;C 5;R 0,1"),
          send("*IDN?"),
          send(kFull, EotMode::NULLend)});  // power goes while a reply and an overlong line wait
  sim::Converter& c = bus.converter();
  EXPECT_FALSE(c.linkRs485());
  bus.setControllerBaud(19200), c.powerCycle();
  b.play({poll().shows("status byte 96"),
          ask("*ESR?;*ESE?;*SRE?;SYST:COMM:SER?;SYST:COMM:SER:RS485?;FORM:TALK?;C?;E?")
              .shows("128;160;32;19200;0;ASCII;1;0\n"),
          ask("R 0,1").shows("5270\n"), send("*PSC 1")});
  c.powerCycle(), c.setModel("1234");
  b.play({ask("*ESE?;*SRE?;*IDN?").shows("0;0;ORVANE,1234,SIM-000417,2.10\n")});
}

// What each register holds at power-on, then writes in turn: exception 2 refuses a register that
// cannot be written, exception 3 a value out of its range.
TEST(Controller, RegistersAtPowerOnAndTheValuesTheyTake) {
  const std::vector<std::pair<int, const char*>> powerOn = {
      {0, "5270"},   {1, "42"},   {2, "1187"}, {3, "302"},  {4, "1"},      {5, "2311"},
      {25, "0"},     {100, "75"}, {200, "0"},  {300, "75"}, {507, "2"},    {602, "-100"},
      {603, "1000"}, {901, "0"},  {1217, "0"}, {4002, "0"}, {4003, "255"}, {4063, "exception 2"}};
  const std::vector<Write> limits = {
      {300, 1001, 3}, {300, 1000},   {0, 1, 2},      {5, 0, 2},      {100, 1, 2},  {200, 1, 2},
      {4005, 0, 3},   {4063, 0, 2},  {25, 1, 3},     {25, 0},        {500, 2, 3},  {500, 0},
      {507, 1000, 3}, {507, 0},      {602, 1000, 3}, {603, -100, 3}, {603, 999},   {300, 1000, 3},
      {700, 3, 3},    {700, 0},      {717, 2},       {901, 2, 3},    {901, 0},     {1217, 2, 3},
      {1217, 0},      {1916, 24, 3}, {1916, 23},     {1917, 60, 3},  {1917, 59},   {1918, 0},
      {4000, 41, 3},  {4000, 1},     {4001, 257, 3}, {4001, 1},      {4002, 0, 3}, {4002, 6, 3},
      {4003, 1, 3},   {500, 1},      {550, 0},       {700, 1}};
  Bench b;
  b.play(reads(powerOn)), b.play(writes(limits));
  b.play(reads(
      {{500, "1"}, {550, "0"}, {700, "1"}, {717, "2"}, {1916, "23"}, {1917, "59"}, {1918, "0"}}));
}

TEST(Controller, ClockRunsAndWrapsAtMidnight) {
  Bench().play({writeRegister(kHours, 13), writeRegister(kMinutes, 0), writeRegister(kSeconds, 5),
                readRegister(kHours).shows("13"), readRegister(kMinutes).shows("0"),
                readRegister(kSeconds).shows("5"), wait(3655), readRegister(kHours).shows("14"),
                readRegister(kMinutes).shows("1"), readRegister(kSeconds).shows("0"),
                writeRegister(kMinutes, 30), readRegister(kMinutes).shows("30"),
                readRegister(kSeconds).shows("0"), wait(36000), readRegister(kHours).shows("0")});
}

TEST(Controller, TemperaturesInEitherUnit) {
  Bench().play({writeRegister(kSetPoint, 212), writeRegister(kUnit, 1),
                readRegister(kSetPoint).shows("100"), readRegister(kTemperature).shows("24"),
                readRegister(kLowLimit).shows("-73"), readRegister(kHighLimit).shows("538"),
                readRegister(kUnit).shows("1"), writeRegister(kUnit, 1),
                readRegister(kSetPoint).shows("100"), wait(100),
                readRegister(kTemperature).shows("24"), writeRegister(kUnit, 0),
                readRegister(kSetPoint).shows("212"), readRegister(kTemperature).shows("75")});
}

// The linear chamber: 3 degrees a second to the set point while an output drives it there, else
// half a degree a second toward the room (75 until told otherwise).
TEST(Controller, LinearChamber) {
  const Step heat = writeRegister(kOutput1A, kHeat), cool = writeRegister(kOutput1B, kCool);
  Bench().play({linearChamber(), heat, cool, writeRegister(kSetPoint, 150), wait(1),
                readRegister(kTemperature).shows("78"), wait(23), temperature().shows("147"),
                wait(1), temperature().shows("150"), writeRegister(kSetPoint, 60), wait(29),
                readRegister(kTemperature).shows("63"), wait(1), temperature().shows("60")});
  // Nothing set up to drive it: toward the room, whatever the set point.
  Bench().play({linearChamber(), wait(10), ambient(85), wait(10), temperature().shows("80"),
                writeRegister(kSetPoint, 150), wait(100), temperature().shows("85")});
  // A set point at the low limit is off.
  Bench().play({linearChamber(), writeRegister(kLowLimit, 50), heat, cool,
                writeRegister(kSetPoint, 50), ambient(60), wait(40),
                readRegister(kTemperature).shows("60"), writeRegister(kSetPoint, 51), wait(3),
                temperature().shows("51")});
  // Heat alone cannot come down from a warmer room, cooling alone not up from a colder one.
  Bench().play({linearChamber(), heat, writeRegister(kSetPoint, 80), wait(1.5),
                readRegister(kTemperature).shows("80"), wait(0.5), temperature().shows("80"),
                ambient(100), wait(10), temperature().shows("85")});
  Bench().play({linearChamber(), cool, writeRegister(kSetPoint, 70), ambient(90), wait(1.8),
                temperature().shows("70"), ambient(50), wait(10), temperature().shows("65")});
}

// A profile's steps inserted, typed and deleted; then what each step type lets its registers
// hold, and that they read back as written.
TEST(Controller, ProfileStepsAndTheirLimits) {
  const auto step = [](int n) { return writeRegister(kStep, n); };
  Bench b;
  b.play({action(kCreate), writeRegister(kStepType, kTimed).shows("exception 3"), step(2),
          action(kInsertStep).shows("exception 3"), step(1), action(kInsertStep),
          writeRegister(kStepType, kEnd), action(kInsertStep), step(3), action(kInsertStep),
          // Inserted before step 5 of 3: refused.
          step(5), action(kInsertStep).shows("exception 3"), step(3),
          writeRegister(kStepType, kRamp), step(1), readRegister(kStepType).shows("3"), step(2),
          readRegister(kStepType).shows("5"), action(kDeleteStep),
          readRegister(kStepType).shows("2"), step(3), readRegister(kStepType).shows("255"),
          action(kDeleteStep).shows("exception 3")});
  // Step 1 as an auto start, a timed step and a ramp: their hours (4009), minutes, seconds or rate
  // (4011), auto start kind (4004) and day (4008), wait-for (4012), end temperature (4044),
  // events (4046, 4048) and end action (4060).
  const std::vector<Write> limits = {
      {4001, 1},      {4003, kAutoStart}, {4009, 24, 3},   {4009, 23},       {4003, kTimed},
      {4009, 100, 3}, {4009, 0},          {4010, 60, 3},   {4010, 0},        {4011, 60, 3},
      {4011, 0},      {4003, kRamp},      {4011, 0, 3},    {4011, 10000, 3}, {4011, 1},
      {4004, 2, 3},   {4004, 0},          {4008, 8, 3},    {4008, 0},        {4012, 2, 3},
      {4012, 0},      {4044, 1001, 3},    {4044, -101, 3}, {4044, -100},     {4046, 2, 3},
      {4046, 0},      {4048, 2, 3},       {4048, 0},       {4060, 4, 3},     {4060, 0},
      {4003, 4, 3},   {4003, kSoak}};
  const std::vector<Write> timed = {{4003, kTimed}, {4004, 1},  {4008, 7}, {4009, 99},
                                    {4010, 59},     {4011, 59}, {4012, 1}, {4044, 1000},
                                    {4046, 1},      {4048, 1},  {4060, 3}};
  b.play(writes(limits)), b.play(writes(timed));
  for (const Write& w : timed) b.play({readRegister(w.reg).shows(std::to_string(w.value))});
}

// The store holds 40 profiles of at most 256 steps; a new one takes the lowest free number, and
// with none free the selection shows 0.
TEST(Controller, ProfileStoreLimits) {
  Bench b;
  b.play({action(kCreate), action(kCreate), writeRegister(kStep, 7), action(kCreate),
          readRegister(kProfile).shows("3"), readRegister(kStep).shows("1"),
          writeRegister(kProfile, 1), action(kDelete), action(kDelete).shows("exception 3"),
          action(kCreate), readRegister(kProfile).shows("1")});
  for (int n = 4; n <= 40; ++n) b.play({action(kCreate)});
  b.play({readRegister(kProfile).shows("40"), action(kCreate), readRegister(kProfile).shows("0"),
          action(kInsertStep).shows("exception 3"), action(kDeleteAll), writeRegister(kProfile, 40),
          action(kDelete).shows("exception 3"), action(kCreate)});
  for (int n = 1; n <= 256; ++n) b.play({action(kInsertStep)});
  b.play({action(kInsertStep).shows("exception 3")});
}

// Frames a Modbus master might send: too short, too long a read, unknown functions, a read of
// input registers, and writes of many registers that do not add up. An exception answer is the
// function with its high bit set and the code.
TEST(Controller, RawFrames) {
  Bench().play(
      {request("0103").shows("0183030131"), request("0103012C007E").shows("0183030131"),
       request("0105012C0001").shows("0185018350"), request("0104012C0001").shows("010402004BF907"),
       request("0110012C0001020050").shows("0110012C0001C1FC"), readRegister(kSetPoint).shows("80"),
       request("0110012C00020500500051").shows("0190030C01"), readRegister(kSetPoint).shows("80"),
       request("0110012C007CF8" + repeat("00", 248)).shows("0190030C01")});
}

// Profile 1: start at 00:00:30, ramp at 60 degrees a minute to 95, soak 30 s, end holding.
// Profile 2: five minutes to 131, end with all outputs off. Profile 3: soak 10 s, no end.
TEST(Controller, ProfilesRun) {
  const auto select = [](int profile) { return writeRegister(kProfile, profile); };
  const Step run = writeRegister(kAction, kRun);
  Bench b;
  b.play({linearChamber(), writeRegister(kOutput1A, kHeat), writeRegister(kOutput1B, kCool),
          ambient(70),
          createProfile({{kAutoStart, {{kStepSeconds, 30}}},
                         {kRamp, {{kStepSeconds, 600}, {kEndTemperature, 95}}},  // tenths a minute
                         {kSoak, {{kStepSeconds, 30}}},
                         {kEnd, {{kEndAction, kHold}}}}),
          createProfile({{kTimed, {{kStepMinutes, 5}, {kEndTemperature, 131}}},
                         {kEnd, {{kEndAction, kAllOff}}}}),
          createProfile({{kSoak, {{kStepSeconds, 10}}}})});
  // Profile 1 run at 23:59:30 waits a minute for its start.
  b.play({wait(1000), writeRegister(kHours, 23), writeRegister(kMinutes, 59),
          writeRegister(kSeconds, 30), select(1), writeRegister(kStep, 1), run,
          readRegister(kControlMode).shows("2"), wait(59), readRegister(kSetPoint).shows("75"),
          wait(11), readRegister(kSetPoint).shows("85"), readRegister(kTemperature).shows("85")});
  // The running profile cannot be changed; another one can.
  b.play({writeRegister(kAction, kDelete).shows("exception 3"),
          writeRegister(kAction, kDeleteAll).shows("exception 3"),
          writeRegister(kStepType, kSoak).shows("exception 3"),
          writeRegister(kAction, kInsertStep).shows("exception 3"), select(2),
          writeRegister(kStepType, kTimed), wait(10), readRegister(kSetPoint).shows("95")});
  // Ended holding 95; the unit converts the set point, the ramp's rate and its end.
  b.play({wait(35), readRegister(kTemperature).shows("95"), readRegister(kSetPoint).shows("95"),
          readRegister(kControlMode).shows("0"), writeRegister(kUnit, 1),
          readRegister(kSetPoint).shows("35"), select(1), writeRegister(kStep, 2),
          readRegister(kStepSeconds).shows("333"), readRegister(kEndTemperature).shows("35"),
          writeRegister(kStepSeconds, 9999), writeRegister(kUnit, 0),
          readRegister(kSetPoint).shows("95"), readRegister(kStepSeconds).shows("9999"),
          readRegister(kEndTemperature).shows("95"), writeRegister(kSetPoint, 75),
          readRegister(kSetPoint).shows("75")});
  // Profile 2 halfway, then at its end: all outputs off, back on set point 1.
  b.play({wait(10), select(2), writeRegister(kStep, 1), run, wait(150),
          readRegister(kSetPoint).shows("103"), readRegister(kTemperature).shows("103"),
          readRegister(kControlMode).shows("2"), writeRegister(kUnit, 1),
          readRegister(kSetPoint).shows("39"), writeRegister(kUnit, 0), wait(151),
          readRegister(kSetPoint).shows("75"), readRegister(kControlMode).shows("0")});
  // Profile 3 soaks and, without an end step, stops where it is; then a run stopped by hand.
  b.play({select(3), run, wait(5), readRegister(kControlMode).shows("2"), wait(6),
          readRegister(kControlMode).shows("0"), readRegister(kSetPoint).shows("131"),
          temperature().shows("130.5"), run, wait(2), writeRegister(kProfileStop, 1),
          readRegister(kControlMode).shows("0"), readRegister(kSetPoint).shows("75"), select(2),
          run, wait(301), writeRegister(kSetPoint, 75), wait(100),
          readRegister(kTemperature).shows("75")});
  EXPECT_EQ(b.f4.stepCount(1) * 10 + b.f4.stepCount(2), 42);
}

// The thermal chamber's answer to a set point after the setup steps, watched every step for
// `seconds`: the highest and lowest temperature, when it first came within half a degree of the
// target and from when it stayed there ("never"), and where it ended.
std::string response(const std::vector<Step>& setup, double target, double seconds) {
  Bench s;
  s.play(setup);
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
  const Step heat = writeRegister(kOutput1A, kHeat), cool = writeRegister(kOutput1B, kCool);
  const Step to150 = writeRegister(kSetPoint, 150), settle = wait(300);
  const auto setPoint = [](int degrees) { return writeRegister(kSetPoint, degrees); };
  const auto expect = [](const char* what, const std::vector<Step>& setup, double target,
                         const char* shown) {
    EXPECT_EQ(response(setup, target, 300), shown) << what;
  };
  // A few degrees over, within half a degree after 79 s (two minutes at most).
  expect("heats from the room, overshoots, settles", {heat, cool, to150}, 150,
         "75.0..152.9, near 50, settled 79, ends 150.0");
  expect("cools more slowly than it heats", {heat, cool, to150, settle, setPoint(75)}, 75,
         "72.9..150.0, near 81, settled 108, ends 75.0");
  expect("heat only", {heat, to150}, 150, "75.0..152.9, near 50, settled 77, ends 150.0");
  expect("heat only, a lower set point: the walls alone",
         {heat, cool, to150, settle, writeRegister(kOutput1B, 0), setPoint(100)}, 100,
         "100.1..150.0, near 277, settled 277, ends 100.1");
  expect("cool only, a higher set point", {cool, to150}, 150,
         "75.0..75.0, near never, settled never, ends 75.0");
  expect("a small loss: slowly to the room", {plant(2.5, 2500, 1200, 0.5, 5), ambient(60)}, 60,
         "74.1..75.0, near never, settled never, ends 74.1");
  expect("no output set up: to the room", {to150, ambient(60)}, 60,
         "64.5..75.0, near never, settled never, ends 64.5");
  expect("in Celsius: 150 F becomes 66 C", {heat, cool, to150, settle, writeRegister(kUnit, 1)}, 66,
         "65.6..66.4, near 0, settled 0, ends 66.0");
  expect("set point off: to the room", {heat, cool, to150, settle, setPoint(-100), ambient(60)}, 60,
         "87.6..150.0, near never, settled never, ends 87.6");
  expect("a derivative damps the overshoot", {loop(10, 20, 1), heat, cool, to150}, 150,
         "75.0..151.8, near 51, settled 62, ends 150.0");
  expect("twice the dead time: the same loop swings on",
         {plant(2.5, 2500, 1200, 10, 10), heat, cool, to150}, 150,
         "75.0..161.1, near 55, settled never, ends 160.6");
  expect("proportional only: short of the set point", {loop(10, 0, 0), heat, cool, to150}, 150,
         "75.0..151.8, near 51, settled never, ends 148.4");
}

// A minute's ramp from the room to 150, then a minute's soak. The temperature lags the ramp and
// overshoots where it ends.
TEST(Chamber, ProfileRampFollowedWithLag) {
  Bench b;
  b.play({writeRegister(kOutput1A, kHeat), writeRegister(kOutput1B, kCool),
          createProfile({{kTimed, {{kStepMinutes, 1}, {kEndTemperature, 150}}},
                         {kSoak, {{kStepMinutes, 1}}},
                         {kEnd, {}}}),
          writeRegister(kStep, 1), writeRegister(kAction, kRun)});
  const std::pair<const char*, const char*> seen[] = {
      {"88", "78"},   {"100", "95"},  {"113", "110"}, {"125", "123"}, {"138", "137"},
      {"150", "149"}, {"150", "159"}, {"150", "154"}, {"150", "149"}, {"150", "150"},
      {"150", "150"}, {"150", "150"}, {"150", "150"}};
  for (const auto& [target, measured] : seen)
    b.play({wait(10), readRegister(kSetPoint).shows(target),
            readRegister(kTemperature).shows(measured)});
}

// What a read of the converter waits for after its line went out: the transactions' bytes at the
// link's baud rate, 3.5 characters of silence after each frame, the controller's latency, or the
// converter's response time-out when no answer comes.
TEST(Converter, LinkTakesItsTime) {
  const struct {
    std::string setup;  // the bench before the line is sent
    const char* line;
    const char* expected;  // the reply read, and when
  } rows[] = {{"", "R 100,1", "75\n after 30.208 ms"},
              {"", "W 300,90;R 300,1", "90\n after 61.563 ms"},
              {"19200", "R 100,1", "75\n after 17.604 ms"},
              {"silent", "R 100,1", "empty reply after 513.177 ms"},
              {"latency", "R 100,1", "75\n after 75.208 ms"},
              {"instant", "R 100,1", "75\n at once"},
              {"injected", "R 100,1", "empty reply after 17.188 ms"}};
  for (const auto& row : rows) {
    Bench s;
    if (row.setup == "19200")
      s.play({send("SYST:COMM:SER 19200;SYST:COMM:SER:UPD")}), s.f4.setBaud(19200);
    if (row.setup == "silent") s.bus.setRegisterSilent(100);
    if (row.setup == "latency") s.bus.converter().setLatency(0.05);
    if (row.setup == "instant") s.bus.converter().setPaced(false);
    if (row.setup == "injected") s.bus.failNextTransactions(1, 101);
    const double start = s.clock.now();
    const std::string reply = ask(row.line).run(s);
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.3f", (s.clock.now() - start) * 1000);
    const std::string took = ms == "0.000"s ? " at once" : " after "s + ms + " ms";
    EXPECT_EQ(reply + took, row.expected) << row.setup;
  }
  // A read whose time-out is shorter than the wait times out; the reply comes later.
  Bench s;
  s.bus.setRegisterSilent(100), s.bus.ibtmo(0, 9);  // a time-out of 100 ms
  s.play({send("R 100,1"), read().shows("timed out after 0.1 s"),
          read().shows("timed out after 0.1 s"), wait(0.4), read().shows("empty reply"),
          ask("E?").shows("101\n")});
}

// ibsta's bits by name, highest first; the error's name when ERR is set, else iberr where it holds
// something (ibtmo and ibsre leave the former setting there); the count where there is one.
std::string statusText(const bus::Status& s) {
  static const char* const bits[] = {"DCAS", "DTAS", "LACS", "TACS",  "ATN",   "CIC",
                                     "REM",  "LOK",  "CMPL", "EVENT", "SPOLL", "RQS",
                                     "SRQI", "END",  "TIMO", "ERR"};
  std::string text;
  for (int bit = 15; bit >= 0; --bit)
    if (s.ibsta & (1 << bit)) text += (text.empty() ? "" : " ") + std::string(bits[bit]);
  if (s.ibsta & bus::ERR)
    text += " " + bus::errorCodeName(s.iberr);
  else if (s.iberr)
    text += " iberr " + std::to_string(s.iberr);
  if (s.ibcntl) text += " count " + std::to_string(s.ibcntl);
  if (s.ibcnt != s.ibcntl) text += " ibcnt " + std::to_string(s.ibcnt);
  return text;
}

TEST(Bus, DriverCallsAndListenerSearch) {
  Bench b;
  sim::SimulatedBus& bus = b.bus;
  const auto at = [](int address) { return send("X", EotMode::NLend, address); };
  b.play({at(5).shows("ENOL"), at(0).shows("EADR"), at(31).shows("EARG"), at(30).shows("ENOL"),
          read(256, 9).shows(kTimedOut), poll(9).shows(kTimedOut), poll(40).shows("EARG"),
          clear(9).shows("ENOL"), clear(31).shows("EARG"), ask("*IDN?").shows(kIdn)});
  char got[16];
  const auto status = [&](const char* expected) { EXPECT_EQ(statusText(bus.status()), expected); };
  bus.ibonl(3, 0), status("ERR EDVR");
  bus.ibonl(0, 0), status("CMPL");
  bus.Receive(0, 4, got, 1, bus::STOPend), status("ERR ENEB");
  bus.SendIFC(0), status("CMPL CIC");
  bus.ibtmo(0, 18), status("ERR CMPL CIC EARG");
  bus.ibtmo(0, 0), status("CMPL CIC iberr 11");
  bus.ibsre(0, 1), status("CMPL CIC");
  bus.ibsre(0, 0), status("CMPL CIC iberr 1");
  bus.Send(0, 4, nullptr, 0, EotMode::NLend), status("CMPL CIC count 1");
  bus.Send(0, 4, nullptr, 1, EotMode::NLend), status("ERR CMPL CIC EARG");
  bus.Receive(0, 4, nullptr, 1, bus::STOPend), status("ERR CMPL CIC EARG");
  bus.Receive(0, 4, nullptr, 0, bus::STOPend), status("CMPL CIC");
  bus.Receive(0, 4, got, 1, 0x200), status("ERR CMPL CIC EARG");
  bus.Receive(0, 4, got, 1, 0xFF), status("ERR TIMO CMPL CIC EABO");
  bus.Receive(0, 4, got, 1, 0), status("ERR TIMO CMPL CIC EABO");
  bus.Send(0, 4, "R 0,1", 5, EotMode::NLend), bus.Receive(0, 4, got, 9, '7');
  status("END CMPL CIC count 3");
  bus.Receive(0, 4, got, 1, bus::STOPend), status("CMPL CIC count 1");
  bus.ReadStatusByte(0, 4, nullptr), status("ERR CMPL CIC EARG");
  const char* timeOuts[] = {"0",     "1e-05", "3e-05", "0.0001", "0.0003", "0.001",
                            "0.003", "0.01",  "0.03",  "0.1",    "0.3",    "1",
                            "3",     "10",    "30",    "100",    "300",    "1000"};
  for (int code = 0; code <= 17; ++code)
    bus.ibtmo(0, code), b.play({read(256, 9).shows("timed out after "s + timeOuts[code] + " s")});
  // FindLstn over an address list: the status, then the listeners found.
  std::vector<bus::Addr4882> all, unended(258, 5);
  for (int a = 0; a <= 31; ++a) all.push_back(static_cast<bus::Addr4882>(a < 31 ? a : -1));
  unended[256] = 4;  // never read: a list ends at its 256th entry
  const struct {
    std::vector<bus::Addr4882> list;
    int limit;
    bool present;
    const char* expected;
  } searches[] = {
      {all, 3, true, "CMPL CIC count 3: 0 4 7"},
      {all, 3, false, "CMPL CIC count 2: 0 7"},
      {all, 2, true, "ERR CMPL CIC ETAB count 2: 0 4"},
      {all, 0, true, "ERR CMPL CIC ETAB:"},
      {all, -1, true, "ERR CMPL CIC EARG:"},
      {{7, 5, 4, 0, bus::NOADDR}, 31, true, "CMPL CIC count 3: 7 4 0"},
      {{0, 31, bus::NOADDR}, 31, true, "ERR CMPL CIC EARG: 0"},
      {unended, 31, true, "CMPL CIC:"},
  };
  for (const auto& row : searches) {
    Bench s;
    s.bus.setConverterPresent(row.present);
    std::vector<bus::Addr4882> found(33, 99), list = row.list;
    s.bus.FindLstn(0, list.data(), row.limit ? found.data() : nullptr, row.limit);
    std::string text = statusText(s.bus.status()) + ":";
    for (int a : found) text += a == 99 ? "" : " " + std::to_string(a);
    EXPECT_EQ(text, row.expected) << row.limit;
  }
}

template <typename F>
F* entry(void* library, const char* name) {
  return reinterpret_cast<F*>(dlsym(library, name));
}

TEST(Bus, DriverLibraryLoadedByPath) {
  void* lib = dlopen(GPIBSIM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  EXPECT_EQ(entry<int(int, int)>(lib, "ibtmo")(0, 0), 0x120);  // a read of nothing fails at once
  // Each end mode by the library's number: the error of the send, then what the read shows.
  const std::pair<int, std::string> rows[] = {{2, "0, " + kIdn + ", END CMPL CIC count 28"},
                                              {1, "0, " + kIdn + ", END CMPL CIC count 28"},
                                              {0, "0, , ERR TIMO CMPL CIC EABO"},
                                              {3, "4, , ERR TIMO CMPL CIC EABO"}};
  for (const auto& [mode, expected] : rows) {  // NLend, DABend, NULLend and one it does not have
    char reply[64];
    entry<void(int, unsigned short, const void*, long, int)>(lib, "Send")(0, 4, "*IDN?", 5, mode);
    const int sendError = entry<int()>(lib, "ThreadIberr")();
    entry<void(int, unsigned short, void*, long, int)>(lib, "Receive")(0, 4, reply, 64, 0x100);
    const bus::Status read = {*entry<int>(lib, "ibsta"), entry<int()>(lib, "ThreadIberr")(),
                              entry<int()>(lib, "ThreadIbcnt")(),
                              entry<long()>(lib, "ThreadIbcntl")()};
    EXPECT_EQ(std::to_string(sendError) + ", " + std::string(reply, read.ibcntl) + ", " +
                  statusText(read),
              expected)
        << mode;
  }
  dlclose(lib);
}

}  // namespace
