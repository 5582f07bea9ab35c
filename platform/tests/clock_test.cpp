// The platform clock: tick wrap and the virtual and scaled test modes.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace plat {
namespace {

using std::chrono::steady_clock;

TEST(PlatformClockTest, TickWrap) {
  ScopedClock clock(ScopedClock::Virtual{});
  SetTickCount(0xFFFFFF00u);
  const uint32_t start = GetTickCount();
  EXPECT_EQ(start, 0xFFFFFF00u);
  const uint32_t deadline = start + 0x180;  // wraps to 0x80
  EXPECT_FALSE(TickReached(start, deadline));
  AdvanceClock(0x17F);
  EXPECT_FALSE(TickReached(GetTickCount(), deadline));
  AdvanceClock(0x81);
  const uint32_t now = GetTickCount();
  EXPECT_EQ(now, 0x100u);
  EXPECT_EQ(TicksElapsed(start, now), 0x200u);
  EXPECT_TRUE(TickReached(now, deadline));
}

TEST(PlatformClockTest, VirtualSleeperWakesAtItsVirtualTime) {
  ScopedClock clock(ScopedClock::Virtual{1000});
  const auto realStart = steady_clock::now();
  std::atomic<bool> woke{false};
  std::thread sleeper([&] {
    Sleep(15000);
    woke = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  AdvanceClock(14999);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(woke.load());
  AdvanceClock(1);
  sleeper.join();
  EXPECT_TRUE(woke.load());
  EXPECT_EQ(NowMs(), 16000u);
  EXPECT_LT(steady_clock::now() - realStart, std::chrono::seconds(2));
}

TEST(PlatformClockTest, VirtualSleepCanMoveTheClock) {
  ScopedClock clock(ScopedClock::Virtual{0, /*advanceOnSleep=*/true});
  const auto realStart = steady_clock::now();
  const uint32_t t0 = GetTickCount();
  Sleep(15000);
  Sleep(3000);
  EXPECT_EQ(TicksElapsed(t0, GetTickCount()), 18000u);
  EXPECT_LT(steady_clock::now() - realStart, std::chrono::milliseconds(50));
}

TEST(PlatformClockTest, ScaledClockShortensLongWaits) {
  ScopedClock clock(1000.0);
  const auto realStart = steady_clock::now();
  const uint64_t t0 = NowMs();
  Sleep(15000);
  EXPECT_GE(NowMs() - t0, 15000u);
  EXPECT_LT(steady_clock::now() - realStart, std::chrono::milliseconds(500));
}

TEST(PlatformClockTest, RealClockSleepsAndTicksForward) {
  const uint32_t t0 = GetTickCount();
  Sleep(20);
  const uint32_t elapsed = TicksElapsed(t0, GetTickCount());
  EXPECT_GE(elapsed, 20u);
  EXPECT_LT(elapsed, 2000u);
}

}  // namespace
}  // namespace plat
