#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Driver.h"

namespace bus {

// The platform's NI-488.2-style driver library (linux-gpib's libgpib.so.0, NI's gpib-32.dll,
// or any library exporting the same entry points), bound at run time.
//
// The library is opened and every entry point resolved into one table at the first call
// (or at load()). A missing library or entry point is not fatal: problem() describes it
// once, and from then on every call fails with ERR set and iberr EDVR.
class LibraryDriver final : public Driver {
 public:
  explicit LibraryDriver(std::string path);
  ~LibraryDriver() override;
  LibraryDriver(const LibraryDriver&) = delete;
  LibraryDriver& operator=(const LibraryDriver&) = delete;

  // The library this platform's console looks for when no path is given.
  static std::string defaultPath();
  // The platform's libraries the console tries, in order, when none is named: linux-gpib's,
  // then NI-488.2's for Linux (libni4882.so, the name NI's own notes give its 64-bit library).
  static std::vector<std::string> defaultPaths();
  // The first of `paths` that loads with every entry point, or null; `problems` then says,
  // one line each, why none did.
  static std::unique_ptr<LibraryDriver> firstThatLoads(const std::vector<std::string>& paths,
                                                       std::string& problems);

  // Opens the library and resolves its entry points, once. True when all are there.
  bool load();
  // Empty while the library is usable; otherwise one line saying what is missing.
  std::string problem() const override;

  void ibonl(int ud, int value) override;
  void ibsre(int ud, int value) override;
  void ibtmo(int ud, int code) override;
  void SendIFC(int board) override;
  void DevClear(int board, Addr4882 address) override;
  void FindLstn(int board, const Addr4882* padList, Addr4882* resultList, int limit) override;
  void ReadStatusByte(int board, Addr4882 address, std::int16_t* result) override;
  void Send(int board, Addr4882 address, const char* data, long count, EotMode mode) override;
  void Receive(int board, Addr4882 address, char* buffer, long count, int termination) override;
  Status status() const override;
  std::string describe() const override;

 private:
  struct Table;
  std::unique_ptr<Table> table_;
};

}  // namespace bus
