#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Adapter.h"
#include "Clock.h"
#include "SimulatedBus.h"

namespace prologixsim {

// The simulated bench served as a Prologix-protocol adapter on a pseudo-terminal (a serial
// port to whoever opens its path) and on a loopback TCP port, one client at a time on each.
// openPty() and listenTcp() return once the endpoint can be reached, so whoever waits for it
// waits for their answer; run() serves until stop() is called from any thread.
class Endpoint {
 public:
  explicit Endpoint(bool ar488 = true, bool endMark = true);
  ~Endpoint();
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  // The slave's path ("/dev/pts/5"), or empty with problem() set.
  std::string openPty();
  // The port listened on (port 0 picks a free one), or 0 with problem() set.
  int listenTcp(int port);
  const std::string& problem() const { return problem_; }

  // Serves until stop(), then closes the pseudo-terminal and the sockets.
  void run();
  // Ends run(): to a client the adapter is gone.
  void stop();
  // From any thread: the adapter hangs, taking bytes and answering nothing with its connection
  // left open, or comes back.
  void silence(bool on) { silent_ = on; }
  // Set before run(): the adapter restarts when its port opens, deaf for `ms` from the first
  // bytes of each client (on the pseudo-terminal, of the first).
  void setStartMilliseconds(int ms) { startMs_ = ms; }

  // Set before run(): told (on run()'s thread) every data line a client sends a device.
  std::function<void(int address, const std::string& bytes)> onData;

  sim::SimulatedBus& bench() { return bench_; }

 private:
  using Moment = std::chrono::steady_clock::time_point;
  void serve();
  std::unique_ptr<Adapter> adapter();
  // Whether bytes arriving now come while the adapter is still starting (`awake` unset: the
  // first bytes, which start it).
  bool starting(std::optional<Moment>& awake) const;

  bus::SteadyClock clock_;
  sim::SimulatedBus bench_;
  bool ar488_;
  bool endMark_;
  std::atomic<bool> silent_{false};
  int startMs_ = 0;
  std::optional<Moment> ptyAwake_, tcpAwake_;
  std::string problem_;
  int wake_[2] = {-1, -1};
  int ptyMaster_ = -1, ptyHeld_ = -1, listener_ = -1, client_ = -1;
  std::unique_ptr<Adapter> ptyAdapter_, tcpAdapter_;
};

}  // namespace prologixsim
