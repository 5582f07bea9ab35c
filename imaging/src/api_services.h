// The API parameters the image record operations read. They are read from the table: none of them has an
// internal form, and the table answers also before a scanner was started.
#pragma once

#include "zarn/params.h"

namespace zc::imaging {

inline constexpr int kParamMicrFont = 2;
inline constexpr int kParamMicrFormat = 107;
inline constexpr int kParamOcrMicrVerify = 116;
inline constexpr int kParamMicrGrayThreshold = 118;
inline constexpr int kParamPadBottom = 189;
inline constexpr int kParamPadTop = 190;

inline int ApiParam(int id) {
  return zarn::funcTableGetParam(id);
}

}  // namespace zc::imaging
