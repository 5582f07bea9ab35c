// The platform clock: real, scaled or virtual milliseconds, and Sleep on top of it.
#include "platform/clock.h"

#include <thread>

namespace plat {
namespace {

enum class Mode { kReal, kScaled, kVirtual };

using Steady = std::chrono::steady_clock;

struct ClockState {
  std::mutex m;
  Mode mode = Mode::kReal;
  double speedup = 1.0;
  Steady::time_point scaledOrigin{};  // real time when the scaled mode started
  uint64_t scaledBase = 0;            // platform ms at scaledOrigin
  uint64_t virtualNow = 0;
  bool advanceOnSleep = false;
  uint32_t tickOffset = 0;  // added to NowMs() for GetTickCount()
};

ClockState& State() {
  static ClockState state;
  return state;
}

uint64_t RealMs(Steady::time_point t) {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count());
}

uint64_t NowLocked(const ClockState& s) {
  switch (s.mode) {
    case Mode::kVirtual:
      return s.virtualNow;
    case Mode::kScaled: {
      const double realMs = std::chrono::duration<double, std::milli>(Steady::now() - s.scaledOrigin).count();
      return s.scaledBase + static_cast<uint64_t>(realMs * s.speedup);
    }
    case Mode::kReal:
      break;
  }
  return RealMs(Steady::now());
}

}  // namespace

uint64_t NowMs() {
  ClockState& s = State();
  std::lock_guard lock(s.m);
  return NowLocked(s);
}

uint32_t GetTickCount() {
  ClockState& s = State();
  std::lock_guard lock(s.m);
  return static_cast<uint32_t>(NowLocked(s)) + s.tickOffset;
}

uint64_t DeadlineAfter(uint32_t ms) {
  if (ms == 0xFFFFFFFFu) return kNoDeadline;
  return NowMs() + ms;
}

void Sleep(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  ClockState& s = State();
  uint64_t deadline;
  {
    std::lock_guard lock(s.m);
    deadline = ms == 0xFFFFFFFFu ? kNoDeadline : NowLocked(s) + ms;
    if (s.mode == Mode::kVirtual && s.advanceOnSleep && deadline != kNoDeadline) {
      if (s.virtualNow < deadline) s.virtualNow = deadline;
      return;
    }
  }
  for (;;) {
    if (deadline != kNoDeadline && NowMs() >= deadline) return;
    std::this_thread::sleep_until(detail::RealWakeTime(deadline));
  }
}

void UseRealClock() {
  ClockState& s = State();
  std::lock_guard lock(s.m);
  s.mode = Mode::kReal;
  s.speedup = 1.0;
  s.advanceOnSleep = false;
}

void UseScaledClock(double speedup) {
  ClockState& s = State();
  std::lock_guard lock(s.m);
  const uint64_t now = NowLocked(s);
  s.mode = Mode::kScaled;
  s.speedup = speedup > 0 ? speedup : 1.0;
  s.scaledOrigin = Steady::now();
  s.scaledBase = now;
  s.advanceOnSleep = false;
}

void UseVirtualClock(uint64_t startMs, bool advanceOnSleep) {
  ClockState& s = State();
  std::lock_guard lock(s.m);
  s.mode = Mode::kVirtual;
  s.virtualNow = startMs;
  s.advanceOnSleep = advanceOnSleep;
}

void AdvanceClock(uint64_t ms) {
  ClockState& s = State();
  std::lock_guard lock(s.m);
  if (s.mode == Mode::kVirtual) s.virtualNow += ms;
}

void SetTickCount(uint32_t tick) {
  ClockState& s = State();
  std::lock_guard lock(s.m);
  s.tickOffset = tick - static_cast<uint32_t>(NowLocked(s));
}

ScopedClock::~ScopedClock() {
  UseRealClock();
  ClockState& s = State();
  std::lock_guard lock(s.m);
  s.tickOffset = 0;
}

namespace detail {

Steady::time_point RealWakeTime(uint64_t deadline) {
  // A wait without deadline still wakes now and then, so a change of clock mode is noticed.
  constexpr auto kIdleRecheck = std::chrono::seconds(1);
  constexpr auto kVirtualPoll = std::chrono::milliseconds(1);
  ClockState& s = State();
  std::lock_guard lock(s.m);
  const auto realNow = Steady::now();
  if (deadline == kNoDeadline) return realNow + kIdleRecheck;
  const uint64_t now = NowLocked(s);
  if (now >= deadline) return realNow;
  switch (s.mode) {
    case Mode::kVirtual:
      return realNow + kVirtualPoll;
    case Mode::kScaled: {
      const double realMs = static_cast<double>(deadline - now) / s.speedup;
      const auto wait =
          std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double, std::milli>(realMs));
      return realNow + std::min<Steady::duration>(wait, kIdleRecheck);
    }
    case Mode::kReal:
      break;
  }
  return realNow + std::min<Steady::duration>(std::chrono::milliseconds(deadline - now), kIdleRecheck);
}

}  // namespace detail
}  // namespace plat
