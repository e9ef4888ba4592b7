#include "LibraryDriver.h"

#include <initializer_list>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace bus {

namespace {

#if defined(_WIN32) && !defined(_WIN64)
// gpib-32.dll exports its 32-bit entry points with the stdcall convention.
#define GPIB_CALL __stdcall
#else
#define GPIB_CALL
#endif

// The entry points as the driver libraries export them. Addresses are unsigned 16-bit
// (Addr4882_t) on the library side; NOADDR arrives there as 0xFFFF.
using LibAddr = unsigned short;
using IbFn = int(GPIB_CALL*)(int, int);
using SendIfcFn = void(GPIB_CALL*)(int);
using DevClearFn = void(GPIB_CALL*)(int, LibAddr);
using FindLstnFn = void(GPIB_CALL*)(int, const LibAddr*, LibAddr*, int);
using ReadStatusByteFn = void(GPIB_CALL*)(int, LibAddr, short*);
using SendFn = void(GPIB_CALL*)(int, LibAddr, const void*, long, int);
using ReceiveFn = void(GPIB_CALL*)(int, LibAddr, void*, long, int);
using IntStatusFn = int(GPIB_CALL*)();
using LongStatusFn = long(GPIB_CALL*)();

// Constants whose numbers differ between driver families. Nothing outside this file sees
// the numbers: callers speak of EotMode by name.
struct Family {
  const char* name;
  int nullEnd;
  int nlEnd;
  int dabEnd;
};
constexpr Family kLinuxGpib{"linux-gpib", 0, 2, 1};
constexpr Family kNi{"NI-488.2", 0, 1, 2};

// Only linux-gpib exports this, so its presence tells the families apart.
constexpr const char* kLinuxGpibMarker = "gpib_error_string";

constexpr Status kUnusable{ERR, EDVR, 0, 0};
// A null buffer is refused here rather than handed to a library that would crash on it.
constexpr Status kBadArgument{ERR, EARG, 0, 0};

// The status variables under the names each family exports them.
struct VariableNames {
  const char* ibsta;
  const char* iberr;
  const char* ibcnt;
  const char* ibcntl;
};
constexpr VariableNames kLinuxGpibVariables{"ibsta", "iberr", "ibcnt", "ibcntl"};
constexpr VariableNames kNiVariables{"user_ibsta", "user_iberr", "user_ibcnt", "user_ibcntl"};

}  // namespace

struct LibraryDriver::Table {
  std::string path;
  bool tried = false;
  std::string problem;
  const Family* family = nullptr;
  Status last;

#ifdef _WIN32
  HMODULE handle = nullptr;
#else
  void* handle = nullptr;
#endif

  IbFn ibonl = nullptr;
  IbFn ibsre = nullptr;
  IbFn ibtmo = nullptr;
  SendIfcFn sendIfc = nullptr;
  DevClearFn devClear = nullptr;
  FindLstnFn findLstn = nullptr;
  ReadStatusByteFn readStatusByte = nullptr;
  SendFn send = nullptr;
  ReceiveFn receive = nullptr;

  // Status comes either from the per-thread accessors or from the exported variables;
  // the accessors win because the variables are shared by every thread of the process.
  IntStatusFn threadIbsta = nullptr;
  IntStatusFn threadIberr = nullptr;
  IntStatusFn threadIbcnt = nullptr;
  LongStatusFn threadIbcntl = nullptr;
  const int* varIbsta = nullptr;
  const int* varIberr = nullptr;
  const int* varIbcnt = nullptr;
  const long* varIbcntl = nullptr;

  bool usable() const { return handle != nullptr && problem.empty(); }

