#include "Routines4882.h"

#include <cstdlib>
#include <vector>

namespace simlibrary {

namespace {

using bus::ERR;
using bus::TIMO;

}  // namespace

Routines4882::Routines4882(Board& board, DeviceIo& io)
    : board_(board), io_(io), bus_(board.bus()) {}

void Routines4882::sendIfc(int board) {
  // Unlike the other routines this one also works on a board that is offline: it brings it
  // back.
  if (board != 0) {
    board_.status() = {ERR, bus::ENEB, 0, 0};
    return;
  }
  io_.ibsic(0);
}

void Routines4882::send(int board, Addr address, const char* data, long count, int mode) {
  if (!board_.boardNumber(board)) return;
  if (board_.badArgument(mode != NULLend && mode != DABend && mode != NLend)) return;
  if (const std::optional<int> pad = board_.padOf(address)) {
    bus_.Send(0, static_cast<bus::Addr4882>(*pad), data, count, eotMode(mode));
    board_.takeBusStatus();
  }
}

void Routines4882::receive(int board, Addr address, char* buffer, long count, int termination) {
  if (!board_.boardNumber(board)) return;
  if (const std::optional<int> pad = board_.padOf(address)) {
    bus_.Receive(0, static_cast<bus::Addr4882>(*pad), buffer, count, termination);
    board_.takeBusStatus();
  }
}

void Routines4882::devClear(int board, Addr address) {
  if (!board_.boardNumber(board)) return;
  if (address == kNoAddr) {
    bus_.DevClear(0, bus::NOADDR);
    board_.takeBusStatus();
  } else if (const std::optional<int> pad = board_.padOf(address)) {
    bus_.DevClear(0, static_cast<bus::Addr4882>(*pad));
    board_.takeBusStatus();
  }
}

void Routines4882::findLstn(int board, const Addr* pads, Addr* found, int limit) {
  if (!board_.boardNumber(board)) return;
  // Addr is unsigned and the bus's Addr4882 signed: the same 16 bits, NOADDR included.
  bus_.FindLstn(0, reinterpret_cast<const bus::Addr4882*>(pads),
                reinterpret_cast<bus::Addr4882*>(found), limit);
  board_.takeBusStatus();
}

void Routines4882::readStatusByte(int board, Addr address, short* result) {
  if (!board_.boardNumber(board)) return;
  if (const std::optional<int> pad = board_.padOf(address)) {
    bus_.ReadStatusByte(0, static_cast<bus::Addr4882>(*pad), result);
    board_.takeBusStatus();
  }
}

void Routines4882::sendList(int board, const Addr* list, const char* data, long count, int mode) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list);
  if (!pads) return;
  if (board_.badArgument(pads->empty())) return;
  for (int pad : *pads) {
    send(board, static_cast<Addr>(pad), data, count, mode);
    if (board_.status().ibsta & ERR) return;
  }
}

void Routines4882::sendDataBytes(int board, const char* data, long count, int mode) {
  if (!board_.boardNumber(board)) return;
  if (board_.badArgument(count < 0 || (!data && count > 0) ||
                         (mode != NULLend && mode != DABend && mode != NLend)))
    return;
  io_.boardWrite(data, count, mode);
}

void Routines4882::sendSetup(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list);
  if (!pads) return;
  if (board_.badArgument(pads->empty())) return;
  board_.addressing().listeners = *pads;
  board_.addressing().talker = sim::SimulatedBus::kBoardAddress;
  board_.succeed();
}

void Routines4882::receiveSetup(int board, Addr address) {
  if (!board_.boardNumber(board)) return;
  const std::optional<int> pad = board_.padOf(address);
  if (!pad) return;
  board_.addressing().listeners = {sim::SimulatedBus::kBoardAddress};
  board_.addressing().talker = *pad;
  board_.succeed();
}

void Routines4882::rcvRespMsg(int board, char* buffer, long count, int termination) {
  if (!board_.boardNumber(board)) return;
  if (board_.badArgument(termination != bus::STOPend && (termination < 0 || termination > 0xFF)))
    return;
  io_.boardRead(buffer, count, termination, false);
}

void Routines4882::devClearList(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list);
  if (!pads) return;
  if (pads->empty()) {
    devClear(board, kNoAddr);
    return;
  }
  for (int pad : *pads) {
    devClear(board, static_cast<Addr>(pad));
    if (board_.status().ibsta & ERR) return;
  }
}

bool Routines4882::allListen(const std::vector<int>& pads) {
  for (int pad : pads) {
    if (!bus_.listens(pad)) {
      board_.fail(bus::ENOL);
      return false;
    }
  }
  return true;
}

void Routines4882::enableRemote(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list);
  if (!pads) return;
  if (!board_.systemController()) {
    board_.fail(bus::ESAC);
    return;
  }
  bus_.ibsre(0, 1);
  if (allListen(*pads)) board_.succeed();
}

void Routines4882::setRwls(int board, const Addr* list) { enableRemote(board, list); }

void Routines4882::enableLocal(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list);
  if (!pads) return;
  if (pads->empty()) {
    // No addresses: REN itself goes false, every device back to local.
    if (!board_.systemController()) {
      board_.fail(bus::ESAC);
      return;
    }
    bus_.ibsre(0, 0);
  }
  if (allListen(*pads)) board_.succeed();
}

