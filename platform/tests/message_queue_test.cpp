// Per-thread message queues and thread timers.
#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "platform/clock.h"
#include "platform/thread.h"

namespace plat {
namespace {

class PlatformMessageQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { EndMessageQueue(); }  // every test starts with a fresh queue
  void TearDown() override { EndMessageQueue(); }

  // Every message waiting now, in delivery order.
  static std::vector<Message> Drain() {
    std::vector<Message> out;
    Message m;
    while (PeekMessage(&m, true)) out.push_back(m);
    return out;
  }
};

TEST_F(PlatformMessageQueueTest, PostFailsForUnknownAndEndedThreads) {
  EXPECT_FALSE(PostThreadMessage(0, WM_USER, 0, 0));
  EXPECT_FALSE(PostThreadMessage(0xFFFFFFF0u, WM_USER, 0, 0));

  ThreadId id = 0;
  Event ready(true, false), done(true, false);
  std::thread t([&] {
    EnsureMessageQueue();
    id = GetCurrentThreadId();
    ready.Set();
    done.Wait(kInfinite);
  });
  ASSERT_TRUE(ready.Wait(kInfinite));
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_TRUE(PostThreadMessage(id, WM_USER, 1, 2));
  done.Set();
  t.join();
  EXPECT_FALSE(HasMessageQueue(id));
  EXPECT_FALSE(PostThreadMessage(id, WM_USER, 1, 2));  // the thread has ended
}

TEST_F(PlatformMessageQueueTest, FifoWithPointerSizedParameters) {
  EnsureMessageQueue();
  const ThreadId self = GetCurrentThreadId();
  int object = 0;
  ASSERT_TRUE(PostThreadMessage(self, WM_USER + 1, UINTPTR_MAX, INTPTR_MIN));
  ASSERT_TRUE(PostThreadMessage(self, WM_USER + 2, reinterpret_cast<uintptr_t>(&object), -1));
  Message m;
  ASSERT_TRUE(PeekMessage(&m, false));  // a peek without remove leaves it
  EXPECT_EQ(m.message, WM_USER + 1u);
  ASSERT_TRUE(GetMessage(&m));
  EXPECT_EQ(m.message, WM_USER + 1u);
  EXPECT_EQ(m.wParam, UINTPTR_MAX);
  EXPECT_EQ(m.lParam, INTPTR_MIN);
  ASSERT_TRUE(GetMessage(&m));
  EXPECT_EQ(reinterpret_cast<int*>(m.wParam), &object);
  EXPECT_EQ(m.lParam, -1);
  EXPECT_FALSE(PeekMessage(&m, true));
}

TEST_F(PlatformMessageQueueTest, FullQueueRefusesPosts) {
  EnsureMessageQueue();
  const ThreadId self = GetCurrentThreadId();
  for (size_t i = 0; i < kMaxPostedMessages; ++i) ASSERT_TRUE(PostThreadMessage(self, WM_USER, i, 0));
  EXPECT_FALSE(PostThreadMessage(self, WM_USER, 0, 0));
  Message m;
  ASSERT_TRUE(PeekMessage(&m, true));
  EXPECT_TRUE(PostThreadMessage(self, WM_USER, 0, 0));
}

TEST_F(PlatformMessageQueueTest, QuitComesAfterPostedMessages) {
  EnsureMessageQueue();
  const ThreadId self = GetCurrentThreadId();
  PostThreadMessage(self, WM_USER, 1, 0);
  PostQuitMessage(3);
  PostThreadMessage(self, WM_USER, 2, 0);
  Message m;
  ASSERT_TRUE(GetMessage(&m));
  EXPECT_EQ(m.wParam, 1u);
  ASSERT_TRUE(GetMessage(&m));
  EXPECT_EQ(m.wParam, 2u);
  EXPECT_FALSE(GetMessage(&m));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_FALSE(PeekMessage(&m, true));  // the quit is delivered once
}

TEST_F(PlatformMessageQueueTest, TimerTicksAreLowPriorityCoalescedAndStopWhenKilled) {
  ScopedClock clock(ScopedClock::Virtual{});
  const ThreadId self = GetCurrentThreadId();
  const uintptr_t timer = SetTimer(0, 10);
  ASSERT_NE(timer, 0u);
  EXPECT_TRUE(Drain().empty());

  // A long handler: five intervals pass while two messages are posted.
  AdvanceClock(50);
  PostThreadMessage(self, WM_USER, 1, 0);
  PostThreadMessage(self, WM_USER, 2, 0);
  std::vector<Message> got = Drain();
  ASSERT_EQ(got.size(), 3u);  // posted messages first, then one tick, no burst
  EXPECT_EQ(got[0].wParam, 1u);
  EXPECT_EQ(got[1].wParam, 2u);
  EXPECT_EQ(got[2].message, WM_TIMER);
  EXPECT_EQ(got[2].wParam, timer);

  AdvanceClock(9);
  EXPECT_TRUE(Drain().empty());  // the next tick is one interval after the last one was taken
  AdvanceClock(1);
  ASSERT_EQ(Drain().size(), 1u);

  AdvanceClock(25);
  EXPECT_TRUE(KillTimer(timer));
  EXPECT_TRUE(Drain().empty());  // a due tick is gone with its timer
  EXPECT_FALSE(KillTimer(timer));
}

TEST_F(PlatformMessageQueueTest, SetTimerWithAnExistingIdRestartsIt) {
  ScopedClock clock(ScopedClock::Virtual{});
  const uintptr_t a = SetTimer(0, 100);
  const uintptr_t b = SetTimer(0, 100);
  EXPECT_NE(a, b);
  EXPECT_TRUE(KillTimer(b));
  AdvanceClock(60);
  EXPECT_EQ(SetTimer(a, 100), a);
  AdvanceClock(60);
  EXPECT_TRUE(Drain().empty());
  AdvanceClock(40);
  const std::vector<Message> got = Drain();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].wParam, a);
}

