// WorkerThread: a joinable thread with its own message queue and message loop.
#include <future>
#include <memory>
#include <system_error>

#include "platform/thread.h"

namespace plat {

WorkerThread::~WorkerThread() {
  if (id_.load() != 0 && id_.load() == GetCurrentThreadId()) {
    std::lock_guard lock(joinMutex_);
    if (thread_.joinable()) thread_.detach();  // a worker deleting itself cannot join itself
    return;
  }
  Stop();
}

bool WorkerThread::Start() {
  std::lock_guard lock(joinMutex_);
  if (thread_.joinable() || running_.load()) return false;
  auto started = std::make_shared<std::promise<ThreadId>>();
  std::future<ThreadId> startedId = started->get_future();
  running_ = true;
  try {
    thread_ = std::thread([this, started] {
      EnsureMessageQueue();
      id_ = GetCurrentThreadId();
      started->set_value(id_.load());
      Main();
    });
  } catch (const std::system_error&) {
    running_ = false;
    return false;
  }
  startedId.wait();  // the queue exists from here on, so early posts are kept
  return true;
}

void WorkerThread::Main() {
  if (InitInstance()) exitCode_ = Run();
  exitCode_ = ExitInstance();
  EndMessageQueue();  // later posts to this thread fail
  running_ = false;
}

int WorkerThread::Run() {
  Message msg;
  while (GetMessage(&msg)) {
    if (!PreTranslateMessage(msg)) OnMessage(msg);
  }
  return static_cast<int>(msg.wParam);
}

bool WorkerThread::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) const {
  const ThreadId id = id_.load();
  return id != 0 && PostThreadMessage(id, message, wParam, lParam);
}

void WorkerThread::RequestQuit() const {
  Post(WM_QUIT);
}

bool WorkerThread::Join() {
  // Checked before the lock: another thread may hold it while it joins this one.
  if (id_.load() != 0 && id_.load() == GetCurrentThreadId()) return false;
  std::lock_guard lock(joinMutex_);
  if (!thread_.joinable()) return id_.load() != 0;
  thread_.join();
  return true;
}

void WorkerThread::Stop() {
  RequestQuit();
  Join();
}

}  // namespace plat
