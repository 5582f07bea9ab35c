// What the event functions of a test were called with, and on which thread, for the tests that watch
// the polling thread raise events; and a real-time wait for a condition those events make true.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/thread.h"
#include "testkit/support/wait.h"

namespace qv6::testing {

struct SeenEvent {
  int event;
  intptr_t value;
  plat::ThreadId thread;
};

class EventLog {
 public:
  static EventLog& Instance() {
    static EventLog log;
    return log;
  }
  // An event function: records the event and the thread it was raised on.
  static void Record(int event, intptr_t value) {
    EventLog& log = Instance();
    std::lock_guard lock(log.mutex_);
    log.seen_.push_back({event, value, plat::GetCurrentThreadId()});
  }
  std::vector<SeenEvent> Seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  int CountOf(int event) {
    int n = 0;
    for (const SeenEvent& s : Seen()) n += s.event == event;
    return n;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    seen_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<SeenEvent> seen_;
};

inline EventLog& Events() {
  return EventLog::Instance();
}

// Waits in real time, for at most `ms` milliseconds, until `pred` holds.
template <class Pred>
bool WaitFor(Pred pred, int ms) {
  return zc::testkit::WaitUntil(pred, std::chrono::milliseconds(ms));
}

}  // namespace qv6::testing
