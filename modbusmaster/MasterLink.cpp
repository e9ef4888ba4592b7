#include "MasterLink.h"

#include <modbus.h>
#include <netdb.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

#include "LinkTarget.h"

namespace modbusmaster {

namespace {

using Clock = std::chrono::steady_clock;

Clock::duration seconds(double value) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value));
}

// The lock file of `device` in the system's lock folder, by the UUCP convention that Qt's serial
// port, minicom and the like follow: /var/lock/LCK..ttyUSB0 holding the process id.
std::string lockFileOf(const std::string& device) {
  std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
  std::replace(name.begin(), name.end(), '/', '_');
  return "/var/lock/LCK.." + name;
}

// The process that holds `device` by its lock file; 0 when none does.
long lockingProcess(const std::string& device) {
  std::ifstream file(lockFileOf(device));
  long pid = 0;
  const bool alive = file >> pid && pid > 0 && pid != ::getpid() &&
                     (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
  return alive ? pid : 0;
}

}  // namespace

MasterLink::MasterLink(bool serial, std::string where, PortSettings port, int tcpPort)
    : serial_(serial), where_(std::move(where)), port_(port), tcpPort_(tcpPort) {}

std::unique_ptr<MasterLink> MasterLink::rtu(const std::string& device, const PortSettings& port) {
  return std::unique_ptr<MasterLink>(new MasterLink(true, device, port, 0));
}

std::unique_ptr<MasterLink> MasterLink::tcp(const std::string& host, int port) {
  return std::unique_ptr<MasterLink>(new MasterLink(false, host, PortSettings{}, port));
}

MasterLink::~MasterLink() { close(); }

std::string MasterLink::describe() const {
  if (serial_) return "Modbus RTU " + where_ + " at " + modbusmaster::describe(port_);
  const bool v6 = where_.find(':') != std::string::npos;
  return "Modbus TCP " + (v6 ? "[" + where_ + "]" : where_) + ":" + std::to_string(tcpPort_);
}

void MasterLink::note(const std::string& text) {
  if (text == lastNote_) return;
  lastNote_ = text;
  if (onNote) onNote(text);
}

void MasterLink::close() {
  if (context_) {
    if (open_) modbus_close(context_);
    modbus_free(context_);
  }
  context_ = nullptr;
  open_ = false;
  if (!lockFile_.empty()) ::unlink(lockFile_.c_str());
  lockFile_.clear();
}

void MasterLink::lose(const std::string& why) {
  close();
  problem_ = describe() + ": " + why;
  note("lost: " + problem_);
}

bool MasterLink::open() {
  close();
  const std::string failure = serial_ ? "cannot open: " : "cannot connect: ";
  const auto unreachable = [&](const std::string& why) {
    close();
    problem_ = describe() + ": " + failure + why;
    note("unreachable: " + problem_);
    return false;
  };
  if (serial_) {
    if (const long pid = lockingProcess(where_))
      return unreachable("the port is in use by another program (process " + std::to_string(pid) +
                         " holds its lock)");
    context_ = modbus_new_rtu(where_.c_str(), port_.baud, port_.parity, 8, port_.stopBits);
  } else {
    // libmodbus says "Connection refused" for a host it cannot find; say what it is.
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(tcpPort_);
    if (const int error = ::getaddrinfo(where_.c_str(), service.c_str(), &hints, &found))
      return unreachable(std::string("cannot find the host: ") + ::gai_strerror(error));
    ::freeaddrinfo(found);
    context_ = modbus_new_tcp_pi(where_.c_str(), service.c_str());
  }
  if (!context_) return unreachable(modbus_strerror(errno));
  // Connecting waits at most the response time-out too.
  setTimeouts(kResponseTimeout, kResponseTimeout);
  if (modbus_connect(context_) == -1) {
    const int error = errno;
    if (error == EBUSY) return unreachable("the port is in use by another program");
    return unreachable(modbus_strerror(error));
  }
  open_ = true;
  if (serial_ && !lockPort())
    return unreachable("the port is in use by another program (it holds the port exclusively)");
  problem_.clear();
  quietFrom_ = Clock::now();
  note("connected: " + describe());
  return true;
}

bool MasterLink::lockPort() {
  const int fd = modbus_get_socket(context_);
  if (::flock(fd, LOCK_EX | LOCK_NB) == -1) return false;
  // Other programs' opens fail while the console has the port (root's still succeed), and
  // those that look for a lock file find one (a stale one was left by a process gone).
  ::ioctl(fd, TIOCEXCL);
  const std::string path = lockFileOf(where_);
  ::unlink(path.c_str());
  if (std::ofstream file(path); file << ::getpid() << "\ngpib-modbus-console\n") lockFile_ = path;
  return true;
}

