#include "Server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace modbusslave {

namespace {

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string failed(const std::string& what) { return what + ": " + std::strerror(errno); }

// The baud rate the client set on the line (a pseudo-terminal keeps it, though it sends at any
// speed): it sets how long a silence ends a frame.
int lineBaud(int fd) {
  static constexpr std::pair<speed_t, int> kRates[] = {
      {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
      {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
      {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
  };
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return 9600;
  const speed_t speed = ::cfgetispeed(&settings);
  for (const auto& [code, baud] : kRates)
    if (code == speed) return baud;
  return 9600;
}

// All of `bytes` to fd within about a second; false when the other end is gone or reads
// nothing. A client that left while its answer was on the way must not end the server: no
// SIGPIPE from a socket.
bool writeAll(int fd, const modbus::Bytes& bytes, bool socket) {
  std::size_t done = 0;
  for (int waits = 0; done < bytes.size() && waits < 10;) {
    const ssize_t n = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                             : ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
      pollfd entry{fd, POLLOUT, 0};
      ::poll(&entry, 1, 100);
      ++waits;
    } else {
      return false;
    }
  }
  return done == bytes.size();
}

}  // namespace

Server::Server(Controller controller) : controller_(std::move(controller)) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) problem_ = failed("pipe");
}

Server::~Server() {
  closeFd(client_);
  closeFd(listener_);
  closeFd(ptyMaster_);
  closeFd(ptyHeld_);
  closeFd(wake_[0]);
  closeFd(wake_[1]);
}

std::string Server::openPty() {
  ptyMaster_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (ptyMaster_ < 0 || ::grantpt(ptyMaster_) != 0 || ::unlockpt(ptyMaster_) != 0) {
    problem_ = failed("cannot open a pseudo-terminal");
    closeFd(ptyMaster_);
    return {};
  }
  const char* name = ::ptsname(ptyMaster_);
  ptyPath_ = name ? name : "";
  // Held open here so that the line stays up while no client has it open (the master would
  // read end-of-file) and the next client finds it, in raw mode: bytes pass untouched.
  ptyHeld_ = ::open(ptyPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  if (ptyHeld_ < 0 || ::tcgetattr(ptyHeld_, &raw) != 0) {
    problem_ = failed("cannot open " + ptyPath_);
    closeFd(ptyMaster_);
    closeFd(ptyHeld_);
    return {};
  }
  ::cfmakeraw(&raw);
  ::cfsetspeed(&raw, B9600);
  ::tcsetattr(ptyHeld_, TCSANOW, &raw);
  return ptyPath_;
}

int Server::listenTcp(int port) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  socklen_t size = sizeof address;
  if (listener_ < 0 || ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 4) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    problem_ = failed("cannot listen on 127.0.0.1 port " + std::to_string(port));
    closeFd(listener_);
    return 0;
  }
  return ntohs(address.sin_port);
}

void Server::run() {
  serve();
  closeFd(client_);
  closeFd(listener_);
  closeFd(ptyMaster_);
  closeFd(ptyHeld_);
}

void Server::stop() {
  if (wake_[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
  }
}

void Server::serve() {
  for (;;) {
    pollfd entries[3] = {{wake_[0], POLLIN, 0}, {ptyMaster_, POLLIN, 0}, {-1, POLLIN, 0}};
    entries[2].fd = client_ >= 0 ? client_ : listener_;
    // A frame under way ends at the silence after its last byte.
    int timeout = -1;
    if (const auto deadline = framer_.deadline())
      timeout = static_cast<int>(std::ceil(std::max(0.0, *deadline - now()) * 1000.0));
    if (::poll(entries, 3, timeout) < 0) {
      if (errno == EINTR) continue;
      tell(failed("poll"));
      return;
    }
    if (entries[0].revents) return;
    if (entries[1].revents) servePty();
    framed(framer_.expire(now()));
    if (entries[2].revents) {
      if (client_ >= 0)
        serveTcpClient();
      else
        acceptClient();
    }
  }
}

void Server::servePty() {
  std::uint8_t buffer[4096];
  const ssize_t n = ::read(ptyMaster_, buffer, sizeof buffer);
  if (n <= 0) return;  // nothing after all (the held end keeps the line up)
  framer_.setGap(silenceSeconds(lineBaud(ptyHeld_)));
  framed(framer_.feed(buffer, static_cast<std::size_t>(n), now()));
}

void Server::framed(const RtuFramer::Taken& taken) {
  // Noise on the line is said once it has passed, not once a read.
  dropped_ += taken.dropped;
  if (dropped_ && (!taken.frames.empty() || framer_.waiting() == 0)) {
    tell("pty: " + std::to_string(dropped_) +
         " bytes dropped that began no frame with a good CRC, or a frame cut short");
    dropped_ = 0;
  }
  for (const modbus::Bytes& request : taken.frames) {
    const modbus::Bytes response = controller_(request);
    if (onPty) onPty(request, response);
    if (response.empty()) continue;
    // A reply no one read before this request came is long gone from a real line.
    ::tcflush(ptyHeld_, TCIFLUSH);
    if (!writeAll(ptyMaster_, response, false)) tell("pty: the response could not be written");
  }
}

void Server::acceptClient() {
  client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (client_ < 0) return tell(failed("tcp: cannot accept a client"));
  const int on = 1;
  ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  tcpPending_.clear();
}

void Server::serveTcpClient() {
  std::uint8_t buffer[4096];
  const ssize_t n = ::recv(client_, buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (n < 0) return closeClient(failed("tcp: client lost"));
  if (n == 0) {
    // The client closed; only one that left in the middle of a request is worth a word.
    return closeClient(tcpPending_.empty()
                           ? ""
                           : "tcp: client left with " + std::to_string(tcpPending_.size()) +
                                 " bytes of a request unsent");
  }
  tcpPending_.insert(tcpPending_.end(), buffer, buffer + n);
  const TcpServed served = serveTcp(tcpPending_, controller_, onTcp);
  if (!served.answer.empty() && !writeAll(client_, served.answer, true))
    return closeClient("tcp: client gone before its answer was sent");
  if (!served.problem.empty()) closeClient("tcp: " + served.problem + "; connection closed");
}

void Server::closeClient(const std::string& why) {
  closeFd(client_);
  tcpPending_.clear();
  if (!why.empty()) tell(why);
}

void Server::tell(const std::string& problem) const {
  if (onProblem) onProblem(problem);
}

}  // namespace modbusslave
