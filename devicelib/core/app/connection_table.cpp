// Connection slots.
#include "app/connection_table.h"

#include <utility>

namespace qv6 {

std::shared_ptr<Qv6Device> ConnectionTable::Get(int index) const {
  if (!ValidIndex(index)) return nullptr;
  std::lock_guard lock(mutex_);
  return slots_[static_cast<size_t>(index - 1)];
}

int ConnectionTable::Add(std::shared_ptr<Qv6Device> device) {
  std::lock_guard lock(mutex_);
  for (size_t slot = 0; slot < slots_.size(); ++slot) {
    if (!slots_[slot]) {
      slots_[slot] = std::move(device);
      return static_cast<int>(slot) + 1;
    }
  }
  return 0;
}

std::shared_ptr<Qv6Device> ConnectionTable::Remove(int index) {
  if (!ValidIndex(index)) return nullptr;
  std::lock_guard lock(mutex_);
  return std::exchange(slots_[static_cast<size_t>(index - 1)], nullptr);
}

std::vector<std::shared_ptr<Qv6Device>> ConnectionTable::RemoveAll() {
  std::vector<std::shared_ptr<Qv6Device>> devices;
  std::lock_guard lock(mutex_);
  for (auto& slot : slots_) {
    if (slot) devices.push_back(std::exchange(slot, nullptr));
  }
  return devices;
}

}  // namespace qv6