void MasterLink::setTimeouts(double response, double byte) {
  const auto split = [](double value, uint32_t& whole, uint32_t& micro) {
    const double rounded = std::round(std::max(value, 0.0) * 1e6);
    whole = static_cast<uint32_t>(rounded / 1e6);
    micro = static_cast<uint32_t>(rounded - whole * 1e6);
  };
  uint32_t s = 0, us = 0;
  split(response, s, us);
  modbus_set_response_timeout(context_, s, us);
  split(byte, s, us);
  modbus_set_byte_timeout(context_, s, us);
}

void MasterLink::setSerial(const modbus::SerialSettings& settings) {
  if (!serial_ || settings.baud == port_.baud) return;
  port_.baud = settings.baud;
  if (context_) open();
}

void MasterLink::waitForSilence() {
  const Clock::time_point until = quietFrom_ + seconds(timing(port_, kResponseTimeout).gap);
  if (until > Clock::now()) std::this_thread::sleep_until(until);
}

modbus::Reply MasterLink::transact(const modbus::Bytes& request) {
  if (request.size() < 4) return {};
  if (!isOpen() && !open()) return {};
  const Timing t = timing(port_, kResponseTimeout);
  // The request without its CRC: libmodbus adds the CRC on RTU and the MBAP header on TCP.
  const int rawSize = static_cast<int>(request.size() - 2);
  if (serial_) {
    waitForSilence();
    if (request[0] <= 247) modbus_set_slave(context_, request[0]);
    // The request's own bytes may still be leaving when the wait for the answer starts.
    setTimeouts(t.response + static_cast<double>(request.size()) * t.character, t.byte);
  } else {
    setTimeouts(t.response, t.response);
  }
  if (modbus_send_raw_request(context_, request.data(), rawSize) == -1) {
    lose(modbus_strerror(errno));
    return {};
  }
  if (serial_ && modbus::broadcastWrite(request)) {
    // No slave answers a broadcast; the line is quiet once the request has left.
    quietFrom_ = Clock::now() + seconds(static_cast<double>(request.size()) * t.character);
    return {};
  }
  return serial_ ? receiveRtu() : receiveTcp(request);
}

modbus::Reply MasterLink::receiveRtu() {
  std::uint8_t buffer[MODBUS_RTU_MAX_ADU_LENGTH] = {};
  const int received = modbus_receive_confirmation(context_, buffer);
  const int error = errno;
  quietFrom_ = Clock::now();
  modbus::Reply reply;
  if (received > 0) {
    reply.response.assign(buffer, buffer + received);
    return reply;
  }
  if (received == 0 || error == EMBBADCRC || error == EMBBADDATA) {
    // Another slave's frame (libmodbus leaves that to the caller), a bad CRC, or a byte count
    // past any frame's end: the bytes as they came, for the converter to judge.
    const std::size_t length = error == EMBBADDATA ? 3 : responseLength(buffer, sizeof buffer);
    reply.response.assign(buffer, buffer + std::min(length, sizeof buffer));
    modbus_flush(context_);
    return reply;
  }
  if (error == ETIMEDOUT) {
    // Nothing, or an answer cut short: libmodbus does not say how much of it came.
    modbus_flush(context_);
    return reply;
  }
  lose(modbus_strerror(error));
  return reply;
}

modbus::Reply MasterLink::receiveTcp(const modbus::Bytes& request) {
  std::uint8_t buffer[MODBUS_TCP_MAX_ADU_LENGTH] = {};
  const int received = modbus_receive_confirmation(context_, buffer);
  const int error = errno;
  modbus::Reply reply;
  if (received > 0) {
    std::string odd;
    reply.response = rtuFromTcp(buffer, static_cast<std::size_t>(received), request[0], odd);
    if (!odd.empty()) {
      // The stream's framing cannot be trusted after a header like that.
      reply.code = kDamaged;
      lose("an answer with " + odd);
    }
    return reply;
  }
  if (error == ETIMEDOUT || error == EMBBADDATA) {
    // A late answer dies with the connection; the next request opens a new one.
    close();
    return reply;
  }
  lose(modbus_strerror(error));
  return reply;
}

std::unique_ptr<MasterLink> linkFor(const std::string& target, const PortSettings& port,
                                    std::string& problem) {
  const bus::LinkTarget parsed =
      bus::parseLinkTarget(target, "--modbus", MasterLink::kDefaultTcpPort);
  problem = parsed.problem;
  if (!problem.empty()) return nullptr;
  return parsed.serial ? MasterLink::rtu(parsed.device, port)
                       : MasterLink::tcp(parsed.device, parsed.port);
}

}  // namespace modbusmaster
