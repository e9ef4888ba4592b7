#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "Observer.h"

namespace bus {

// Hands every event to several observers, in the order they were added: GPIB32 holds one
// observer, while a scripted run wants its checks and a trace to see the same events.
class Observers final : public Observer {
 public:
  void add(Observer* observer) {
    if (observer && std::find(list_.begin(), list_.end(), observer) == list_.end())
      list_.push_back(observer);
  }
  void remove(Observer* observer) { std::erase(list_, observer); }

  void driverCall(const Call& call) override {
    for (Observer* o : list_) o->driverCall(call);
  }
  void pause(double seconds) override {
    for (Observer* o : list_) o->pause(seconds);
  }
  void beep() override {
    for (Observer* o : list_) o->beep();
  }
  void window(const std::string& name, bool shown) override {
    for (Observer* o : list_) o->window(name, shown);
  }

 private:
  std::vector<Observer*> list_;
};

}  // namespace bus
