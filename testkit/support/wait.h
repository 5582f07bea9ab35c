// Waiting in real time for work on another thread (polling threads, simulated scanners, callbacks).
#pragma once

#include <chrono>
#include <thread>

namespace zc::testkit {

// Generous on purpose: sanitizer builds on a loaded two-core machine run many times slower than a
// developer's, and a wait whose condition comes true returns at once, so only a failing test pays it.
inline constexpr std::chrono::milliseconds kThreadWait{60'000};

// Polls `pred` until it holds or `limit` has passed; returns whether it held.
template <class Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit = kThreadWait) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= end) return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace zc::testkit
