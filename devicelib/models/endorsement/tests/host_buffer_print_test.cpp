// The endorsement path into the host buffer: start columns, backward and mirrored placement, clipping to
// the buffer whatever the arguments, the clear flag, and text landing at the expected columns.
#include "qv6/endorsement/host_buffer_print.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <vector>

#include "bitmap_builder.h"
#include "font_fixture.h"
#include "testkit/support/file_bytes.h"

namespace qv6::endorsement {
namespace {

using testing::BitmapOfColumns;
using testing::ScratchFolderTest;
using testing::SyntheticColumn;
using testing::SyntheticFontBytes;

constexpr uint8_t kUntouched = 0xEE;
constexpr uint16_t kUntouchedWord = 0xEEEE;
constexpr size_t kGuard = 64;

// A host buffer of `columns` column words inside guard bytes that must never change.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(size_t bytes) : storage_(bytes + 2 * kGuard, kUntouched), size_(bytes) {}
  std::span<uint8_t> span() { return {storage_.data() + kGuard, size_}; }
  uint16_t Word(size_t column) const {
    return static_cast<uint16_t>(storage_[kGuard + 2 * column] | (storage_[kGuard + 2 * column + 1] << 8));
  }
  size_t columns() const { return size_ / 2; }
  bool GuardsIntact() const {
    for (size_t i = 0; i < kGuard; ++i) {
      if (storage_[i] != kUntouched || storage_[kGuard + size_ + i] != kUntouched) return false;
    }
    return true;
  }

