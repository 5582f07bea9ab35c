// DIB header checks, DIB to record conversion, the side cropper and the codec's block callbacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/dib_convert.h"
#include "imaging/dib_crop.h"
#include "imaging/mcu_callbacks.h"
#include "imaging/packed_dib.h"
#include "imaging_test_support.h"
#include "platform/byte_order.h"
#include "platform/debug_output.h"

namespace zc::imaging {
namespace {

using test::HeaderOf;
using test::MakeDib;
using test::PixelsOf;
using test::TestDib;

TEST(DibToImageTest, BlackAndWhiteKeepsOnlyRealPixelsInTheLastByte) {
  TestDib dib = MakeDib(9, 2, 8, 0);  // all black
  std::vector<uint8_t> record(8 + 4);
  ASSERT_EQ(funcDIBToImage(dib.Span(), record, 1, 0, 0, 128, 200, nullptr, 0), 12);
  EXPECT_EQ(HeaderOf(record).bits, 1);
  EXPECT_EQ(PixelsOf(record), (std::vector<uint8_t>{0xFF, 0x80, 0xFF, 0x80}));
}

TEST(DibToImageTest, FourBitLevelsCompareAsNibbleTimesSixteen) {
  TestDib dib = MakeDib(2, 1, 4);
  dib.Row(0)[0] = 0x4F;  // level 4 -> 64 (black at T 64), level 15 -> 240 (white)
  std::vector<uint8_t> record(9);
  ASSERT_EQ(funcDIBToImage(dib.Span(), record, 1, 0, 0, 64, 200, nullptr, 0), 9);
  EXPECT_EQ(record[8], 0x80);
}

TEST(DibToImageTest, BlackAndWhiteRowsAreFlippedToTopFirst) {
  TestDib dib = MakeDib(8, 2, 8, 255);
  std::fill_n(dib.Row(0), 8, 0);  // bottom row black
  std::vector<uint8_t> record(10);
  ASSERT_EQ(funcDIBToImage(dib.Span(), record, 1, 0, 0, 100, 300, nullptr, 0), 10);
  EXPECT_EQ(PixelsOf(record), (std::vector<uint8_t>{0x00, 0xFF}));
  EXPECT_EQ(HeaderOf(record).dpi, 300);
}

TEST(DibToImageTest, TwentyFourBitCopyFlipsRowsAndLeavesTheDibInRgbOrder) {
  TestDib dib = MakeDib(2, 2, 24);
  const uint8_t bottom[6] = {1, 2, 3, 4, 5, 6};  // B, G, R
  const uint8_t top[6] = {7, 8, 9, 10, 11, 12};
  std::copy_n(bottom, 6, dib.Row(0));
  std::copy_n(top, 6, dib.Row(1));
  std::vector<uint8_t> record(8 + 12);
  ASSERT_EQ(funcDIBToImage(dib.Span(), record, 0, 0, 0, 0, 200, nullptr, 0), 8 + 3 * 2 * 2);
  EXPECT_EQ(PixelsOf(record), (std::vector<uint8_t>{9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4}));
  EXPECT_EQ(std::vector<uint8_t>(dib.Row(0), dib.Row(0) + 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
}

TEST(DibToImageTest, RefusesNullAndShortRecordBuffers) {
  TestDib dib = MakeDib(8, 2, 8);
  EXPECT_EQ(funcDIBToImage(dib.Span(), {}, 0, 0, 0, 0, 200, nullptr, 0), -102);
  std::vector<uint8_t> record(8 + 15, 0xEE);
  EXPECT_EQ(funcDIBToImage(dib.Span(), record, 0, 0, 0, 0, 200, nullptr, 0), -552);
  EXPECT_EQ(funcDIBToImage(dib.Span(), record, 1, 0, 0, 0, 200, nullptr, 0), 10);
}

// Header damage, each in a block of exactly its stated size so that any read outside shows under ASan.
struct BadHeaderCase {
  const char* name;
  int offset;        // byte offset of the field changed; -1: the block is cut short instead
  int size;          // 2 or 4
  int64_t value;
  int code;
};

class BadDibHeaderTest : public ::testing::TestWithParam<BadHeaderCase> {};

TEST_P(BadDibHeaderTest, RefusedWithItsCode) {
  const BadHeaderCase& c = GetParam();
  TestDib dib = MakeDib(16, 4, 8, 0x80);
  std::vector<uint8_t> block = dib.block;
  if (c.offset < 0) {
    block.resize(static_cast<size_t>(c.value));
  } else if (c.size == 4) {
    plat::bytes::PutLe32(block.data() + c.offset, static_cast<uint32_t>(c.value));
  } else {
    plat::bytes::PutLe16(block.data() + c.offset, static_cast<uint16_t>(c.value));
  }
  std::vector<uint8_t> exact(block);  // exact size, no slack
  std::vector<uint8_t> record(1 << 16);
  EXPECT_EQ(funcDIBToImage(exact, record, 0, 0, 0, 0, 200, nullptr, 0), c.code);
  EXPECT_EQ(funcDIBToImage(exact, record, 1, 0, 0, 0, 200, nullptr, 0), c.code);
  EXPECT_EQ(DIBCrop(1, 64, exact, 1), c.code);
  EXPECT_EQ(exact, block);
  EXPECT_EQ(funcDIBPixelAddress(std::span<const uint8_t>(exact)), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, BadDibHeaderTest,
    ::testing::Values(BadHeaderCase{"width_zero", 4, 4, 0, -104}, BadHeaderCase{"top_down_height", 8, 4, -4, -104},
                      BadHeaderCase{"width_over_32767", 4, 4, 32768, -104},
                      BadHeaderCase{"colours_used_over_depth", 32, 4, 257, -104},
                      BadHeaderCase{"rows_beyond_block", 8, 4, 5, -105},
                      BadHeaderCase{"header_size_not_40_read_as_core", 0, 4, 0x7FFFFFF0, -104},
                      BadHeaderCase{"colours_used_all_bits", 32, 4, 0xFFFFFFFF, -104},
                      BadHeaderCase{"block_shorter_than_header", -1, 0, 20, -105},
                      BadHeaderCase{"wide_rows_overflow", 4, 4, 32767, -105}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DibHeaderTest, PaletteAndColourCounts) {
  TestDib dib = MakeDib(4, 4, 8);
  EXPECT_EQ(funcDIBColorCount(dib.Span()), 256);
  EXPECT_EQ(funcDIBPaletteBytes(dib.Span()), 1024);
  EXPECT_EQ(funcFindDIBBits(dib.Span()), dib.block.data() + 40 + 1024);
  plat::bytes::PutLe32(dib.block.data() + 32, 16);
  EXPECT_EQ(funcDIBGetColorCount(dib.Span()), 16);
  EXPECT_EQ(funcDIBGetPaletteBytes(dib.Span()), 64);
  // A core header: colours by depth, three bytes each.
  std::vector<uint8_t> core(12 + 768 + 4 * 4, 0);
  plat::bytes::PutLe32(core.data(), 12);
  plat::bytes::PutLe16(core.data() + 4, 4);
  plat::bytes::PutLe16(core.data() + 6, 4);
  plat::bytes::PutLe16(core.data() + 10, 8);
  EXPECT_EQ(funcDIBPaletteBytes(core), 768);
  EXPECT_EQ(funcDIBPixelAddress(std::span<const uint8_t>(core)), core.data() + 12 + 768);
  TestDib colour = MakeDib(4, 4, 24);
  EXPECT_EQ(funcDIBColorCount(colour.Span()), 0);
}

// A W x H side, dark (0), with a bright (200) rectangle over columns x0..x1-1 and storage rows y0..y1-1.
TestDib Side(int bits, int W, int H, int x0, int x1, int y0, int y1) {
  TestDib d = MakeDib(W, H, bits, 0);
  for (int y = y0; y < y1; ++y) {
    uint8_t* row = d.Row(y);
    for (int x = x0; x < x1; ++x) {
      if (bits == 8) row[x] = 200;
      if (bits == 24) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = 200;
      if (bits == 4) row[x / 2] = static_cast<uint8_t>(row[x / 2] | ((x & 1) ? 0x0C : 0xC0));
    }
  }
  return d;
}

int DibWidth(const TestDib& d) {
  return static_cast<int32_t>(plat::bytes::GetLe32(d.block.data() + 4));
}
int DibHeight(const TestDib& d) {
  return static_cast<int32_t>(plat::bytes::GetLe32(d.block.data() + 8));
}

class DibCropDepthTest : public ::testing::TestWithParam<int> {};

TEST_P(DibCropDepthTest, FrontCropFindsTheBrightDocument) {
  // Bright over columns 100..699, rows 10..559: left 100, right 699, bottom 10, top 559.
  TestDib d = Side(GetParam(), 1000, 600, 100, 700, 10, 560);
  ASSERT_EQ(DIBCrop(1, 64, d.Span(), 1), 0);
  EXPECT_EQ(DibWidth(d), 599);
  EXPECT_EQ(DibHeight(d), 549);
  const uint8_t* first = d.block.data() + d.pixelOffset;
  EXPECT_NE(first[0], 0);  // row 0 now starts inside the document
}

INSTANTIATE_TEST_SUITE_P(Depths, DibCropDepthTest, ::testing::Values(4, 8, 24),
                         [](const auto& p) { return std::to_string(p.param) + "bit"; });

TEST(DibCropTest, FullBrightSideStaysUnchanged) {
  TestDib d = Side(8, 1000, 600, 0, 1000, 0, 600);
  const auto before = d.block;
  ASSERT_EQ(DIBCrop(1, 64, d.Span(), 1), 0);
  EXPECT_EQ(d.block, before);
}

TEST(DibCropTest, OverCropKeepsTheFullWidthAndLogsIt) {
  plat::DebugOutputCapture capture;
  TestDib d = Side(8, 1000, 600, 100, 400, 10, 560);
  ASSERT_EQ(DIBCrop(1, 64, d.Span(), 1), 0);
  EXPECT_EQ(DibWidth(d), 1000);
  EXPECT_EQ(DibHeight(d), 549);
  EXPECT_NE(capture.Text().find("DIBCrop8(100,10,399,559), Image 1000,600, T 64"), std::string::npos);
  EXPECT_NE(capture.Text().find("********** OVERCROP *************"), std::string::npos);
}

TEST(DibCropTest, DisabledOrOneBitLeavesTheDibAlone) {
  TestDib d = Side(8, 1000, 600, 100, 700, 10, 560);
  const auto before = d.block;
  EXPECT_EQ(DIBCrop(0, 64, d.Span(), 1), 0);
  EXPECT_EQ(d.block, before);
  TestDib one = MakeDib(64, 8, 1);
  const auto oneBefore = one.block;
  EXPECT_EQ(DIBCrop(1, 64, one.Span(), 1), 0);
  EXPECT_EQ(one.block, oneBefore);
}

struct RearCase {
  const char* name;
  int rearX0, rearX1;  // the rear's bright columns; the front is 100..699 (599 wide once cropped)
  int width;           // rear width after its crop
  int left;            // column of the rear's first kept pixel
};

class DibCropRearTest : public ::testing::TestWithParam<RearCase> {};

TEST_P(DibCropRearTest, RearIsMatchedToItsFront) {
  const RearCase& c = GetParam();
  TestDib front = Side(8, 1000, 600, 100, 700, 10, 560);
  ASSERT_EQ(DIBCrop(1, 64, front.Span(), 1), 0);
  // Mark the rear's columns by their index so the kept left edge can be read back.
  TestDib rear = Side(8, 1000, 600, c.rearX0, c.rearX1, 10, 560);
  for (int x = c.rearX0; x < c.rearX1; ++x) rear.Row(10)[x] = static_cast<uint8_t>(100 + x % 100);
  ASSERT_EQ(DIBCrop(1, 64, rear.Span(), 0), 0);
  EXPECT_EQ(DibWidth(rear), c.width);
  EXPECT_EQ(DibHeight(rear), 549);
  EXPECT_EQ(rear.block[rear.pixelOffset], c.left < c.rearX0 ? 0 : 100 + c.left % 100);
}

INSTANTIATE_TEST_SUITE_P(
    Rears, DibCropRearTest,
    ::testing::Values(RearCase{"same_size", 100, 700, 599, 100}, RearCase{"one_wider_own_crop", 100, 701, 600, 100},
                      RearCase{"one_narrower_own_crop", 100, 699, 598, 100},
                      RearCase{"fifty_wider_loses_25_each_side", 100, 750, 599, 125},
                      RearCase{"fifty_narrower_grows_25_each_side", 100, 650, 599, 75},
                      RearCase{"150_wider_own_crop", 100, 850, 749, 100},
                      RearCase{"150_narrower_own_crop", 100, 550, 449, 100},
                      RearCase{"near_zero_edge_grows_right", 10, 560, 599, 0}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(McuCallbackTest, BlocksAndRowPointers) {
  void* block = cbMcuAlloc(300, 300);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(static_cast<uint8_t*>(block)[300 * 300 + 3], 0);
  EXPECT_EQ(cbMcuGetPtr(4, 1000, block, 3), static_cast<uint8_t*>(block) + 3000);
  EXPECT_EQ(cbMcuGetPtr(4, 1000, block, 4), nullptr);
  EXPECT_EQ(cbMcuFree(0, 0, block), 1);
  EXPECT_EQ(cbMcuFree(0, 0, nullptr), 0);
}

}  // namespace
}  // namespace zc::imaging
