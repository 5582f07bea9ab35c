// Threads, per-thread message queues, thread timers, a re-entrant mutex and events.
//
// Stands in for the Windows thread-message facilities the device library and the programs rely on:
//  - every thread has a non-zero 32-bit id of this layer's own numbering, never reused;
//  - a thread gets a message queue when it first asks for one (EnsureMessageQueue, GetMessage, PeekMessage,
//    SetTimer, or WorkerThread::Start before the thread runs); the queue ends with the thread or with
//    EndMessageQueue, after which posts to it fail;
//  - PostThreadMessage never blocks and fails (false) for an unknown or ended thread or a full queue
//    (kMaxPostedMessages). Parameters are pointer-sized;
//  - thread timers are kept as deadlines in the owning thread's queue. A due timer yields one WM_TIMER only
//    when no posted message (and no quit) is waiting, at most one tick per timer is ever pending, the next
//    tick is due one interval after the tick was taken (no burst after a long handler), and no tick is
//    seen after KillTimer returns.
// All timed waits run on the platform clock (clock.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace plat {

using ThreadId = uint32_t;

inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_APP = 0x8000;
// Windows' limit on posted messages per queue.
inline constexpr size_t kMaxPostedMessages = 10000;
// Time-out value meaning "wait for ever".
inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

struct Message {
  uint32_t message = 0;
  uintptr_t wParam = 0;  // for WM_TIMER: the timer id
  intptr_t lParam = 0;
  uint32_t time = 0;  // GetTickCount() when the message was posted (or the tick taken)
};

// The calling thread's id (assigned on first use, stable for the thread's life).
ThreadId GetCurrentThreadId();

// Creates the calling thread's queue if it has none yet.
void EnsureMessageQueue();
// Ends the calling thread's queue: pending messages and timers are dropped and later posts fail. A later
// EnsureMessageQueue on the same thread starts a fresh queue under the same id.
void EndMessageQueue();
// True while `thread` has a live queue.
bool HasMessageQueue(ThreadId thread);

bool PostThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Blocks until a message arrives; false for WM_QUIT (which is still stored in *msg).
bool GetMessage(Message* msg);
// Non-blocking: true when a message was available (and removed if `remove`).
bool PeekMessage(Message* msg, bool remove);
// Blocks up to `timeoutMs` of platform time for a message; false on time-out (not on WM_QUIT; check
// msg->message). A message-wait with time-out for loops that also watch a clock.
bool WaitMessage(Message* msg, uint32_t timeoutMs);
// Asks the calling thread's loop to end: GetMessage returns false once the posted messages before it
// are taken. wParam of the WM_QUIT is the exit code.
void PostQuitMessage(int exitCode);

// Starts or restarts a timer on the calling thread. `id` 0 or an id that names no timer of this thread
// creates a new timer and returns its fresh id; an existing id is restarted with the new interval and
// returned. Intervals below 1 ms count as 1 ms. Never fails (0 is never returned).
uintptr_t SetTimer(uintptr_t id, uint32_t intervalMs);
// Stops a timer of the calling thread; false when it has none of that id.
bool KillTimer(uintptr_t id);

// The PeekMessage/TranslateMessage/DispatchMessage loop that long waits run to keep a user interface
// alive. A user interface or a test installs it; the default does nothing.
void SetMessagePump(std::function<void()> pump);
void PumpThreadMessages();

// A thread with its own message queue and a message loop; the stand-in for a framework thread with a
// message map. Subclasses override the hooks; the base never calls them after Join() returns.
// Call Stop() (or RequestQuit() and Join()) from the subclass's destructor: the base destructor joins too,
// but by then the subclass part is gone.
class WorkerThread {
 public:
  WorkerThread() = default;
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts the thread. Its queue exists and its id is known when Start returns, so posts made right
  // after Start are kept. False when the thread could not be started or is already started.
  bool Start();
  // The worker's thread id (0 before Start).
  ThreadId Id() const { return id_.load(); }
  bool Post(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) const;
  // Posts WM_QUIT; the loop ends after the messages posted before it.
  void RequestQuit() const;
  // Waits for the thread to end. Safe to call more than once; false when called from the worker itself
  // (which cannot join itself) or before Start.
  bool Join();
  // RequestQuit() then Join().
  void Stop();
  bool Running() const { return running_.load(); }
  // ExitInstance's result once the thread has ended.
  int ExitCode() const { return exitCode_.load(); }

 protected:
  // Runs on the new thread before the loop; false ends the thread (ExitInstance still runs).
  virtual bool InitInstance() { return true; }
  // Sees every message first; true means it was handled and is not dispatched.
  virtual bool PreTranslateMessage(const Message&) { return false; }
  virtual void OnMessage(const Message&) {}
  // Its result becomes the thread's exit code; the default keeps Run's result.
  virtual int ExitInstance() { return ExitCode(); }
  // The loop: GetMessage until WM_QUIT, PreTranslateMessage, OnMessage. Returns the exit code of the quit.
  virtual int Run();

 private:
  void Main();

  std::thread thread_;
  std::mutex joinMutex_;
  std::atomic<ThreadId> id_{0};
  std::atomic<bool> running_{false};
  std::atomic<int> exitCode_{0};
};

// A mutex the owning thread may lock again (balanced by as many unlocks), with a timed try on the
// platform clock. Meets the Lockable requirements, so std::lock_guard and std::unique_lock work.
class RecursiveMutex {
 public:
  RecursiveMutex() = default;
  RecursiveMutex(const RecursiveMutex&) = delete;
  RecursiveMutex& operator=(const RecursiveMutex&) = delete;

  void lock();
  bool try_lock();
  // Waits up to `timeoutMs` (kInfinite: for ever); true when the lock was taken.
  bool TryLockFor(uint32_t timeoutMs);
  void unlock();
  // True when the calling thread holds the lock.
  bool HeldByCurrentThread() const;

 private:
  mutable std::mutex m_;
  std::condition_variable cv_;
  ThreadId owner_ = 0;
  uint32_t depth_ = 0;
};

// A Windows-like event. A manual-reset event stays signalled until Reset; an auto-reset event releases one
// waiter and resets itself.
class Event {
 public:
  Event(bool manualReset, bool initiallySignalled);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when signalled within `timeoutMs` (0: just test; kInfinite: for ever); false on time-out.
  bool Wait(uint32_t timeoutMs);
  bool IsSignalled() const;

 private:
  mutable std::mutex m_;
  std::condition_variable cv_;
  const bool manualReset_;
  bool signalled_;
};

}  // namespace plat