void Routines4882::trigger(int board, Addr address) {
  if (!board_.boardNumber(board)) return;
  if (const std::optional<int> pad = board_.padOf(address)) {
    bus_.Trigger(0, static_cast<bus::Addr4882>(*pad));
    board_.takeBusStatus();
  }
}

void Routines4882::triggerList(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list);
  if (!pads) return;
  if (pads->empty()) {
    io_.ibcmd(0, "\x08", 1);  // GET to the listeners already addressed
    return;
  }
  for (int pad : *pads) {
    trigger(board, static_cast<Addr>(pad));
    if (board_.status().ibsta & ERR) return;
  }
}

void Routines4882::allSpoll(int board, const Addr* list, short* results) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list, results != nullptr);
  if (!pads) return;
  for (std::size_t i = 0; i < pads->size(); ++i) {
    readStatusByte(board, static_cast<Addr>((*pads)[i]), &results[i]);
    if (board_.status().ibsta & ERR) {
      board_.status().ibcnt = static_cast<int>(i);
      board_.status().ibcntl = static_cast<long>(i);
      return;
    }
  }
  board_.succeed(static_cast<long>(pads->size()));
}

void Routines4882::findRqs(int board, const Addr* list, short* result) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list, result != nullptr);
  if (!pads) return;
  for (std::size_t i = 0; i < pads->size(); ++i) {
    readStatusByte(board, static_cast<Addr>((*pads)[i]), result);
    if (board_.status().ibsta & ERR) return;
    if (*result & 0x40) {
      board_.succeed(static_cast<long>(i));
      return;
    }
  }
  board_.fail(bus::ETAB, static_cast<long>(pads->size()));
}

void Routines4882::waitSrq(int board, short* result) {
  if (!board_.boardNumber(board)) return;
  if (board_.badArgument(!result)) return;
  const bool asserted = (bus_.baseStatus() & bus::SRQI) != 0;
  if (!asserted) {
    const double seconds = sim::SimulatedBus::timeoutSeconds(bus_.timeoutCode());
    if (seconds > 0) board_.clock().sleepFor(seconds);
  }
  *result = asserted ? 1 : 0;
  board_.succeed();
  if (!asserted) board_.status().ibsta |= TIMO;
}

void Routines4882::testSys(int board, const Addr* list, short* results) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list, results != nullptr);
  if (!pads) return;
  long failed = 0;
  for (std::size_t i = 0; i < pads->size(); ++i) {
    const auto pad = static_cast<bus::Addr4882>((*pads)[i]);
    char reply[32] = {};
    bus_.Send(0, pad, "*TST?", 5, bus::EotMode::NLend);
    if (!board_.busFailed()) bus_.Receive(0, pad, reply, sizeof reply - 1, bus::STOPend);
    if (board_.busFailed()) {
      board_.takeBusStatus();
      return;
    }
    results[i] = static_cast<short>(std::strtol(reply, nullptr, 10));
    if (results[i] != 0) ++failed;
  }
  board_.succeed(failed);
}

void Routines4882::resetSys(int board, const Addr* list) {
  const std::optional<std::vector<int>> pads = board_.listed(board, list);
  if (!pads) return;
  if (!board_.systemController()) {
    board_.fail(bus::ESAC);
    return;
  }
  bus_.SendIFC(0);
  board_.addressing().clear();
  bus_.ibsre(0, 1);
  bus_.DevClear(0, bus::NOADDR);
  for (int pad : *pads) {
    bus_.Send(0, static_cast<bus::Addr4882>(pad), "*RST", 4, bus::EotMode::NLend);
    if (board_.busFailed()) {
      board_.takeBusStatus();
      return;
    }
  }
  board_.succeed();
}

void Routines4882::pPoll(int board, short* result) {
  if (!board_.boardNumber(board)) return;
  if (board_.badArgument(!result)) return;
  *result = 0;  // the simulated devices do not answer parallel polls
  board_.succeed();
}

void Routines4882::pPollConfig(int board, Addr address, int line, int sense) {
  if (!board_.boardNumber(board)) return;
  const std::optional<int> pad = board_.padOf(address);
  if (!pad) return;
  if (line < 1 || line > 8 || (sense != 0 && sense != 1)) {
    board_.fail(bus::EARG);
  } else if (!bus_.listens(*pad)) {
    board_.fail(bus::ENOL);
  } else {
    board_.succeed();
  }
}

void Routines4882::pPollUnconfig(int board, const Addr* list) {
  if (board_.listed(board, list)) board_.succeed();
}

void Routines4882::sendLlo(int board) {
  if (board_.boardNumber(board)) board_.succeed();
}

void Routines4882::testSrq(int board, short* result) {
  if (!board_.boardNumber(board) || board_.badArgument(!result)) return;
  *result = (bus_.baseStatus() & bus::SRQI) ? 1 : 0;
  board_.succeed();
}

void Routines4882::passControl(int board, Addr address) {
  if (board_.boardNumber(board) && board_.padOf(address)) board_.fail(bus::ECAP);
}

}  // namespace simlibrary
