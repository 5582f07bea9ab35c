// QV6ConnectionTable: the 32 connection slots; connection index i uses slot i - 1.
//
// Slots hold shared references, so a device taken from the table stays alive for the caller even when
// another thread closes its connection meanwhile. The table's own lock is never held across a device call.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <vector>

namespace qv6 {

class Qv6Device;

class ConnectionTable {
 public:
  static constexpr int kSlots = 32;

  static bool ValidIndex(int index) { return index >= 1 && index <= kSlots; }

  // The device of a connection index, or nullptr for an empty slot or a bad index.
  std::shared_ptr<Qv6Device> Get(int index) const;
  // Stores the device in the first free slot and returns its index, or 0 when all slots are taken.
  int Add(std::shared_ptr<Qv6Device> device);
  // Empties the slot and hands back what it held.
  std::shared_ptr<Qv6Device> Remove(int index);
  // Empties every slot, handing back the devices in slot order.
  std::vector<std::shared_ptr<Qv6Device>> RemoveAll();

 private:
  mutable std::mutex mutex_;
  std::array<std::shared_ptr<Qv6Device>, kSlots> slots_;
};

}  // namespace qv6
