// The adapter on the network: a TCP connection (Prologix GPIB-ETHERNET and AR488 over WiFi
// listen on port 1234), through POSIX sockets so that every wait is a poll with a deadline.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Link.h"

namespace prologix {

namespace {

// Waits for `events` on fd until the deadline; the events that came, 0 for none.
short waitFor(int fd, short events, Deadline deadline) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int ready = ::poll(&entry, 1, millisecondsUntil(deadline));
    if (ready >= 0) return ready == 0 ? 0 : entry.revents;
    if (errno != EINTR) return POLLERR;
  }
}

class TcpLink final : public Link {
 public:
  TcpLink(std::string host, int port) : host_(std::move(host)), port_(port) {}
  ~TcpLink() override { close(); }

  bool open(Deadline deadline) override {
    close();
    problem_.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port_);
    if (const int error = ::getaddrinfo(host_.c_str(), service.c_str(), &hints, &found)) {
      return fail(std::string("cannot find the host: ") + ::gai_strerror(error));
    }
    std::string reason = "no address";
    for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
      const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
      if (fd < 0) continue;
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      int error = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
      if (error == EINPROGRESS) {
        const short events = waitFor(fd, POLLOUT, deadline);
        socklen_t size = sizeof error;
        if (events == 0)
          error = ETIMEDOUT;
        else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
          error = errno;
      }
      if (error == 0) {
        fd_ = fd;
      } else {
        reason = std::strerror(error);
        ::close(fd);
      }
    }
    ::freeaddrinfo(found);
    if (fd_ < 0) return fail("cannot connect: " + reason);
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
  }

  void close() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool isOpen() const override { return fd_ >= 0; }

  bool write(const std::string& bytes, Deadline deadline) override {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        if (waitFor(fd_, POLLOUT, deadline) == 0) return fail("the adapter takes no more data");
      } else {
        return fail(std::string("connection lost: ") + std::strerror(errno));
      }
    }
    return true;
  }

  bool read(std::string& into, Deadline deadline) override {
    const short events = waitFor(fd_, POLLIN, deadline);
    if (events == 0) return true;
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
      into.append(buffer, static_cast<size_t>(n));
      return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    return fail(n == 0 ? "the adapter closed the connection"
                       : std::string("connection lost: ") + std::strerror(errno));
  }

  void discardInput() override {
    char buffer[4096];
    while (fd_ >= 0 && ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
  }

  std::string describe() const override {
    const bool v6 = host_.find(':') != std::string::npos;
    return "TCP " + (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
  }

 private:
  std::string host_;
  int port_;
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<Link> tcpLink(const std::string& host, int port) {
  return std::make_unique<TcpLink>(host, port);
}

}  // namespace prologix
