#pragma once

#include <functional>
#include <string>

#include "Framing.h"

namespace modbusslave {

// A Modbus RTU slave on a pseudo-terminal (a serial port to whoever opens its path) and a
// Modbus TCP server on a loopback port, one client at a time, both handing each request to one
// controller. openPty() and listenTcp() return once the endpoint can be reached; run() serves
// until stop() is called, from any thread or a signal handler.
class Server {
 public:
  explicit Server(Controller controller);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // The slave's path ("/dev/pts/5"), or empty with problem() set.
  std::string openPty();
  // The port listened on (port 0 picks a free one), or 0 with problem() set.
  int listenTcp(int port);
  const std::string& problem() const { return problem_; }

  // Serves until stop(), then closes the pseudo-terminal and the sockets.
  void run();
  // Only writes a byte to a pipe, so it may be called from a signal handler.
  void stop();

  // Set before run(), told on run()'s thread: each request and its reply as they travel (an
  // RTU frame, or an MBAP request; an empty reply when none went back), and what went wrong
  // with a client (bytes that made no frame, a malformed request, a client gone).
  Exchanged onPty, onTcp;
  std::function<void(const std::string&)> onProblem;

 private:
  void serve();
  void servePty();
  void serveTcpClient();
  void acceptClient();
  void closeClient(const std::string& why);
  void framed(const RtuFramer::Taken& taken);
  void tell(const std::string& problem) const;

  Controller controller_;
  std::string problem_;
  std::string ptyPath_;
  int wake_[2] = {-1, -1};
  int ptyMaster_ = -1, ptyHeld_ = -1, listener_ = -1, client_ = -1;
  RtuFramer framer_;
  std::size_t dropped_ = 0;  // bytes dropped and not yet said
  modbus::Bytes tcpPending_;
};

}  // namespace modbusslave
