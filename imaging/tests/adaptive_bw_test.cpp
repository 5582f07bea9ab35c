#include "imaging/adaptive_bw.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/bw_cleanup.h"
#include "imaging_test_support.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/scratch_dir.h"
#include "scratch_device_file.h"
#include "zarn/params.h"
#include "zarn/trace.h"

namespace zc::imaging {
namespace {

using test::MakeRecord;

class AdaptiveBw : public ::testing::Test {
 protected:
  void SetUp() override { zarn::SetScannerTypeCode(1); }
  zarn::testing::ScratchDeviceFile deviceFile_;
  void TearDown() override {
    zarn::ResetParamsForTests();
    zarn::ResetTraceForTests();
  }
  static std::vector<uint8_t> Uniform(int w, int h, int bits, uint8_t v) {
    const size_t n = static_cast<size_t>(RecordRowBytes(w, bits)) * h;
    return MakeRecord(w, h, bits, 200, std::vector<uint8_t>(n, v));
  }
  static bool Black(const std::vector<uint8_t>& out, int w, int x, int y) {
    const size_t stride = (w + 7) / 8;
    return (out[8 + y * stride + x / 8] >> (7 - x % 8)) & 1;
  }
  static std::vector<uint8_t> OutputFor(int w, int h) { return std::vector<uint8_t>(8 + ((w + 7) / 8) * h); }
};

TEST_F(AdaptiveBw, RefusesDepthSizeAndMissingScanner) {
  auto out = OutputFor(2049, 200);
  EXPECT_EQ(funcConvGrayArea(Uniform(200, 200, 4, 0x88), nullptr, out, 0), -552);
  EXPECT_EQ(funcConvGrayArea(Uniform(200, 107, 8, 200), nullptr, out, 0), -552);
  EXPECT_EQ(funcConvGrayArea(Uniform(2049, 200, 8, 200), nullptr, out, 0), -552);
  ASSERT_GE(zarn::funcTableSetParam(6, 4), 0);
  EXPECT_EQ(funcConvGrayArea(Uniform(2049, 200, 8, 200), nullptr, out, 0), 0);
  EXPECT_EQ(funcConvGrayArea(Uniform(200, 200, 8, 200), nullptr, std::span<uint8_t>(out).first(20), 0), -552);
  zarn::SetScannerTypeCode(-1);
  EXPECT_EQ(funcConvGrayArea(Uniform(200, 200, 8, 200), nullptr, out, 0), -125);
}

// Without an output record the rendering goes to a G4 file or "MD:" target; both hold the record's pixels.
TEST_F(AdaptiveBw, FileAndMemoryOutputsHoldTheRecordsPixels) {
  if (!zc::testkit::HaveTool("tifftopnm")) GTEST_SKIP() << "tifftopnm missing";
  const int w = 203, h = 150;
  std::vector<uint8_t> source = Uniform(w, h, 8, 220);
  for (int y = 20; y < 120; ++y)
    for (int x = 0; x < w; ++x)
      if ((x / 6 + y / 9) % 5 == 0) source[8 + y * w + x] = 40;
  auto record = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayArea(source, nullptr, record, kBwCleanUpFilter), 0);
  zc::testkit::ScratchDir dir("adaptive_out");
  ASSERT_EQ(funcConvGrayArea(source, dir.File("out.tif").c_str(), {}, kBwCleanUpFilter), 1);
  std::vector<uint8_t> memory(64 * 1024, 0);
  const std::string target = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(memory.data())) + ":" + std::to_string(memory.size());
  ASSERT_EQ(funcConvGrayArea(source, target.c_str(), {}, kBwCleanUpFilter), 1);
  dir.Write("mem.tif", std::string(memory.begin(), memory.end()));
  for (const char* file : {"out.tif", "mem.tif"}) {
    SCOPED_TRACE(file);
    const auto r = zc::testkit::RunCommand("tifftopnm '" + dir.File(file) + "' 2>/dev/null");
    EXPECT_TRUE(r.output == test::RecordAsPnm(record));
  }
}

// Uniform images: the value decides the body (above the bottom 90 rows) and the code-line band.
struct UniformCase {
  std::string name;
  uint8_t value;
  bool bodyBlack;
  bool bandBlack;
};

class AdaptiveBwUniform : public AdaptiveBw, public ::testing::WithParamInterface<UniformCase> {};

