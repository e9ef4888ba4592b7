#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "LibraryDriver.h"

namespace bus {

bool operator==(const Status& a, const Status& b) {
  return a.ibsta == b.ibsta && a.iberr == b.iberr && a.ibcnt == b.ibcnt && a.ibcntl == b.ibcntl;
}

void PrintTo(const Status& s, std::ostream* os) {
  *os << "{ibsta 0x" << std::hex << s.ibsta << std::dec << ", iberr " << s.iberr << ", ibcnt "
      << s.ibcnt << ", ibcntl " << s.ibcntl << "}";
}

}  // namespace bus

namespace {

using bus::EotMode;
using bus::LibraryDriver;
using bus::Status;

const Status kDriverUnusable{bus::ERR, bus::EDVR, 0, 0};
const Status kDone{bus::CMPL, 0, 0, 0};

// The test's own handle on a stand-in: the same loaded instance the driver calls, so its
// call log and its answers can be read and steered from here.
class Standin {
 public:
  explicit Standin(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW)) {
    if (handle_ == nullptr) ADD_FAILURE() << "stand-in " << path << " did not load: " << dlerror();
    reset();
  }
  ~Standin() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  Standin(const Standin&) = delete;
  Standin& operator=(const Standin&) = delete;

  std::string log() const { return control<const char* (*)()>("standin_log")(); }
  void reset() const { control<void (*)()>("standin_reset")(); }
  void reply(const std::string& bytes) const {
    control<void (*)(const char*, long)>("standin_set_reply")(bytes.data(),
                                                              static_cast<long>(bytes.size()));
  }
  void force(const Status& s) const {
    control<void (*)(int, int, int, long)>("standin_force_status")(s.ibsta, s.iberr, s.ibcnt,
                                                                   s.ibcntl);
  }

 private:
  template <typename Fn>
  Fn control(const char* name) const {
    return reinterpret_cast<Fn>(dlsym(handle_, name));
  }
  void* handle_;
};

bool isLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);  // RTLD_NOLOAD still counts a reference
  return true;
}

// A private file beside nobody else's, so that tests counting who holds a library share it
// with nobody.
struct TempFile {
  explicit TempFile(const std::string& stem)
      : path(std::filesystem::temp_directory_path() /
             (stem + "-" + std::to_string(::getpid()) + ".so")) {
    std::filesystem::remove(path);
  }
  ~TempFile() { std::filesystem::remove(path); }
  void copyFrom(const std::string& source) const {
    std::filesystem::copy_file(source, path, std::filesystem::copy_options::overwrite_existing);
  }
  std::filesystem::path path;
};

// Buffers every output-writing call gets, filled with a pattern so that any byte the
// driver should not have touched shows.
struct Outputs {
  std::array<bus::Addr4882, 6> listeners{-7, -7, -7, -7, -7, -7};
  std::int16_t statusByte = -7;
  std::array<char, 16> buffer{};
  Outputs() { buffer.fill('#'); }
  std::string text() const { return std::string(buffer.data(), buffer.size()); }
  bool untouched() const { return listeners[0] == -7 && statusByte == -7 && text() == Outputs().text(); }
};

const bus::Addr4882 kPads[] = {1, 4, 5, 7, bus::NOADDR};

using Call = std::function<void(bus::Driver&, Outputs&)>;
struct CallRow {
  const char* name;
  Call call;
  std::string wire;  // what the stand-in logged
  Status after;
};

// Every entry point, with the stand-in's reply "5620\n".
const std::vector<CallRow>& everyCall() {
  static const std::vector<CallRow> rows = {
      {"ibonl", [](auto& d, auto&) { d.ibonl(0, 0); }, "ibonl 0 0\n", kDone},
      {"ibsre", [](auto& d, auto&) { d.ibsre(0, 1); }, "ibsre 0 1\n", kDone},
      {"ibtmo", [](auto& d, auto&) { d.ibtmo(0, 11); }, "ibtmo 0 11\n", kDone},
      {"SendIFC", [](auto& d, auto&) { d.SendIFC(2); }, "SendIFC 2\n", kDone},
      {"DevClear with secondary address", [](auto& d, auto&) { d.DevClear(1, 4 | (0x60 << 8)); },
       "DevClear 1 24580\n", kDone},
      {"FindLstn", [](auto& d, auto& o) { d.FindLstn(0, kPads, o.listeners.data(), 5); },
       "FindLstn 0 [1,4,5,7] 5\n", {0x100, 0, 2, 2}},
      {"ReadStatusByte", [](auto& d, auto& o) { d.ReadStatusByte(0, 9, &o.statusByte); },
       "ReadStatusByte 0 9\n", {0x100, 0, 1, 1}},
      {"Send of part of a text", [](auto& d, auto&) { d.Send(0, 4, "R  100, 1junk", 9, EotMode::NLend); },
       "Send 0 4 [R  100, 1] 9 2\n", {0x100, 0, 9, 9}},
      {"Receive", [](auto& d, auto& o) { d.Receive(0, 4, o.buffer.data(), 16, bus::STOPend); },
       "Receive 0 4 16 256\n", {0x2100, 0, 5, 5}},
  };
  return rows;
}

