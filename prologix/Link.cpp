#include "Link.h"

namespace prologix {

std::unique_ptr<Link> linkFor(const Target& target, int baud) {
  return target.serial ? serialLink(target.device, baud) : tcpLink(target.device, target.port);
}

}  // namespace prologix
