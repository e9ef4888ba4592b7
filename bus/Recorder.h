#pragma once

#include <string>
#include <vector>

#include "Observer.h"

namespace bus {

// Keeps every event as one line, in order: driver calls as made, "pause 0.1", "beep",
// "show NAME" / "hide NAME". Tests compare these lines with the exact traffic they expect.
class Recorder final : public Observer {
 public:
  void driverCall(const std::string& call, const Status& after,
                  const std::string* received) override;
  void pause(double seconds) override;
  void beep() override;
  void window(const std::string& name, bool shown) override;

  // The events since the last take(), and forget them.
  std::vector<std::string> take();
  const std::vector<std::string>& events() const { return events_; }
  int beeps() const { return beeps_; }
  void clear();

 private:
  std::vector<std::string> events_;
  int beeps_ = 0;
};

}  // namespace bus