TEST(LibraryDriverCalls, ForwardEveryCallWithItsArgumentsAndRefreshStatus) {
  Standin standin(STANDIN_GPIB);
  LibraryDriver driver(STANDIN_GPIB);
  for (const CallRow& row : everyCall()) {
    SCOPED_TRACE(row.name);
    standin.reset();
    standin.reply("5620\n");
    Outputs outputs;
    row.call(driver, outputs);
    EXPECT_EQ(standin.log(), row.wire);
    EXPECT_EQ(driver.status(), row.after);
  }
  EXPECT_EQ(driver.problem(), "");
}

TEST(LibraryDriverCalls, OutputsReachTheCallerAndNothingBeyond) {
  Standin standin(STANDIN_GPIB);
  LibraryDriver driver(STANDIN_GPIB);
  Outputs o, limited;
  driver.FindLstn(0, kPads, o.listeners.data(), 5);
  EXPECT_EQ(o.listeners, (std::array<bus::Addr4882, 6>{4, 7, -7, -7, -7, -7}));
  driver.FindLstn(0, kPads, limited.listeners.data(), 1);
  EXPECT_EQ(limited.listeners, (std::array<bus::Addr4882, 6>{4, -7, -7, -7, -7, -7}));
  driver.ReadStatusByte(0, 9, &o.statusByte);
  EXPECT_EQ(o.statusByte, 0x49);
  standin.reply(std::string("56\xE9\n", 4) + "ABCDEFGH");
  driver.Receive(0, 4, o.buffer.data(), 6, bus::STOPend);
  EXPECT_EQ(o.text(), std::string("56\xE9\nAB##########", 16));
  EXPECT_EQ(driver.status().ibcntl, 6);
}

// Each family's own numbers for the end modes, the family named, and the status read from the
// Thread accessors, the linux-gpib variables or NI's user_ variables (the default stand-in
// leaves its variables stale, so only a driver reading its accessors sees the call's status).
TEST(LibraryDriverFamilies, EndModesInTheLibrarysNumberingAndStatusFromItsOwnPlace) {
  struct Row {
    const char* path;
    const char* family;
    std::string nlDabNull;  // the end mode numbers Send passed for NLend, DABend, NULLend
  };
  const Row rows[] = {
      {STANDIN_GPIB, "linux-gpib", "210"},
      {STANDIN_GPIB_VARS, "linux-gpib", "210"},
      {STANDIN_GPIB_NI, "NI-488.2", "120"},
  };
  const Status failed{bus::ERR | bus::TIMO | bus::CMPL, bus::EABO, 3, 70000};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    Standin standin(row.path);
    LibraryDriver driver(row.path);
    EXPECT_TRUE(driver.load()) << driver.problem();
    EXPECT_EQ(driver.describe(), std::string("GPIB driver library ") + row.path + " (" +
                                     row.family + ")");
    const std::pair<EotMode, int> modes[] = {
        {EotMode::NLend, bus::STOPend}, {EotMode::DABend, '\n'}, {EotMode::NULLend, 0}};
    std::string wire;
    for (int i = 0; i < 3; ++i) {
      Outputs o;
      driver.Send(0, 4, "x", 1, modes[i].first);
      driver.Receive(0, 4, o.buffer.data(), 16, modes[i].second);
      wire += std::string("Send 0 4 [x] 1 ") + row.nlDabNull[i] + "\nReceive 0 4 16 " +
              std::to_string(modes[i].second) + "\n";
    }
    EXPECT_EQ(standin.log(), wire);
    standin.force(failed);
    driver.ibtmo(0, 11);
    EXPECT_EQ(driver.status(), failed);
    driver.ibsre(0, 1);
    EXPECT_EQ(driver.status(), kDone);
  }
}

// Every call, made on a driver that cannot work, leaves its outputs alone.
void expectEveryCallFails(LibraryDriver& driver) {
  for (const CallRow& row : everyCall()) {
    Outputs o;
    row.call(driver, o);
    EXPECT_EQ(driver.status(), kDriverUnusable) << row.name;
    EXPECT_TRUE(o.untouched()) << row.name;
  }
}

