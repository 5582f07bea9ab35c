// Polling thread of a connection.
#include "device/polling_thread.h"

#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "app/log.h"
#include "device/qv6_device.h"
#include "platform/ini.h"

namespace qv6 {

uint32_t PollingIntervals::Clamp(int value) {
  return value < 5 || value > 5000 ? 200u : static_cast<uint32_t>(value);
}

uint32_t PollingIntervals::Check() {
  return Clamp(plat::GetPrivateProfileIntA(kSection, kCheckKey, kCheckDefault, kIniFile));
}

uint32_t PollingIntervals::Poll() {
  return Clamp(plat::GetPrivateProfileIntA(kSection, kPollKey, kPollDefault, kIniFile));
}

PollingThread::PollingThread(std::weak_ptr<Qv6Device> device) : owner_(std::move(device)) {}

PollingThread::~PollingThread() {
  Stop();
}

bool PollingThread::PreTranslateMessage(const plat::Message& msg) {
  if (msg.message != plat::WM_TIMER) return false;
  // Nothing may escape the thread: an exception that did would end the whole process.
  try {
    if (auto device = attached_.lock()) ChooseTimer(device->Poll());
  } catch (...) {
    g_Log.Write(kLogApi, "EXCEPTION\n");
  }
  return true;
}

void PollingThread::OnMessage(const plat::Message& msg) {
  if (msg.message != kControlMessage) return;
  try {
    OnControlMessage(msg.wParam, msg.lParam);
  } catch (...) {
    g_Log.Write(kLogApi, "EXCEPTION\n");
  }
}

int PollingThread::ExitInstance() {
  StopTimer();
  return 0;
}

void PollingThread::OnControlMessage(uintptr_t wParam, intptr_t lParam) {
  switch (wParam) {
    case 0:
      StopTimer();
      plat::PostQuitMessage(0);
      break;
    case 2: {
      // The pointer only confirms which device is meant; the reference comes from the creator.
      auto device = owner_.lock();
      if (device && reinterpret_cast<intptr_t>(device.get()) == lParam) attached_ = device;
      break;
    }
    case 1: {
      auto device = attached_.lock();
      if (!device) break;
      std::lock_guard lock(device->mutex());
      if (lParam == 0) {
        StopTimer();
      } else if (device->connected()) {
        StartTimer(true);
      } else if (device->Connect()) {
        StartTimer(true);
        ChooseTimer(device->Poll());
      } else {
        StartTimer(false);
      }
      break;
    }
    default:
      break;
  }
}

bool PollingThread::StartTimer(bool poll) {
  StopTimer();
  timer_ = plat::SetTimer(0, poll ? PollingIntervals::Poll() : PollingIntervals::Check());
  if (timer_ == 0) g_Log.Write(kLogApi, "Polling timer not started\n");
  return timer_ != 0;
}

void PollingThread::StopTimer() {
  if (timer_ != 0) plat::KillTimer(timer_);
  timer_ = 0;
}

void PollingThread::ChooseTimer(int pollResult) {
  if (pollResult == 1) StartTimer(false);
  if (pollResult == 2) StartTimer(true);
}

namespace {

struct Parked {
  std::mutex mutex;
  std::vector<std::unique_ptr<PollingThread>> threads;
};

// Never destroyed, since threads may park while the library is unloading; kept in static storage so
// that nothing of it stays on the heap once the list is empty.
Parked& TheParked() {
  alignas(Parked) static unsigned char storage[sizeof(Parked)];
  static Parked* parked = new (storage) Parked;
  return *parked;
}

}  // namespace

void ParkPollingThread(std::unique_ptr<PollingThread> thread) {
  // Threads still parked when the program ends (or the library unloads) are joined then.
  struct ExitReaper {
    ~ExitReaper() { ReapParkedPollingThreads(); }
  };
  static ExitReaper reaper;
  Parked& p = TheParked();
  std::lock_guard lock(p.mutex);
  p.threads.push_back(std::move(thread));
}

void ReapParkedPollingThreads() {
  std::vector<std::unique_ptr<PollingThread>> reap;
  {
    Parked& p = TheParked();
    std::lock_guard lock(p.mutex);
    plat::ThreadId self = plat::GetCurrentThreadId();
    for (auto& t : p.threads) {
      if (t->Id() != self) reap.push_back(std::move(t));
    }
    std::erase(p.threads, nullptr);
    if (p.threads.empty()) std::vector<std::unique_ptr<PollingThread>>().swap(p.threads);
  }
  reap.clear();  // each destructor joins its thread
}

}  // namespace qv6
