#include "Endpoint.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace prologixsim {

namespace {

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// All of `bytes` to fd; false when the other end is gone. A client that left while its answer
// was on the way must not end the endpoint: no SIGPIPE from a socket.
bool writeAll(int fd, const std::string& bytes, bool socket) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                             : ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
      pollfd entry{fd, POLLOUT, 0};
      ::poll(&entry, 1, 100);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

Endpoint::Endpoint(bool ar488, bool endMark) : bench_(clock_), ar488_(ar488), endMark_(endMark) {
  if (::pipe2(wake_, O_CLOEXEC) != 0) problem_ = std::string("pipe: ") + std::strerror(errno);
}

Endpoint::~Endpoint() {
  stop();
  closeFd(wake_[0]);
  closeFd(wake_[1]);
}

std::string Endpoint::openPty() {
  ptyMaster_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (ptyMaster_ < 0 || ::grantpt(ptyMaster_) != 0 || ::unlockpt(ptyMaster_) != 0) {
    problem_ = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    closeFd(ptyMaster_);
    return {};
  }
  const char* name = ::ptsname(ptyMaster_);
  const std::string path = name ? name : "";
  // Held open here so that the line stays up between clients (without it the master reads
  // end-of-file whenever no one has the port open), in raw mode: bytes pass untouched.
  ptyHeld_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  if (ptyHeld_ < 0 || ::tcgetattr(ptyHeld_, &raw) != 0) {
    problem_ = "cannot open " + path + ": " + std::strerror(errno);
    closeFd(ptyMaster_);
    closeFd(ptyHeld_);
    return {};
  }
  ::cfmakeraw(&raw);
  ::tcsetattr(ptyHeld_, TCSANOW, &raw);
  ptyAdapter_ = adapter();
  return path;
}

int Endpoint::listenTcp(int port) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t size = sizeof address;
  if (listener_ < 0 || ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 1) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    problem_ = "cannot listen on port " + std::to_string(port) + ": " + std::strerror(errno);
    closeFd(listener_);
    return 0;
  }
  return ntohs(address.sin_port);
}

std::unique_ptr<Adapter> Endpoint::adapter() {
  auto made = std::make_unique<Adapter>(bench_, ar488_, endMark_);
  made->passedOn = onData;
  return made;
}

void Endpoint::run() {
  serve();
  closeFd(client_);
  closeFd(listener_);
  closeFd(ptyMaster_);
  closeFd(ptyHeld_);
}

void Endpoint::serve() {
  for (;;) {
    std::vector<pollfd> entries{{wake_[0], POLLIN, 0}};
    if (ptyMaster_ >= 0) entries.push_back({ptyMaster_, POLLIN, 0});
    if (client_ >= 0)
      entries.push_back({client_, POLLIN, 0});
    else if (listener_ >= 0)
      entries.push_back({listener_, POLLIN, 0});
    if (::poll(entries.data(), entries.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (entries[0].revents) return;
    for (size_t i = 1; i < entries.size(); ++i) {
      if (!entries[i].revents) continue;
      const int fd = entries[i].fd;
      if (fd == listener_) {
        client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int on = 1;
        if (client_ >= 0) ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        tcpAdapter_ = adapter();
        tcpAwake_.reset();
        continue;
      }
      char buffer[4096];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) {
        if (fd == client_) closeFd(client_);  // the client left; the next one may come
        continue;
      }
      if (silent_ || starting(fd == client_ ? tcpAwake_ : ptyAwake_)) continue;
      Adapter& adapter = fd == client_ ? *tcpAdapter_ : *ptyAdapter_;
      const std::string answer = adapter.feed(std::string_view(buffer, static_cast<size_t>(n)));
      if (!answer.empty() && !writeAll(fd, answer, fd == client_) && fd == client_)
        closeFd(client_);
    }
  }
}

bool Endpoint::starting(std::optional<Moment>& awake) const {
  if (startMs_ <= 0) return false;
  const Moment now = std::chrono::steady_clock::now();
  if (!awake) awake = now + std::chrono::milliseconds(startMs_);
  return now < *awake;
}

void Endpoint::stop() {
  if (wake_[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
  }
}

}  // namespace prologixsim