TEST(LibraryDriverProblems, UnloadableLibraryIsReportedAndEveryCallFails) {
  TempFile notALibrary("not-a-gpib-library");
  std::ofstream(notALibrary.path) << std::string(200, 'x');
  const std::pair<std::string, std::string> rows[] = {
      {"/nonexistent/libgpib-missing.so.0", "No such file or directory"},
      {notALibrary.path.string(), "invalid ELF header"},
  };
  for (const auto& [path, reason] : rows) {
    for (bool explicitLoad : {true, false}) {
      SCOPED_TRACE(path + (explicitLoad ? " loaded" : " called"));
      LibraryDriver driver(path);
      if (explicitLoad) {
        EXPECT_FALSE(driver.load());
      }
      expectEveryCallFails(driver);
      const std::string prefix = "GPIB driver library " + path + " could not be loaded: ";
      EXPECT_EQ(driver.problem().substr(0, prefix.size()), prefix);
      EXPECT_NE(driver.problem().find(reason, prefix.size()), std::string::npos);
      EXPECT_EQ(driver.problem().find('\n'), std::string::npos);
      EXPECT_EQ(driver.describe(), driver.problem());
    }
  }
}

TEST(LibraryDriverProblems, MissingEntryPointIsNamedAndNothingIsCalled) {
  const std::pair<std::string, std::string> rows[] = {
      {STANDIN_GPIB_PARTIAL, " lacks the entry point FindLstn"},
      {STANDIN_GPIB_NOSTATUS,
       " lacks the entry point ThreadIbsta (nor the status variables ibsta or user_ibsta)"},
  };
  for (const auto& [path, problem] : rows) {
    SCOPED_TRACE(path);
    Standin standin(path);
    LibraryDriver driver(path);
    EXPECT_FALSE(driver.load());
    EXPECT_EQ(driver.problem(), "GPIB driver library " + path + problem);
    EXPECT_EQ(driver.describe(), driver.problem());
    expectEveryCallFails(driver);
    EXPECT_EQ(standin.log(), "");
  }
}

TEST(LibraryDriverProblems, NullBuffersAreRefusedBeforeTheLibrarySeesThem) {
  const std::pair<const char*, Call> rows[] = {
      {"no pad list", [](auto& d, auto& o) { d.FindLstn(0, nullptr, o.listeners.data(), 5); }},
      {"no result list", [](auto& d, auto&) { d.FindLstn(0, kPads, nullptr, 5); }},
      {"no status byte", [](auto& d, auto&) { d.ReadStatusByte(0, 4, nullptr); }},
      {"no data", [](auto& d, auto&) { d.Send(0, 4, nullptr, 5, EotMode::NLend); }},
      {"send -1", [](auto& d, auto&) { d.Send(0, 4, "x", -1, EotMode::NLend); }},
      {"no buffer", [](auto& d, auto&) { d.Receive(0, 4, nullptr, 16, bus::STOPend); }},
      {"receive -1", [](auto& d, auto& o) { d.Receive(0, 4, o.buffer.data(), -1, bus::STOPend); }},
  };
  Standin standin(STANDIN_GPIB);
  LibraryDriver driver(STANDIN_GPIB);
  for (const auto& [name, call] : rows) {
    Outputs o;
    call(driver, o);
    EXPECT_EQ(driver.status(), (Status{bus::ERR, bus::EARG, 0, 0})) << name;
    EXPECT_TRUE(o.untouched()) << name;
  }
  EXPECT_EQ(standin.log(), "");
  driver.Send(0, 4, nullptr, 0, EotMode::NLend);  // an empty send is legal without data
  EXPECT_EQ(standin.log(), "Send 0 4 [] 0 2\n");
}

TEST(LibraryDriverLoading, OpensAtTheFirstCallOnceAndLetsGoAtTheEnd) {
  TempFile copy("standin-gpib-once");
  copy.copyFrom(STANDIN_GPIB);
  {
    LibraryDriver driver(copy.path.string());
    EXPECT_FALSE(isLoaded(copy.path.string()));
    driver.ibonl(0, 0);
    EXPECT_TRUE(isLoaded(copy.path.string()));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(driver.load());
    driver.SendIFC(0);
    EXPECT_EQ(driver.status(), kDone);
  }
  // Had any call or load() opened it again, a reference would still be held here.
  EXPECT_FALSE(isLoaded(copy.path.string()));
}

TEST(LibraryDriverLoading, AFailedLoadIsNotRetriedWhenTheLibraryAppears) {
  TempFile late("standin-gpib-late");
  LibraryDriver driver(late.path.string());
  EXPECT_FALSE(driver.load());
  const std::string problem = driver.problem();
  late.copyFrom(STANDIN_GPIB);
  driver.ibonl(0, 0);
  EXPECT_EQ(driver.status(), kDriverUnusable);
  EXPECT_EQ(driver.problem(), problem);
  EXPECT_FALSE(isLoaded(late.path.string()));
}

}  // namespace
