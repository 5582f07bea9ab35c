// PollingThread: the worker that drives one connection in event modes 1 and 2.
//
// While no scanner is connected its timer ticks at the check interval and each tick tries to connect;
// while connected it ticks at the poll interval and each tick runs the model's link check and status poll,
// during which the model raises its events. Control reaches it as thread message kControlMessage:
//   (0, 0) end: kill the timer and end the thread;
//   (1, 0) stop: kill the timer (under the device's mutex);
//   (1, 1) start: connect when needed and choose the timer (under the device's mutex);
//   (2, device) attach the device.
// The thread keeps only a weak reference to its device and holds a strong one for each message, so a
// device is never freed in the middle of a tick.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/thread.h"

namespace qv6 {

class Qv6Device;

inline constexpr uint32_t kControlMessage = plat::WM_APP + 1;

// Interval settings, read from "Qv6ExtendedSetup.ini" section "TIMER POLLING" at every timer start.
struct PollingIntervals {
  static constexpr const char* kIniFile = "Qv6ExtendedSetup.ini";
  static constexpr const char* kSection = "TIMER POLLING";
  static constexpr const char* kCheckKey = "T.Check(msec)";
  static constexpr const char* kPollKey = "T.Poll(msec)";
  static constexpr int kCheckDefault = 1000;
  static constexpr int kPollDefault = 50;
  // A value below 5 or above 5000 becomes 200.
  static uint32_t Clamp(int value);
  static uint32_t Check();
  static uint32_t Poll();
};

class PollingThread : public plat::WorkerThread {
 public:
  explicit PollingThread(std::weak_ptr<Qv6Device> device);
  ~PollingThread() override;

 protected:
  bool PreTranslateMessage(const plat::Message& msg) override;
  void OnMessage(const plat::Message& msg) override;
  int ExitInstance() override;

 private:
  void OnControlMessage(uintptr_t wParam, intptr_t lParam);
  // Kills the current timer and starts the check (false) or poll (true) timer.
  bool StartTimer(bool poll);
  void StopTimer();
  // Applies a Poll result: 1 check timer, 2 poll timer, 0 keep.
  void ChooseTimer(int pollResult);

  std::weak_ptr<Qv6Device> owner_;     // the device that created the thread
  std::weak_ptr<Qv6Device> attached_;  // set by the attach message
  uintptr_t timer_ = 0;
};

// A polling thread whose device went away on that very thread cannot be joined there; it is parked
// here and joined later from another thread.
void ParkPollingThread(std::unique_ptr<PollingThread> thread);
// Joins and frees the parked threads (except the calling thread's own).
void ReapParkedPollingThreads();

}  // namespace qv6
