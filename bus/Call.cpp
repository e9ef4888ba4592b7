#include "Call.h"

namespace bus {

const char* routineName(Routine routine) {
  static const char* const names[] = {"ibonl",    "ibsre",          "ibtmo", "SendIFC", "DevClear",
                                      "FindLstn", "ReadStatusByte", "Send",  "Receive"};
  return names[static_cast<int>(routine)];  // in Routine's order
}

}  // namespace bus
