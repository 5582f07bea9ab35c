#include "imaging/edge_detect_bw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "imaging/record_helpers.h"
#include "imaging_test_support.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/params.h"
#include "zarn/trace.h"
#include "scratch_device_file.h"

namespace zc::imaging {
namespace {

using test::MakeRecord;

constexpr unsigned kVerifiedScan = 83;  // 0x2, 0x10, 0x40 and 0x1

class EdgeDetectBw : public ::testing::Test {
 protected:
  void SetUp() override { zarn::SetScannerTypeCode(1); }
  zarn::testing::ScratchDeviceFile deviceFile_;
  void TearDown() override {
    zarn::ResetParamsForTests();
    zarn::ResetTraceForTests();
  }
  // An 8-bit record whose pixel (x, y) is f(x, y).
  static std::vector<uint8_t> Gray(int w, int h, const std::function<uint8_t(int, int)>& f) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * w + x] = f(x, y);
    return MakeRecord(w, h, 8, 200, px);
  }
  static std::vector<uint8_t> Uniform(int w, int h, int bits, uint8_t v) {
    return MakeRecord(w, h, bits, 200, std::vector<uint8_t>(static_cast<size_t>(RecordRowBytes(w, bits)) * h, v));
  }
  // Room for the uncropped result, as callers provide it.
  static std::vector<uint8_t> OutputFor(int w, int h) { return std::vector<uint8_t>(8 + ((w + 7) / 8) * (h - 4)); }
  static bool Black(const std::vector<uint8_t>& out, int x, int y) {
    const RecordHeader hdr = test::HeaderOf(out);
    const size_t stride = (hdr.width + 7) / 8;
    return (out[8 + y * stride + x / 8] >> (7 - x % 8)) & 1;
  }
};

struct LimitCase {
  std::string name;
  int width, height, bits;
  bool at300;
  unsigned options;
  int expected;
};

class EdgeDetectBwLimits : public EdgeDetectBw, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(EdgeDetectBwLimits, RefusesOrConverts) {
  const LimitCase& c = GetParam();
  if (c.at300) {
    ASSERT_GE(zarn::funcTableSetParam(6, 4), 0);
  }
  auto out = OutputFor(c.width, c.height);
  EXPECT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(c.width, c.height, c.bits, 0xC8), nullptr, 400, c.options, out),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EdgeDetectBwLimits,
    ::testing::Values(LimitCase{"Wide2049Refused", 2049, 200, 8, false, kVerifiedScan, -552},
                      LimitCase{"Wide2049At300Dpi", 2049, 200, 8, true, kVerifiedScan, 0},
                      LimitCase{"Wide3073At300DpiRefused", 3073, 200, 8, true, kVerifiedScan, -552},
                      LimitCase{"Tall941Refused", 400, 941, 8, false, kVerifiedScan, -552},
                      LimitCase{"Height107Refused", 400, 107, 8, false, kVerifiedScan, -552},
                      LimitCase{"Height108", 400, 108, 8, false, kVerifiedScan, 0},
                      LimitCase{"OneBitRefused", 400, 200, 1, false, kVerifiedScan, -552},
                      LimitCase{"FourBit", 400, 200, 4, false, kVerifiedScan, 0},
                      LimitCase{"WithoutHistogramThresholdsRefused", 400, 200, 8, false, 0x40, -552}),
    [](const auto& p) { return p.param.name; });

TEST_F(EdgeDetectBw, MissingScannerBufferAndDestination) {
  auto out = OutputFor(400, 200);
  EXPECT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(400, 200, 8, 200), nullptr, 400, kVerifiedScan,
                                          std::span<uint8_t>(out).first(100)),
            -552);
  EXPECT_EQ(funcEdgeDetectBW(Uniform(400, 200, 8, 200), "/nonexistent-folder/top.tif", 600, kVerifiedScan), -105);
  zarn::SetScannerTypeCode(-1);
  EXPECT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(400, 200, 8, 200), nullptr, 400, kVerifiedScan, out), -125);
}