TEST_P(AdaptiveBwUniform, BodyAndBandFollowTheirRules) {
  const UniformCase& c = GetParam();
  const int w = 1001, h = 200;
  auto out = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayArea(Uniform(w, h, 8, c.value), nullptr, out, 0), 0);
  const RecordHeader hdr = test::HeaderOf(out);
  EXPECT_EQ(hdr.width, w);
  EXPECT_EQ(hdr.height, h);
  EXPECT_EQ(hdr.bits, 1);
  for (int y : {0, 50, h - 91, h - 90, h - 1}) {
    const bool expect = y < h - 90 ? c.bodyBlack : c.bandBlack;
    EXPECT_EQ(Black(out, w, 0, y), expect) << "row " << y;
    EXPECT_EQ(Black(out, w, 999, y), expect) << "row " << y;
    EXPECT_FALSE(Black(out, w, 1000, y)) << "the last pixel past the whole bytes, row " << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AdaptiveBwUniform,
                         ::testing::Values(UniformCase{"BelowSixteenAllBlack", 15, true, true},
                                           UniformCase{"SixteenBodyWhiteBandBlack", 16, false, true},
                                           UniformCase{"SixtyThreeBandBlack", 63, false, true},
                                           UniformCase{"SixtyFourBandWhite", 64, false, false},
                                           UniformCase{"LightAllWhite", 220, false, false}),
                         [](const ::testing::TestParamInfo<UniformCase>& info) { return info.param.name; });

TEST_F(AdaptiveBw, LightPixelInDarkAreaStaysWhite) {
  // Mostly white paper with a dark block; a pixel a little lighter than the block inside it is below the
  // middle level yet more than 32 above the running mean, so it stays white.
  const int w = 256, h = 200;
  std::vector<uint8_t> px(static_cast<size_t>(w) * h, 230);
  for (int y = 20; y < 60; ++y)
    for (int x = 40; x < 200; ++x) px[y * w + x] = 20;
  px[40 * w + 150] = 90;
  auto out = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayArea(MakeRecord(w, h, 8, 200, px), nullptr, out, 0), 0);
  EXPECT_TRUE(Black(out, w, 149, 40));
  EXPECT_FALSE(Black(out, w, 150, 40));
  EXPECT_FALSE(Black(out, w, 10, 10));
}

TEST_F(AdaptiveBw, TwentyFourBitEqualsItsGray) {
  const int w = 64, h = 120;
  std::vector<uint8_t> gray(static_cast<size_t>(w) * h), color(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < gray.size(); ++i) {
    gray[i] = static_cast<uint8_t>((i * 37) % 256);
    color[3 * i] = color[3 * i + 1] = color[3 * i + 2] = gray[i];
  }
  auto a = OutputFor(w, h), b = OutputFor(w, h);
  ASSERT_EQ(funcConvGrayArea(MakeRecord(w, h, 8, 200, gray), nullptr, a, 0), 0);
  ASSERT_EQ(funcConvGrayArea(MakeRecord(w, h, 24, 200, color), nullptr, b, 0), 0);
  EXPECT_EQ(a, b);
}

TEST_F(AdaptiveBw, LargestSizeAtThreeHundredDpi) {
  ASSERT_GE(zarn::funcTableSetParam(6, 4), 0);
  const int w = 3072, h = 1500;
  auto out = OutputFor(w, h);
  EXPECT_EQ(funcConvGrayArea(Uniform(w, h, 24, 40), nullptr, out, kBwCleanUpFilter), 0);
}

// The clean-up filter on small bit images, one row of bytes per image row.
struct CleanUpCase {
  std::string name;
  std::vector<uint8_t> before;  // 8 rows, one byte each
  int row, column;
  bool blackAfter;
};

class CleanUpFilter : public ::testing::TestWithParam<CleanUpCase> {};

TEST_P(CleanUpFilter, Pixel) {
  const CleanUpCase& c = GetParam();
  std::vector<uint8_t> bits(c.before.size() * 2, 0);
  for (size_t r = 0; r < c.before.size(); ++r) bits[2 * r] = c.before[r];
  CleanUpBitImage(bits.data(), 2, static_cast<int>(c.before.size()), 13);
  EXPECT_EQ((bits[2 * c.row + c.column / 8] >> (7 - c.column % 8)) & 1, c.blackAfter ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CleanUpFilter,
    ::testing::Values(
        CleanUpCase{"LonePixelRemoved", {0, 0, 0, 0x10, 0, 0, 0, 0}, 3, 3, false},
        CleanUpCase{"NotchInStrokeFilled", {0, 0, 0xFF, 0xEF, 0xFF, 0, 0, 0}, 3, 3, true},
        CleanUpCase{"ThreeWideVerticalLineKept", {0x38, 0x38, 0x38, 0x38, 0x38, 0x38, 0x38, 0x38}, 3, 3, true},
        CleanUpCase{"SpurRightOfBlockRemoved", {0, 0, 0x60, 0x70, 0x60, 0, 0, 0}, 3, 3, false},
        CleanUpCase{"SpurLeftOfBlockRemoved", {0, 0, 0x0C, 0x1C, 0x0C, 0, 0, 0}, 3, 3, false},
        CleanUpCase{"SpurAboveBlockRemoved", {0, 0, 0, 0x10, 0x38, 0x38, 0, 0}, 3, 3, false},
        CleanUpCase{"SpurBelowBlockRemoved", {0, 0, 0x38, 0x38, 0x10, 0, 0, 0}, 4, 3, false},
        CleanUpCase{"ThreeByThreeBlockEdgeKept", {0, 0, 0x38, 0x38, 0x38, 0, 0, 0}, 3, 4, true}),
    [](const ::testing::TestParamInfo<CleanUpCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zc::imaging
