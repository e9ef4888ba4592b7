#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace modbus {

// A Modbus RTU frame in words: slave, function, register, count, values, exception code with
// its name, and whether its CRC is good. `request` is given for a response, whose meaning
// depends on what was asked (a read answers with values only). An empty response is a time-out.
//   "slave 1, read holding registers 100, count 1, CRC good"
//   "slave 1, read holding registers: 75, CRC good"
//   "slave 1, exception 2 (illegal data address) to read holding registers, CRC good"
std::string describeFrame(const std::vector<std::uint8_t>& frame,
                          const std::vector<std::uint8_t>* request = nullptr);

// The name of a Modbus exception code ("illegal data address"); empty for one without a name.
std::string exceptionName(int code);
// The name of a function code ("read holding registers"; "function 7" for one the converter
// does not use).
std::string functionName(int function);

}  // namespace modbus
