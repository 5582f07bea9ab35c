// PNM files: round trips of each format, header comments, and refusal of malformed headers.
#include "testkit/support/pnm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::testkit {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(Pnm, EachFormatRoundTripsThroughAFile) {
  ScratchDir dir("zc_pnm");
  struct Case {
    PnmFormat format;
    int width, height;
  };
  for (const Case c :
       {Case{PnmFormat::kBitmap, 13, 3}, Case{PnmFormat::kGray, 5, 4}, Case{PnmFormat::kColor, 3, 2}}) {
    std::vector<uint8_t> raster(PnmRasterBytes(c.format, c.width, c.height));
    for (size_t i = 0; i < raster.size(); ++i) raster[i] = static_cast<uint8_t>(i * 37 + 11);
    ASSERT_TRUE(WritePnm(dir / "a.pnm", c.format, c.width, c.height, raster));
    const auto image = ReadPnm(dir / "a.pnm");
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->format, c.format);
    EXPECT_EQ(image->width, c.width);
    EXPECT_EQ(image->height, c.height);
    EXPECT_EQ(image->raster, raster);
  }
  EXPECT_FALSE(WritePnm(dir / "b.pnm", PnmFormat::kGray, 5, 4, std::vector<uint8_t>(19)));
}

TEST(Pnm, ReadsCommentsAndUnpacksBitmaps) {
  const auto image = ParsePnm(Bytes("P4\n# made by hand\n10 # width\n2\n\xC0\x40\x00\x80"s));
  ASSERT_TRUE(image.has_value());
  const std::vector<uint8_t> pixels = UnpackBitmap(*image);
  ASSERT_EQ(pixels.size(), 20u);
  EXPECT_EQ(pixels[0], 1);
  EXPECT_EQ(pixels[1], 1);
  EXPECT_EQ(pixels[2], 0);
  EXPECT_EQ(pixels[9], 1);
  EXPECT_EQ(pixels[10], 0);
  EXPECT_EQ(pixels[19], 0);
}

TEST(Pnm, RefusesMalformedHeadersAndShortRasters) {
  for (const char* text :
       {"P3\n1 1\n255\n\x01", "P5\n2 2\n255\n\x01\x02\x03", "P5\n0 2\n255\n", "P5\n-1 2\n255\n\x01",
        "P5\n2 1\n256\n\x01\x02", "P5\n2 1\n0\n\x01\x02", "P6\n99999999999 1\n255\n", "P5 2", ""}) {
    EXPECT_FALSE(ParsePnm(Bytes(text)).has_value()) << text;
  }
}

}  // namespace
}  // namespace zc::testkit
