// Per-thread message queues and thread timers.
//
// Each queue lives in a registry keyed by thread id. Timers are not messages: they are deadlines kept in
// the owning thread's queue and turned into one WM_TIMER when that thread asks for a message and nothing
// posted is waiting. That gives the low priority of WM_TIMER, at most one pending tick per timer, no
// catch-up burst, and no tick after KillTimer, all without a timer thread.
#include <algorithm>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/thread.h"

namespace plat {
namespace {

struct Timer {
  uintptr_t id;
  uint32_t interval;
  uint64_t due;
};

struct Queue {
  std::mutex m;
  std::condition_variable cv;
  std::deque<Message> posted;
  std::vector<Timer> timers;  // touched only by the owning thread, under m
  bool quit = false;
  int quitCode = 0;
  bool alive = true;
};

struct Registry {
  std::mutex m;
  std::unordered_map<ThreadId, std::shared_ptr<Queue>> queues;
};

// Never destroyed: threads may end (and retire their queues) during process exit.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

std::atomic<ThreadId> g_nextThreadId{1};
std::atomic<uintptr_t> g_nextTimerId{1};

void Retire(ThreadId id, const std::shared_ptr<Queue>& q) {
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.m);
    auto it = r.queues.find(id);
    if (it != r.queues.end() && it->second == q) r.queues.erase(it);
  }
  std::lock_guard lock(q->m);
  q->alive = false;
  q->posted.clear();
  q->timers.clear();
  q->quit = false;
}

// The calling thread's queue; retired when the thread ends.
struct ThreadQueue {
  std::shared_ptr<Queue> queue;
  ~ThreadQueue() {
    if (queue) Retire(GetCurrentThreadId(), queue);
  }
};

thread_local ThreadQueue t_queue;

Queue& OwnQueue() {
  EnsureMessageQueue();
  return *t_queue.queue;
}

uint64_t EarliestDue(const Queue& q) {
  uint64_t due = kNoDeadline;
  for (const Timer& t : q.timers) due = std::min(due, t.due);
  return due;
}

// Takes the next message under q.m: posted messages first, then the quit, then a due timer.
bool TakeLocked(Queue& q, Message* msg, bool remove) {
  if (!q.posted.empty()) {
    *msg = q.posted.front();
    if (remove) q.posted.pop_front();
    return true;
  }
  if (q.quit) {
    *msg = Message{WM_QUIT, static_cast<uintptr_t>(q.quitCode), 0, GetTickCount()};
    if (remove) q.quit = false;
    return true;
  }
  if (q.timers.empty()) return false;
  const uint64_t now = NowMs();
  Timer* next = nullptr;
  for (Timer& t : q.timers) {
    if (t.due <= now && (next == nullptr || t.due < next->due)) next = &t;
  }
  if (next == nullptr) return false;
  *msg = Message{WM_TIMER, next->id, 0, GetTickCount()};
  // The next tick is one interval after this one is taken, so a long handler never causes a burst.
  if (remove) next->due = now + next->interval;
  return true;
}

// Waits for a message until `deadline`; false on time-out.
bool WaitForMessage(Message* msg, uint64_t deadline) {
  Queue& q = OwnQueue();
  std::unique_lock lock(q.m);
  for (;;) {
    if (TakeLocked(q, msg, true)) return true;
    const uint64_t timerDue = EarliestDue(q);
    if (deadline != kNoDeadline && NowMs() >= deadline) return false;
    WaitUntil(q.cv, lock, std::min(deadline, timerDue), [&] { return !q.posted.empty() || q.quit; });
  }
}

std::mutex g_pumpMutex;
std::function<void()> g_pump;

}  // namespace

ThreadId GetCurrentThreadId() {
  thread_local ThreadId id = [] {
    ThreadId v = g_nextThreadId.fetch_add(1);
    while (v == 0) v = g_nextThreadId.fetch_add(1);
    return v;
  }();
  return id;
}

void EnsureMessageQueue() {
  if (t_queue.queue) return;
  auto q = std::make_shared<Queue>();
  Registry& r = TheRegistry();
  std::lock_guard lock(r.m);
  r.queues[GetCurrentThreadId()] = q;
  t_queue.queue = std::move(q);
}

void EndMessageQueue() {
  if (!t_queue.queue) return;
  Retire(GetCurrentThreadId(), t_queue.queue);
  t_queue.queue.reset();
}

bool HasMessageQueue(ThreadId thread) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.m);
  return r.queues.count(thread) != 0;
}

bool PostThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::shared_ptr<Queue> q;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.m);
    auto it = r.queues.find(thread);
    if (it == r.queues.end()) return false;
    q = it->second;
  }
  const uint32_t now = GetTickCount();
  {
    std::lock_guard lock(q->m);
    if (!q->alive || q->posted.size() >= kMaxPostedMessages) return false;
    q->posted.push_back(Message{message, wParam, lParam, now});
  }
  q->cv.notify_one();
  return true;
}

bool GetMessage(Message* msg) {
  Message local;
  Message* out = msg != nullptr ? msg : &local;
  WaitForMessage(out, kNoDeadline);
  return out->message != WM_QUIT;
}

bool PeekMessage(Message* msg, bool remove) {
  Message local;
  Queue& q = OwnQueue();
  std::lock_guard lock(q.m);
  return TakeLocked(q, msg != nullptr ? msg : &local, remove);
}

bool WaitMessage(Message* msg, uint32_t timeoutMs) {
  Message local;
  return WaitForMessage(msg != nullptr ? msg : &local, DeadlineAfter(timeoutMs));
}

void PostQuitMessage(int exitCode) {
  Queue& q = OwnQueue();
  {
    std::lock_guard lock(q.m);
    q.quit = true;
    q.quitCode = exitCode;
  }
  q.cv.notify_one();
}

uintptr_t SetTimer(uintptr_t id, uint32_t intervalMs) {
  Queue& q = OwnQueue();
  const uint32_t interval = std::max<uint32_t>(intervalMs, 1);
  const uint64_t due = NowMs() + interval;
  std::lock_guard lock(q.m);
  if (id != 0) {
    for (Timer& t : q.timers) {
      if (t.id == id) {
        t.interval = interval;
        t.due = due;
        return id;
      }
    }
  }
  uintptr_t fresh = g_nextTimerId.fetch_add(1);
  while (fresh == 0) fresh = g_nextTimerId.fetch_add(1);
  q.timers.push_back(Timer{fresh, interval, due});
  return fresh;
}

bool KillTimer(uintptr_t id) {
  if (!t_queue.queue) return false;
  Queue& q = *t_queue.queue;
  std::lock_guard lock(q.m);
  auto it = std::find_if(q.timers.begin(), q.timers.end(), [id](const Timer& t) { return t.id == id; });
  if (it == q.timers.end()) return false;
  q.timers.erase(it);
  return true;
}

void SetMessagePump(std::function<void()> pump) {
  std::lock_guard lock(g_pumpMutex);
  g_pump = std::move(pump);
}

void PumpThreadMessages() {
  std::function<void()> pump;
  {
    std::lock_guard lock(g_pumpMutex);
    pump = g_pump;
  }
  if (pump) pump();
}

}  // namespace plat
