// Line scaler tests: the column map and vertical accumulator cases, and band-split invariance.
#include "codec/formats/line_scaler.h"

#include <gtest/gtest.h>

#include <vector>

namespace zc::codec {
namespace {

struct Scaled {
  std::vector<uint8_t> rows;
  int count = 0;
};

// Scales a w x h ramp picture (pixel = x + 16 y) handing the rows over in bands of `band` rows.
Scaled scale(int w, int h, uint16_t xf, uint16_t yf, int band, int bpp) {
  std::vector<uint8_t> src(static_cast<size_t>(w) * h * bpp);
  for (size_t i = 0; i < src.size(); ++i)
    src[i] = static_cast<uint8_t>(i / bpp % w + 16 * (i / bpp / w) + i % bpp);
  ImgScaler s{};
  s.sourceWidth = static_cast<uint16_t>(w);
  s.sourceHeight = static_cast<uint16_t>(h);
  s.xFactor = xf;
  s.yFactor = yf;
  EXPECT_EQ(funcScaleInit(&s, bpp == 3 ? 3 : 1), 0);
  Scaled r;
  r.rows.assign(static_cast<size_t>(s.outputWidth) * (s.usedHeight + 1) * bpp, 0);
  for (int y = 0; y < h; y += band) {
    const int n = std::min(band, h - y);
    uint8_t* dst = r.rows.data() + static_cast<size_t>(r.count) * s.outputWidth * bpp;
    const uint8_t* in = src.data() + static_cast<size_t>(y) * w * bpp;
    r.count += bpp == 3 ? funcScaleLineRGB(in, dst, &s, n) : funcScaleLines8(in, dst, &s, n);
  }
  funcScaleFree(&s);
  return r;
}

TEST(LineScaler, ColumnMapAndRowChoice) {
  ImgScaler s{};
  s.sourceWidth = 10;
  s.sourceHeight = 6;
  s.xFactor = 2048;
  s.yFactor = 1024;
  ASSERT_EQ(funcScaleInit(&s, 1), 0);
  EXPECT_EQ(s.outputWidth, 10);
  EXPECT_EQ(s.usedHeight, 3);
  for (uint32_t k = 0; k < 10; ++k) EXPECT_EQ(s.columnMap[k], k);
  std::vector<uint8_t> src(60);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> out(60, 0xEE);
  s.sourceRows = src.data();
  s.outputRows = out.data();
  // Half height keeps rows 0, 2, 4.
  ASSERT_EQ(funcScaleLines8(&s, 6), 3);
  for (int r = 0; r < 3; ++r) EXPECT_EQ(out[static_cast<size_t>(r) * 10], 20 * r);
  funcScaleFree(&s);
  EXPECT_EQ(s.columnMap, nullptr);
}

TEST(LineScaler, DoubleFactorRepeatsRowsAndColumns) {
  const Scaled r = scale(3, 2, 4096, 4096, 1, 1);
  ASSERT_EQ(r.count, 4);
  const std::vector<uint8_t> expected = {0,  0,  1,  1,  2,  2,  0,  0,  1,  1,  2,  2,
                                         16, 16, 17, 17, 18, 18, 16, 16, 17, 17, 18, 18};
  EXPECT_EQ(std::vector<uint8_t>(r.rows.begin(), r.rows.begin() + 24), expected);
}

TEST(LineScaler, BandSplitGivesTheSameRows) {
  for (const uint16_t f : {700, 1024, 1500, 2048, 3000, 5000}) {
    for (const int bpp : {1, 3}) {
      const Scaled whole = scale(37, 41, f, f, 41, bpp);
      for (const int band : {1, 3, 8, 16}) {
        const Scaled split = scale(37, 41, f, f, band, bpp);
        EXPECT_EQ(split.count, whole.count) << f << " " << band;
        EXPECT_EQ(split.rows, whole.rows) << f << " " << band;
      }
    }
  }
}

TEST(LineScaler, RoundedUpWidthMapsInsideTheRow) {
  ImgScaler s{};
  s.sourceWidth = 1;
  s.sourceHeight = 1;
  s.xFactor = 100;  // the width rounds up to 1 column, which the accumulator alone never reaches
  s.yFactor = 2048;
  ASSERT_EQ(funcScaleInit(&s, 3), 0);
  ASSERT_EQ(s.usedWidth, 1);
  EXPECT_EQ(s.columnMap[0], 0u);
  funcScaleFree(&s);
}

}  // namespace
}  // namespace zc::codec
