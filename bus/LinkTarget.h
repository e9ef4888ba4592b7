#pragma once

#include <string>

namespace bus {

// What an option naming a port or a network peer asks for: a serial device by its path
// (starting with /), or HOST, HOST:PORT, an IPv6 address alone or [ADDRESS]:PORT. Empty
// `problem` when usable.
struct LinkTarget {
  bool serial = false;
  std::string device;  // serial: the path; TCP: the host
  int port = 0;
  std::string problem;
};

// `option` ("--prologix") names the option in the problems; `defaultPort` is the port when the
// text gives none.
LinkTarget parseLinkTarget(const std::string& text, const std::string& option, int defaultPort);

}  // namespace bus
