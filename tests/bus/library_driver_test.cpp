#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
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

// The test's own handle on a stand-in: the same loaded instance the driver calls, so its
// call log and its answers can be read and steered from here.
class Standin {
 public:
  explicit Standin(const std::string& path) : handle_(dlopen(path.c_str(), RTLD_NOW)) {
    if (handle_ == nullptr) {
      ADD_FAILURE() << "stand-in " << path << " did not load: " << dlerror();
      return;
    }
    log_ = reinterpret_cast<const char* (*)()>(dlsym(handle_, "standin_log"));
    reset_ = reinterpret_cast<void (*)()>(dlsym(handle_, "standin_reset"));
    setReply_ = reinterpret_cast<void (*)(const char*, long)>(dlsym(handle_, "standin_set_reply"));
    force_ =
        reinterpret_cast<void (*)(int, int, int, long)>(dlsym(handle_, "standin_force_status"));
    reset();
  }
  ~Standin() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  Standin(const Standin&) = delete;
  Standin& operator=(const Standin&) = delete;

  std::string log() const { return log_ ? log_() : "(no log)"; }
  void reset() {
    if (reset_) reset_();
  }
  void reply(const std::string& bytes) {
    if (setReply_) setReply_(bytes.data(), static_cast<long>(bytes.size()));
  }
  void force(const Status& s) {
    if (force_) force_(s.ibsta, s.iberr, s.ibcnt, s.ibcntl);
  }

 private:
  void* handle_;
  const char* (*log_)() = nullptr;
  void (*reset_)() = nullptr;
  void (*setReply_)(const char*, long) = nullptr;
  void (*force_)(int, int, int, long) = nullptr;
};

bool isLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);  // RTLD_NOLOAD still counts a reference
  return true;
}

// A private copy of a stand-in, so that tests counting who holds the library share it
// with nobody.
class TempFile {
 public:
  explicit TempFile(const std::string& stem)
      : path_(std::filesystem::temp_directory_path() /
              (stem + "-" + std::to_string(::getpid()) + ".so")) {
    std::filesystem::remove(path_);
  }
  ~TempFile() { std::filesystem::remove(path_); }
  std::string path() const { return path_.string(); }
  void copyFrom(const std::string& source) const {
    std::filesystem::copy_file(source, path_, std::filesystem::copy_options::overwrite_existing);
  }
  void write(const std::string& text) const { std::ofstream(path_) << text; }

 private:
  std::filesystem::path path_;
};

// Buffers every output-writing call gets, filled with a pattern so that any byte the
// driver should not have touched shows.
struct Outputs {
  std::array<bus::Addr4882, 6> listeners{-7, -7, -7, -7, -7, -7};
  std::int16_t statusByte = -7;
  std::array<char, 16> buffer{};
  Outputs() { buffer.fill('#'); }
  std::string text() const { return std::string(buffer.data(), buffer.size()); }
};

const bus::Addr4882 kPads[] = {1, 4, 5, 7, bus::NOADDR};

struct CallRow {
  const char* name;
  std::function<void(bus::Driver&, Outputs&)> call;
  std::string wire;  // what the stand-in logged
  Status after;
};

