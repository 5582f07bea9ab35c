// WorkerThread: start, message loop, hooks, ending and joining.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "platform/clock.h"
#include "platform/thread.h"

namespace plat {
namespace {

constexpr uint32_t kControl = 0x8001;
constexpr uint32_t kSwallowed = WM_USER + 9;
constexpr uint32_t kJoinSelf = WM_USER + 10;
constexpr uint32_t kStartTimer = WM_USER + 11;
constexpr uint32_t kStopTimer = WM_USER + 12;

class Recorder : public WorkerThread {
 public:
  explicit Recorder(bool initOk = true) : initOk_(initOk) {}
  ~Recorder() override { Stop(); }

  std::vector<uint32_t> Seen() const {
    std::lock_guard lock(m_);
    return seen_;
  }
  bool ExitRan() const {
    std::lock_guard lock(m_);
    return exitRan_;
  }
  bool SelfJoinResult() const {
    std::lock_guard lock(m_);
    return selfJoin_;
  }

 protected:
  bool InitInstance() override { return initOk_; }
  bool PreTranslateMessage(const Message& msg) override { return msg.message == kSwallowed; }
  void OnMessage(const Message& msg) override {
    if (msg.message == kJoinSelf) {
      const bool joined = Join();
      std::lock_guard lock(m_);
      selfJoin_ = joined;
    }
    if (msg.message == kStartTimer) timer_ = SetTimer(0, 1);
    if (msg.message == kStopTimer) KillTimer(timer_);
    std::lock_guard lock(m_);
    seen_.push_back(msg.message);
  }
  int ExitInstance() override {
    std::lock_guard lock(m_);
    exitRan_ = true;
    return ExitCode() + 100;
  }

 private:
  const bool initOk_;
  uintptr_t timer_ = 0;
  mutable std::mutex m_;
  std::vector<uint32_t> seen_;
  bool exitRan_ = false;
  bool selfJoin_ = true;
};

TEST(PlatformWorkerThreadTest, RunsPostedMessagesThenEndsAndJoins) {
  Recorder worker;
  EXPECT_EQ(worker.Id(), 0u);
  EXPECT_FALSE(worker.Post(kControl));
  ASSERT_TRUE(worker.Start());
  EXPECT_FALSE(worker.Start());
  const ThreadId id = worker.Id();
  EXPECT_NE(id, 0u);
  // Posted at once after Start: kept, since the queue exists before Start returns.
  EXPECT_TRUE(worker.Post(kControl, 1, 2));
  EXPECT_TRUE(worker.Post(kSwallowed));
  EXPECT_TRUE(PostThreadMessage(id, WM_USER, 0, 0));
  EXPECT_TRUE(worker.Post(kJoinSelf));
  EXPECT_TRUE(PostThreadMessage(id, WM_QUIT, 5, 0));
  EXPECT_TRUE(worker.Join());
  EXPECT_FALSE(worker.Running());
  EXPECT_EQ(worker.Seen(), (std::vector<uint32_t>{kControl, WM_USER, kJoinSelf}));
  EXPECT_FALSE(worker.SelfJoinResult());  // a worker cannot join itself
  EXPECT_TRUE(worker.ExitRan());
  EXPECT_EQ(worker.ExitCode(), 105);
  EXPECT_FALSE(worker.Post(kControl));  // an ended worker takes no posts
  EXPECT_TRUE(worker.Join());           // joining again is harmless
}

TEST(PlatformWorkerThreadTest, FailedInitEndsTheThread) {
  Recorder worker(/*initOk=*/false);
  ASSERT_TRUE(worker.Start());
  EXPECT_TRUE(worker.Join());
  EXPECT_TRUE(worker.ExitRan());
  EXPECT_TRUE(worker.Seen().empty());
  EXPECT_FALSE(worker.Post(kControl));
}

TEST(PlatformWorkerThreadTest, NoTickAfterTheTimerIsKilled) {
  Recorder worker;
  ASSERT_TRUE(worker.Start());
  worker.Post(kStartTimer);
  // Let a few real ticks happen, then stop the timer and follow with a marker.
  const uint32_t t0 = GetTickCount();
  while (worker.Seen().size() < 4 && TicksElapsed(t0, GetTickCount()) < 5000) Sleep(1);
  worker.Post(kStopTimer);
  worker.Post(kControl);
  Sleep(20);
  worker.Stop();
  const std::vector<uint32_t> seen = worker.Seen();
  ASSERT_GE(seen.size(), 4u);
  const auto stop = std::find(seen.begin(), seen.end(), kStopTimer);
  ASSERT_NE(stop, seen.end());
  EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_TIMER) + 3, static_cast<long>(seen.size()));
  EXPECT_EQ(std::find(stop, seen.end(), WM_TIMER), seen.end());
}

TEST(PlatformWorkerThreadTest, DestructorStopsARunningWorker) {
  ThreadId id = 0;
  {
    Recorder worker;
    ASSERT_TRUE(worker.Start());
    id = worker.Id();
    EXPECT_TRUE(HasMessageQueue(id));
  }
  EXPECT_FALSE(PostThreadMessage(id, WM_USER, 0, 0));
}

}  // namespace
}  // namespace plat
