#include "LinkTarget.h"

#include <charconv>

namespace bus {

LinkTarget parseLinkTarget(const std::string& text, const std::string& option, int defaultPort) {
  LinkTarget target;
  target.port = defaultPort;
  if (text.empty()) {
    target.problem = option + " needs a serial device (/dev/ttyUSB0) or HOST[:PORT]";
    return target;
  }
  if (text.front() == '/') {
    target.serial = true;
    target.device = text;
    return target;
  }
  // HOST, HOST:PORT, an IPv6 address alone, or [IPv6]:PORT.
  std::string host = text, port;
  if (text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':')) {
      target.problem = option + ": an IPv6 address is written [ADDRESS]:PORT";
      return target;
    }
    host = text.substr(1, close - 1);
    if (close + 1 < text.size()) port = text.substr(close + 2);
  } else if (const size_t colon = text.find(':');
             colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (port.empty()) {
      target.problem = option + ": no port after the colon in " + text;
      return target;
    }
  }
  if (host.empty()) {
    target.problem = option + ": no host in " + text;
    return target;
  }
  target.device = host;
  if (!port.empty()) {
    int value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535) {
      target.problem = option + ": the port must be a number from 1 to 65535, not " + port;
      return target;
    }
    target.port = value;
  }
  return target;
}

}  // namespace bus