  void* symbol(const char* name) const {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(handle, name));
#else
    return dlsym(handle, name);
#endif
  }

  template <typename Fn>
  void resolve(Fn& slot, const char* name, std::string& missing) {
    void* address = symbol(name);
    if (address == nullptr) {
      missing += missing.empty() ? name : std::string(", ") + name;
      return;
    }
    slot = reinterpret_cast<Fn>(address);
  }

  bool resolveThreadStatus() {
    std::string missing;
    resolve(threadIbsta, "ThreadIbsta", missing);
    resolve(threadIberr, "ThreadIberr", missing);
    resolve(threadIbcnt, "ThreadIbcnt", missing);
    resolve(threadIbcntl, "ThreadIbcntl", missing);
    if (missing.empty()) return true;
    threadIbsta = threadIberr = threadIbcnt = nullptr;
    threadIbcntl = nullptr;
    return false;
  }

  bool resolveStatusVariables(const VariableNames& names) {
    varIbsta = static_cast<const int*>(symbol(names.ibsta));
    varIberr = static_cast<const int*>(symbol(names.iberr));
    varIbcnt = static_cast<const int*>(symbol(names.ibcnt));
    varIbcntl = static_cast<const long*>(symbol(names.ibcntl));
    if (varIbsta && varIberr && varIbcnt && varIbcntl) return true;
    varIbsta = varIberr = varIbcnt = nullptr;
    varIbcntl = nullptr;
    return false;
  }

  std::string loadError() const {
#ifdef _WIN32
    return "Windows error " + std::to_string(GetLastError());
#else
    const char* text = dlerror();
    return text != nullptr ? text : "unknown reason";
#endif
  }

  void close() {
    if (handle == nullptr) return;
#ifdef _WIN32
    FreeLibrary(handle);
#else
    dlclose(handle);
#endif
    handle = nullptr;
  }

  bool load() {
    if (tried) return usable();
    tried = true;

#ifdef _WIN32
    handle = LoadLibraryA(path.c_str());
#else
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    if (handle == nullptr) {
      fail("GPIB driver library " + path + " could not be loaded: " + loadError());
      return false;
    }

    std::string missing;
    resolve(ibonl, "ibonl", missing);
    resolve(ibsre, "ibsre", missing);
    resolve(ibtmo, "ibtmo", missing);
    resolve(sendIfc, "SendIFC", missing);
    resolve(devClear, "DevClear", missing);
    resolve(findLstn, "FindLstn", missing);
    resolve(readStatusByte, "ReadStatusByte", missing);
    resolve(send, "Send", missing);
    resolve(receive, "Receive", missing);
    if (!resolveThreadStatus() && !resolveStatusVariables(kLinuxGpibVariables) &&
        !resolveStatusVariables(kNiVariables)) {
      missing += std::string(missing.empty() ? "" : ", ") +
                 "ThreadIbsta (nor the status variables ibsta or user_ibsta)";
    }
    if (!missing.empty()) {
      const bool several = missing.find(", ") != std::string::npos;
      fail("GPIB driver library " + path + " lacks the entry point" + (several ? "s " : " ") +
           missing);
      return false;
    }

    family = symbol(kLinuxGpibMarker) != nullptr ? &kLinuxGpib : &kNi;
    return true;
  }

  // From here on every call fails the same way; the library is let go, since nothing in
  // it will be called.
  void fail(std::string text) {
    problem = std::move(text);
    last = kUnusable;
    close();
  }

  void refresh() {
    if (threadIbsta != nullptr) {
      last = Status{threadIbsta(), threadIberr(), threadIbcnt(), threadIbcntl()};
    } else {
      last = Status{*varIbsta, *varIberr, *varIbcnt, *varIbcntl};
    }
  }

  // Runs one library call and refreshes the status, or records the failure without calling.
  template <typename Call>
  void call(Call&& callLibrary) {
    if (!load()) {
      last = kUnusable;
      return;
    }
    callLibrary();
    refresh();
  }

  int endMode(EotMode mode) const {
    switch (mode) {
      case EotMode::NULLend:
        return family->nullEnd;
      case EotMode::NLend:
        return family->nlEnd;
      case EotMode::DABend:
        return family->dabEnd;
    }
    return family->nullEnd;
  }
};

