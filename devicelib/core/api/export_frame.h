// The common frame of the exports that take a connection index:
//   last error -1; a guard that turns any exception into "EXCEPTION" in the log and the failure value
//   (with no OUT line); -2 for an index outside 1..32; -5 for an empty slot; otherwise the device
//   operation, whose non-zero (non-null) result sets the last error to 0; then the OUT line.
// Plus the trace helpers: NULL texts trace as "<NULL>", pointers as 0x followed by hex digits.
#pragma once

#include <cinttypes>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/dll_app.h"
#include "app/log.h"
#include "device/qv6_device.h"

namespace qv6 {

inline constexpr int kErrDevice = -1;
inline constexpr int kErrIndex = -2;
inline constexpr int kErrNoSlot = -3;
inline constexpr int kErrNotCreated = -4;
inline constexpr int kErrEmptySlot = -5;
inline constexpr int kErrFileOpen = 2;
inline constexpr int kErrNoMemory = 8;

#define QV6_PTR "0x%" PRIXPTR

inline const char* TraceText(const char* text) {
  return text != nullptr ? text : "<NULL>";
}
inline uintptr_t TracePtr(const void* p) {
  return reinterpret_cast<uintptr_t>(p);
}

// The device of an index after the index checks, setting -2 or -5 when there is none.
inline std::shared_ptr<Qv6Device> DeviceForIndex(int index) {
  if (!ConnectionTable::ValidIndex(index)) {
    SetLastError(kErrIndex);
    return nullptr;
  }
  auto device = App().connections().Get(index);
  if (!device) SetLastError(kErrEmptySlot);
  return device;
}

// Runs the frame after the IN line. nullopt when an exception ended it (the export then returns its
// failure value without an OUT line).
template <class R, class Op>
std::optional<R> RunFrame(int index, R failure, Op op) {
  SetLastError(kErrDevice);
  try {
    auto device = DeviceForIndex(index);
    if (!device) return failure;
    R result = op(*device);
    if (result) SetLastError(0);
    return result;
  } catch (...) {
    g_Log.Write(kLogApi, "EXCEPTION\n");
    return std::nullopt;
  }
}

// An int export: frame plus "OUT <name>=%d".
template <class Op>
int IntExport(int index, const char* outFormat, Op op) {
  auto result = RunFrame(index, 0, op);
  if (!result) return 0;
  g_Log.WriteFormatted(kLogApi, outFormat, *result);
  return *result;
}

// A pointer export: frame plus "OUT <name>=0x<pointer>".
template <class T, class Op>
T* PointerExport(int index, const char* outFormat, Op op) {
  auto result = RunFrame<T*>(index, nullptr, op);
  if (!result) return nullptr;
  g_Log.WriteFormatted(kLogApi, outFormat, TracePtr(*result));
  return *result;
}

}  // namespace qv6
