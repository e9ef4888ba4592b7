// The server over loopback TCP and a pseudo-terminal: clients that misbehave or vanish are
// told off and closed, and the next client is served.
#include "Server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "WatlowF4.h"

namespace {

using modbus::Bytes;

const Bytes kTcpRead = {0, 1, 0, 0, 0, 6, 1, 3, 0, 100, 0, 1};
const Bytes kTcpTemperature = {0, 1, 0, 0, 0, 5, 1, 3, 2, 0, 75};
const Bytes kRtuRead = {1, 3, 0, 100, 0, 1, 0xC5, 0xD5};
const Bytes kRtuTemperature = {1, 3, 2, 0, 75, 0xF8, 0x73};

// What fd sends within two seconds, up to `size` bytes; fewer when it closes.
Bytes receive(int fd, std::size_t size) {
  Bytes got;
  std::uint8_t buffer[256];
  for (int polls = 0; got.size() < size && polls < 20; ++polls) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 100) <= 0) continue;
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, size - got.size()));
    if (n <= 0) break;
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

class Serving : public testing::Test {
 protected:
  void SetUp() override {
    server.onProblem = [this](const std::string& problem) {
      std::lock_guard lock(mutex);
      problems += problem + "\n";
    };
  }
  void start() {
    thread = std::thread([this] { server.run(); });
  }
  void TearDown() override {
    server.stop();
    if (thread.joinable()) thread.join();
  }
  int connectTcp() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
  }
  Bytes exchange(int fd, const Bytes& request, std::size_t size) {
    EXPECT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    return receive(fd, size);
  }
  std::string told() {
    std::lock_guard lock(mutex);
    return problems;
  }

  bus::VirtualClock clock;
  sim::WatlowF4 f4{clock};
  modbusslave::Server server{[this](const Bytes& request) { return f4.handle(request); }};
  std::thread thread;
  std::mutex mutex;
  std::string problems;
  int port = 0;
};

TEST_F(Serving, TcpClientsOneAfterAnother) {
  port = server.listenTcp(0);
  ASSERT_NE(port, 0) << server.problem();
  modbusslave::Server second{[](const Bytes&) { return Bytes{}; }};
  EXPECT_EQ(second.listenTcp(port), 0);
  EXPECT_NE(second.problem().find("Address already in use"), std::string::npos);
  start();

  int client = connectTcp();  // a malformed header closes the connection, with a word why
  EXPECT_EQ(exchange(client, kTcpRead, kTcpTemperature.size()), kTcpTemperature);
  EXPECT_EQ(exchange(client, {0, 2, 0, 7, 0, 6, 1}, 64), Bytes{});
  ::close(client);
  client = connectTcp();  // one that leaves in the middle of a request
  EXPECT_EQ(::write(client, kTcpRead.data(), 5), 5);
  ::close(client);
  client = connectTcp();  // one that resets the connection
  const linger reset{1, 0};
  ::setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(client);
  client = connectTcp();
  EXPECT_EQ(exchange(client, kTcpRead, kTcpTemperature.size()), kTcpTemperature);
  ::close(client);
  EXPECT_EQ(told(),
            "tcp: protocol identifier 7, not 0 (Modbus); connection closed\n"
            "tcp: client left with 5 bytes of a request unsent\n"
            "tcp: client lost: Connection reset by peer\n");
}

TEST_F(Serving, PtyClientsOneAfterAnother) {
  const std::string path = server.openPty();
  ASSERT_FALSE(path.empty()) << server.problem();
  start();
  for (int client = 0; client < 2; ++client) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    // Garbage, a frame cut short, then a whole one: only the whole one is answered.
    Bytes stream = {0xFF, 0x00, 1, 3, 0, 100};
    stream.insert(stream.end(), kRtuRead.begin(), kRtuRead.end());
    EXPECT_EQ(exchange(fd, stream, kRtuTemperature.size()), kRtuTemperature);
    ::close(fd);
  }
  EXPECT_NE(told().find("pty: 6 bytes dropped"), std::string::npos) << told();
}

}  // namespace