 private:
  std::vector<uint8_t> storage_;
  size_t size_;
};

TEST(HostBufferPrint, StartColumn) {
  struct Case {
    int position;
    int density;
    size_t columns;
    int64_t n;
  };
  const Case cases[] = {
      {100, 0, 5000, 10},      {100, 7, 5000, 62},
      {1000, 3, 5000, 220},    {7, 1, 5000, 0},
      {10000, 7, 5000, 4999},  {INT_MAX, 7, 5000, 4999},
      {100000, 0, 4096, 4095}, {-100, 3, 5000, -22},
      {-7, 1, 5000, 0},        {INT_MIN, 7, 5000, int64_t{INT_MIN} * 62 / 100},
      {100, 8 + 2, 5000, 17},  {100, 2, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StartColumn(c.position, c.density, c.columns), c.n) << c.position << " d" << c.density;
  }
  EXPECT_EQ(DensityOfPrinterControl(0x0E), 7);
  EXPECT_EQ(DensityOfPrinterControl(0x05), 2);
  EXPECT_EQ(DensityOfPrinterControl(0xF1), 0);
}

TEST(HostBufferPrint, PlacementBackwardAndMirrored) {
  // Image column k carries word 0x100 + k (ink where set); density 0, so n = position / 10. The host
  // buffer has 8 columns; the map gives buffer column -> image column of every column written.
  struct Case {
    int position;
    bool mirrored;
    int width;
    std::map<size_t, int> placed;
  };
  const Case cases[] = {
      {50, false, 3, {{4, 0}, {3, 1}, {2, 2}}},
      {50, true, 3, {{4, 0}, {5, 1}, {6, 2}}},
      {50, false, 7, {{4, 0}, {3, 1}, {2, 2}, {1, 3}, {0, 4}}},  // runs out at column 0
      {50, true, 7, {{4, 0}, {5, 1}, {6, 2}}},                   // at most 8 - n columns
      {10, true, 2, {{0, 0}, {1, 1}}},
      {0, true, 3, {{0, 1}, {1, 2}}},  // column -1 is not written
      {0, false, 3, {}},
      {-30, true, 6, {{0, 4}, {1, 5}}},  // n = -3
      {-30, false, 6, {}},
      {1000, false, 3, {{6, 0}, {5, 1}, {4, 2}}},  // n clamped to 7
      {1000, true, 3, {{6, 0}}},
      {50, false, 0, {}},
  };
  for (const Case& c : cases) {
    std::vector<uint16_t> words;
    for (int k = 0; k < c.width; ++k) words.push_back(static_cast<uint16_t>(0x100 + k));
    const auto image = BitmapOfColumns(words, 12);
    GuardedBuffer host(16);
    ASSERT_EQ(PrintBitmapToHostBuffer(host.span(), image.bits.data(), image.width, image.rows, c.position,
                                      kFlagInkWhereSet, {0, c.mirrored}),
              1);
    EXPECT_TRUE(host.GuardsIntact());
    for (size_t col = 0; col < host.columns(); ++col) {
      const auto it = c.placed.find(col);
      const uint16_t expected =
          it == c.placed.end() ? kUntouchedWord : static_cast<uint16_t>(0x100 + it->second);
      EXPECT_EQ(host.Word(col), expected)
          << "position " << c.position << (c.mirrored ? " mirrored" : "") << " column " << col;
    }
  }
}

TEST(HostBufferPrint, ClearFlagAndPolarity) {
  const auto image = BitmapOfColumns({0x0001, 0x0F00}, 12);
  GuardedBuffer host(10000);
  // Without the clear flag the rest of the buffer is kept; default polarity prints where the bit is 0.
  ASSERT_EQ(PrintBitmapToHostBuffer(host.span(), image.bits.data(), 2, 12, 100, 0, {0, false}), 1);
  EXPECT_EQ(host.Word(9), 0x0FFE);
  EXPECT_EQ(host.Word(8), 0x00FF);
  EXPECT_EQ(host.Word(7), kUntouchedWord);
  EXPECT_EQ(host.Word(4999), kUntouchedWord);
  // Bit 0 clears the whole buffer first.
  ASSERT_EQ(
      PrintBitmapToHostBuffer(host.span(), image.bits.data(), 2, 12, 1000, 1 | kFlagInkWhereSet, {0, false}),
      1);
  EXPECT_EQ(host.Word(99), 0x0001);
  EXPECT_EQ(host.Word(98), 0x0F00);
  EXPECT_EQ(host.Word(9), 0);
  EXPECT_EQ(host.Word(7), 0);
  EXPECT_EQ(host.Word(4999), 0);
  EXPECT_TRUE(host.GuardsIntact());
}

TEST(HostBufferPrint, ArgumentsThatDescribeNoImageLeaveTheBufferAlone) {
  const uint8_t bits[48] = {};
  struct Case {
    const void* bits;
    int width;
    int rows;
  };
  for (const Case c : {Case{bits, -1, 12}, Case{bits, 10, -5}, Case{nullptr, 10, 12}}) {
    GuardedBuffer host(100);
    EXPECT_EQ(PrintBitmapToHostBuffer(host.span(), c.bits, c.width, c.rows, 100, kFlagClearBuffer, {}), 0);
    for (size_t col = 0; col < host.columns(); ++col) ASSERT_EQ(host.Word(col), kUntouchedWord);
  }
}

TEST(HostBufferPrint, NeverOutsideTheBuffer) {
  std::vector<uint16_t> words(6000);
  for (size_t k = 0; k < words.size(); ++k) words[k] = static_cast<uint16_t>(k & 0xFFF);
  const auto wide = BitmapOfColumns(words, 12);
  const int positions[] = {INT_MIN, -100000, -1, 0, 1, 9, 10, 99, 5000, 8064, 8065, 100000, INT_MAX};
  const int widths[] = {0, 1, 7, 33, 4999, 5000, 6000};
  const size_t sizes[] = {0, 1, 2, 3, 17, 8192, 10000};
  for (size_t size : sizes) {
    for (int position : positions) {
      for (int width : widths) {
        for (int density : {0, 7, -1, 9}) {
          for (bool mirrored : {false, true}) {
            GuardedBuffer host(size);
            ASSERT_EQ(PrintBitmapToHostBuffer(host.span(), wide.bits.data(), width, 12, position,
                                              kFlagInkWhereSet, {density, mirrored}),
                      1);
            ASSERT_TRUE(host.GuardsIntact()) << "size " << size << " position " << position << " width "
                                             << width << " mirrored " << mirrored;
            // A placed word is an image column's word, never more than the buffer's columns of them.
            size_t written = 0;
            for (size_t col = 0; col < host.columns(); ++col) written += host.Word(col) != kUntouchedWord;
            ASSERT_LE(written, std::min<size_t>(host.columns(), static_cast<size_t>(width)));
          }
        }
      }
    }
  }
}

class HostBufferText : public ScratchFolderTest {};

TEST_F(HostBufferText, TextLandsAtTheExpectedColumns) {
  ASSERT_TRUE(zc::testkit::WriteFileBytes(root_ / "Qv600_IJAsciiFont.bin", SyntheticFontBytes()));
  const std::string text = "AB";
  // Density 2 (17 columns per 100), position 1000: start column 170.
  for (bool mirrored : {false, true}) {
    for (int flags : {0, kFlagInkWhereSet}) {
      GuardedBuffer host(10000);
      ASSERT_EQ(PrintTextToHostBuffer(host.span(), "", text.data(), 2, 1000, flags | kFlagClearBuffer,
                                      {2, mirrored}),
                1);
      for (size_t col = 0; col < host.columns(); ++col) {
        const int64_t c = mirrored ? static_cast<int64_t>(col) - 169 : 169 - static_cast<int64_t>(col);
        uint16_t expected = 0;
        if (c >= 0 && c < 20) {
          const uint16_t glyph = SyntheticColumn(text[c / 10], static_cast<int>(c % 10));
          // The caller's bit 1 reverses the rendered text's polarity: ink becomes the gaps.
          expected = flags & kFlagInkWhereSet ? static_cast<uint16_t>(~glyph & 0x0FFF) : glyph;
        }
        ASSERT_EQ(host.Word(col), expected) << "column " << col << (mirrored ? " mirrored" : "");
      }
    }
  }
}

TEST_F(HostBufferText, LongTextIsCutAtColumnZeroAndMissingFontPrintsNoInk) {
  ASSERT_TRUE(zc::testkit::WriteFileBytes(root_ / "font.bin", SyntheticFontBytes()));
  const std::string text(900, 'W');
  GuardedBuffer host(10000);
  // n = 4999 (clamped); 8150 rendered columns run back to column 0.
  ASSERT_EQ(
      PrintTextToHostBuffer(host.span(), "font.bin", text.data(), 900, 100000, kFlagClearBuffer, {7, false}),
      1);
  EXPECT_EQ(host.Word(4998), SyntheticColumn('W', 0));
  EXPECT_EQ(host.Word(0), SyntheticColumn('W', 4998 % 10));
  EXPECT_EQ(host.Word(4999), 0);
  EXPECT_TRUE(host.GuardsIntact());

  PrinterString printer("absent.bin");
  EXPECT_TRUE(printer.font().path().empty());
  GuardedBuffer blank(10000);
  ASSERT_EQ(PrintTextToHostBuffer(blank.span(), printer, "HELLO", 5, 1000, 0, {0, false}), 1);
  for (size_t col = 50; col < 100; ++col) ASSERT_EQ(blank.Word(col), 0) << col;
  EXPECT_EQ(blank.Word(49), kUntouchedWord);
  EXPECT_EQ(blank.Word(100), kUntouchedWord);
}

}  // namespace
}  // namespace qv6::endorsement
