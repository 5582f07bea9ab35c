// Conversion of the device libraries' error numbers into status codes.
#pragma once

#include <cstdint>
#include <span>

namespace zarn {

struct ErrorMapPair {
  int32_t device;
  int32_t api;
};

// The fixed tables as stored: QV6ErrorMap has 36 slots (28 pairs, then end markers {0, -1}); QV800ErrorMap has
// 100 slots (49 pairs, then end markers {-1, 0}).
std::span<const ErrorMapPair> QV6ErrorMap();
std::span<const ErrorMapPair> QV800ErrorMap();

// A last-error value of the device library; -213 when it is not in the map. Traces at level 1.
int funcQV6ConvertKRStatus(int status);
// An error number of the current family's device library; -211 for an unknown family or number.
int funcConvertStatus(int status);

}  // namespace zarn
