#include "AssemblerLine.h"

#include "NumberText.h"

namespace console {

AssembledLine assemblerLine(const std::string& cmd, const std::string& regText,
                            const std::string& dataText) {
  const auto reg = bus::toSingle(bus::numericValue(regText));
  if (!reg) return {{}, "Register number out of range for a single-precision number: nothing sent"};
  if (dataText.find_first_of("\r\n") != std::string::npos)
    return {{},
            "The data field holds a line break, which would split the command line: "
            "nothing sent"};
  return {cmd + " " + bus::numberText(*reg) + ", " + (dataText.empty() ? "1" : dataText)};
}

}  // namespace console
