// The record sizes the black-and-white conversions take: at least 108 rows, at most 2048 x 940, or
// 3072 x 1500 when parameter 6 ("Resolution") says 300 dpi.
#pragma once

#include "api_services.h"

namespace zc::imaging {

inline bool BwSizeAllowed(int w, int h) {
  constexpr int kParamResolution = 6;
  constexpr int kResolution300 = 4;
  if (h < 108) return false;
  if (w <= 2048 && h <= 940) return true;
  // The table's form of 300 dpi is the caller's value 4 as well, and the table answers before a start.
  return ApiParam(kParamResolution) == kResolution300 && w <= 3072 && h <= 1500;
}

}  // namespace zc::imaging
