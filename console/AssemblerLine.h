#pragma once

#include <string>

namespace console {

// The command assembler's line, or why it cannot be sent. Kept free of widgets so that any
// text an operator can type can be tried against it.
struct AssembledLine {
  std::string line;               // empty when refused
  const char* refusal = nullptr;  // what the operator is told instead
};

// `cmd` ("R" or "W"), the register as typed and the data field as typed: the register's value
// as number text, then the data field as it stands ("1" when empty).
AssembledLine assemblerLine(const std::string& cmd, const std::string& regText,
                            const std::string& dataText);

}  // namespace console