const std::vector<CallRow>& everyCall() {
  static const std::vector<CallRow> rows = {
      {"ibonl", [](bus::Driver& d, Outputs&) { d.ibonl(0, 0); }, "ibonl 0 0\n", {0x100, 0, 0, 0}},
      {"ibsre", [](bus::Driver& d, Outputs&) { d.ibsre(0, 1); }, "ibsre 0 1\n", {0x100, 0, 0, 0}},
      {"ibtmo", [](bus::Driver& d, Outputs&) { d.ibtmo(0, 11); }, "ibtmo 0 11\n", {0x100, 0, 0, 0}},
      {"SendIFC", [](bus::Driver& d, Outputs&) { d.SendIFC(2); }, "SendIFC 2\n", {0x100, 0, 0, 0}},
      {"DevClear",
       [](bus::Driver& d, Outputs&) { d.DevClear(0, 4); },
       "DevClear 0 4\n",
       {0x100, 0, 0, 0}},
      {"DevClear with secondary address",
       [](bus::Driver& d, Outputs&) { d.DevClear(1, 4 | (0x60 << 8)); },
       "DevClear 1 24580\n",
       {0x100, 0, 0, 0}},
      {"FindLstn",
       [](bus::Driver& d, Outputs& o) { d.FindLstn(0, kPads, o.listeners.data(), 5); },
       "FindLstn 0 [1,4,5,7] 5\n",
       {0x100, 0, 2, 2}},
      {"ReadStatusByte",
       [](bus::Driver& d, Outputs& o) { d.ReadStatusByte(0, 9, &o.statusByte); },
       "ReadStatusByte 0 9\n",
       {0x100, 0, 1, 1}},
      {"Send",
       [](bus::Driver& d, Outputs&) { d.Send(0, 4, "*IDN?", 5, EotMode::NLend); },
       "Send 0 4 [*IDN?] 5 2\n",
       {0x100, 0, 5, 5}},
      {"Send of part of a text",
       [](bus::Driver& d, Outputs&) { d.Send(0, 4, "R  100, 1junk", 9, EotMode::NLend); },
       "Send 0 4 [R  100, 1] 9 2\n",
       {0x100, 0, 9, 9}},
      {"Receive",
       [](bus::Driver& d, Outputs& o) { d.Receive(0, 4, o.buffer.data(), 16, bus::STOPend); },
       "Receive 0 4 16 256\n",
       {0x2100, 0, 5, 5}},
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

  Outputs o;
  driver.FindLstn(0, kPads, o.listeners.data(), 5);
  EXPECT_EQ(o.listeners, (std::array<bus::Addr4882, 6>{4, 7, -7, -7, -7, -7}));

  Outputs limited;
  driver.FindLstn(0, kPads, limited.listeners.data(), 1);
  EXPECT_EQ(limited.listeners, (std::array<bus::Addr4882, 6>{4, -7, -7, -7, -7, -7}));

  driver.ReadStatusByte(0, 9, &o.statusByte);
  EXPECT_EQ(o.statusByte, 0x49);

  standin.reply(std::string("56\xE9\n", 4));
  driver.Receive(0, 4, o.buffer.data(), 16, bus::STOPend);
  EXPECT_EQ(o.text(), std::string("56\xE9\n############", 16));

  standin.reply("0123456789ABCDEFGHIJ");
  Outputs shortRead;
  driver.Receive(0, 4, shortRead.buffer.data(), 6, bus::STOPend);
  EXPECT_EQ(shortRead.text(), "012345##########");
  EXPECT_EQ(driver.status().ibcntl, 6);
}

struct FamilyRow {
  const char* path;
  EotMode mode;
  int termination;
  std::string wire;
};

TEST(LibraryDriverFamilies, EndModesArriveInTheLibrarysOwnNumbering) {
  const std::vector<FamilyRow> rows = {
      {STANDIN_GPIB, EotMode::NLend, bus::STOPend, "Send 0 4 [x] 1 2\nReceive 0 4 16 256\n"},
      {STANDIN_GPIB, EotMode::DABend, '\n', "Send 0 4 [x] 1 1\nReceive 0 4 16 10\n"},
      {STANDIN_GPIB, EotMode::NULLend, 0, "Send 0 4 [x] 1 0\nReceive 0 4 16 0\n"},
      {STANDIN_GPIB_VARS, EotMode::NLend, bus::STOPend, "Send 0 4 [x] 1 2\nReceive 0 4 16 256\n"},
      {STANDIN_GPIB_NI, EotMode::NLend, bus::STOPend, "Send 0 4 [x] 1 1\nReceive 0 4 16 256\n"},
      {STANDIN_GPIB_NI, EotMode::DABend, '\n', "Send 0 4 [x] 1 2\nReceive 0 4 16 10\n"},
      {STANDIN_GPIB_NI, EotMode::NULLend, 0, "Send 0 4 [x] 1 0\nReceive 0 4 16 0\n"},
  };
  for (const FamilyRow& row : rows) {
    SCOPED_TRACE(std::string(row.path) + " end mode " + std::to_string(static_cast<int>(row.mode)));
    Standin standin(row.path);
    LibraryDriver driver(row.path);
    Outputs o;
    driver.Send(0, 4, "x", 1, row.mode);
    driver.Receive(0, 4, o.buffer.data(), 16, row.termination);
    EXPECT_EQ(standin.log(), row.wire);
  }
}

TEST(LibraryDriverFamilies, DescribeNamesTheLibraryAndItsFamily) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {STANDIN_GPIB, "GPIB driver library " STANDIN_GPIB " (linux-gpib)"},
      {STANDIN_GPIB_VARS, "GPIB driver library " STANDIN_GPIB_VARS " (linux-gpib)"},
      {STANDIN_GPIB_NI, "GPIB driver library " STANDIN_GPIB_NI " (NI-488.2)"},
  };
  for (const auto& [path, description] : rows) {
    LibraryDriver driver(path);
    EXPECT_TRUE(driver.load()) << driver.problem();
    EXPECT_EQ(driver.problem(), "");
    EXPECT_EQ(driver.describe(), description);
  }
}

