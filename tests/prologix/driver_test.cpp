// The driver against the simulated adapter, over a pseudo-terminal and over loopback TCP, as
// an AR488 and as a plain Prologix adapter; the simulator driven directly is the oracle.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSerialPort>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include "Endpoint.h"
#include "PrologixDriver.h"

namespace {

struct Transport {
  bool tcp;
  bool ar488;
};

std::string outcome(const bus::Status& s) {
  return "ERR iberr=" + std::to_string(s.iberr) + ((s.ibsta & bus::TIMO) ? " TIMO" : "");
}

// A line sent and its reply read as the console does it; "" for a line that wants none.
std::string query(bus::Driver& d, int pad, const std::string& line, bool reply = true) {
  d.Send(0, static_cast<bus::Addr4882>(pad), line.data(), static_cast<long>(line.size()),
         bus::EotMode::NLend);
  if (d.status().ibsta & bus::ERR) return outcome(d.status());
  if (!reply) return "";
  std::string bytes(256, '\0');
  d.Receive(0, static_cast<bus::Addr4882>(pad), bytes.data(), 256, bus::STOPend);
  if (d.status().ibsta & bus::ERR) return outcome(d.status());
  return bytes.substr(0, static_cast<size_t>(d.status().ibcntl));
}

class OverAdapter : public testing::TestWithParam<Transport> {
 protected:
  // The bench is arranged first; then the endpoint serves on its own thread.
  void start(prologixsim::Endpoint& served) {
    served.onData = [this](int address, const std::string& bytes) {
      std::lock_guard lock(mutex);
      heard.push_back(std::to_string(address) + ":" + bytes);
    };
    std::unique_ptr<prologix::Link> link;
    if (GetParam().tcp) {
      port = served.listenTcp(port);
      ASSERT_NE(port, 0) << served.problem();
      link = prologix::tcpLink("127.0.0.1", port);
    } else {
      const std::string path = served.openPty();
      ASSERT_FALSE(path.empty()) << served.problem();
      link = prologix::serialLink(path);
    }
    servers.emplace_back([&served] { served.run(); });
    if (driver) return;
    driver = std::make_unique<prologix::PrologixDriver>(std::move(link));
    driver->onProblem = [this](const std::string& problem) { problems.push_back(problem); };
    driver->onNote = [this](const std::string& note) { notes.push_back(note); };
    ASSERT_TRUE(driver->connect()) << driver->problem();
  }
  void TearDown() override {
    endpoint.stop();
    second.stop();
    for (std::thread& server : servers) server.join();
  }
  int status() const { return driver->status().ibsta; }

  prologixsim::Endpoint endpoint{GetParam().ar488}, second{GetParam().ar488};
  std::vector<std::thread> servers;
  int port = 0;
  std::unique_ptr<prologix::PrologixDriver> driver;
  std::vector<std::string> problems, notes, heard;
  std::mutex mutex;
  bus::VirtualClock clock;
  sim::SimulatedBus direct{clock};
};

constexpr int kDone = bus::CMPL | bus::CIC;

TEST_P(OverAdapter, ConsoleSession) {
  start(endpoint);
  EXPECT_NE(driver->describe().find(GetParam().ar488 ? "AR488 commands" : "Prologix commands"),
            std::string::npos)
      << driver->describe();
  for (auto call : {+[](bus::Driver& d) { d.SendIFC(0); }, +[](bus::Driver& d) { d.ibsre(0, 1); },
                    +[](bus::Driver& d) { d.ibtmo(0, 11); }}) {
    call(*driver);
    EXPECT_EQ(status(), kDone);
    call(direct);
  }
  // Discovery, a register written and read back, the status registers: as the simulator says.
  const std::pair<const char*, bool> lines[] = {{"*IDN?", true},     {"*ESE 255;*SRE 32", false},
                                                {"R  0, 1", true},   {"W  300, 90", false},
                                                {"R  300, 1", true}, {"*ESR?", true}};
  for (const auto& [line, reply] : lines) {
    EXPECT_EQ(query(*driver, 4, line, reply), query(direct, 4, line, reply)) << line;
    EXPECT_EQ(status(), (reply ? bus::END : 0) | kDone) << line;
  }
  std::int16_t polled = -1, expected = -2;
  driver->ReadStatusByte(0, 4, &polled);
  EXPECT_EQ(status(), kDone);
  direct.ReadStatusByte(0, 4, &expected);
  EXPECT_EQ(polled, expected);

  std::vector<bus::Addr4882> pads, found(31, -1);
  for (bus::Addr4882 pad = 1; pad <= 30; ++pad) pads.push_back(pad);
  pads.push_back(bus::NOADDR);
  driver->FindLstn(0, pads.data(), found.data(), 31);
  EXPECT_EQ(status(), kDone);
  found.resize(static_cast<size_t>(driver->status().ibcntl));
  EXPECT_EQ(found, (std::vector<bus::Addr4882>{4, 7}));
  EXPECT_EQ(notes.back(), GetParam().ar488 ? "listener search by ++findlstn"
                                           : "listener search by serial poll of 30 addresses");
}

TEST_P(OverAdapter, NoAnswerInTimeIsATimeout) {
  start(endpoint);
  driver->ibtmo(0, 9);  // 100 ms
  std::string bytes(10, '\0');
  driver->Receive(0, 9, bytes.data(), 10, bus::STOPend);
  EXPECT_EQ(status(), bus::ERR | bus::TIMO | kDone);
  std::int16_t polled = 0;
  driver->ReadStatusByte(0, 9, &polled);
  EXPECT_EQ(outcome(driver->status()), "ERR iberr=6 TIMO");
  // Nothing of the abandoned reads answers the next query.
  EXPECT_EQ(query(*driver, 4, "R  0, 1"), "5270\n");
}

TEST_P(OverAdapter, DataPassesEscapedBothWays) {
  const std::string reply("+\x1b\r\0\xff++ver\r\n", 12);
  endpoint.bench().setNextReply(reply);
  start(endpoint);
  EXPECT_EQ(query(*driver, 4, "++a+\x1b\rb"), reply);  // not a command: escaped
  std::lock_guard lock(mutex);
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0], "4:++a+\x1b\rb\n");
}

