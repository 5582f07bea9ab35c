// The first series' bulk layer: one device handle for the whole process, command control requests and
// piecewise bulk transfers.
#include "transport/bulk_layer.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace qv6 {
namespace {

std::mutex g_tableMutex;
drv::Handle g_handle = drv::kInvalidHandle;
std::atomic<bool> g_opened{false};
std::atomic<uint32_t> g_lastError{0};

constexpr uint32_t kCommandRetries = 3;

bool IsTableHandle(drv::Handle handle) {
  std::lock_guard lock(g_tableMutex);
  return g_opened && handle != drv::kInvalidHandle && handle == g_handle;
}

uint32_t WaitLimit(int32_t timeoutMs) {
  return timeoutMs == 0 ? drv::kInfinite : static_cast<uint32_t>(timeoutMs);
}

// Moves one piece with an overlapped call and its wait. Returns false on failure with the last error set.
template <class Call>
bool OverlappedPiece(drv::Handle handle, drv::Overlapped* overlapped, int32_t timeoutMs, uint32_t* moved,
                     Call call) {
  drv::Overlapped local{};
  drv::Overlapped* record = overlapped != nullptr ? overlapped : &local;
  *record = drv::Overlapped{};
  bool ok = call(record);
  g_lastError = drv::GetLastError();
  if (!ok) {
    if (g_lastError != drv::kErrorIoPending) return false;
    if (drv::WaitForOverlapped(record, WaitLimit(timeoutMs)) != drv::kWaitObject0) {
      g_lastError = drv::kErrorTimeout;
      return false;
    }
    // A pending call that finished with an error is a failure, not an empty piece.
    if (!drv::GetOverlappedResult(handle, record, moved, false)) {
      g_lastError = drv::GetLastError();
      return false;
    }
    g_lastError = 0;
    return true;
  }
  return g_lastError != drv::kErrorTimeout;
}

}  // namespace

void BulkLayer::Reset() {
  std::lock_guard lock(g_tableMutex);
  g_handle = drv::kInvalidHandle;
  g_opened = false;
  g_lastError = 0;
}

drv::Handle BulkLayer::OpenDevice(int deviceNumber) {
  if (deviceNumber != 1) return drv::kInvalidHandle;
  std::lock_guard lock(g_tableMutex);
  if (g_handle != drv::kInvalidHandle) return drv::kInvalidHandle;
  drv::Handle handle =
      drv::CreateFileA(kDeviceName, drv::kGenericRead | drv::kGenericWrite, 0, drv::kOpenExisting, 0);
  if (handle == drv::kInvalidHandle) return drv::kInvalidHandle;
  g_handle = handle;
  g_opened = true;
  return handle;
}

int BulkLayer::CloseDevice(drv::Handle handle) {
  std::lock_guard lock(g_tableMutex);
  if (handle != drv::kInvalidHandle && g_opened && handle == g_handle) {
    drv::CloseHandle(handle);
    g_handle = drv::kInvalidHandle;
  }
  return 1;
}

int BulkLayer::Write(drv::Handle handle, const uint8_t* data, uint32_t length, uint32_t* written,
                     drv::Overlapped* overlapped, int32_t timeoutMs) {
  if (!IsTableHandle(handle) || (data == nullptr && length != 0)) return 0;
  uint32_t total = 0;
  uint32_t remaining = length;
  const uint8_t* source = data;
  while (remaining > 0) {
    uint32_t piece = std::min(remaining, kPieceSize);
    uint32_t moved = 0;
    bool ok;
    if (timeoutMs == kPlainCalls) {
      ok = drv::WriteFile(handle, source, piece, &moved, nullptr);
      if (!ok) g_lastError = drv::GetLastError();
    } else {
      ok = OverlappedPiece(handle, overlapped, timeoutMs, &moved, [&](drv::Overlapped* record) {
        return drv::WriteFile(handle, source, piece, &moved, record);
      });
    }
    if (!ok) return 0;
    // A piece that moved less than asked would silently drop data; one that claims more is not trusted.
    if (moved != piece) {
      g_lastError = moved < piece ? drv::kErrorWriteFault : drv::kErrorInvalidData;
      return 0;
    }
    source += moved;
    total += moved;
    remaining -= piece;
  }
  if (written != nullptr) *written = total;
  return 1;
}

