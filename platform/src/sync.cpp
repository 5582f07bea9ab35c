// RecursiveMutex and Event, with time-outs on the platform clock.
#include "platform/clock.h"
#include "platform/thread.h"

namespace plat {

void RecursiveMutex::lock() {
  TryLockFor(kInfinite);
}

bool RecursiveMutex::try_lock() {
  return TryLockFor(0);
}

bool RecursiveMutex::TryLockFor(uint32_t timeoutMs) {
  const ThreadId self = GetCurrentThreadId();
  std::unique_lock lock(m_);
  if (owner_ == self) {
    ++depth_;
    return true;
  }
  const auto free = [this] { return owner_ == 0; };
  if (timeoutMs == kInfinite) {
    cv_.wait(lock, free);
  } else if (!WaitUntil(cv_, lock, DeadlineAfter(timeoutMs), free)) {
    return false;
  }
  owner_ = self;
  depth_ = 1;
  return true;
}

void RecursiveMutex::unlock() {
  std::unique_lock lock(m_);
  if (owner_ != GetCurrentThreadId() || depth_ == 0) return;  // not ours: nothing to release
  if (--depth_ == 0) {
    owner_ = 0;
    // Signal while still holding the lock: a waiter that takes the mutex may free it at once.
    cv_.notify_one();
  }
}

bool RecursiveMutex::HeldByCurrentThread() const {
  std::lock_guard lock(m_);
  return owner_ == GetCurrentThreadId();
}

Event::Event(bool manualReset, bool initiallySignalled)
    : manualReset_(manualReset), signalled_(initiallySignalled) {}

void Event::Set() {
  {
    std::lock_guard lock(m_);
    signalled_ = true;
  }
  if (manualReset_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard lock(m_);
  signalled_ = false;
}

bool Event::Wait(uint32_t timeoutMs) {
  std::unique_lock lock(m_);
  const auto signalled = [this] { return signalled_; };
  bool ok;
  if (timeoutMs == kInfinite) {
    cv_.wait(lock, signalled);
    ok = true;
  } else {
    ok = WaitUntil(cv_, lock, DeadlineAfter(timeoutMs), signalled);
  }
  if (ok && !manualReset_) signalled_ = false;
  return ok;
}

bool Event::IsSignalled() const {
  std::lock_guard lock(m_);
  return signalled_;
}

}  // namespace plat
