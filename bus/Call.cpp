#include "Call.h"

namespace bus {

const char* routineName(Routine routine) {
  switch (routine) {
    case Routine::ibonl:
      return "ibonl";
    case Routine::ibsre:
      return "ibsre";
    case Routine::ibtmo:
      return "ibtmo";
    case Routine::SendIFC:
      return "SendIFC";
    case Routine::DevClear:
      return "DevClear";
    case Routine::FindLstn:
      return "FindLstn";
    case Routine::ReadStatusByte:
      return "ReadStatusByte";
    case Routine::Send:
      return "Send";
    case Routine::Receive:
      return "Receive";
  }
  return "";
}

}  // namespace bus