TEST_P(OverAdapter, ReplyHoldingLineFeedsComesWhole) {
  // Block data: line feeds, and the end mark's own byte, inside the reply.
  const std::string reply("#14a\nb\x04\n\r\n", 10);
  endpoint.bench().setNextReply(reply);
  start(endpoint);
  EXPECT_EQ(query(*driver, 4, "CURVE?"), reply);
  EXPECT_EQ(status(), bus::END | kDone);
}

TEST_P(OverAdapter, ReplyLongerThanTheBufferComesInParts) {
  start(endpoint);
  const std::string whole = query(direct, 4, "*IDN?");
  query(*driver, 4, "*IDN?", false);
  std::string part(10, '\0'), rest(256, '\0');
  driver->Receive(0, 4, part.data(), 10, bus::STOPend);
  EXPECT_EQ(status(), kDone);  // no END: there is more
  driver->Receive(0, 4, rest.data(), 256, bus::STOPend);
  EXPECT_EQ(status(), bus::END | kDone);
  EXPECT_EQ(part + rest.substr(0, static_cast<size_t>(driver->status().ibcntl)), whole);
}

TEST_P(OverAdapter, AdapterVanishingMidSession) {
  start(endpoint);
  ASSERT_EQ(query(*driver, 4, "R  0, 1"), "5270\n");
  endpoint.stop();
  servers.front().join();
  servers.clear();
  EXPECT_EQ(query(*driver, 4, "R  0, 1"), "ERR iberr=0");
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(driver->problem(), problems[0]);
  EXPECT_EQ(driver->describe(), problems[0]);
  EXPECT_EQ(query(*driver, 4, "*IDN?"), "ERR iberr=0");
  EXPECT_EQ(problems.size(), 1u);  // said once, not at every call
  if (!GetParam().tcp) return;     // a new pseudo-terminal has a new path

  driver->SendIFC(0);  // nobody listens on the port: refused
  EXPECT_EQ(outcome(driver->status()), "ERR iberr=0");
  const std::string refused = "TCP 127.0.0.1:" + std::to_string(port) + ": cannot connect: ";
  EXPECT_EQ(driver->problem().substr(0, refused.size()), refused);
  start(second);
  driver->SendIFC(0);  // reconnects
  EXPECT_EQ(status(), kDone);
  EXPECT_EQ(driver->problem(), "");
  EXPECT_EQ(query(*driver, 4, "R  0, 1"), "5270\n");
}

// One adapter of a kind of its own, served on its own thread for one test.
struct Served {
  explicit Served(bool tcp, bool endMark = true, int startMs = 0) : endpoint(true, endMark) {
    endpoint.setStartMilliseconds(startMs);
    if (tcp) {
      const int port = endpoint.listenTcp(0);
      link = prologix::tcpLink("127.0.0.1", port);
    } else {
      path = endpoint.openPty();
      link = prologix::serialLink(path);
    }
    server = std::thread([this] { endpoint.run(); });
    driver = std::make_unique<prologix::PrologixDriver>(std::move(link));
    driver->onProblem = [this](const std::string& problem) { problems.push_back(problem); };
    driver->onNote = [this](const std::string& note) { notes.push_back(note); };
  }
  ~Served() {
    endpoint.stop();
    server.join();
  }
  prologixsim::Endpoint endpoint;
  std::string path;
  std::unique_ptr<prologix::Link> link;
  std::thread server;
  std::unique_ptr<prologix::PrologixDriver> driver;
  std::vector<std::string> problems, notes;
};

