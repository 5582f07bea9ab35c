// The variation point between the two LZW dialects this codec reads and writes. Both use 12-bit
// codes at most, a clear code 2^root and an end code 2^root + 1; they differ in the order in which
// code bits are packed and in when the code width grows:
//   GIF (GIF89a appendix F): codes least significant bit first; the width grows once the next
//     free code reaches 2^width.
//   TIFF (TIFF 6.0 section 13): codes most significant bit first; the width grows one code
//     earlier ("early change"), once the next free code reaches 2^width - 1.
#pragma once

namespace zc::codec::fmt {

enum class LzwBitOrder { kLsbFirst, kMsbFirst };

struct LzwRule {
  LzwBitOrder order;
  int earlyChange;  // codes by which the width grows early: 0 for GIF, 1 for TIFF
};

inline constexpr LzwRule kGifLzwRule{LzwBitOrder::kLsbFirst, 0};
inline constexpr LzwRule kTiffLzwRule{LzwBitOrder::kMsbFirst, 1};

inline constexpr int kLzwMaxBits = 12;
inline constexpr int kLzwTableSize = 1 << kLzwMaxBits;

}  // namespace zc::codec::fmt
