#include "FrameText.h"

#include "Frame.h"

namespace modbus {

namespace {

// Register values as the controller holds them: signed 16-bit.
std::string values(const std::vector<std::uint8_t>& f, std::size_t from, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i)
    text += (i ? ", " : "") + std::to_string(static_cast<std::int16_t>(word(f, from + 2 * i)));
  return text;
}

// What the frame says, without the CRC; empty when it is too short to say it.
std::string body(const std::vector<std::uint8_t>& f, bool response) {
  const std::size_t size = f.size() - 2;  // without the CRC
  const int function = f[1];
  if (response && (function & kExceptionBit) && size >= 3)
    return "exception " + std::to_string(f[2]) + " (" + exceptionName(f[2]) + ") to " +
           functionName(function & 0x7F);
  switch (function) {
    case kReadHolding:
    case kReadInput:
      if (!response && size == 6)
        return functionName(function) + " " + std::to_string(word(f, 2)) + ", count " +
               std::to_string(word(f, 4));
      if (response && size >= 3 && size == 3u + f[2] && f[2] % 2 == 0)
        return functionName(function) + ": " + values(f, 3, f[2] / 2u);
      break;
    case kWriteSingle:
      if (size == 6)
        return functionName(function) + " " + std::to_string(word(f, 2)) + " = " + values(f, 4, 1) +
               (response ? " done" : "");
      break;
    case kWriteMultiple:
      if (response && size == 6)
        return functionName(function) + " " + std::to_string(word(f, 2)) + ", count " +
               std::to_string(word(f, 4)) + " done";
      if (!response && size >= 7 && size == 7u + f[6] && f[6] == 2 * word(f, 4))
        return functionName(function) + " " + std::to_string(word(f, 2)) + ", count " +
               std::to_string(word(f, 4)) + " = " + values(f, 7, f[6] / 2u);
      break;
    default:
      break;
  }
  return {};
}

}  // namespace

std::string functionName(int function) {
  switch (function) {
    case kReadHolding:
      return "read holding registers";
    case kReadInput:
      return "read input registers";
    case kWriteSingle:
      return "write single register";
    case kWriteMultiple:
      return "write multiple registers";
    default:
      return "function " + std::to_string(function);
  }
}

std::string exceptionName(int code) {
  static const char* const names[] = {"illegal function",   "illegal data address",
                                      "illegal data value", "slave device failure",
                                      "acknowledge",        "slave device busy"};
  return code >= kIllegalFunction && code <= kDeviceBusy ? names[code - 1] : "";
}

std::string describeFrame(const std::vector<std::uint8_t>& frame,
                          const std::vector<std::uint8_t>* request) {
  const bool response = request != nullptr;
  if (frame.empty()) return response ? "no response (time-out)" : "empty frame";
  if (frame.size() < 4) return "partial frame of " + std::to_string(frame.size()) + " bytes";
  std::string text = "slave " + std::to_string(frame[0]) + ", ";
  // A frame damaged on the line may not add up: say so rather than read values out of it.
  const std::string said = body(frame, response);
  text += said.empty() ? functionName(frame[1] & 0x7F) + ", " + std::to_string(frame.size()) +
                             " bytes that do not form its frame"
                       : said;
  return text + (crcValid(frame) ? ", CRC good" : ", CRC bad");
}

}  // namespace modbus
