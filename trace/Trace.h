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

struct Event {
  long long ms = 0;    // since the trace began
  Layer layer = Layer::Console;
  std::string text;    // the trace line after the time: "call SendIFC(0) ibsta=..."
  bool error = false;  // a failed driver call or Modbus transaction
  // A Modbus event: the frame it shows (request or response) and, for a response, its request.
  std::vector<std::uint8_t> frame;
  std::vector<std::uint8_t> request;
  int errorCode = 0;
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

  void driverCall(const std::string& call, const bus::Status& after,
                  const std::string* received) override;
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
  void write(Layer layer, std::string text, bool error = false);

  const bus::Clock& clock_;
  double origin_;
  std::vector<Sink> sinks_;
};

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
