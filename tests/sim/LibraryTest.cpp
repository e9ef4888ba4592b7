#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// linux-gpib's numbers, as a dynamic-loading driver passes them.
constexpr int kNullEnd = 0;
constexpr int kDabEnd = 1;
constexpr int kNlEnd = 2;
constexpr int kStopEnd = 0x100;
constexpr int kErr = 0x8000;
constexpr int kTimo = 0x4000;
constexpr int kEnd = 0x2000;
constexpr int kEarg = 4;

class DriverLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = dlopen(GPIBSIM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle_) dlclose(handle_);
  }

  template <typename T>
  T resolve(const char* name) {
    void* symbol = dlsym(handle_, name);
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<T>(symbol);
  }

  void* handle_ = nullptr;
};

TEST_F(DriverLibrary, ExportsTheLinuxGpibEntryPointsAndNothingOfItsOwn) {
  for (const char* name :
       {"ibonl", "ibsre", "ibtmo", "SendIFC", "DevClear", "FindLstn", "ReadStatusByte", "Send",
        "Receive", "ibsta", "iberr", "ibcnt", "ibcntl", "ThreadIbsta", "ThreadIberr", "ThreadIbcnt",
        "ThreadIbcntl", "gpib_error_string"})
    EXPECT_NE(dlsym(handle_, name), nullptr) << name;
  EXPECT_EQ(dlsym(handle_, "_ZN3sim9Converter6listenESt17basic_string_viewIcSt11char_traitsIcEEb"),
            nullptr);
}

TEST_F(DriverLibrary, IdentityThroughTheCEntryPoints) {
  const auto sendIfc = resolve<void (*)(int)>("SendIFC");
  const auto ibtmo = resolve<int (*)(int, int)>("ibtmo");
  const auto send = resolve<void (*)(int, unsigned short, const void*, long, int)>("Send");
  const auto receive = resolve<void (*)(int, unsigned short, void*, long, int)>("Receive");
  const auto findLstn =
      resolve<void (*)(int, const unsigned short*, unsigned short*, int)>("FindLstn");
  const auto threadIbsta = resolve<int (*)()>("ThreadIbsta");
  const auto threadIberr = resolve<int (*)()>("ThreadIberr");
  const auto threadIbcnt = resolve<int (*)()>("ThreadIbcnt");
  const auto errorString = resolve<const char* (*)(int)>("gpib_error_string");
  int* ibsta = resolve<int*>("ibsta");
  long* ibcntl = resolve<long*>("ibcntl");
  ASSERT_TRUE(sendIfc && ibtmo && send && receive && findLstn && threadIbsta && ibsta && ibcntl);
  sendIfc(0);
  EXPECT_EQ(ibtmo(0, 9) & kErr, 0);  // 100 ms keeps the time-out below short in real time

  // Line feed or EOI ends the message; without an end it is incomplete and nothing is read.
  const std::string identity = "ORVANE,5630,SIM-000417,2.10\n";
  const std::pair<int, std::string> rows[] = {{kNlEnd, identity}, {kDabEnd, identity}, {kNullEnd, ""}};
  for (const auto& [endMode, reply] : rows) {
    send(0, 4, "*IDN?", 5, endMode);
    EXPECT_EQ(threadIbsta() & kErr, 0) << endMode;
    char buffer[256];
    receive(0, 4, buffer, sizeof buffer, kStopEnd);
    if (reply.empty()) {
      EXPECT_EQ(threadIbsta() & (kErr | kTimo), kErr | kTimo);
      EXPECT_EQ(threadIberr(), 6);  // EABO
      send(0, 4, "", 0, kNlEnd);    // finish the message, drop its answer
      continue;
    }
    EXPECT_EQ(threadIbsta() & (kErr | kEnd), kEnd) << endMode;
    EXPECT_EQ(*ibsta, threadIbsta());
    ASSERT_EQ(*ibcntl, static_cast<long>(reply.size()));
    EXPECT_EQ(std::string(buffer, reply.size()), reply) << endMode;
  }

  send(0, 4, "*IDN?", 5, 7);  // no such end mode
  EXPECT_EQ(threadIberr(), kEarg);
  EXPECT_NE(std::string(errorString(kEarg)).find("EARG"), std::string::npos);

  unsigned short list[32];
  for (unsigned short a = 0; a <= 30; ++a) list[a] = a;
  list[31] = 0xFFFF;
  unsigned short results[31] = {};
  findLstn(0, list, results, 31);
  EXPECT_EQ(threadIbcnt(), 3);
  EXPECT_EQ(std::vector<unsigned short>(results, results + 3), (std::vector<unsigned short>{0, 4, 7}));
}

}  // namespace
