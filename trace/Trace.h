#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "Clock.h"
#include "Observer.h"

namespace trace {

// Where an event happened: a driver call and its status, the bytes it carried, a Modbus
// transaction on the converter's serial link, the console itself (pause, beep, window, script
// step), or a fault put on the simulated bench.
enum class Layer { GpibCall, GpibData, Modbus, Console, Sim };

// What happened.
enum class Kind {
  Call,      // a driver call and the status it left
  Sent,      // the line a Send carried
  Received,  // the bytes a Receive brought
  Adapter,   // what a GPIB adapter's driver did beyond the call itself
  Request,   // a Modbus request frame
  Response,  // its response frame (none after a time-out)
  Pause,
  Beep,
  Show,  // a window shown
  Hide,  // a window hidden
  Step,  // a script step about to run
  Sim,   // a change made to the simulator by hand, as the `sim` step that makes it
};

// One event of the trace, as values; its words are made by eventText alone.
struct Event {
  long long ms = 0;  // since the trace began
  Kind kind = Kind::Beep;
  bus::Call call{};  // Call
  // Sent, Received: the bytes; Show, Hide: the window; Step: its source line; Adapter: the note;
  // Sim: the step.
  std::string text{};
  double seconds = 0;                   // Pause
  int line = 0;                         // Step: its line in the script
  std::vector<std::uint8_t> frame{};    // Request, Response: the frame's bytes
  std::vector<std::uint8_t> request{};  // Response: the request it answers
  int errorCode = 0;                    // Response: the converter's Modbus error after it

  Layer layer() const;
  // A failed driver call or Modbus transaction.
  bool error() const;
};

// The bus trace: one event per line, handed to every sink as it happens, each starting with the
// milliseconds since the trace began (on the clock the console runs on) and a blank:
//
//   0 call SendIFC(0) ibsta=0x0120 CMPL|CIC iberr=0 ibcntl=0
//   0 send "*IDN?"
//   0 call Receive(0, 4, 256, STOPend) ibsta=0x2120 END|CMPL|CIC iberr=0 ibcntl=28
//   0 recv "ORVANE,5630,SIM-000417,2.10\n"
//   0 rtu request 01 03 00 64 00 01 C5 D5
//   100 pause 0.1
//
// The words after the time are the stable part, so `cut -d' ' -f2-` of two traces can be
// compared with diff. The format is described in the README.
class Trace final : public bus::Observer {
 public:
  using Sink = std::function<void(const Event&)>;

  explicit Trace(const bus::Clock& clock);

  void addSink(Sink sink) { sinks_.push_back(std::move(sink)); }

  void driverCall(const bus::Call& call) override;
  void pause(double seconds) override;
  void beep() override;
  void window(const std::string& name, bool shown) override;

  // One Modbus transaction on the converter's serial link; an empty response is a time-out.
  void frame(const std::vector<std::uint8_t>& request, const std::vector<std::uint8_t>& response,
             int errorCode);
  // The script step about to run, so that a trace reads alongside its script.
  void step(int line, const std::string& source);
  // A change made to the simulator by hand (its panel), as the `sim ...` step that makes the
  // same change: a script of these lines reproduces the run.
  void sim(const std::string& step);

  // What a GPIB adapter's driver did beyond the call itself (how it searched for listeners,
  // that it connected or lost its adapter), before the call's own line.
  void adapter(const std::string& note);
  // Every set status bit by name, highest first ("END|CMPL|CIC"); "none" for 0.
  static std::string statusNames(int ibsta);
  // Bytes as upper-case hexadecimal pairs separated by blanks.
  static std::string hexBytes(const std::vector<std::uint8_t>& bytes);

 private:
  long long elapsedMs() const;
  void write(Event event);

  const bus::Clock& clock_;
  double origin_;
  std::vector<Sink> sinks_;
};

// A driver call as made: `Send(0, 4, "*IDN?", NLend)`, `Receive(0, 4, 256, STOPend)`.
std::string callText(const bus::Call& call);
// The words of an event after its time ("call SendIFC(0) ibsta=0x0120 CMPL|CIC iberr=0
// ibcntl=0"): the only place where an event becomes text.
std::string eventText(const Event& event);
// The trace file: its first line, and one line an event ("ms text"), flushed as written.
extern const char* const kTraceHeader;
std::string traceLine(const Event& event);

class TraceFile {
 public:
  explicit TraceFile(std::ostream& out);
  void operator()(const Event& event);

 private:
  std::ostream& out_;
};

}  // namespace trace
