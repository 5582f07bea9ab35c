// RecursiveMutex and Event, with time-outs on the platform clock.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/thread.h"

namespace plat {
namespace {

// Runs `fn` on another thread and returns its result.
template <class Fn>
auto OnOtherThread(Fn fn) {
  decltype(fn()) result{};
  std::thread([&] { result = fn(); }).join();
  return result;
}

TEST(PlatformRecursiveMutexTest, ReentrantAndExclusive) {
  RecursiveMutex m;
  m.lock();
  {
    std::lock_guard again(m);  // the owner may lock again
    EXPECT_TRUE(m.HeldByCurrentThread());
  }
  EXPECT_TRUE(m.HeldByCurrentThread());
  EXPECT_FALSE(OnOtherThread([&] { return m.try_lock(); }));
  m.unlock();
  EXPECT_FALSE(m.HeldByCurrentThread());
  EXPECT_TRUE(OnOtherThread([&] {
    const bool got = m.try_lock();
    if (got) m.unlock();
    return got;
  }));
}

TEST(PlatformRecursiveMutexTest, TimedLockGivesUpOnThePlatformClock) {
  ScopedClock clock(1000.0);
  RecursiveMutex m;
  m.lock();
  const auto realStart = std::chrono::steady_clock::now();
  EXPECT_FALSE(OnOtherThread([&] { return m.TryLockFor(15000); }));
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(1));
  // Released while another thread waits: it gets the lock.
  bool got = false;
  std::thread waiter([&] {
    got = m.TryLockFor(kInfinite);
    if (got) m.unlock();
  });
  Sleep(50);
  m.unlock();
  waiter.join();
  EXPECT_TRUE(got);
}

TEST(PlatformEventTest, ManualAndAutoReset) {
  Event manual(true, false);
  EXPECT_FALSE(manual.Wait(0));
  manual.Set();
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));  // stays signalled
  manual.Reset();
  EXPECT_FALSE(manual.IsSignalled());

  Event autoReset(false, true);
  EXPECT_TRUE(autoReset.Wait(0));
  EXPECT_FALSE(autoReset.Wait(0));  // released one waiter and reset itself
}

TEST(PlatformEventTest, WaitsAndTimeOuts) {
  ScopedClock clock(1000.0);
  Event e(false, false);
  const auto realStart = std::chrono::steady_clock::now();
  EXPECT_FALSE(e.Wait(10000));  // a 10 s time-out in about 10 ms
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(1));
  std::thread setter([&] {
    Sleep(100);
    e.Set();
  });
  EXPECT_TRUE(e.Wait(kInfinite));
  setter.join();
}

}  // namespace
}  // namespace plat
