// What the image record operations take from the API: its numeric parameters.
#pragma once

namespace zc::imaging {

// Parameter ids read here.
inline constexpr int kParamMicrFont = 2;
inline constexpr int kParamMicrFormat = 107;
inline constexpr int kParamOcrMicrVerify = 116;
inline constexpr int kParamMicrGrayThreshold = 118;
inline constexpr int kParamPadBottom = 189;
inline constexpr int kParamPadTop = 190;

int ApiParam(int id);

}  // namespace zc::imaging
