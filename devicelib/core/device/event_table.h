// EventTable: the event functions of one connection and how its events are delivered.
//
// The table is live: the connection's model reads it at the moment it raises an event, so functions
// registered right after a connection opens are never missed and a cleared function stops at once. Every
// word is atomic, since callers write it without a lock while the polling thread reads it.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/thread.h"
#include "qv6/qv6dll.h"

namespace qv6 {

class EventTable {
 public:
  static constexpr int kEvents = 7;

  // Stores fn (NULL clears) for events 0 to 6 and hands back the function it replaces; false for
  // another event number.
  bool Set(int event, QV6EventCallback fn, QV6EventCallback* previous);
  QV6EventCallback Get(int event) const;

  // Mode 0 delivers nothing, 1 calls the functions, 2 also posts message (wParam event, lParam value)
  // to thread when thread is not 0.
  void SetDelivery(int mode, plat::ThreadId thread, uint32_t message);
  void SetMode(int mode) { mode_.store(mode); }
  int mode() const { return mode_.load(); }
  plat::ThreadId thread() const { return thread_.load(); }
  uint32_t message() const { return message_.load(); }

  // Calls the event's function, then posts the event message, as the mode says. Returns false only when
  // the post failed (the receiving thread ended or its queue is full).
  bool Deliver(int event, intptr_t value) const;

 private:
  std::atomic<QV6EventCallback> functions_[kEvents] = {};
  std::atomic<int> mode_{0};
  std::atomic<plat::ThreadId> thread_{0};
  std::atomic<uint32_t> message_{0};
};

}  // namespace qv6
