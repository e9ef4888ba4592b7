#pragma once

#include <string>

namespace bus {

// Name of the lowest set status bit of ibsta (" CMPL" for 0x8100), empty for 0.
std::string statusName(int ibsta);
// Name of a driver error code (" ENOL <No Listener>"), empty for codes without one.
std::string errorName(int iberr);
// Its short name alone ("ENOL"), empty for codes without one.
std::string errorCodeName(int iberr);

// The one-line report of a failed driver call:
// label, two blanks, status name, " >", "iberr = ", iberr as number text, its name,
// "ibcnt = ", the count as number text.
std::string statusReportText(const std::string& label, int ibsta, int iberr, long ibcntl);

}  // namespace bus
