// One register read (the temperature, register 100) through the console's own converter on a
// real Modbus link, against the simulated controller served by f4-modbus-sim's server on a
// thread of its own: the master link alone (libmodbus's round trip, the link's own time), and
// the whole query exchange through GPIB32 and the software converter (send, the console's 0.1 s
// pause on a virtual clock, receive), whose difference is what the converter adds. Over loopback
// TCP, and over a pseudo-terminal at 9600 baud (where the link keeps 3.5 characters of silence
// before each request).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <thread>

#include "Clock.h"
#include "Exchange.h"
#include "GPIB32.h"
#include "MasterLink.h"
#include "NumberText.h"
#include "Server.h"
#include "SoftwareConverter.h"
#include "WatlowF4.h"

namespace {

const modbus::Bytes kReadTemperature = {1, 3, 0, 100, 0, 1, 0xC5, 0xD5};

// The simulated controller served on loopback TCP or a pseudo-terminal while it lives.
struct Served {
  explicit Served(bool tcp) {
    if (tcp)
      port = server.listenTcp(0);
    else
      path = server.openPty();
    thread = std::thread([this] { server.run(); });
  }
  ~Served() {
    server.stop();
    thread.join();
  }
  std::unique_ptr<modbusmaster::MasterLink> link() const {
    return port ? modbusmaster::MasterLink::tcp("127.0.0.1", port)
                : modbusmaster::MasterLink::rtu(path, {});
  }
  bus::VirtualClock clock;
  sim::WatlowF4 f4{clock};
  modbusslave::Server server{[this](const modbus::Bytes& r) { return f4.handle(r); }};
  int port = 0;
  std::string path;
  std::thread thread;
};

void linkAlone(benchmark::State& state, bool tcp) {
  Served served(tcp);
  auto link = served.link();
  if (!link->open()) return state.SkipWithError(link->problem().c_str());
  for (auto _ : state) {
    const modbus::Reply reply = link->transact(kReadTemperature);
    if (reply.response.size() != 7) return state.SkipWithError("no answer from the controller");
  }
}

void throughConverter(benchmark::State& state, bool tcp) {
  Served served(tcp);
  auto link = served.link();
  if (!link->open()) return state.SkipWithError(link->problem().c_str());
  bus::VirtualClock clock;
  converter::SoftwareConverter software(clock, std::move(link));
  bus::SilentSound sound;
  bus::GPIB32 gpib(software, clock, sound);
  gpib.InterfaceName = "GPIB";
  const std::string query = bus::registerReadLine(100, 1);
  for (auto _ : state) {
    if (!bus::queryExchange(gpib, query) || gpib.ReplyBuf.rfind("75", 0) != 0)
      return state.SkipWithError("no temperature through the converter");
  }
}

void BM_ModbusLink_Tcp(benchmark::State& state) { linkAlone(state, true); }
void BM_SoftwareConverter_Tcp(benchmark::State& state) { throughConverter(state, true); }
void BM_ModbusLink_Rtu(benchmark::State& state) { linkAlone(state, false); }
void BM_SoftwareConverter_Rtu(benchmark::State& state) { throughConverter(state, false); }

BENCHMARK(BM_ModbusLink_Tcp)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SoftwareConverter_Tcp)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ModbusLink_Rtu)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SoftwareConverter_Rtu)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
