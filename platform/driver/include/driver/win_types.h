// Handle type, access flags, wait results and system error codes of the driver-device layer.
//
// The device library was designed against the Windows driver interface; these names keep its call sites
// readable. Handles are pointer-sized (intptr_t) and -1 marks "no handle", as INVALID_HANDLE_VALUE does.
#pragma once

#include <cstdint>

namespace drv {

using Handle = intptr_t;
inline constexpr Handle kInvalidHandle = -1;

// CreateFileA arguments.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
inline constexpr uint32_t kOpenExisting = 3;
inline constexpr uint32_t kFileFlagOverlapped = 0x40000000u;

// Wait results and the "no time-out" value.
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr uint32_t kWaitObject0 = 0;
inline constexpr uint32_t kWaitTimeout = 258;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;

// System error codes (the values callers compare with).
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorInvalidData = 13;
inline constexpr uint32_t kErrorWriteFault = 29;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorSemTimeout = 121;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorIoIncomplete = 996;
inline constexpr uint32_t kErrorIoPending = 997;
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;
inline constexpr uint32_t kErrorTimeout = 1460;

}  // namespace drv
