// Standard JPEG tables and quality scaling for the compressor: the zig-zag order (ITU-T T.81 Figure A.6),
// the example quantisation tables K.1/K.2 and Huffman tables K.3-K.6 of T.81 Annex K, and the scaling of
// the quantisation tables by a 5..95 quality.
#pragma once

#include <array>
#include <cstdint>

#include "codec/jpeg/decoder/jpeg_zigzag.h"

namespace zc::jpeg {

// kZigzagToNatural[k] is the natural (row-major) index of the k-th coefficient in zig-zag order, k < 64:
// the decoder's table serves both directions.
inline constexpr const auto& kZigzagToNatural = jpegdec::kZigzag;

// T.81 K.1 (luminance) and K.2 (chrominance), natural order.
extern const std::array<uint8_t, 64> kLuminanceQuantBase;
extern const std::array<uint8_t, 64> kChrominanceQuantBase;

// A Huffman table as T.81 B.2.4.2 defines it: BITS (codes per length 1..16) and HUFFVAL.
struct HuffmanSpec {
  std::array<uint8_t, 16> bits{};
  std::array<uint8_t, 256> values{};
  int ValueCount() const {
    int n = 0;
    for (uint8_t b : bits) n += b;
    return n;
  }
};

extern const HuffmanSpec kLuminanceDcSpec;    // T.81 K.3
extern const HuffmanSpec kChrominanceDcSpec;  // T.81 K.4
extern const HuffmanSpec kLuminanceAcSpec;    // T.81 K.5
extern const HuffmanSpec kChrominanceAcSpec;  // T.81 K.6

// A quality outside 5..95 falls back to 75.
int NormalizeQuality(int quality);

// Percentage applied to the base tables: 200 - 2q from 50 up, 5000 / q below.
int QualityScale(int quality);

// base entry x scale / 100 rounded, limited to 1..255 (8-bit tables), natural order.
std::array<uint16_t, 64> ScaleQuantTable(const std::array<uint8_t, 64>& base, int quality);

}  // namespace zc::jpeg
