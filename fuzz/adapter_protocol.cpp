// The adapter protocol on any bytes. The driver's side: the adapter's answers parsed into a
// status byte or listeners only when they are that, and a reply cut where it ends and nowhere
// else, with or without the end mark. The simulated adapter's side: a line of data escaped as
// the driver escapes it reaches the device whole and as data, and raw bytes (commands among
// them) leave it in a defined state.
#include <cstdint>
#include <string>

#include "Adapter.h"
#include "Check.h"
#include "Clock.h"
#include "Protocol.h"
#include "SimulatedBus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool mark = (data[0] & 0x80) != 0;
  const std::size_t room = data[0] & 0x7F;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

  if (const auto byte = prologix::parseStatusByte(input)) FUZZ_CHECK(*byte >= 0 && *byte <= 255);
  if (const auto listeners = prologix::parseListeners(input))
    for (int pad : *listeners) FUZZ_CHECK(pad >= 0 && pad <= prologix::kLastAddress);
  prologix::flavourOf(input);

  std::string received = input;
  const bool complete = prologix::replyComplete(received, room, mark);
  const prologix::ReplyPiece piece = prologix::takeReply(received, room, mark);
  FUZZ_CHECK(piece.bytes.size() <= room);
  FUZZ_CHECK(input.compare(0, piece.bytes.size(), piece.bytes) == 0);
  const std::size_t dropped = input.size() - piece.bytes.size() - received.size();
  FUZZ_CHECK(dropped == (mark && piece.ended ? 1u : 0u));
  FUZZ_CHECK(input.compare(piece.bytes.size() + dropped, std::string::npos, received) == 0);
  if (piece.ended && mark) FUZZ_CHECK(received.empty() && input.back() == prologix::kEndMark);
  if (piece.ended && !mark) {
    FUZZ_CHECK(piece.bytes.find('\n') == piece.bytes.size() - 1);
  }
  if (!complete) FUZZ_CHECK(!piece.ended);

  bus::VirtualClock clock;
  sim::SimulatedBus bench(clock);
  prologixsim::Adapter adapter(bench, mark);
  std::string heard;
  int lines = 0;
  adapter.passedOn = [&](int, const std::string& bytes) {
    heard = bytes;
    ++lines;
  };
  adapter.feed(prologix::escapeData(input) + "\n");
  if (!input.empty() && input.size() < 65536) {
    FUZZ_CHECK(lines == 1);
    FUZZ_CHECK(heard == input + "\r\n");
  }
  // The same bytes unescaped, whatever commands they hold.
  adapter.feed(input);
  return 0;
}
