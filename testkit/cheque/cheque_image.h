// Synthetic cheque images for tests and benchmarks: a guilloche background, ruled lines,
// text blocks, a handwriting stroke and a code-line band, rendered deterministically in
// gray or colour and turned into 1-bit images by threshold or by error diffusion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zc::testkit {

struct ChequeSpec {
  int dpi = 200;             // 200, 240 or 300 as scanned
  double widthInches = 6.0;  // 6 x 2.75 personal, 8.75 x 3.75 business
  double heightInches = 2.75;
  uint32_t seed = 1;  // varies text, stroke and background phase
};

struct GrayImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // row-major, 0 black .. 255 white
};

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // row-major R, G, B
};

// Packed 1-bit rows: MSB leftmost, set bit = black, rows (width + 7) / 8 bytes, top first.
struct BilevelImage {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<uint8_t> rows;

  BilevelImage() = default;
  BilevelImage(int w, int h)
      : width(w), height(h), stride((w + 7) / 8), rows(static_cast<std::size_t>(stride) * h) {}
  const uint8_t* row(int y) const { return rows.data() + static_cast<std::size_t>(y) * stride; }
  uint8_t* row(int y) { return rows.data() + static_cast<std::size_t>(y) * stride; }
  bool black(int x, int y) const { return (row(y)[x >> 3] >> (7 - (x & 7))) & 1; }
  void set(int x, int y) { row(y)[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7)); }
  bool operator==(const BilevelImage& o) const {
    return width == o.width && height == o.height && rows == o.rows;
  }
};

GrayImage makeChequeGray(const ChequeSpec& params);
RgbImage makeChequeColour(const ChequeSpec& params);

// The image as a device library hands a gray side over: a packed DIB with a 40-byte header, a 256-entry
// gray palette and bottom-up rows padded to 4 bytes.
std::vector<uint8_t> packedGrayDib(const GrayImage& gray);

// A pixel at or below `level` becomes black.
BilevelImage thresholdImage(const GrayImage& gray, int level = 128);
// Floyd-Steinberg error diffusion: the dense worst case of bilevel coding.
BilevelImage ditherImage(const GrayImage& gray);

enum class BilevelPattern { kWhite, kBlack, kAlternating, kChecker, kRandom };
// Edge patterns: alternating columns, a 1-pixel checkerboard, random bits.
BilevelImage makePattern(BilevelPattern pattern, int width, int height, uint32_t seed = 7);

}  // namespace zc::testkit
