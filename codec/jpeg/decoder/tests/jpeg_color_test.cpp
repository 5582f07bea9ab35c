// Colour conversion: JFIF-exact neutral chroma, agreement with the JFIF equations, offsets and gains with
// their range checks, gray output, the exchanged-chroma kinds, and clamping of large adjusted values.
#include "codec/jpeg/decoder/jpeg_color.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "codec/jpeg/decoder/jpeg_error.h"

namespace zc::jpegdec {
namespace {

std::array<uint8_t, 3> ConvertOne(const ColorConverter& cc, uint8_t y, uint8_t cb, uint8_t cr) {
  std::array<uint8_t, 3> out{};
  cc.Convert(&y, &cb, &cr, 1, 1, 1, out.data());
  return out;
}

int SetupError(JpegOutputKind kind, const ColorAdjust& adj) {
  ColorConverter cc;
  try {
    cc.Setup(kind, adj);
  } catch (const JpegError& e) {
    return e.code;
  }
  return 0;
}

TEST(JpegColor, NeutralChromaAddsNothing) {
  ColorConverter cc;
  cc.Setup(kKindRgb, ColorAdjust{});
  EXPECT_EQ(cc.cr_r()[128], 0);
  EXPECT_EQ(cc.cb_b()[128], 0);
  EXPECT_EQ(cc.cr_g()[128], 0);
  EXPECT_EQ(cc.cb_g()[128], 0);
  for (int y : {0, 1, 100, 254, 255}) {
    auto rgb = ConvertOne(cc, static_cast<uint8_t>(y), 128, 128);
    EXPECT_EQ(rgb, (std::array<uint8_t, 3>{uint8_t(y), uint8_t(y), uint8_t(y)}));
  }
}

TEST(JpegColor, RowConversionEqualsTheTables) {
  ColorAdjust adjusted;
  adjusted.offset[0] = -40;
  for (const ColorAdjust& adj : {ColorAdjust{}, adjusted}) {
    ColorConverter cc;
    cc.Setup(kKindRgb, adj);
    auto clamp = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
    std::vector<uint8_t> y(256 * 256), cb(256 * 256), cr(256 * 256), rgb(3 * 256 * 256);
    for (int i = 0; i < 256 * 256; ++i) {
      y[i] = static_cast<uint8_t>((i * 37) & 255);
      cb[i] = static_cast<uint8_t>(i & 255);
      cr[i] = static_cast<uint8_t>(i >> 8);
    }
    cc.Convert(y.data(), cb.data(), cr.data(), 256, 256, 256, rgb.data());
    for (int i = 0; i < 256 * 256; ++i) {
      ASSERT_EQ(rgb[3 * i], clamp(y[i] + cc.cr_r()[cr[i]])) << i;
      ASSERT_EQ(rgb[3 * i + 1], clamp(y[i] + cc.cb_g()[cb[i]] + cc.cr_g()[cr[i]])) << i;
      ASSERT_EQ(rgb[3 * i + 2], clamp(y[i] + cc.cb_b()[cb[i]])) << i;
    }
  }
}

TEST(JpegColor, HalfWidthChromaEqualsReplicatedChroma) {
  // 4:2:0 and 4:2:2 chroma stays at its coded width and is replicated by the conversion: for every
  // path (plain, offset, gain, exchanged chroma), both phases and widths around the vector step, the
  // pixels equal those converted from rows with each chroma sample written twice.
  ColorAdjust offset;
  offset.offset[3] = -30;
  ColorAdjust gain;
  gain.gain[2] = 3000;
  const struct {
    JpegOutputKind kind;
    ColorAdjust adjust;
  } paths[] = {{kKindRgb, ColorAdjust{}}, {kKindRgb, offset}, {kKindRgb, gain}, {kKindRgbSwap, ColorAdjust{}}};
  for (const auto& path : paths) {
    ColorConverter cc;
    cc.Setup(path.kind, path.adjust);
    for (int width : {1, 2, 15, 16, 17, 31, 33, 70}) {
      for (int phase : {0, 1}) {
        std::vector<uint8_t> y(width), cb((width + 2) / 2), cr((width + 2) / 2), cb_full(width), cr_full(width);
        for (int i = 0; i < width; ++i) y[i] = static_cast<uint8_t>(i * 53 + 7);
        for (size_t i = 0; i < cb.size(); ++i) {
          cb[i] = static_cast<uint8_t>(i * 97 + 3);
          cr[i] = static_cast<uint8_t>(255 - i * 61);
        }
        for (int i = 0; i < width; ++i) {
          cb_full[i] = cb[(i + phase) / 2];
          cr_full[i] = cr[(i + phase) / 2];
        }
        std::vector<uint8_t> got(3 * width), want(3 * width);
        cc.ConvertRow(y.data(), cb.data(), cr.data(), width, true, phase, got.data());
        cc.Convert(y.data(), cb_full.data(), cr_full.data(), width, width, 1, want.data());
        ASSERT_EQ(got, want) << "width " << width << " phase " << phase;
      }
    }
  }
}

TEST(JpegColor, MatchesTheJfifEquations) {
  ColorConverter cc;
  cc.Setup(kKindRgb, ColorAdjust{});
  int worst = 0;
  for (int y = 0; y < 256; y += 5) {
    for (int cb = 0; cb < 256; cb += 3) {
      for (int cr = 0; cr < 256; cr += 7) {
        auto rgb = ConvertOne(cc, uint8_t(y), uint8_t(cb), uint8_t(cr));
        double r = y + 1.402 * (cr - 128), g = y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128),
               b = y + 1.772 * (cb - 128);
        double ref[3] = {r, g, b};
        for (int c = 0; c < 3; ++c) {
          int e = std::abs(int(rgb[c]) - int(std::clamp(std::lround(ref[c]), 0L, 255L)));
          worst = std::max(worst, e);
        }
      }
    }
  }
  EXPECT_LE(worst, 1);  // green adds two separately rounded terms
}

TEST(JpegColor, OffsetsAndGainsWithTheirLimits) {
  ColorAdjust red300;
  red300.offset[1] = 300;
  EXPECT_EQ(SetupError(kKindRgb, red300), kErrColorAdd);
  ColorAdjust gain5000;
  gain5000.gain[0] = 5000;
  EXPECT_EQ(SetupError(kKindRgb, gain5000), kErrColorGain);
  EXPECT_EQ(SetupError(kKindGray, gain5000), kErrColorGain);
  ColorAdjust all_minus;
  all_minus.offset[0] = -256;
  EXPECT_EQ(SetupError(kKindGray, all_minus), kErrColorAdd);

  ColorConverter cc;
  ColorAdjust green;
  green.offset[2] = 20;
  cc.Setup(kKindRgb, green);
  EXPECT_EQ(ConvertOne(cc, 100, 128, 128), (std::array<uint8_t, 3>{100, 120, 100}));
  // Only the first non-zero single-channel offset counts.
  ColorAdjust two;
  two.offset[1] = 10;
  two.offset[3] = 50;
  cc.Setup(kKindRgb, two);
  EXPECT_EQ(ConvertOne(cc, 100, 128, 128), (std::array<uint8_t, 3>{110, 100, 100}));
  // Large adjusted values clamp to white, not wrap to black.
  ColorAdjust bright;
  bright.offset[0] = 255;
  cc.Setup(kKindRgb, bright);
  EXPECT_EQ(ConvertOne(cc, 200, 200, 200), (std::array<uint8_t, 3>{255, 255, 255}));
  ColorAdjust doubled;
  doubled.gain[3] = 4096;
  cc.Setup(kKindRgb, doubled);
  EXPECT_EQ(ConvertOne(cc, 100, 128, 128), (std::array<uint8_t, 3>{100, 100, 200}));
  doubled.gain[3] = 0;
  doubled.gain[0] = 4096;
  cc.Setup(kKindRgb, doubled);
  EXPECT_EQ(ConvertOne(cc, 200, 128, 128), (std::array<uint8_t, 3>{255, 255, 255}));
  // A zero gain everywhere leaves the plain path.
  cc.Setup(kKindRgb, ColorAdjust{});
  EXPECT_EQ(ConvertOne(cc, 90, 128, 128), (std::array<uint8_t, 3>{90, 90, 90}));
}

TEST(JpegColor, GrayAndExchangedChroma) {
  ColorConverter cc;
  cc.Setup(kKindGray, ColorAdjust{});
  EXPECT_EQ(ConvertOne(cc, 77, 10, 250), (std::array<uint8_t, 3>{77, 77, 77}));
  ColorAdjust adj;
  adj.offset[0] = -7;
  adj.gain[0] = 1024;
  cc.Setup(kKindGray, adj);
  EXPECT_EQ(ConvertOne(cc, 100, 10, 250), (std::array<uint8_t, 3>{43, 43, 43}));
  ColorConverter plain, swapped;
  plain.Setup(kKindRgb, ColorAdjust{});
  swapped.Setup(kKindRgbSwap, ColorAdjust{});
  EXPECT_EQ(ConvertOne(swapped, 120, 60, 200), ConvertOne(plain, 120, 200, 60));
}

}  // namespace
}  // namespace zc::jpegdec
