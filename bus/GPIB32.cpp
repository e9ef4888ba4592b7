#include "GPIB32.h"

#include <algorithm>

#include "NumberText.h"
#include "StatusReport.h"

namespace bus {

namespace {

EotMode eotModeOf(int niNumber) {
  switch (niNumber) {
    case 1:
      return EotMode::NLend;
    case 2:
      return EotMode::DABend;
    default:
      return EotMode::NULLend;
  }
}

constexpr int kMaxDiscardReads = 4096;

}  // namespace

GPIB32::GPIB32(Driver& driver, Clock& clock, Sound& sound, Observer* observer)
    : driver_(driver), clock_(clock), sound_(sound), observer_(observer) {}

void GPIB32::GetIBVars() {
  const Status s = driver_.status();
  ibsta = s.ibsta & 0xFFFF;
  iberr = s.iberr;
  ibcnt = static_cast<std::int16_t>(s.ibcnt);
  ibcntl = static_cast<std::int32_t>(s.ibcntl);
}

void GPIB32::called(Call call) {
  GetIBVars();
  if (!observer_) return;
  call.after = driver_.status();
  observer_->driverCall(call);
}

void GPIB32::ibonl(int unit, int value) {
  driver_.ibonl(unit, value);
  called({.routine = Routine::ibonl, .board = unit, .value = value});
}

void GPIB32::ibsre(int unit, int value) {
  driver_.ibsre(unit, value);
  called({.routine = Routine::ibsre, .board = unit, .value = value});
}

void GPIB32::ibtmo(int unit, int code) {
  driver_.ibtmo(unit, code);
  called({.routine = Routine::ibtmo, .board = unit, .value = code});
}

void GPIB32::SendIFC(int board) {
  driver_.SendIFC(board);
  called({.routine = Routine::SendIFC, .board = board});
}

void GPIB32::DevClear(int board, int address) {
  driver_.DevClear(board, static_cast<Addr4882>(address));
  called({.routine = Routine::DevClear, .board = board, .address = address});
}

void GPIB32::FindLstn(int board, const std::vector<std::int16_t>& addressList,
                      std::vector<std::int16_t>& resultList, int limit) {
  // The driver reads the address list up to NOADDR: make sure there is one.
  std::vector<Addr4882> pads(addressList.begin(), addressList.end());
  if (std::find(pads.begin(), pads.end(), NOADDR) == pads.end()) pads.push_back(NOADDR);
  limit = std::clamp(limit, 0, static_cast<int>(resultList.size()));
  driver_.FindLstn(board, pads.data(), resultList.data(), limit);
  called({.routine = Routine::FindLstn, .board = board, .value = limit});
}

void GPIB32::ReadStatusByte(int board, int address, std::int16_t& result) {
  driver_.ReadStatusByte(board, static_cast<Addr4882>(address), &result);
  called({.routine = Routine::ReadStatusByte, .board = board, .address = address});
}

void GPIB32::Send(int board, int address, const std::string& text, int eotMode) {
  const EotMode mode = eotModeOf(eotMode);
  driver_.Send(board, static_cast<Addr4882>(address), text.data(), static_cast<long>(text.size()),
               mode);
  called({.routine = Routine::Send, .board = board, .address = address, .sent = text, .end = mode});
}

void GPIB32::Receive(int board, int address, std::string& buffer, long count, int termination) {
  // The driver never writes past the caller's text, whatever count it is given.
  const long room = std::clamp<long>(count, 0, static_cast<long>(buffer.size()));
  driver_.Receive(board, static_cast<Addr4882>(address), buffer.data(), room, termination);
  const Status s = driver_.status();
  const long got = std::clamp<long>(s.ibcntl, 0, room);
  called({.routine = Routine::Receive,
          .board = board,
          .address = address,
          .count = count,
          .termination = termination,
          .received = (s.ibsta & ERR) && got == 0 ? std::string() : buffer.substr(0, got)});
}

void GPIB32::discardRestOfReply(int board, int address, long count) {
  if ((ibsta & (ERR | END)) || ibcntl < count || count <= 0) return;
  const int keptSta = ibsta, keptErr = iberr;
  const std::int16_t keptCnt = ibcnt;
  const std::int32_t keptCntl = ibcntl;
  std::string scratch(static_cast<size_t>(count), ' ');
  for (int i = 0; i < kMaxDiscardReads; ++i) {
    Receive(board, address, scratch, count, STOPend);
    if ((ibsta & (ERR | END)) || ibcntl < count) break;
  }
  ibsta = keptSta, iberr = keptErr, ibcnt = keptCnt, ibcntl = keptCntl;
}

void GPIB32::Send_msg(int board, int address, const std::string& line, int /*mode*/) {
  if (InterfaceName != "GPIB") return;
  Send(board, address, line, 1);
}

void GPIB32::Recv_msg(int board, int address, std::string& buffer, int /*count*/) {
  if (InterfaceName != "GPIB") return;
  ReceiveDirect(board, address, buffer, 256);
}

void GPIB32::ReceiveDirect(int board, int address, std::string& buffer, long count) {
  buffer.assign(static_cast<size_t>(std::max(0L, count)), ' ');
  Receive(board, address, buffer, count, STOPend);
  discardRestOfReply(board, address, count);
}

void GPIB32::Delay(double seconds) {
  if (observer_) observer_->pause(seconds);
  const double end = clock_.now() + seconds;
  // A real clock may wake a little early; never return before the time is up.
  for (double left = seconds; left > 0; left = end - clock_.now()) clock_.sleepFor(left);
}

void GPIB32::BusStatusReport(std::string& label) {
  label = statusReportText(label, ibsta, iberr, ibcntl);
  // A driver that cannot work says why, so the operator need not guess at EDVR.
  if ((ibsta & ERR) && iberr == EDVR) {
    if (const std::string problem = driver_.problem(); !problem.empty()) label += ": " + problem;
  }
  ErrorText = label;
  ibonl(0, 0);
}

void GPIB32::Beep() {
  if (observer_) observer_->beep();
  sound_.beep();
}

}  // namespace bus