// Without an output record the conversion goes to a G4 file; it holds the record's pixels.
TEST_F(EdgeDetectBw, FileOutputHoldsTheRecordsPixels) {
  if (!zc::testkit::HaveTool("tifftopnm")) GTEST_SKIP() << "tifftopnm missing";
  ASSERT_GE(zarn::funcTableSetParam(108, 128), 0);
  const int w = 400, h = 200;
  const auto source = Gray(w, h, [](int x, int y) { return static_cast<uint8_t>((x / 7 + y / 11) % 4 == 0 ? 30 : 210); });
  auto record = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(source, nullptr, 400, kVerifiedScan, record), 0);
  zc::testkit::ScratchDir dir("edge_out");
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(source, dir.File("out.tif").c_str(), 400, kVerifiedScan, {}), 1);
  const auto r = zc::testkit::RunCommand("tifftopnm '" + dir.File("out.tif") + "' 2>/dev/null");
  const size_t used = kRecordHeaderBytes + static_cast<size_t>(RecordByteSize(ReadRecordHeader(record.data())) - 8);
  EXPECT_TRUE(r.output == test::RecordAsPnm(std::span<const uint8_t>(record).first(used)));
}

TEST_F(EdgeDetectBw, CroppedGeometryAndColumnMapping) {
  ASSERT_GE(zarn::funcTableSetParam(108, 128), 0);
  const int w = 400, h = 200;
  // Dark scanner borders of 30 (left) and 20 (right) columns; a 3-wide dark stroke at columns 99..101.
  auto src = Gray(w, h, [](int x, int) -> uint8_t {
    if (x < 30 || x >= 380) return 10;
    return (x >= 99 && x <= 101) ? 10 : 230;
  });
  auto out = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(src, nullptr, 400, kVerifiedScan | kEdgeCropBorders, out), 0);
  const RecordHeader hdr = test::HeaderOf(out);
  EXPECT_EQ(hdr.width, w - 30 - 20);
  EXPECT_EQ(hdr.height, h - 4);
  EXPECT_EQ(hdr.bits, 1);
  EXPECT_EQ(hdr.dpi, 200);
  // Output bit c holds source column L + c - 2; the record's rows are (350 + 7) / 8 bytes.
  for (int y : {0, 100, h - 5}) {
    for (int c = 0; c < 4; ++c) EXPECT_FALSE(Black(out, c, y)) << "column " << c << " row " << y;
    EXPECT_TRUE(Black(out, 101 - 30 + 2, y)) << "row " << y;
    EXPECT_FALSE(Black(out, 60, y)) << "row " << y;
    EXPECT_FALSE(Black(out, 349, y)) << "row " << y;
  }
}

TEST_F(EdgeDetectBw, NoBrightColumnCropsAHundredAndTooNarrowIsRefused) {
  ASSERT_GE(zarn::funcTableSetParam(108, 128), 0);
  auto out = OutputFor(300, 200);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(300, 200, 8, 20), nullptr, 400, kVerifiedScan | kEdgeCropBorders,
                                          out),
            0);
  EXPECT_EQ(test::HeaderOf(out).width, 100);
  auto narrow = OutputFor(207, 200);
  EXPECT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(207, 200, 8, 20), nullptr, 400, kVerifiedScan | kEdgeCropBorders,
                                          narrow),
            -552);
  EXPECT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(208, 200, 8, 20), nullptr, 400, kVerifiedScan | kEdgeCropBorders,
                                          narrow),
            0);
  EXPECT_EQ(test::HeaderOf(narrow).width, 8);
}

TEST_F(EdgeDetectBw, TwentyFourBitEqualsItsGray) {
  const int w = 301, h = 150;
  std::vector<uint8_t> color(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < color.size(); ++i) color[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
  auto color24 = MakeRecord(w, h, 24, 200, color);
  std::vector<uint8_t> gray(8 + static_cast<size_t>(w) * h);
  ASSERT_EQ(funcConv24ToGray(color24, gray, 8, 0), 1);
  auto a = OutputFor(w, h), b = OutputFor(w, h);
  const unsigned options = kVerifiedScan | kEdgeCleanUpFilter | kEdgeDensityCorrection;
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(gray, nullptr, 400, options, a), 0);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(color24, nullptr, 400, options, b), 0);
  EXPECT_EQ(a, b);
}

// The edge threshold decides a faint one-pixel line: its edge sum (6 x 80) makes it an edge pixel below
// 480 and a quiet one above; flat mid-gray stays white and dark strokes black whatever the threshold.
TEST_F(EdgeDetectBw, EdgeThresholdDecidesFaintLines) {
  const int w = 200, h = 120;
  auto src = Gray(w, h, [](int x, int y) -> uint8_t {
    if (x == 50) return 150;                                  // faint line
    if (x >= 100 && x < 110) return 20;                       // dark stroke
    if (x >= 140 && x < 160 && y >= 40 && y < 60) return 150;  // flat mid-gray patch
    return 230;
  });
  for (int threshold : {400, 600}) {
    SCOPED_TRACE(threshold);
    auto out = OutputFor(w, h);
    ASSERT_EQ(funcConvGrayImageEdgeDetectBW(src, nullptr, threshold, 0x2, out), 0);
    EXPECT_EQ(Black(out, 50 + 2, 60), threshold == 400);
    EXPECT_TRUE(Black(out, 105 + 2, 60));
    EXPECT_FALSE(Black(out, 150 + 2, 50 - 2));
    EXPECT_FALSE(Black(out, 30 + 2, 60));
  }
}

