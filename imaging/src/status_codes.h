// Result codes of the image record operations.
#pragma once

namespace zc::imaging::status {

inline constexpr int kBadParameter = -102;         // null record or pixels
inline constexpr int kUnsupportedImage = -104;     // depth or size the operation cannot take
inline constexpr int kNoPixels = -105;             // a DIB without pixel data
inline constexpr int kBadMicr = -525;              // a code line with rejects
inline constexpr int kBadRecord = -552;            // record refused (depth, size, buffer)
inline constexpr int kBitsPerPixelInvalid = -555;  // not the depth the operation needs

}  // namespace zc::imaging::status