// The default stand-in keeps stale values in its ibsta variables: only a driver reading
// the Thread accessors sees the status of its own call there.
TEST(LibraryDriverStatus, ComesFromAccessorsOrVariablesAfterEveryCall) {
  const Status failed{bus::ERR | bus::TIMO | bus::CMPL, bus::EABO, 3, 70000};
  for (const char* path : {STANDIN_GPIB, STANDIN_GPIB_VARS, STANDIN_GPIB_NI}) {
    SCOPED_TRACE(path);
    Standin standin(path);
    LibraryDriver driver(path);
    standin.force(failed);
    driver.ibtmo(0, 11);
    EXPECT_EQ(driver.status(), failed);
    driver.ibsre(0, 1);
    EXPECT_EQ(driver.status(), (Status{bus::CMPL, 0, 0, 0}));
  }
}

// Every call, made on a driver that cannot work, with the outputs it must leave alone.
void expectEveryCallFails(LibraryDriver& driver) {
  for (const CallRow& row : everyCall()) {
    SCOPED_TRACE(row.name);
    Outputs o;
    row.call(driver, o);
    EXPECT_EQ(driver.status(), kDriverUnusable);
    const Outputs untouched;
    EXPECT_EQ(o.listeners, untouched.listeners);
    EXPECT_EQ(o.statusByte, untouched.statusByte);
    EXPECT_EQ(o.text(), untouched.text());
  }
}

TEST(LibraryDriverProblems, UnloadableLibraryIsReportedAndEveryCallFails) {
  TempFile notALibrary("not-a-gpib-library");
  notALibrary.write(std::string(200, 'x'));
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"/nonexistent/libgpib-missing.so.0", "No such file or directory"},
      {notALibrary.path(), "invalid ELF header"},
  };
  for (const auto& [path, reason] : rows) {
    SCOPED_TRACE(path);
    for (bool explicitLoad : {true, false}) {
      LibraryDriver driver(path);
      if (explicitLoad) {
        EXPECT_FALSE(driver.load());
        EXPECT_EQ(driver.status(), kDriverUnusable);
      }
      expectEveryCallFails(driver);
      const std::string prefix = "GPIB driver library " + path + " could not be loaded: ";
      EXPECT_EQ(driver.problem().substr(0, prefix.size()), prefix);
      EXPECT_NE(driver.problem().find(reason, prefix.size()), std::string::npos)
          << driver.problem();
      EXPECT_EQ(driver.problem().find('\n'), std::string::npos);
      EXPECT_EQ(driver.describe(), driver.problem());
    }
  }
}

TEST(LibraryDriverProblems, MissingEntryPointIsNamedAndNothingIsCalled) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {STANDIN_GPIB_PARTIAL,
       "GPIB driver library " STANDIN_GPIB_PARTIAL " lacks the entry point FindLstn"},
      {STANDIN_GPIB_NOSTATUS, "GPIB driver library " STANDIN_GPIB_NOSTATUS
                              " lacks the entry point ThreadIbsta (nor the status variables "
                              "ibsta or user_ibsta)"},
  };
  for (const auto& [path, problem] : rows) {
    SCOPED_TRACE(path);
    Standin standin(path);
    LibraryDriver driver(path);
    EXPECT_FALSE(driver.load());
    EXPECT_EQ(driver.problem(), problem);
    EXPECT_EQ(driver.describe(), problem);
    expectEveryCallFails(driver);
    EXPECT_EQ(standin.log(), "");
  }
}

