#include "Texts.h"

namespace console {

std::string modbusErrorExplanation(double code) {
  if (code == 0) return "No Error";
  if (code == 1) return "Exception Code #1";
  if (code == 2) return "Exception Code #2";
  if (code == 3) return "Exception Code #3";
  if (code == 100) return "CRC Error";
  if (code == 101) return "Timeout Error";
  if (code > 200 && code < 300) return "Partial message received";
  return "Undefined Error";
}

}  // namespace console