int BulkLayer::Read(drv::Handle handle, uint8_t* buffer, uint32_t length, uint32_t* read,
                    drv::Overlapped* overlapped, int32_t timeoutMs) {
  if (!IsTableHandle(handle) || (buffer == nullptr && length != 0)) return 0;
  uint32_t total = 0;
  uint32_t remaining = length;
  uint8_t* target = buffer;
  // One call per 4096 bytes of the request; a short piece shortens the total, and the next piece lands
  // behind the bytes received, so every call stays inside the caller's buffer.
  while (remaining > 0) {
    uint32_t piece = std::min(remaining, kPieceSize);
    uint32_t moved = 0;
    bool ok;
    if (timeoutMs == kPlainCalls) {
      ok = drv::ReadFile(handle, target, piece, &moved, nullptr);
      if (!ok) g_lastError = drv::GetLastError();
    } else {
      ok = OverlappedPiece(handle, overlapped, timeoutMs, &moved, [&](drv::Overlapped* record) {
        return drv::ReadFile(handle, target, piece, &moved, record);
      });
    }
    if (!ok) return 0;
    if (moved > piece) {
      g_lastError = drv::kErrorInvalidData;
      return 0;
    }
    target += moved;
    total += moved;
    remaining -= piece;
  }
  if (read != nullptr) *read = total;
  return 1;
}

int BulkLayer::DeviceControl(drv::Handle handle, int deviceNumber, const uint8_t* block, uint32_t blockLength,
                             uint8_t* reply, uint32_t replyCapacity, uint32_t* returned,
                             drv::Overlapped* overlapped, int32_t timeoutMs) {
  if (!g_opened) return 0;
  if (deviceNumber != 1) {
    g_lastError = drv::kErrorInvalidFunction;
    return 0;
  }
  if (reply == nullptr) replyCapacity = 0;
  uint32_t code = replyCapacity != 0 ? kControlWithReply : kControlWithoutReply;
  uint32_t count = 0;

  if (timeoutMs == kPlainCalls) {
    if (block == nullptr || blockLength < kCommandLength) {
      g_lastError = drv::kErrorInsufficientBuffer;
      return 0;
    }
    if (replyCapacity == 0) {
      bool ok = drv::DeviceIoControl(handle, code, block, blockLength, nullptr, 0, &count, nullptr);
      g_lastError = drv::GetLastError();
      if (returned != nullptr) *returned = blockLength - kCommandLength;
      return ok ? 1 : 0;
    }
    // An empty reply is asked for again, up to three calls in all; a failing call is not repeated.
    for (uint32_t attempt = 0; attempt < kCommandRetries; ++attempt) {
      count = 0;
      bool ok = drv::DeviceIoControl(handle, code, block, blockLength, reply, replyCapacity, &count, nullptr);
      g_lastError = drv::GetLastError();
      if (!ok) return 0;
      if (count > replyCapacity) {
        g_lastError = drv::kErrorInvalidData;
        return 0;
      }
      if (count != 0) {
        if (returned != nullptr) *returned = count;
        return 1;
      }
    }
    if (returned != nullptr) *returned = 0;
    return 0;
  }

  drv::Overlapped local{};
  drv::Overlapped* record = overlapped != nullptr ? overlapped : &local;
  *record = drv::Overlapped{};
  bool ok = drv::DeviceIoControl(handle, code, block, blockLength, reply, replyCapacity, &count, record);
  g_lastError = drv::GetLastError();
  if (!ok) {
    if (g_lastError != drv::kErrorIoPending) return 0;
    if (drv::WaitForOverlapped(record, WaitLimit(timeoutMs)) != drv::kWaitObject0) {
      // A wait that ran out is a failure: the command's outcome is unknown.
      g_lastError = drv::kErrorTimeout;
      if (returned != nullptr) *returned = 0;
      return 0;
    }
    if (!drv::GetOverlappedResult(handle, record, &count, false)) {
      g_lastError = drv::GetLastError();
      return 0;
    }
    g_lastError = 0;
  }
  if (count > replyCapacity && replyCapacity != 0) {
    g_lastError = drv::kErrorInvalidData;
    return 0;
  }
  if (returned != nullptr) *returned = count;
  return 1;
}

uint32_t BulkLayer::LastError() {
  return g_lastError;
}
bool BulkLayer::Opened() {
  return g_opened;
}

}  // namespace qv6