TEST_F(EdgeDetectBw, IsolatedPixelOptionRemovesLoneDots) {
  const int w = 200, h = 120;
  auto src = Gray(w, h, [](int x, int y) -> uint8_t { return (x == 60 && y == 50) ? 10 : 230; });
  auto plain = OutputFor(w, h), cleaned = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(src, nullptr, 400, 0x2, plain), 0);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(src, nullptr, 400, 0x2 | kEdgeIsolatedPixels, cleaned), 0);
  EXPECT_TRUE(Black(plain, 62, 48));
  EXPECT_FALSE(Black(cleaned, 62, 48));
}

struct ThresholdCase {
  std::string name;
  Histogram bins;
  unsigned options;
  bool fourBit;
  int black, white;
};

class EdgeThresholdTable : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(EdgeThresholdTable, FromBins) {
  const ThresholdCase& c = GetParam();
  const EdgeThresholds t = EdgeThresholdsFromHistogram(c.bins, c.options, c.fourBit);
  EXPECT_EQ(t.black, c.black);
  EXPECT_EQ(t.white, c.white);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EdgeThresholdTable,
    ::testing::Values(
        // All paper in bin 14: the black bin runs up to 14, steps back, and is clamped to 6.
        ThresholdCase{"PaperOnlyClampsToSix", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 0}, 0x2, false, 96, 224},
        // 11 % ink in bin 3 (between n/10 and n/8, next bin empty): one bin up; the white bin stops at 13.
        ThresholdCase{"SparseInkStepsUp", {0, 0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 89, 0, 0}, 0x2, false, 64, 208},
        // 30 % in bin 5: more than n/4, one bin back.
        ThresholdCase{"HeavyInkStepsBack", {0, 0, 0, 0, 0, 30, 0, 0, 0, 0, 70, 0, 0, 0, 0, 0}, 0x2, false, 64, 160},
        // With 0x4 and a bin of 7 or more holding over n/4: two bins back.
        ThresholdCase{"AltCorrectionTwoBack", {0, 0, 0, 0, 0, 0, 0, 30, 0, 0, 0, 0, 70, 0, 0, 0}, 0x6, false, 80, 192},
        // 0x8 keeps the black bin three below the upper half (j = 8), 0x10 lowers it once more.
        ThresholdCase{"BelowUpperHalfThenLowered", {0, 0, 0, 0, 0, 0, 0, 40, 60, 0, 0, 0, 0, 0, 0, 0}, 0x1A, false, 64,
                      128},
        // A percentage of 50 in the top byte: the white bin where half the pixels lie above.
        ThresholdCase{"PercentInTopByte",
                      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 20, 20, 20, 10, 10},
                      0x2 | (50u << 24),
                      false,
                      96,
                      192},
        // A percentage of 95 is ignored.
        ThresholdCase{"PercentOutOfRangeIgnored",
                      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 20, 20, 20, 10, 10},
                      0x2 | (95u << 24),
                      false,
                      96,
                      224},
        ThresholdCase{"FourBitUnits", {0, 0, 0, 0, 0, 30, 0, 0, 0, 0, 70, 0, 0, 0, 0, 0}, 0x2, true, 4, 10}),
    [](const auto& p) { return p.param.name; });

TEST_F(EdgeDetectBw, DensityMeasureOverTheInnerArea) {
  auto out = OutputFor(400, 200);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(400, 200, 8, 10), nullptr, 400, 0x2 | kEdgeMeasureDensity, out), 0);
  int black = -1, total = -1;
  EXPECT_EQ(funcGetBWDensity(&black, &total), 100);
  // Rows 48..163 and bytes 6..43 of each.
  EXPECT_EQ(total, (196 - 33 - 48 + 1) * (50 - 12) * 8);
  EXPECT_EQ(black, total);
  // A record too narrow for the inner bytes measures nothing.
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(96, 200, 8, 10), nullptr, 400, 0x2 | kEdgeMeasureDensity, out), 0);
  EXPECT_EQ(funcGetBWDensity(&black, &total), 0);
  EXPECT_EQ(total, 0);
  EXPECT_EQ(black, 0);
}