TEST_F(PlatformMessageQueueTest, BlockedGetWakesForTimerAtVirtualTimeAndForPosts) {
  ScopedClock clock(ScopedClock::Virtual{});
  Event timerSet(true, false);
  std::vector<Message> got;
  ThreadId id = 0;
  std::thread t([&] {
    SetTimer(0, 15000);
    id = GetCurrentThreadId();
    timerSet.Set();
    Message m;
    while (GetMessage(&m)) {
      got.push_back(m);
      if (m.message == WM_TIMER) PostQuitMessage(0);
    }
  });
  ASSERT_TRUE(timerSet.Wait(kInfinite));
  ASSERT_TRUE(PostThreadMessage(id, WM_USER, 7, 0));
  AdvanceClock(15000);
  t.join();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, WM_USER);
  EXPECT_EQ(got[1].message, WM_TIMER);
}

TEST_F(PlatformMessageQueueTest, RealTimeTimerAndWaitTimeout) {
  const uintptr_t timer = SetTimer(0, 5);
  Message m;
  ASSERT_TRUE(GetMessage(&m));
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_EQ(m.wParam, timer);
  KillTimer(timer);
  const uint32_t t0 = GetTickCount();
  EXPECT_FALSE(WaitMessage(&m, 30));
  EXPECT_GE(TicksElapsed(t0, GetTickCount()), 30u);
}

TEST_F(PlatformMessageQueueTest, MessagePumpHook) {
  int pumped = 0;
  PumpThreadMessages();  // no pump installed: nothing happens
  SetMessagePump([&] { ++pumped; });
  PumpThreadMessages();
  SetMessagePump(nullptr);
  PumpThreadMessages();
  EXPECT_EQ(pumped, 1);
}

}  // namespace
}  // namespace plat
