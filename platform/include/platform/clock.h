// The one clock every wait in the system uses.
//
// GetTickCount() is a monotonic millisecond count (never CPU time) that wraps at 2^32 like its Windows
// namesake; compare ticks only through TicksElapsed / TickReached, which are wrap-safe. Sleep() and every
// timed wait of the platform layer (message queues, timers, events, mutex time-outs) run on this clock.
//
// Test modes: a scaled clock (time runs `speedup` times faster than real time) and a virtual clock that
// only moves when a test advances it (optionally also when a thread sleeps, so a single-threaded wait of
// 15 s returns at once). Sleepers and timed waits wake when virtual time reaches their deadline. Switch
// modes at the start of a test, before other threads use the clock; ScopedClock does this and restores
// the real clock afterwards.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace plat {

// Milliseconds on the platform clock, 64-bit so deadlines never wrap.
uint64_t NowMs();
// NowMs() truncated to 32 bits plus the configured tick offset.
uint32_t GetTickCount();
// Blocks the calling thread for `ms` milliseconds of platform time. Sleep(0) just yields.
void Sleep(uint32_t ms);

// Wrap-safe tick arithmetic: the elapsed time from `start` to `now` (modulo 2^32), and whether `now` has
// reached `deadline` (true when deadline - now, read as signed 32-bit, is <= 0).
inline uint32_t TicksElapsed(uint32_t start, uint32_t now) {
  return now - start;
}
inline bool TickReached(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(deadline - now) <= 0;
}

// Deadline meaning "no time-out".
inline constexpr uint64_t kNoDeadline = UINT64_MAX;
// A deadline `ms` from now; 0xFFFFFFFF (the Windows INFINITE) gives kNoDeadline.
uint64_t DeadlineAfter(uint32_t ms);

// ---- Test modes -------------------------------------------------------------------------------------------
void UseRealClock();
// Platform time runs `speedup` times faster than real time (speedup > 0).
void UseScaledClock(double speedup);
// Platform time stands at `startMs` and moves only through AdvanceClock, or, with advanceOnSleep, when a
// thread calls Sleep (the clock then jumps to that sleeper's deadline).
void UseVirtualClock(uint64_t startMs = 0, bool advanceOnSleep = false);
// Moves virtual time forward; ignored by the other modes.
void AdvanceClock(uint64_t ms);
// Makes GetTickCount() return `tick` now and count on from it (for wrap tests, e.g. 0xFFFFFF00).
void SetTickCount(uint32_t tick);

// Puts the clock into a test mode for one scope and restores the real clock (and a zero tick offset)
// when it ends.
class ScopedClock {
 public:
  struct Virtual {
    uint64_t startMs = 0;
    bool advanceOnSleep = false;
  };
  explicit ScopedClock(Virtual v) { UseVirtualClock(v.startMs, v.advanceOnSleep); }
  explicit ScopedClock(double speedup) { UseScaledClock(speedup); }
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;
};

namespace detail {
// The real time point at which a waiter should next look at the platform clock for `deadline`. In the
// virtual mode this is a short real interval, since virtual time can move at any moment.
std::chrono::steady_clock::time_point RealWakeTime(uint64_t deadline);
}  // namespace detail

// Waits on `cv` (whose mutex `lock` holds) until `pred()` holds or the platform clock reaches `deadline`.
// Returns pred(). Every timed wait of the system goes through here.
template <class Pred>
bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint64_t deadline,
               Pred pred) {
  while (!pred()) {
    if (deadline != kNoDeadline && NowMs() >= deadline) return pred();
    cv.wait_until(lock, detail::RealWakeTime(deadline));
  }
  return true;
}

}  // namespace plat