// A flat level of 100 is above the white threshold (96): the image comes out blank, so the density
// correction darkens the left, right and top strips and leaves the interior.
TEST_F(EdgeDetectBw, DensityCorrectionDarkensBorderStrips) {
  const int w = 400, h = 200;
  auto out = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(w, h, 8, 100), nullptr, 400, 0x2 | kEdgeDensityCorrection, out), 0);
  EXPECT_TRUE(Black(out, 10, 100));
  EXPECT_TRUE(Black(out, w - 10, 100));
  EXPECT_TRUE(Black(out, 200, 10));
  EXPECT_FALSE(Black(out, 200, 100));
  EXPECT_FALSE(Black(out, 1, 100));
  int black = 0, total = 0;
  funcGetBWDensity(&black, &total);
  EXPECT_EQ(total, 196 * 50 * 8);
  EXPECT_GT(black * 32, total);
}

// With cropped borders the strips read source column L + c - 2 for output column c: bright bands (gentle
// ramps, so no edges) inside the left and right strips stay white while the flat level around them is
// darkened.
TEST_F(EdgeDetectBw, DensityCorrectionAfterCroppingReadsTheCroppedColumns) {
  ASSERT_GE(zarn::funcTableSetParam(108, 90), 0);
  // Only a left border: dark pixels cropped off on the right would still count and stop the correction.
  const int w = 400, h = 200, left = 30;
  auto src = Gray(w, h, [](int x, int) -> uint8_t {
    if (x < left) return 10;
    const int d = std::min(std::abs(x - 50), std::abs(x - 355));
    return static_cast<uint8_t>(120 + std::clamp(10 * (14 - d), 0, 80));
  });
  auto out = OutputFor(w, h);
  ASSERT_EQ(
      funcConvGrayImageEdgeDetectBW(src, nullptr, 400, 0x2 | kEdgeCropBorders | kEdgeDensityCorrection, out),
      0);
  ASSERT_EQ(test::HeaderOf(out).width, w - left);
  const auto column = [&](int sourceX) { return sourceX - left + 2; };
  for (int y : {60, 100, 150}) {
    EXPECT_TRUE(Black(out, column(35), y)) << "row " << y;
    EXPECT_FALSE(Black(out, column(50), y)) << "row " << y;
    EXPECT_TRUE(Black(out, column(66), y)) << "row " << y;
    EXPECT_TRUE(Black(out, column(375), y)) << "row " << y;
    EXPECT_FALSE(Black(out, column(355), y)) << "row " << y;
    EXPECT_FALSE(Black(out, column(200), y)) << "row " << y;
  }
}

TEST_F(EdgeDetectBw, DensityCorrectionOnNarrowRecordStaysInsideTheRows) {
  const int w = 20, h = 120;
  auto out = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayImageEdgeDetectBW(Uniform(w, h, 8, 100), nullptr, 400,
                                          kVerifiedScan | kEdgeCleanUpFilter | kEdgeDensityCorrection, out),
            0);
  EXPECT_TRUE(Black(out, 10, 50));
  EXPECT_FALSE(Black(out, 18, 50));  // past the classified columns
}

struct LargeCase {
  std::string name;
  int width, height;
  bool at300;
};

class EdgeDetectBwLarge : public EdgeDetectBw, public ::testing::WithParamInterface<LargeCase> {};

TEST_P(EdgeDetectBwLarge, TwentyFourBitWithEveryOption) {
  const LargeCase& c = GetParam();
  if (c.at300) {
    ASSERT_GE(zarn::funcTableSetParam(6, 4), 0);
  }
  ASSERT_GE(zarn::funcTableSetParam(108, 128), 0);
  std::vector<uint8_t> px(static_cast<size_t>(c.width) * c.height * 3);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(((i / 3) % 97) < 8 ? 30 : 215);
  auto out = OutputFor(c.width, c.height);
  const unsigned options = kVerifiedScan | kEdgeCropBorders | kEdgeCleanUpFilter | kEdgeDensityCorrection |
                           kEdgeMeasureDensity | (60u << 24);
  EXPECT_EQ(funcConvGrayImageEdgeDetectBW(MakeRecord(c.width, c.height, 24, 200, px), nullptr, 500, options, out), 0);
  EXPECT_EQ(test::HeaderOf(out).height, c.height - 4);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EdgeDetectBwLarge,
                         ::testing::Values(LargeCase{"Cheque2048x940", 2048, 940, false},
                                           LargeCase{"Cheque3072x1500At300Dpi", 3072, 1500, true}),
                         [](const auto& p) { return p.param.name; });

}  // namespace
}  // namespace zc::imaging