TEST(Adapter, WithoutTheEndMarkAReplyEndsAtItsLineFeed) {
  Served served(true, false);
  served.endpoint.bench().setNextReply("a\nbc\n");
  ASSERT_TRUE(served.driver->connect()) << served.driver->problem();
  EXPECT_NE(served.notes.back().find("replies end at their line feed (no ++eot_enable)"),
            std::string::npos)
      << served.notes.back();
  EXPECT_EQ(query(*served.driver, 4, "*IDN?"), "a\n");
  EXPECT_EQ(served.driver->status().ibsta, bus::END | kDone);
}

TEST(Adapter, OneThatRestartsWhenItsPortOpensGetsTheTimeItNeeds) {
  Served served(false, true, 700);
  ASSERT_TRUE(served.driver->connect()) << served.driver->problem();
  EXPECT_EQ(query(*served.driver, 4, "R  0, 1"), "5270\n");
}

TEST(Adapter, OneGoneSilentIsLostNotTheInstrument) {
  Served served(true);
  ASSERT_TRUE(served.driver->connect()) << served.driver->problem();
  prologix::PrologixDriver& driver = *served.driver;
  driver.ibtmo(0, 9);  // 100 ms
  served.endpoint.silence(true);
  EXPECT_EQ(query(driver, 4, "*IDN?"), "ERR iberr=0");
  ASSERT_EQ(served.problems.size(), 1u);
  EXPECT_EQ(served.problems[0], served.driver->describe());
  EXPECT_NE(served.problems[0].find(": the adapter does not answer (++ver) after a time-out"),
            std::string::npos)
      << served.problems[0];
  served.endpoint.silence(false);
  driver.SendIFC(0);  // "Initialize GPIB Bus" connects again
  EXPECT_EQ(driver.status().ibsta, kDone);
  EXPECT_EQ(query(driver, 4, "R  0, 1"), "5270\n");
}

TEST(Adapter, APortAnotherProgramHoldsIsSaidSo) {
  Served served(false);
  QSerialPort holder;
  holder.setPortName(QString::fromStdString(served.path));
  ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
  EXPECT_FALSE(served.driver->connect());
  EXPECT_EQ(outcome(served.driver->status()), "ERR iberr=0");
  const std::string said = "serial " + served.path +
                           " at 115200 baud: cannot open: the port is in use by another program";
  EXPECT_EQ(served.driver->problem().substr(0, said.size()), said) << served.driver->problem();
  holder.close();
  EXPECT_TRUE(served.driver->connect()) << served.driver->problem();
}

// The simulated adapter on a TCP port another one holds says so and serves nothing.
TEST(Adapter, ASimulatedAdapterOnATakenPortSaysSo) {
  prologixsim::Endpoint first, second;
  const int port = first.listenTcp(0);
  ASSERT_GT(port, 0) << first.problem();
  EXPECT_EQ(second.listenTcp(port), 0);
  const std::string said = "cannot listen on port " + std::to_string(port) + ": ";
  EXPECT_EQ(second.problem().substr(0, said.size()), said) << second.problem();
}

// How a network adapter's connection ends is said as it happened: closed by the adapter while
// an answer is awaited, or never answered because its queue of new connections is full.
TEST(TcpLink, SaysWhetherTheAdapterClosedOrNeverAnswered) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{
      .sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
  socklen_t size = sizeof at;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&at), size), 0);
  ASSERT_EQ(::listen(listener, 0), 0);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &size);
  const std::string where = "TCP 127.0.0.1:" + std::to_string(ntohs(at.sin_port)) + ": ";
  const auto soon = [] {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  };
  auto link = prologix::tcpLink("127.0.0.1", ntohs(at.sin_port));
  ASSERT_TRUE(link->open(soon())) << link->problem();
  ::close(::accept(listener, nullptr, nullptr));
  std::string reply;
  EXPECT_FALSE(link->read(reply, soon()));
  EXPECT_EQ(link->problem(), where + "the adapter closed the connection");
  auto queued = prologix::tcpLink("127.0.0.1", ntohs(at.sin_port));
  auto unanswered = prologix::tcpLink("127.0.0.1", ntohs(at.sin_port));
  ASSERT_TRUE(queued->open(soon())) << queued->problem();
  EXPECT_FALSE(unanswered->open(soon()));
  EXPECT_EQ(unanswered->problem(), where + "cannot connect: " + std::strerror(ETIMEDOUT));
  ::close(listener);
}

INSTANTIATE_TEST_SUITE_P(Transports, OverAdapter,
                         testing::Values(Transport{true, true}, Transport{false, true},
                                         Transport{true, false}, Transport{false, false}),
                         [](const auto& info) {
                           return std::string(info.param.tcp ? "Tcp" : "Pty") +
                                  (info.param.ar488 ? "Ar488" : "Prologix");
                         });

}  // namespace
