// Result codes of the image record operations, by the API's names.
#pragma once

#include "zarn/status.h"

namespace zc::imaging::status {

inline constexpr int kBadParameter = zarn::kBadParameter;           // null record or pixels
inline constexpr int kUnsupportedImage = zarn::kUnsupportedImageType;  // depth or size not taken
inline constexpr int kNoPixels = zarn::kOpenFileError;              // a DIB without pixel data
inline constexpr int kBadMicr = zarn::kBadMicr;                     // a code line with rejects
inline constexpr int kBadRecord = zarn::kBadParameter552;           // record refused (depth, size, buffer)
inline constexpr int kBitsPerPixelInvalid = zarn::kBadBitsPerPixel; // not the depth the operation needs

}  // namespace zc::imaging::status
