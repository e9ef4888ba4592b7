#pragma once

#include <string>

#include "GPIB32.h"

namespace bus {

// A window's error box: takes a text and makes the box visible.
class ErrorBox {
 public:
  virtual ~ErrorBox() = default;
  virtual void showError(const std::string& text) = 0;
};

// The label of the driver checks around the main window's sends and reads.
inline constexpr const char* kReadStatusByteError = "ReadStatusByte Error";

// Bus error display: when the last driver call failed, build the status report under
// `label` (which takes board 0 offline) and show it in `box`. True when it was shown.
bool busErrorDisplay(GPIB32& gpib, const std::string& label, ErrorBox& box);

// Query exchange: send `line` to the converter, wait 0.1 s, read the reply into ReplyBuf,
// cut trailing blanks and everything from the first line feed on. With `checks`, every
// send and read is followed by the bus error display labelled "ReadStatusByte Error".
// True when a reply is left in ReplyBuf.
bool queryExchange(GPIB32& gpib, const std::string& line, ErrorBox* checks = nullptr);

// Empty-reply fallback: ask the converter for its Modbus error ("E?"), read the answer at
// once into ReplyBuf and cut its trailing blanks (a line feed stays). Returns the text
// for the error box: "Modbus Error " followed by the answer. The caller shows it, empties
// its result box and beeps.
std::string emptyReplyFallback(GPIB32& gpib, ErrorBox* checks = nullptr);

}  // namespace bus
