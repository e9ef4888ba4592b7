#include "StatusReport.h"

#include <utility>

#include "NumberText.h"

namespace bus {

std::string statusName(int ibsta) {
  static const std::pair<int, const char*> names[] = {
      {0x8000, " ERR"},  {0x4000, " TIMO"},  {0x2000, " END"},   {0x1000, " SRQI"},
      {0x0800, " RQS"},  {0x0400, " SPOLL"}, {0x0200, " EVENT"}, {0x0100, " CMPL"},
      {0x0080, " LOK"},  {0x0040, " REM"},   {0x0020, " CIC"},   {0x0010, " ATN"},
      {0x0008, " TACS"}, {0x0004, " LACS"},  {0x0002, " DTAS"},  {0x0001, " DCAS"},
  };
  // Tested from the top bit down, each set bit replacing the name before: the lowest one wins.
  std::string name;
  for (const auto& [bit, text] : names)
    if (ibsta & bit) name = text;
  return name;
}

namespace {

struct ErrorNames {
  const char* code;
  const char* meaning;
};

ErrorNames namesOf(int iberr) {
  switch (iberr) {
    case 0:
      return {"EDVR", "DOS Error"};
    case 1:
      return {"ECIC", "Not CIC"};
    case 2:
      return {"ENOL", "No Listener"};
    case 3:
      return {"EADR", "Address error"};
    case 4:
      return {"EARG", "Invalid argument"};
    case 5:
      return {"ESAC", "Not Sys Ctrlr"};
    case 6:
      return {"EABO", "Op. aborted"};
    case 7:
      return {"ENEB", "No GPIB board"};
    case 10:
      return {"EOIP", "Async I/O in prg"};
    case 11:
      return {"ECAP", "No capability"};
    case 12:
      return {"EFSO", "File sys. error"};
    case 14:
      return {"EBUS", "Command error"};
    case 15:
      return {"ESTB", "Status byte lost"};
    case 16:
      return {"ESRQ", "SRQ stuck on"};
    case 20:
      return {"ETAB", "Table Overflow"};
    default:
      return {nullptr, nullptr};
  }
}

}  // namespace

std::string errorName(int iberr) {
  const ErrorNames names = namesOf(iberr);
  if (!names.code) return {};
  return std::string(" ") + names.code + " <" + names.meaning + ">";
}

std::string errorCodeName(int iberr) {
  const char* code = namesOf(iberr).code;
  return code ? code : "";
}

std::string statusReportText(const std::string& label, int ibsta, int iberr, long ibcntl) {
  return label + "  " + statusName(ibsta) + " >" + "iberr = " + numberText(iberr) +
         errorName(iberr) + "ibcnt = " + numberText(ibcntl);
}

}  // namespace bus