LibraryDriver::LibraryDriver(std::string path) : table_(std::make_unique<Table>()) {
  // An empty path would make dlopen hand back the program itself.
  table_->path = path.empty() ? defaultPath() : std::move(path);
}

LibraryDriver::~LibraryDriver() { table_->close(); }

std::string LibraryDriver::defaultPath() {
#ifdef _WIN32
  return "gpib-32.dll";
#else
  return "libgpib.so.0";
#endif
}

std::vector<std::string> LibraryDriver::defaultPaths() {
#ifdef _WIN32
  return {defaultPath()};
#else
  return {defaultPath(), "libni4882.so"};
#endif
}

std::unique_ptr<LibraryDriver> LibraryDriver::firstThatLoads(const std::vector<std::string>& paths,
                                                             std::string& problems) {
  problems.clear();
  for (const std::string& path : paths) {
    auto library = std::make_unique<LibraryDriver>(path);
    if (library->load()) return library;
    problems += (problems.empty() ? "" : "\n") + library->problem();
  }
  return nullptr;
}

bool LibraryDriver::load() { return table_->load(); }

std::string LibraryDriver::problem() const { return table_->problem; }

void LibraryDriver::ibonl(int ud, int value) {
  table_->call([&] { table_->ibonl(ud, value); });
}

void LibraryDriver::ibsre(int ud, int value) {
  table_->call([&] { table_->ibsre(ud, value); });
}

void LibraryDriver::ibtmo(int ud, int code) {
  table_->call([&] { table_->ibtmo(ud, code); });
}

void LibraryDriver::SendIFC(int board) {
  table_->call([&] { table_->sendIfc(board); });
}

void LibraryDriver::DevClear(int board, Addr4882 address) {
  table_->call([&] { table_->devClear(board, static_cast<LibAddr>(address)); });
}

void LibraryDriver::FindLstn(int board, const Addr4882* padList, Addr4882* resultList, int limit) {
  if (padList == nullptr || (resultList == nullptr && limit > 0)) {
    table_->last = table_->load() ? kBadArgument : kUnusable;
    return;
  }
  // Signed and unsigned 16-bit words may alias each other, so the lists pass as they are.
  table_->call([&] {
    table_->findLstn(board, reinterpret_cast<const LibAddr*>(padList),
                     reinterpret_cast<LibAddr*>(resultList), limit);
  });
}

void LibraryDriver::ReadStatusByte(int board, Addr4882 address, std::int16_t* result) {
  if (result == nullptr) {
    table_->last = table_->load() ? kBadArgument : kUnusable;
    return;
  }
  table_->call([&] { table_->readStatusByte(board, static_cast<LibAddr>(address), result); });
}

void LibraryDriver::Send(int board, Addr4882 address, const char* data, long count, EotMode mode) {
  if (count < 0 || (data == nullptr && count > 0)) {
    table_->last = table_->load() ? kBadArgument : kUnusable;
    return;
  }
  table_->call([&] {
    table_->send(board, static_cast<LibAddr>(address), data, count, table_->endMode(mode));
  });
}

void LibraryDriver::Receive(int board, Addr4882 address, char* buffer, long count,
                            int termination) {
  if (count < 0 || (buffer == nullptr && count > 0)) {
    table_->last = table_->load() ? kBadArgument : kUnusable;
    return;
  }
  table_->call(
      [&] { table_->receive(board, static_cast<LibAddr>(address), buffer, count, termination); });
}

Status LibraryDriver::status() const { return table_->last; }

std::string LibraryDriver::describe() const {
  if (!table_->problem.empty()) return table_->problem;
  std::string text = "GPIB driver library " + table_->path;
  if (table_->family != nullptr) text += std::string(" (") + table_->family->name + ")";
  return text;
}

}  // namespace bus
