// Event delivery of one connection.
#include "device/event_table.h"

namespace qv6 {

bool EventTable::Set(int event, QV6EventCallback fn, QV6EventCallback* previous) {
  if (event < 0 || event >= kEvents) return false;
  QV6EventCallback old = functions_[event].exchange(fn);
  if (previous != nullptr) *previous = old;
  return true;
}

QV6EventCallback EventTable::Get(int event) const {
  return event >= 0 && event < kEvents ? functions_[event].load() : nullptr;
}

void EventTable::SetDelivery(int mode, plat::ThreadId thread, uint32_t message) {
  message_.store(message);
  thread_.store(thread);
  mode_.store(mode);
}

bool EventTable::Deliver(int event, intptr_t value) const {
  if (mode_.load() == 0) return true;
  if (QV6EventCallback fn = Get(event)) fn(event, value);
  plat::ThreadId target = thread_.load();
  if (target == 0) return true;
  return plat::PostThreadMessage(target, message_.load(), static_cast<uintptr_t>(event), value);
}

}  // namespace qv6
