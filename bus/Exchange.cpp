#include "Exchange.h"

#include "NumberText.h"

namespace bus {

namespace {
void check(GPIB32& gpib, ErrorBox* checks) {
  if (checks) busErrorDisplay(gpib, kReadStatusByteError, *checks);
}
}  // namespace

bool busErrorDisplay(GPIB32& gpib, const std::string& label, ErrorBox& box) {
  if (!gpib.failed()) return false;
  std::string report = label;
  gpib.BusStatusReport(report);
  box.showError(gpib.ErrorText);
  return true;
}

bool queryExchange(GPIB32& gpib, const std::string& line, ErrorBox* checks) {
  gpib.Send_msg(gpib.BoardIndex, gpib.ConverterAddr, line, 1);
  check(gpib, checks);
  gpib.Delay(0.1);
  gpib.ReplyBuf.assign(10, ' ');
  gpib.Recv_msg(gpib.BoardIndex, gpib.ConverterAddr, gpib.ReplyBuf, 256);
  check(gpib, checks);
  gpib.ReplyBuf = trimTrailingBlanks(gpib.ReplyBuf);
  if (gpib.ReplyBuf.empty()) return false;
  gpib.ReplyBuf = cutAtLineFeed(gpib.ReplyBuf);
  return true;
}

std::string emptyReplyFallback(GPIB32& gpib, ErrorBox* checks) {
  gpib.Send_msg(gpib.BoardIndex, gpib.ConverterAddr, "E?", 1);
  check(gpib, checks);
  gpib.ReplyBuf.assign(100, ' ');
  gpib.Recv_msg(gpib.BoardIndex, gpib.ConverterAddr, gpib.ReplyBuf, 256);
  check(gpib, checks);
  gpib.ReplyBuf = trimTrailingBlanks(gpib.ReplyBuf);
  return "Modbus Error " + gpib.ReplyBuf;
}

}  // namespace bus
