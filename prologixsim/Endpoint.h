#pragma once

#include <memory>
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
  explicit Endpoint(bool ar488 = true);
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

  // Set before run(): told (on run()'s thread) every data line a client sends a device.
  std::function<void(int address, const std::string& bytes)> onData;

  sim::SimulatedBus& bench() { return bench_; }

 private:
  void serve();
  std::unique_ptr<Adapter> adapter();

  bus::SteadyClock clock_;
  sim::SimulatedBus bench_;
  bool ar488_;
  std::string problem_;
  int wake_[2] = {-1, -1};
  int ptyMaster_ = -1, ptyHeld_ = -1, listener_ = -1, client_ = -1;
  std::unique_ptr<Adapter> ptyAdapter_, tcpAdapter_;
};

}  // namespace prologixsim
