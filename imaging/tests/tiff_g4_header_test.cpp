// The compact G4 header: its layout, and libtiff reading a page made of it and the codec's T.6 strip.
#include <gtest/gtest.h>

#include <vector>

#include "codec/tests/bilevel_test_support.h"
#include "imaging/tiff_g4_header.h"
#include "platform/byte_order.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"

namespace zc::imaging {
namespace {

TEST(TiffG4HeaderTest, Layout) {
  std::vector<uint8_t> h(300, 0xEE);
  ASSERT_EQ(funcMakeTIFFG4Header(h, 1700, 800, 12345, 200, 100), 0);
  EXPECT_EQ(h[0], 'I');
  EXPECT_EQ(plat::bytes::GetLe16(&h[2]), 42);
  EXPECT_EQ(plat::bytes::GetLe32(&h[4]), 8u);
  EXPECT_EQ(plat::bytes::GetLe16(&h[8]), 11);
  // Entry 8 (StripByteCounts) and the x resolution rational.
  EXPECT_EQ(plat::bytes::GetLe16(&h[10 + 7 * 12]), 279);
  EXPECT_EQ(plat::bytes::GetLe32(&h[10 + 7 * 12 + 8]), 12345u);
  EXPECT_EQ(plat::bytes::GetLe32(&h[142]), 0u);
  EXPECT_EQ(plat::bytes::GetLe32(&h[146]), 200u);
  EXPECT_EQ(plat::bytes::GetLe32(&h[150]), 1u);
  EXPECT_EQ(plat::bytes::GetLe32(&h[154]), 100u);
  EXPECT_EQ(h[255], 0);
  EXPECT_EQ(h[256], 0xEE);  // nothing past the header
  std::vector<uint8_t> small(255);
  EXPECT_EQ(funcMakeTIFFG4Header(small, 8, 8, 0, 200, 200), -552);
}

TEST(TiffG4HeaderTest, LibtiffReadsThePage) {
  if (!testkit::HaveTool("tifftopnm")) GTEST_SKIP() << "tifftopnm not installed";
  const testkit::BilevelImage image = testkit::makePattern(testkit::BilevelPattern::kRandom, 203, 37);
  const std::vector<uint8_t> strip = codec::test::encodeToMemory(image);
  std::vector<uint8_t> file(kCompactG4HeaderBytes);
  ASSERT_EQ(funcMakeTIFFG4Header(file, image.width, image.height, static_cast<uint32_t>(strip.size()), 200, 200), 0);
  file.insert(file.end(), strip.begin(), strip.end());
  testkit::ScratchDir dir("zc_g4_header");
  ASSERT_TRUE(testkit::WriteFileBytes(dir.File("page.tif"), file));
  const auto run = testkit::RunCommand("tifftopnm " + dir.File("page.tif") + " > " + dir.File("page.pbm"));
  ASSERT_TRUE(run.ok()) << run.output;
  const auto pbm = testkit::ReadPnm(dir.File("page.pbm"));
  ASSERT_TRUE(pbm.has_value());
  EXPECT_EQ(pbm->width, image.width);
  EXPECT_EQ(pbm->height, image.height);
  EXPECT_EQ(pbm->raster, image.rows);
}

}  // namespace
}  // namespace zc::imaging
