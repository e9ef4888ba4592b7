#include "TestBus.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

namespace {
constexpr int kOk = bus::CMPL | bus::CIC;
}

void TestBus::failNext(const std::string& name, int iberr, int extraBits) {
  failures_[name].push_back({iberr, extraBits});
}

void TestBus::failAlways(const std::string& name, int iberr, int extraBits) {
  always_[name] = {iberr, extraBits};
}

bool TestBus::succeed(const std::string& name, int extraBits, long count) {
  auto fail = [&](Failure f) {
    status_ = {bus::ERR | bus::CMPL | f.extraBits, f.iberr, 0, 0};
    return false;
  };
  if (auto it = failures_.find(name); it != failures_.end() && !it->second.empty()) {
    const Failure f = it->second.front();
    it->second.pop_front();
    return fail(f);
  }
  if (auto it = always_.find(name); it != always_.end()) return fail(it->second);
  status_ = {kOk | extraBits, 0, static_cast<int>(count), count};
  return true;
}

void TestBus::FindLstn(int, const bus::Addr4882* padList, bus::Addr4882* resultList,
                       int limit) {
  if (!succeed("FindLstn")) return;
  int found = 0;
  for (const bus::Addr4882* pad = padList; *pad != bus::NOADDR && found < limit; ++pad)
    if (std::find(listeners.begin(), listeners.end(), *pad) != listeners.end())
      resultList[found++] = *pad;
  status_.ibcnt = found;
  status_.ibcntl = found;
}

void TestBus::ReadStatusByte(int, bus::Addr4882, std::int16_t* result) {
  if (succeed("ReadStatusByte")) *result = statusByte;
}

void TestBus::Send(int, bus::Addr4882, const char*, long count, bus::EotMode) {
  succeed("Send", 0, count);
}

void TestBus::Receive(int, bus::Addr4882, char* buffer, long count, int) {
  if (!succeed("Receive")) return;
  if (replies_.empty()) {
    status_ = {bus::ERR | bus::TIMO | bus::CMPL, bus::EABO, 0, 0};
    return;
  }
  std::string& next = replies_.front();
  const long n = std::min<long>(count, static_cast<long>(next.size()));
  std::memcpy(buffer, next.data(), static_cast<size_t>(n));
  next.erase(0, static_cast<size_t>(n));
  const bool finished = next.empty();
  if (finished) replies_.pop_front();
  status_ = {kOk | (finished ? bus::END : 0), 0, static_cast<int>(n), n};
}

}  // namespace testing_support
