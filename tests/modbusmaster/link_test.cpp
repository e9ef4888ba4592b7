// The master link through libmodbus against the simulated controller served by f4-modbus-sim's
// server (in this process, on its own thread): over loopback TCP and a pseudo-terminal, the
// frames that come back, a controller that does not answer, and links that cannot be opened,
// are held by another program, or go away.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "Clock.h"
#include "MasterLink.h"
#include "Server.h"
#include "WatlowF4.h"

namespace {

using modbus::Bytes;
using Seconds = std::chrono::duration<double>;

Bytes frame(Bytes bytes) { return modbus::appendCrc(bytes), bytes; }

// The simulated controller served on its own thread until the test ends (or stop()).
struct Served {
  bus::VirtualClock clock;
  sim::WatlowF4 f4{clock};
  modbusslave::Server server{[this](const Bytes& request) { return f4.handle(request); }};
  std::thread thread;
  void start() {
    thread = std::thread([this] { server.run(); });
  }
  void stop() {
    server.stop();
    if (thread.joinable()) thread.join();
  }
  ~Served() { stop(); }
};

struct Noted {
  explicit Noted(modbusmaster::MasterLink& link) {
    link.onNote = [this](const std::string& note) { notes.push_back(note); };
  }
  std::vector<std::string> notes;
};

class OverBoth : public testing::TestWithParam<bool> {};

TEST_P(OverBoth, FramesComeBackAsTheControllerSentThem) {
  Served served;
  std::unique_ptr<modbusmaster::MasterLink> link;
  if (GetParam()) {
    const int port = served.server.listenTcp(0);
    ASSERT_NE(port, 0) << served.server.problem();
    link = modbusmaster::MasterLink::tcp("127.0.0.1", port);
    EXPECT_EQ(link->describe(), "Modbus TCP 127.0.0.1:" + std::to_string(port));
  } else {
    const std::string path = served.server.openPty();
    ASSERT_FALSE(path.empty()) << served.server.problem();
    link = modbusmaster::MasterLink::rtu(path, {9600, 'E', 1});
    EXPECT_EQ(link->describe(), "Modbus RTU " + path + " at 9600 baud 8E1");
  }
  served.start();
  Noted noted(*link);
  ASSERT_TRUE(link->open()) << link->problem();
  EXPECT_EQ(noted.notes, std::vector<std::string>{"connected: " + link->describe()});
  const std::pair<Bytes, Bytes> rows[] = {
      {frame({1, 3, 0, 100, 0, 1}), frame({1, 3, 2, 0, 75})},
      {frame({1, 6, 1, 44, 0, 90}), frame({1, 6, 1, 44, 0, 90})},
      {frame({1, 3, 1, 44, 0, 1}), frame({1, 3, 2, 0, 90})},
      {frame({1, 16, 1, 44, 0, 1, 2, 0, 80}), frame({1, 16, 1, 44, 0, 1})},
      {frame({1, 3, 0x27, 0x0F, 0, 1}), frame({1, 0x83, 2})},  // no register 9999
      {frame({1, 3, 0, 0, 0, 3}), frame({1, 3, 6, 0x14, 0x96, 0, 42, 0x04, 0xA3})},
  };
  for (const auto& [request, response] : rows)
    EXPECT_EQ(link->transact(request).response, response) << testing::PrintToString(request);
  // Nobody at slave address 7: no answer, after the response time-out and not much more.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link->transact(frame({7, 3, 0, 100, 0, 1})).response, Bytes{});
  const double took = Seconds(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(took, 0.45);
  EXPECT_LT(took, 1.0);
  // ...and the link goes on.
  EXPECT_EQ(link->transact(frame({1, 3, 0, 100, 0, 1})).response, frame({1, 3, 2, 0, 75}));
  EXPECT_EQ(noted.notes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Transports, OverBoth, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Tcp" : "Rtu"; });

TEST(MasterLink, AGatewayThatRefusesOrVanishes) {
  Served served;
  const int port = served.server.listenTcp(0);
  ASSERT_NE(port, 0) << served.server.problem();
  served.start();
  auto link = modbusmaster::MasterLink::tcp("127.0.0.1", port);
  Noted noted(*link);
  ASSERT_TRUE(link->open());
  EXPECT_EQ(link->transact(frame({1, 3, 0, 0, 0, 1})).response, frame({1, 3, 2, 0x14, 0x96}));
  served.stop();  // the gateway goes away, and its port with it
  EXPECT_EQ(link->transact(frame({1, 3, 0, 0, 0, 1})).response, Bytes{});
  EXPECT_EQ(link->transact(frame({1, 3, 0, 0, 0, 1})).response, Bytes{});
  const std::string where = "Modbus TCP 127.0.0.1:" + std::to_string(port);
  ASSERT_EQ(noted.notes.size(), 3u);
  EXPECT_EQ(noted.notes[1].substr(0, 6 + where.size()), "lost: " + where);
  EXPECT_EQ(noted.notes[2], "unreachable: " + where + ": cannot connect: Connection refused");
  EXPECT_EQ(link->problem(), where + ": cannot connect: Connection refused");

  Served again;  // back on the same port: the next request connects again
  ASSERT_EQ(again.server.listenTcp(port), port) << again.server.problem();
  again.start();
  EXPECT_EQ(link->transact(frame({1, 3, 0, 0, 0, 1})).response, frame({1, 3, 2, 0x14, 0x96}));
  EXPECT_EQ(noted.notes.back(), "connected: " + where);
  EXPECT_EQ(link->problem(), "");
}

TEST(MasterLink, PortsThatCannotBeUsed) {
  Served served;
  const std::string path = served.server.openPty();
  ASSERT_FALSE(path.empty()) << served.server.problem();
  served.start();
  const std::string held = "cannot open: the port is in use by another program";
  const std::pair<std::string, std::string> rows[] = {
      {"/no-such-folder/ttyUSB0", "cannot open: No such file or directory"},
      {"/dev/null", "cannot open: Inappropriate ioctl for device"},
      {path, held + " (it holds the port exclusively)"},
  };
  // A program that locks the port with flock (as libmodbus-based tools here do).
  const int holder = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  for (const auto& [device, problem] : rows) {
    auto link = modbusmaster::MasterLink::rtu(device, {});
    EXPECT_FALSE(link->open());
    EXPECT_EQ(link->problem(), link->describe() + ": " + problem);
    EXPECT_EQ(link->transact(frame({1, 3, 0, 0, 0, 1})).response, Bytes{});
  }
  ::close(holder);
  // One that holds it by a lock file (Qt's serial port, minicom): process 1 is always there.
  std::string name = path.substr(5);
  std::replace(name.begin(), name.end(), '/', '_');
  const std::string lockFile = "/var/lock/LCK.." + name;
  if (std::ofstream(lockFile) << "      1\n") {
    auto link = modbusmaster::MasterLink::rtu(path, {});
    EXPECT_FALSE(link->open());
    EXPECT_EQ(link->problem(), link->describe() + ": " + held + " (process 1 holds its lock)");
    std::remove(lockFile.c_str());
  }
  auto link = modbusmaster::MasterLink::rtu(path, {});
  ASSERT_TRUE(link->open()) << link->problem();
  // The converter's baud rate becomes the port's.
  link->setSerial({19200, true});
  EXPECT_EQ(link->describe(), "Modbus RTU " + path + " at 19200 baud 8N1");
  EXPECT_EQ(link->transact(frame({1, 3, 0, 0, 0, 1})).response, frame({1, 3, 2, 0x14, 0x96}));
  // The console's own lock file says the port is taken, until the link lets it go.
  long pid = 0;
  EXPECT_TRUE(std::ifstream(lockFile) >> pid);
  EXPECT_EQ(pid, ::getpid());
  link.reset();
  EXPECT_FALSE(std::ifstream(lockFile).good());
}

// A slave that answers one request with the given bytes, whatever they are: on a loopback TCP
// port, or on the master side of a pseudo-terminal whose other side the link opens.
struct OddSlave {
  OddSlave(bool tcp, Bytes answer) : answer(std::move(answer)) {
    if (tcp) {
      listener = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      socklen_t size = sizeof address;
      ::bind(listener, reinterpret_cast<sockaddr*>(&address), size);
      ::listen(listener, 1);
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
      link = modbusmaster::MasterLink::tcp("127.0.0.1", ntohs(address.sin_port));
    } else {
      peer = ::posix_openpt(O_RDWR | O_NOCTTY);
      ::grantpt(peer), ::unlockpt(peer);
      link = modbusmaster::MasterLink::rtu(::ptsname(peer), {});
    }
    thread = std::thread([this] { answerOne(); });
  }
  ~OddSlave() {
    thread.join();
    for (int fd : {listener, peer})
      if (fd >= 0) ::close(fd);
  }
  static bool readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 2000) == 1;
  }
  void answerOne() {
    if (listener >= 0 && readable(listener)) peer = ::accept(listener, nullptr, nullptr);
    std::uint8_t request[300];
    if (peer >= 0 && readable(peer) && ::read(peer, request, sizeof request) > 0)
      (void)!::write(peer, answer.data(), answer.size());
  }
  Bytes answer;
  int listener = -1, peer = -1;
  std::unique_ptr<modbusmaster::MasterLink> link;
  std::thread thread;
};

TEST(MasterLink, OddAnswersArePassedOnAsTheyCame) {
  const Bytes hello = {'H', 'E', 'L', 'L', 'O', ' ', 'W', 'O', 'R', 'L', 'D'};
  const auto tcp = [](std::uint8_t protocol, std::uint8_t unit) {  // a header, then 75 read
    return Bytes{0, 0, 0, protocol, 0, 5, unit, 3, 2, 0, 75};
  };
  struct Row {
    bool tcp;
    Bytes answer, response;
    int code;  // -1: none, the converter judges
    std::string note;
  } rows[] = {
      {true, tcp(7, 1), frame({1, 3, 2, 0, 75}), 100,
       "an answer with protocol identifier 7, not 0"},
      {true, tcp(0, 2), frame({2, 3, 2, 0, 75}), 100, "an answer with unit 2 answered for unit 1"},
      {true, hello, frame({'W', 'O', 'R'}), 100, "an answer with protocol identifier 19532, not 0"},
      {false, {1, 3, 2, 0, 75, 0, 0}, {1, 3, 2, 0, 75, 0, 0}, -1, ""},
      {false, frame({2, 3, 2, 0, 75}), frame({2, 3, 2, 0, 75}), -1, ""},
      {false, frame({1, 0x83, 2}), frame({1, 0x83, 2}), -1, ""},
      {false, {1, 3, 2, 0}, {}, -1, ""},  // cut short: no answer
  };
  for (const Row& row : rows) {
    OddSlave slave(row.tcp, row.answer);
    Noted noted(*slave.link);
    ASSERT_TRUE(slave.link->open()) << slave.link->problem();
    const modbus::Reply reply = slave.link->transact(frame({1, 3, 0, 100, 0, 1}));
    EXPECT_EQ(reply.response, row.response) << row.note;
    EXPECT_EQ(reply.code.value_or(-1), row.code) << row.note;
    const std::string lost =
        row.note.empty() ? "" : "lost: " + slave.link->describe() + ": " + row.note;
    EXPECT_EQ(noted.notes.back(), row.note.empty() ? "connected: " + slave.link->describe() : lost);
  }
}

TEST(MasterLink, TargetsOfTheOption) {
  const std::pair<std::string, std::string> rows[] = {
      {"/dev/ttyUSB0", "Modbus RTU /dev/ttyUSB0 at 9600 baud 8N1"},
      {"lab-gw", "Modbus TCP lab-gw:502"},
      {"10.0.0.5:5020", "Modbus TCP 10.0.0.5:5020"},
      {"[::1]:1502", "Modbus TCP [::1]:1502"},
      {"gw:0", "--modbus: the port must be a number from 1 to 65535, not 0"},
  };
  for (const auto& [target, described] : rows) {
    std::string problem;
    auto link = modbusmaster::linkFor(target, {}, problem);
    EXPECT_EQ(link ? link->describe() : problem, described);
  }
}

}  // namespace
