// Record layout, checksum, gray conversion, saturation, padding, trims and window copies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/checksum.h"
#include "imaging/image_record.h"
#include "imaging/record_helpers.h"
#include "imaging_test_support.h"
#include "scratch_device_file.h"
#include "zarn/params.h"

namespace zc::imaging {
namespace {

using test::HeaderOf;
using test::MakeRecord;
using test::PixelsOf;

TEST(ImageRecordTest, HeaderIsFourLittleEndianInt16Fields) {
  uint8_t raw[8];
  WriteRecordHeader(raw, RecordHeader{0x1234, 300, 24, -2});
  const uint8_t expected[8] = {0x34, 0x12, 0x2C, 0x01, 24, 0, 0xFE, 0xFF};
  EXPECT_EQ(0, std::memcmp(raw, expected, 8));
  const RecordHeader back = ReadRecordHeader(raw);
  EXPECT_EQ(back.width, 0x1234);
  EXPECT_EQ(back.dpi, -2);
}

TEST(ImageRecordTest, RowLengthsByDepth) {
  EXPECT_EQ(RecordRowBytes(9, 1), 2);
  EXPECT_EQ(RecordRowBytes(9, 4), 5);
  EXPECT_EQ(RecordRowBytes(9, 8), 9);
  EXPECT_EQ(RecordRowBytes(9, 24), 27);
  EXPECT_EQ(RecordRowBytes(9, 16), -1);
}

TEST(ImageRecordTest, HeaderThatDoesNotFitItsBufferIsRefused) {
  auto r = MakeRecord(10, 4, 8, 200);
  EXPECT_TRUE(CheckRecord(std::span<const uint8_t>(r)));
  EXPECT_FALSE(CheckRecord(std::span<const uint8_t>(r).first(r.size() - 1)));
  EXPECT_FALSE(CheckRecord(std::span<const uint8_t>(r).first(7)));
  WriteRecordHeader(r.data(), RecordHeader{-1, 4, 8, 200});
  EXPECT_FALSE(CheckRecord(std::span<const uint8_t>(r)));
  WriteRecordHeader(r.data(), RecordHeader{10, 4, 2, 200});
  EXPECT_FALSE(CheckRecord(std::span<const uint8_t>(r)));
}

TEST(ChecksumTest, KnownVectors) {
  const std::string digits = "123456789";
  EXPECT_EQ(funcCrc16(reinterpret_cast<const uint8_t*>(digits.data()), digits.size(), 0), 0x2189);
  EXPECT_EQ(funcCrc16(reinterpret_cast<const uint8_t*>("abc"), 3, 0), 0x58E9);
  // A seed continues a running CRC: two halves equal the whole.
  const auto* p = reinterpret_cast<const uint8_t*>(digits.data());
  EXPECT_EQ(funcCrc16(p + 4, 5, static_cast<uint32_t>(funcCrc16(p, 4, 0))), 0x2189);
}

TEST(ChecksumTest, ImageCrcCoversThePixelBytesOfOneBitRecordsOnly) {
  auto r = MakeRecord(72, 1, 1, 200, {'1', '2', '3', '4', '5', '6', '7', '8', '9'});
  EXPECT_EQ(funcImageCrc16(r), 0x2189);
  EXPECT_EQ(funcImageCrc16(MakeRecord(4, 4, 4, 200)), -1);
  EXPECT_EQ(funcImageCrc16(std::span<const uint8_t>(r).first(10)), -552);
}

TEST(GrayTest, OneBitThresholdIsStrict) {
  // (128,128,128) has gray 128 and (127,127,127) gray 127; at threshold 128 only the second is black.
  auto src = MakeRecord(9, 1, 24, 200, {128, 128, 128, 127, 127, 127, 128, 128, 128, 128, 128, 128, 128, 128, 128,
                                        128, 128, 128, 128, 128, 128, 128, 128, 128, 127, 127, 127});
  auto dst = MakeRecord(9, 1, 1, 0);
  ASSERT_EQ(funcConv24ToGray(src, dst, 1, 128), 1);
  EXPECT_EQ(HeaderOf(dst).bits, 1);
  EXPECT_EQ(HeaderOf(dst).dpi, 200);
  EXPECT_EQ(PixelsOf(dst), (std::vector<uint8_t>{0x40, 0x80}));
}

TEST(GrayTest, RoundedWeightsAndFourBitPacking) {
  // Pure red 255 -> round(76.245) = 76, green -> round(149.685) = 150, blue -> round(29.07) = 29.
  auto src = MakeRecord(3, 1, 24, 300, {255, 0, 0, 0, 255, 0, 0, 0, 255});
  auto gray = MakeRecord(3, 1, 8, 0);
  ASSERT_EQ(funcConv24ToGray(src, gray, 8, 0), 1);
  EXPECT_EQ(PixelsOf(gray), (std::vector<uint8_t>{76, 150, 29}));
  auto four = MakeRecord(3, 1, 4, 0);
  ASSERT_EQ(funcConv24ToGray(src, four, 4, 0), 1);
  EXPECT_EQ(PixelsOf(four), (std::vector<uint8_t>{0x49, 0x10}));
}

TEST(GrayTest, EightBitGrayIsTheRoundedSixteenSixteenSum) {
  std::vector<uint8_t> px;
  for (int r = 0; r < 256; r += 17)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 51) px.insert(px.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
  const int n = static_cast<int>(px.size() / 3);
  const auto src = MakeRecord(n, 1, 24, 200, px);
  auto dst = MakeRecord(n, 1, 8, 0);
  ASSERT_EQ(funcConv24ToGray(src, dst, 8, 0), 1);
  for (int i = 0; i < n; ++i) {
    const uint32_t sum = 19595u * px[3 * i] + 38470u * px[3 * i + 1] + 7471u * px[3 * i + 2] + 32768u;
    ASSERT_EQ(dst[8 + i], sum >> 16) << "pixel " << i;
  }
}

TEST(GrayTest, RefusesWrongDepthsAndShortDestinations) {
  auto src = MakeRecord(3, 1, 24, 300);
  auto dst = MakeRecord(3, 1, 8, 0);
  EXPECT_EQ(funcConv24ToGray(MakeRecord(3, 1, 8, 300), dst, 8, 0), -102);
  EXPECT_EQ(funcConv24ToGray(src, dst, 2, 0), -102);
  EXPECT_EQ(funcConv24ToGray(src, std::span<uint8_t>(dst).first(10), 8, 0), -552);
}

class ParamsTest : public ::testing::Test {
 protected:
  void TearDown() override { zarn::ResetParamsForTests(); }
  zarn::testing::ScratchDeviceFile deviceFile_;
};

using PadTest = ParamsTest;

TEST_F(PadTest, AddsWhiteRowsAboveAndBelow) {
  ASSERT_GE(zarn::funcTableSetParam(190, 10), 0);
  ASSERT_GE(zarn::funcTableSetParam(189, 5), 0);
  std::vector<uint8_t> pixels(600 * 100);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i / 600);
  auto r = MakeRecord(600, 100, 8, 200, pixels, 600 * 15);
  ASSERT_EQ(funcPadImageLines(r), 8 + 600 * 115);
  EXPECT_EQ(HeaderOf(r).height, 115);
  EXPECT_EQ(r[8], 0xFF);
  EXPECT_EQ(r[8 + 600 * 10], 0);        // first image row
  EXPECT_EQ(r[8 + 600 * 109], 99);      // last image row
  EXPECT_EQ(r[8 + 600 * 110], 0xFF);    // first bottom pad row
}

TEST_F(PadTest, RefusedRecordsStayUnchanged) {
  ASSERT_GE(zarn::funcTableSetParam(190, 10), 0);
  const auto narrow = MakeRecord(499, 2, 8, 200, {}, 499 * 20);
  auto r = narrow;
  EXPECT_EQ(funcPadImageLines(r), -552);
  EXPECT_EQ(r, narrow);
  const auto full = MakeRecord(600, 2, 8, 200, {}, 600 * 9);  // room for 9 rows, not 10
  r = full;
  EXPECT_EQ(funcPadImageLines(r), -552);
  EXPECT_EQ(r, full);
  EXPECT_EQ(PadImageLines(r = MakeRecord(600, 2, 1, 200, {}, 600), 1, 0), -552);
  EXPECT_EQ(PadImageLines(r = MakeRecord(600, 2, 8, 200), 0, -3), 8 + 1200);
}

TEST(SaturateTest, LimitsMovedApartWithoutHistogram) {
  // min 200, max 100 -> 128/128 -> 112/144: 112 and below black, 144 and above white.
  auto r = MakeRecord(4, 1, 8, 200, {112, 113, 128, 144});
  ASSERT_EQ(ZARNGraySaturate(r, 200, 100, 1, 0), 1);
  EXPECT_EQ(PixelsOf(r), (std::vector<uint8_t>{0, 8, 128, 255}));
}

TEST(SaturateTest, ClippingOnlyAndFourBitNibbles) {
  auto r = MakeRecord(4, 1, 8, 200, {50, 60, 128, 250});
  ASSERT_EQ(ZARNGraySaturate(r, 60, 240, 0, 0), 1);
  EXPECT_EQ(PixelsOf(r), (std::vector<uint8_t>{0, 0, 128, 255}));
  auto four = MakeRecord(4, 1, 4, 200, {0x3F, 0x8A});
  ASSERT_EQ(ZARNGraySaturate(four, 60, 240, 0, 0), 1);
  EXPECT_EQ(PixelsOf(four), (std::vector<uint8_t>{0x0F, 0x8A}));
  auto colour = MakeRecord(4, 1, 24, 200);
  EXPECT_EQ(ZARNGraySaturate(colour, 0, 255, 1, 1), -552);
}

TEST(SaturateTest, HistogramWidensFromBothEnds) {
  // 64 pixels, mostly levels 0x20 (bin 2) and 0xE0 (bin 14); n/32 = 2. Low count 3 (bins 0..2),
  // high index 13 -> min 0+48, max 0+208; then min' 48, max' 208.
  std::vector<uint8_t> px(64, 0x20);
  for (int i = 32; i < 64; ++i) px[i] = 0xE0;
  px[0] = 48;
  px[1] = 128;
  px[63] = 208;
  auto r = MakeRecord(64, 1, 8, 200, px);
  ASSERT_EQ(ZARNGraySaturate(r, 0, 0, 0, 1), 1);
  EXPECT_EQ(r[8], 0);     // 48 at the minimum
  EXPECT_EQ(r[8 + 63], 255);  // 208 at the maximum
  EXPECT_EQ(r[9], 128);
  EXPECT_EQ(r[10], 0);
}

TEST(TrimTest, TopRowsDropBlankRowsDownToTheMinimum) {
  // 64 x 12 1-bit record, rows 0..4 blank, row 5 marked in two sampled bytes.
  std::vector<uint8_t> px(8 * 12, 0);
  px[8 * 5 + 0] = 0x01;
  px[8 * 5 + 1] = 0x01;
  px[8 * 11] = 0xAA;
  auto r = MakeRecord(64, 12, 1, 200, px);
  EXPECT_EQ(funcTrimTopRows(r, 4, 0), 7);
  EXPECT_EQ(HeaderOf(r).height, 7);
  EXPECT_EQ(r[8], 0x01);
  EXPECT_EQ(r[8 + 8 * 6], 0xAA);

  auto blank = MakeRecord(64, 12, 1, 200);
  EXPECT_EQ(funcTrimTopRows(blank, 0, 0), 4);  // a third of the height stays
  auto tall = MakeRecord(64, 12, 1, 200, px);
  EXPECT_EQ(funcTrimTopRows(tall, 10, 0), 10);  // the minimum moves the top up
  auto gray = MakeRecord(64, 12, 8, 200);
  EXPECT_EQ(funcTrimTopRows(gray, 0, 0), -555);
}

TEST(TrimTest, RightColumnsRoundUpToBytesAndRepack) {
  // 64 x 16: content up to column 20 in every row -> new right edge found at column 23 (63 - 5 * 8).
  std::vector<uint8_t> px(8 * 16, 0);
  for (int y = 0; y < 16; ++y) px[8 * y + 2] = 0x08;  // column 20
  auto r = MakeRecord(64, 16, 1, 200, px);
  EXPECT_EQ(funcTrimRightColumns(r, 0, 64), 24);
  EXPECT_EQ(HeaderOf(r).width, 24);
  EXPECT_EQ(r[8 + 3 + 2], 0x08);  // row 1, byte 2 at the new 3-byte row length
  auto blank = MakeRecord(64, 16, 1, 200);
  EXPECT_EQ(funcTrimRightColumns(blank, 30, 64), 32);
  auto start0 = MakeRecord(64, 16, 1, 200, px);
  EXPECT_EQ(funcTrimRightColumns(start0, 0, 0), 24);  // starts at the last column, not past it
  auto four = MakeRecord(64, 16, 4, 200);
  EXPECT_EQ(funcTrimRightColumns(four, 0, 0), -555);
}

struct WindowCase {
  const char* name;
  int bits, left, right, top, bottom;
  int width, height;
  uint8_t firstByte;
};

class WindowCopyTest : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowCopyTest, CopiesTheLimitedWindow) {
  const WindowCase& c = GetParam();
  // 16 x 4 records; pixel bytes number themselves.
  const int row = static_cast<int>(RecordRowBytes(16, c.bits));
  std::vector<uint8_t> px(static_cast<size_t>(row) * 4);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i);
  const auto src = MakeRecord(16, 4, c.bits, 200, px);
  std::vector<uint8_t> dst(src.size(), 0xEE);
  const int rc = c.bits == 4 ? funcCopyImageWindow4(src, dst, c.left, c.right, c.top, c.bottom)
                             : funcCopyImageWindow(src, dst, c.left, c.right, c.top, c.bottom);
  ASSERT_EQ(rc, 1);
  EXPECT_EQ(HeaderOf(dst).width, c.width);
  EXPECT_EQ(HeaderOf(dst).height, c.height);
  EXPECT_EQ(dst[8], c.firstByte);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowCopyTest,
    ::testing::Values(WindowCase{"eight_bit_inner", 8, 3, 7, 1, 3, 4, 2, 19},
                      WindowCase{"negative_left_top_as_zero", 8, -5, 4, -2, 2, 4, 2, 0},
                      WindowCase{"bottom_and_right_limited", 8, 10, 99, 2, 99, 6, 2, 42},
                      WindowCase{"empty_window_full_record", 8, 5, 2, 3, 3, 16, 4, 0},
                      WindowCase{"one_bit_whole_bytes", 1, 9, 16, 1, 2, 8, 1, 3},
                      WindowCase{"four_bit_halved", 4, 4, 12, 0, 4, 8, 4, 2}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CopyTest, WholeRecordsByDepth) {
  const auto one = MakeRecord(16, 2, 1, 200, {1, 2, 3, 4});
  std::vector<uint8_t> dst(one.size());
  EXPECT_EQ(funcCopyImage1(one, dst), 1);
  EXPECT_EQ(dst, one);
  EXPECT_EQ(funcCopyImage8(one, dst), -552);
  EXPECT_EQ(funcCopyImage1(one, std::span<uint8_t>(dst).first(8)), -552);
}

TEST(CropMarginTest, RightEdgeFromBrightSamples) {
  // 8-bit 100 x 16, bright up to column 79: left 10 -> width 69 (right edge 79 - 10).
  std::vector<uint8_t> px(100 * 16, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 80; ++x) px[100 * y + x] = 200;
  const auto src = MakeRecord(100, 16, 8, 200, px);
  std::vector<uint8_t> dst(src.size());
  EXPECT_EQ(funcCropRightMargin8(src, dst, 99, 10, 128), 1);
  EXPECT_EQ(HeaderOf(dst).width, 69);
  // Too narrow a result falls back to start - left, then to the whole width.
  EXPECT_EQ(funcCropRightMargin8(src, dst, 99, 60, 128), 1);
  EXPECT_EQ(HeaderOf(dst).width, 100);
}

}  // namespace
}  // namespace zc::imaging
