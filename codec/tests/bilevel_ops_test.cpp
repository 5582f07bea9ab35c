// Byte operations on packed 1-bit data, drawing change lists, and strip rotation against a per-pixel
// reference.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "codec/bilevel/bit_ops.h"
#include "codec/bilevel/fax_render.h"
#include "codec/bilevel/image_view.h"
#include "codec/bilevel/strip_transform.h"

namespace zc::codec {
namespace {

bool pixel(const std::vector<uint8_t>& s, int stride, int x, int y) {
  return (s[static_cast<size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1;
}

// Per-pixel rotation of L lines of P pixels, as the view rotations define it.
std::vector<uint8_t> reference(const std::vector<uint8_t>& src, int lines, int pixels, int rotation) {
  std::vector<uint8_t> dst(src.size(), 0);
  const int sStride = pixels / 8;
  const int dStride = rotation == 2 ? pixels / 8 : lines / 8;
  for (int r = 0; r < lines; ++r) {
    for (int c = 0; c < pixels; ++c) {
      if (!pixel(src, sStride, c, r)) continue;
      int x;
      int y;
      if (rotation == 1) {
        x = lines - 1 - r;
        y = c;
      } else if (rotation == 2) {
        x = pixels - 1 - c;
        y = lines - 1 - r;
      } else {
        x = r;
        y = pixels - 1 - c;
      }
      dst[static_cast<size_t>(y) * dStride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
  }
  return dst;
}

std::vector<uint8_t> turn(const std::vector<uint8_t>& src, int lines, int pixels, int rotation) {
  ImageView v{};
  v.rotation = rotation;
  v.linesInStrip = lines;
  v.outLineWidth = pixels;
  std::vector<uint8_t> dst(src.size(), 0xAA);
  funcBilevelTransformLine(&v, src.data(), dst.data(), dst.size());
  return dst;
}

std::vector<uint8_t> randomStrip(int lines, int pixels, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> s(static_cast<size_t>(lines) * pixels / 8);
  for (auto& b : s) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0 : rng());
  return s;
}

TEST(BitOps, InvertAndReverse) {
  std::vector<uint8_t> b(17);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 13);
  const std::vector<uint8_t> orig = b;
  funcInvertBytes(b.data(), b.size());
  for (size_t i = 0; i < b.size(); ++i) EXPECT_EQ(b[i], static_cast<uint8_t>(~orig[i])) << i;
  EXPECT_EQ(kBitReverse[1], 0x80);
  EXPECT_EQ(kBitReverse[0xF0], 0x0F);
  funcReverseBytesBits(b.data(), b.size());
  funcReverseBytesBits(b.data(), b.size());
  funcInvertBytes(b.data(), b.size());
  EXPECT_EQ(b, orig);
}

// Drawing a change list against the pixels it describes: runs of every length across word and byte
// edges, lists that begin black or end black at the width, output widths below and above the image
// width. Nothing is written past the line.
TEST(FaxRender, DrawnLinesHoldTheRunsOfTheChangeList) {
  std::mt19937 rng(11);
  for (int iter = 0; iter < 3000; ++iter) {
    const int width = 1 + static_cast<int>(rng() % 700);
    const int outWidth = 8 * (1 + static_cast<int>(rng() % 100));
    std::vector<uint32_t> changes;
    const int meanRun = 1 + static_cast<int>(rng() % 90);
    for (uint32_t x = iter % 3 == 0 ? 0 : rng() % meanRun; x < static_cast<uint32_t>(width);
         x += 1 + rng() % (2 * meanRun)) {
      changes.push_back(x);
    }
    for (int i = 0; i < 6; ++i) changes.push_back(static_cast<uint32_t>(width));
    std::vector<bool> black(static_cast<size_t>(outWidth), false);
    for (size_t k = 0; changes[k] < static_cast<uint32_t>(width); k += 2) {
      for (uint32_t x = changes[k]; x < changes[k + 1] && x < static_cast<uint32_t>(outWidth); ++x)
        black[x] = true;
    }
    const size_t bytes = static_cast<size_t>(outWidth) / 8;
    std::vector<uint8_t> line(bytes + 1, 0);
    line[bytes] = 0x5A;
    funcFaxRenderChanges(changes.data(), line.data(), outWidth);
    for (int x = 0; x < outWidth; ++x) ASSERT_EQ(pixel(line, 0, x, 0), black[x]) << iter << " x " << x;
    ASSERT_EQ(line[bytes], 0x5A) << iter;
  }
}

TEST(StripTransform, MatchesPerPixelReference) {
  const int sizes[][2] = {{8, 8}, {16, 64}, {24, 40}, {64, 8}, {32, 1736}};
  for (const auto& s : sizes) {
    for (int rotation = 1; rotation <= 3; ++rotation) {
      const auto src = randomStrip(s[0], s[1], static_cast<unsigned>(s[0] * 7 + s[1] + rotation));
      EXPECT_EQ(turn(src, s[0], s[1], rotation), reference(src, s[0], s[1], rotation))
          << s[0] << "x" << s[1] << " rotation " << rotation;
    }
  }
}

TEST(StripTransform, Identities) {
  const auto src = randomStrip(16, 48, 5);
  EXPECT_EQ(turn(turn(src, 16, 48, 2), 16, 48, 2), src);
  EXPECT_EQ(turn(turn(src, 16, 48, 1), 48, 16, 3), src);
}

TEST(StripTransform, SixteenLinesOfSixtyFourPixels) {
  std::vector<uint8_t> src(16 * 8, 0);
  src[15 * 8] = 0x80;  // the first pixel of the last source line
  src[0] = 0x80;       // and of the first
  const auto dst = turn(src, 16, 64, 1);
  // 64 lines of 2 bytes; the first line holds the first pixel of every source line, the last
  // source line leftmost.
  EXPECT_EQ(dst[0], 0x80);
  EXPECT_EQ(dst[1], 0x01);
  for (size_t i = 2; i < dst.size(); ++i) EXPECT_EQ(dst[i], 0) << i;
}

TEST(StripTransform, RefusesSizesThatAreNotMultiplesOfEight) {
  std::vector<uint8_t> src(12 * 2, 0xFF);
  ImageView v{};
  v.rotation = 1;
  v.linesInStrip = 12;
  v.outLineWidth = 16;
  std::vector<uint8_t> dst(src.size(), 0x55);
  funcBilevelTransformLine(&v, src.data(), dst.data(), dst.size());
  EXPECT_EQ(dst, std::vector<uint8_t>(src.size(), 0x55));
  v.linesInStrip = 16;  // larger than the destination
  funcBilevelTransformLine(&v, src.data(), dst.data(), dst.size());
  EXPECT_EQ(dst, std::vector<uint8_t>(src.size(), 0x55));
}

}  // namespace
}  // namespace zc::codec
