// Nozzle column words from 1-bit images: polarity, rows present, rows ignored, byte order, and the
// arguments that describe no image.
#include "qv6/endorsement/nozzle_columns.h"

#include <gtest/gtest.h>

#include <array>

#include "bitmap_builder.h"

namespace qv6::endorsement {
namespace {

using testing::BitmapOfColumns;

TEST(NozzleColumns, PolarityAndRowsPresent) {
  struct Case {
    uint16_t imageColumn;  // image bits of rows 0..15 of the one column
    int rows;
    bool inkWhereSet;
    uint16_t word;
  };
  const Case cases[] = {
      {0x0000, 12, false, 0x0FFF},  // blank image: a dot wherever the bit is 0
      {0x0000, 12, true, 0x0000},  {0x0FFF, 12, true, 0x0FFF},
      {0x0A5C, 12, false, 0x05A3}, {0x0A5C, 12, true, 0x0A5C},
      {0x0000, 5, false, 0x001F},  // only the rows present print, in either polarity
      {0x001F, 5, true, 0x001F},   {0x0000, 0, false, 0x0000},
      {0xF000, 16, true, 0x0000},  // rows from 12 on are not printed
      {0x0000, 16, false, 0x0FFF},
  };
  for (const Case& c : cases) {
    const auto image = BitmapOfColumns({c.imageColumn}, c.rows);
    const auto view = EndorsementBitmap::FromCaller(image.bits.data(), image.width, image.rows);
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(NozzleColumn(*view, 0, c.inkWhereSet), c.word)
        << std::hex << c.imageColumn << " rows " << std::dec << c.rows << " ink " << c.inkWhereSet;
  }
}

TEST(NozzleColumns, ColumnsAcrossBytesAndRowPadding) {
  // 40 columns: rows of 8 bytes; column x has the pattern x + 1 in rows 0-5.
  std::vector<uint16_t> words;
  for (uint16_t x = 0; x < 40; ++x) words.push_back(static_cast<uint16_t>((x + 1) & 0x3F));
  const auto image = BitmapOfColumns(words, 6);
  const auto view = EndorsementBitmap::FromCaller(image.bits.data(), image.width, image.rows);
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(view->RowBytes(), 8u);
  for (size_t x = 0; x < 40; ++x) EXPECT_EQ(NozzleColumn(*view, x, true), words[x]) << x;
  EXPECT_EQ(NozzleColumn(*view, 40, true), 0);  // past the width, also inside the row padding
}

TEST(NozzleColumns, EncodedAsLowByteFirstPairs) {
  const auto image = BitmapOfColumns({0x0ABC, 0x0123, 0x0F0F}, 12);
  const auto view = EndorsementBitmap::FromCaller(image.bits.data(), image.width, image.rows);
  std::array<uint8_t, 9> out;
  out.fill(0xEE);
  EncodeNozzleColumns(*view, 1, true, out);
  const std::array<uint8_t, 9> expected = {0x23, 0x01, 0x0F, 0x0F, 0, 0, 0, 0, 0};
  EXPECT_EQ(out, expected);
}

TEST(NozzleColumns, ArgumentsThatDescribeNoImage) {
  const uint8_t bits[4] = {};
  EXPECT_FALSE(EndorsementBitmap::FromCaller(bits, -1, 12));
  EXPECT_FALSE(EndorsementBitmap::FromCaller(bits, 10, -1));
  EXPECT_FALSE(EndorsementBitmap::FromCaller(nullptr, 10, 12));
  // Nothing to read: no bits needed.
  EXPECT_TRUE(EndorsementBitmap::FromCaller(nullptr, 0, 12));
  EXPECT_TRUE(EndorsementBitmap::FromCaller(nullptr, 10, 0));
}

}  // namespace
}  // namespace qv6::endorsement