TEST(LibraryDriverProblems, NullBuffersAreRefusedBeforeTheLibrarySeesThem) {
  const Status refused{bus::ERR, bus::EARG, 0, 0};
  struct ArgumentRow {
    const char* name;
    std::function<void(bus::Driver&, Outputs&)> call;
  };
  const std::vector<ArgumentRow> rows = {
      {"FindLstn without pad list",
       [](bus::Driver& d, Outputs& o) { d.FindLstn(0, nullptr, o.listeners.data(), 5); }},
      {"FindLstn without result list",
       [](bus::Driver& d, Outputs&) { d.FindLstn(0, kPads, nullptr, 5); }},
      {"ReadStatusByte without result",
       [](bus::Driver& d, Outputs&) { d.ReadStatusByte(0, 4, nullptr); }},
      {"Send without data",
       [](bus::Driver& d, Outputs&) { d.Send(0, 4, nullptr, 5, EotMode::NLend); }},
      {"Send of a negative count",
       [](bus::Driver& d, Outputs&) { d.Send(0, 4, "x", -1, EotMode::NLend); }},
      {"Receive without buffer",
       [](bus::Driver& d, Outputs&) { d.Receive(0, 4, nullptr, 16, bus::STOPend); }},
      {"Receive of a negative count",
       [](bus::Driver& d, Outputs& o) { d.Receive(0, 4, o.buffer.data(), -1, bus::STOPend); }},
  };
  Standin standin(STANDIN_GPIB);
  LibraryDriver driver(STANDIN_GPIB);
  for (const ArgumentRow& row : rows) {
    SCOPED_TRACE(row.name);
    Outputs o;
    row.call(driver, o);
    EXPECT_EQ(driver.status(), refused);
    EXPECT_EQ(o.text(), Outputs().text());
  }
  EXPECT_EQ(standin.log(), "");
  // An empty send is legal without data.
  driver.Send(0, 4, nullptr, 0, EotMode::NLend);
  EXPECT_EQ(standin.log(), "Send 0 4 [] 0 2\n");
}

TEST(LibraryDriverLoading, AFailedLoadIsNotRetriedWhenTheLibraryAppears) {
  TempFile late("standin-gpib-late");
  LibraryDriver driver(late.path());
  EXPECT_FALSE(driver.load());
  const std::string problem = driver.problem();

  late.copyFrom(STANDIN_GPIB);
  EXPECT_FALSE(driver.load());
  driver.ibonl(0, 0);
  EXPECT_EQ(driver.status(), kDriverUnusable);
  EXPECT_EQ(driver.problem(), problem);
  EXPECT_FALSE(isLoaded(late.path()));
}

TEST(LibraryDriverLoading, OpensAtTheFirstCallOnceAndLetsGoAtTheEnd) {
  TempFile copy("standin-gpib-once");
  copy.copyFrom(STANDIN_GPIB);
  {
    LibraryDriver driver(copy.path());
    EXPECT_FALSE(isLoaded(copy.path()));
    driver.ibonl(0, 0);
    EXPECT_TRUE(isLoaded(copy.path()));
    EXPECT_EQ(driver.status(), (Status{bus::CMPL, 0, 0, 0}));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(driver.load());
    driver.SendIFC(0);
    EXPECT_EQ(driver.status(), (Status{bus::CMPL, 0, 0, 0}));
  }
  // Had any call or load() opened it again, a reference would still be held here.
  EXPECT_FALSE(isLoaded(copy.path()));
}

TEST(LibraryDriverLoading, AnEmptyPathMeansThePlatformLibrary) {
  LibraryDriver driver("");
  const std::string name = "GPIB driver library " + LibraryDriver::defaultPath();
  if (driver.load()) {
    EXPECT_EQ(driver.describe().substr(0, name.size() + 2), name + " (");
  } else {
    const std::string prefix = name + " could not be loaded: ";
    EXPECT_EQ(driver.problem().substr(0, prefix.size()), prefix);
  }
}

}  // namespace
