// Per-pixel shading-correction tables built from a sensor pixel's calibration levels. A table maps a raw
// sample to its corrected value; both scan-line paths build theirs from these pieces.
#pragma once

#include <cstdint>
#include <span>

namespace qv6::shading {

// A white calibration level of 0 stands for full scale.
inline int WhiteLevel(int white) {
  return white == 0 ? 255 : white;
}

// Makes every 256-entry table of `tables` (a whole number of them, back to back) the identity.
void IdentityTables(std::span<uint8_t> tables);

// Linear stretch of [black, white] to [0, 255]: entry i is 255 * (i - b) / (w - b) for b < i < w, 255 above
// b otherwise, 0 at or below b; entry 0 is always 0.
void LinearStretch(int black, int white, std::span<uint8_t, 256> table);

// White-only 8-bit gain: entry i is (i * (261120 / w)) >> 10 below w, 255 from w on.
void WhiteGain8(int white, std::span<uint8_t, 256> table);

// White-only 4-bit gain of one pixel: all 15, then t[k / 16] = ((k * (261120 / w)) >> 14) & 15 for
// k = 0 .. w - 1, a later k overwriting an earlier one.
void WhiteGainNibbles(int white, std::span<uint8_t, 16> nibbles);

// The 256-entry table of a pixel pair for bytes that hold the even pixel in the low nibble and the odd one
// in the high nibble: entry (h << 4 | l) = high[h] << 4 | low[l].
void PairTable(std::span<const uint8_t, 16> low, std::span<const uint8_t, 16> high,
               std::span<uint8_t, 256> table);

// Stretch for 6-bit samples: entry j (0..63) is 255 * (4j - b) / (w - b) for b / 4 < j < w / 4, 255 above
// b / 4 otherwise, else 0; entry 0 is 0.
void SixBitStretch(int black, int white, std::span<uint8_t, 64> table);

}  // namespace qv6::shading
