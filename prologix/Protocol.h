#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Driver.h"

namespace prologix {

// The `++` command protocol of Prologix GPIB-USB/GPIB-ETHERNET controllers and of AR488
// adapters, as the console's driver speaks it: pure text in, text out, no I/O.
//
// Every line to the adapter ends with a line feed. A line whose first two bytes are `++` is a
// command to the adapter; any other line is data for the addressed device. Inside data, CR, LF,
// ESC and `+` are each preceded by ESC so that the adapter passes them on instead of acting on
// them. The adapter appends nothing to data (`++eos 3`), so the console's own line feed travels
// as an escaped data byte, and it asserts EOI with the last byte (`++eoi 1`).

constexpr char kEscape = 27;
constexpr int kBoardAddress = 0;
constexpr int kLastAddress = 30;
// `++read_tmo_ms` takes 1 to 3000 ms.
constexpr int kShortestReadTimeoutMs = 1;
constexpr int kLongestReadTimeoutMs = 3000;

// Data bytes with CR, LF, ESC and `+` escaped.
std::string escapeData(std::string_view data);

// The lines that put a freshly opened adapter into controller mode, reads on command, EOI with
// the last byte, nothing appended, the read time-out and the end mark below; then ask for its
// version. Of the answers, an adapter that marks the end of a reply answers "1" (to
// `++eot_enable`) before its version; one without the commands answers nothing or an error line.
std::vector<std::string> setupLines(int readTimeoutMs);

// The byte an adapter appends to a reply where the device ended it with EOI (`++eot_char`,
// `++eot_enable 1`), so that a reply holding line feeds (binary or block data) is read whole.
// A mark byte followed by more bytes is data: the adapter sends nothing after its mark.
constexpr char kEndMark = 4;

// Whether the bytes of a reply received so far are enough for a read of `room` bytes: with the
// end mark, when they end in it or more than `room` have come; without it, at a line feed (which
// ends every reply of the converter) or when `room` have come.
bool replyComplete(std::string_view received, size_t room, bool endMark);
// Takes what a read of `room` bytes hands out from the front of `received`: the reply's bytes,
// and whether they end it (the mark itself is dropped, a line feed is data).
struct ReplyPiece {
  std::string bytes;
  bool ended = false;
};
ReplyPiece takeReply(std::string& received, size_t room, bool endMark);

// `++read_tmo_ms` for an ibtmo code: the time-out in milliseconds within the adapter's range
// (no time-out, code 0, is the longest the adapter knows).
int readTimeoutMs(int timeoutCode);

// Which adapters know the commands beyond the Prologix set (`++ren`, `++findlstn`): AR488
// firmware names itself in its `++ver` answer.
enum class Flavour { Prologix, Ar488 };
Flavour flavourOf(std::string_view version);

// The adapter's state as the driver last set it; what a call needs to send follows from it.
struct Session {
  Flavour flavour = Flavour::Prologix;
  bool endMark = false;  // the adapter marks the end of a reply with kEndMark
  int address = -1;      // the adapter's `++addr`, -1 until set
  int readTimeoutMs = 0;

  // `++addr N` when the adapter is addressed elsewhere (and notes the new address).
  std::vector<std::string> readdress(int pad);
  // Send: the data line, with the console's line feed as data for NLend.
  std::vector<std::string> send(int pad, std::string_view data, bus::EotMode mode);
  std::vector<std::string> receive(int pad);
  std::vector<std::string> clear(int pad);
  std::vector<std::string> serialPoll(int pad) const;
  // ibsre: AR488 switches REN itself; a Prologix adapter holds REN as controller, so turning
  // it off is at most a go-to-local of the addressed device.
  std::vector<std::string> remoteEnable(bool on) const;
  std::vector<std::string> readTimeout(int ms);
};

// The status byte a `++spoll` answer carries ("65\r\n"); nothing for any other text.
std::optional<int> parseStatusByte(std::string_view reply);
// The addresses a `++findlstn` answer lists, separated by blanks or commas; nothing when the
// answer holds anything but addresses 0 to 30.
std::optional<std::vector<int>> parseListeners(std::string_view reply);

// Status words as a board in charge leaves them.
bus::Status succeeded(long count = 0, int extra = 0);
bus::Status failed(int error, long count = 0, int extra = 0);
// No answer in time: the read was abandoned.
bus::Status timedOut(long count = 0);
// The adapter cannot be reached: nothing of a board's state shows.
bus::Status unusable();

}  // namespace prologix
