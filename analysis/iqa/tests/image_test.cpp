// The IQA image, its loaders, the clean-up passes, the result writer and the size table.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "imaging/gray_tables.h"
#include "imaging/image_writers.h"
#include "iqa_fixture.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"

namespace analysis::iqa::testing {
namespace {

class ImageTest : public IqaTest {};

TEST_F(ImageTest, PixelAccessOutsideTheImageReadsWhiteAndIgnoresWrites) {
  Blank(16, 16);
  IQASetPixel(-1, 0);
  IQASetPixel(16, 3);
  IQASetPixel(3, 16);
  EXPECT_EQ(IQAGetPixel(-1, 0), 0);
  EXPECT_EQ(IQAGetPixel(16, 3), 0);
  EXPECT_EQ(IQABlackPercent(), 0);
  IQASetPixel(9, 1);
  EXPECT_EQ(Image().Row(1)[1], 0x40);
}

// Writes a 1-bit record as a G4 TIFF through the program's writer and returns the file name.
std::string G4File(const zc::testkit::ScratchDir& dir, const std::string& name, std::vector<uint8_t> record) {
  const std::string path = dir / name;
  EXPECT_EQ(zc::imaging::ZARNCompressImage(path.c_str(), record), 1);
  return path;
}

TEST_F(ImageTest, TiffLoadRoundsWidthAndHeightUpWithWhitePadding) {
  zc::testkit::ScratchDir dir("iqa");
  auto record = Record(1700, 730, 1, 200, 0xFF);
  const std::string path = G4File(dir, "black.tif", record);
  ASSERT_EQ(LoadIQAMemory(path.c_str(), 1), 0);
  EXPECT_EQ(Image().width, 1704);
  EXPECT_EQ(Image().height, 736);
  EXPECT_EQ(Image().rowBytes, 213);
  EXPECT_EQ(IQAGetPixel(1699, 729), 1);
  EXPECT_EQ(IQAGetPixel(1700, 0), 0);
  EXPECT_EQ(IQAGetPixel(0, 730), 0);
  EXPECT_GT(Image().compressedSize, 0);
}

struct DpiCase {
  const char* name;
  int dpi;
  int height;
  int result;
};
class LoaderDpiTest : public IqaTest, public ::testing::WithParamInterface<DpiCase> {};
TEST_P(LoaderDpiTest, RecordAndFileAgreeOnResolutionAndHeight) {
  const DpiCase& c = GetParam();
  auto record = Record(400, c.height, 1, c.dpi, 0);
  EXPECT_EQ(LoadIQAMemoryFromMem(record), c.result);
  zc::testkit::ScratchDir dir("iqa");
  const std::string path = G4File(dir, "page.tif", record);
  EXPECT_EQ(LoadIQAMemory(path.c_str(), 1), c.result);
  if (c.result == 3) {
    EXPECT_EQ(services.trace.back(), "Bad DPI or no Scanner");
  }
}
INSTANTIATE_TEST_SUITE_P(Cases, LoaderDpiTest,
                         ::testing::Values(DpiCase{"dpi204", 204, 300, 0}, DpiCase{"dpi211", 211, 300, 3},
                                           DpiCase{"dpi240", 240, 300, 0}, DpiCase{"dpi300", 300, 300, 0},
                                           DpiCase{"height159", 200, 159, 3},
                                           DpiCase{"height160", 200, 160, 0}),
                         [](const auto& i) { return std::string(i.param.name); });

// Rewrites the ImageLength of a little-endian TIFF's first directory, so the coded rows end early.
void SetTiffLength(const std::string& path, uint32_t length) {
  auto bytes = zc::testkit::ReadFileBytes(path);
  ASSERT_GE(bytes.size(), 8u);
  const uint32_t ifd = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24;
  const int count = bytes[ifd] | bytes[ifd + 1] << 8;
  for (int i = 0; i < count; ++i) {
    uint8_t* e = &bytes[ifd + 2 + 12 * i];
    if ((e[0] | e[1] << 8) != 257) continue;
    const int type = e[2] | e[3] << 8;
    if (type == 3) {
      e[8] = length & 0xFF, e[9] = (length >> 8) & 0xFF;
    } else {
      for (int b = 0; b < 4; ++b) e[8 + b] = static_cast<uint8_t>(length >> (8 * b));
    }
  }
  ASSERT_TRUE(zc::testkit::WriteFileBytes(path, bytes));
}

TEST_F(ImageTest, DecodeErrorNearTheEndIsToleratedFurtherUpItIsNot) {
  zc::testkit::ScratchDir dir("iqa");
  auto record = Record(800, 400, 1, 200, 0);
  for (int y = 0; y < 400; y += 3) record[8 + y * 100 + y / 4] = 0xF0;
  const std::string near = G4File(dir, "near.tif", record), far = G4File(dir, "far.tif", record);
  SetTiffLength(near, 410);  // the data ends 10 rows above the page's last row
  SetTiffLength(far, 440);   // 40 rows above
  EXPECT_EQ(LoadIQAMemory(near.c_str(), 1), 0);
  EXPECT_EQ(LoadIQAMemory(far.c_str(), 1), 5);
  EXPECT_EQ(services.trace.back(), "Image Error");
  EXPECT_TRUE(Image().held());  // the partly decoded image stays until the next loader or writer
  EXPECT_EQ(IQAGetPixel(0, 0), 1);
}

TEST_F(ImageTest, MissingFileAndBadMemoryImageAreRefused) {
  EXPECT_EQ(LoadIQAMemory("/nonexistent/x.tif", 1), 1);
  EXPECT_EQ(services.trace.back(), "Open Error");
  std::vector<uint8_t> junk(64, 0x55);
  const std::string md = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(junk.data())) + ":64";
  EXPECT_EQ(LoadIQAMemory(md.c_str(), 1), 1);
  EXPECT_EQ(services.trace.back(), "ReadMultipleTiffHeaderMem Error");
}

TEST_F(ImageTest, MemoryImageLoadsLikeTheFile) {
  auto record = Record(800, 200, 1, 200, 0);
  for (int y = 50; y < 60; ++y) std::memset(&record[8 + y * 100 + 10], 0xFF, 20);
  std::vector<uint8_t> memory(200000, 0);
  const std::string md = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(memory.data())) + ":200000";
  ASSERT_GT(zc::imaging::ZARNCompressImage(md.c_str(), record), 0);
  ASSERT_EQ(LoadIQAMemory(md.c_str(), 1), 0);
  EXPECT_EQ(IQAGetPixel(80, 55), 1);
  EXPECT_EQ(IQAGetPixel(79, 55), 0);
  EXPECT_EQ(IQABlackPercent(), 200 * 10 * 100 / (800 * 200));
}

struct SideCase {
  const char* name;
  int width;
  int height;
};
class RecordSideTest : public IqaTest, public ::testing::WithParamInterface<SideCase> {};
TEST_P(RecordSideTest, SidesOutsideTheUsableRangeAreRefused) {
  auto record = Record(8, 200, 1, 200, 0);
  record[0] = static_cast<uint8_t>(GetParam().width & 0xFF);
  record[1] = static_cast<uint8_t>((GetParam().width >> 8) & 0xFF);
  record[2] = static_cast<uint8_t>(GetParam().height & 0xFF);
  record[3] = static_cast<uint8_t>((GetParam().height >> 8) & 0xFF);
  EXPECT_EQ(LoadIQAMemoryFromMem(record), 3);
  EXPECT_FALSE(Image().held());
}
INSTANTIATE_TEST_SUITE_P(Cases, RecordSideTest,
                         ::testing::Values(SideCase{"zeroWidth", 0, 200}, SideCase{"negativeWidth", -9, 200},
                                           SideCase{"widthPastBuffer", 4000, 200}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(ImageTest, GrayRecordsThresholdAtParameter118) {
  services.params[118] = 128;
  auto at = Record(100, 200, 8, 200, 128);
  ASSERT_EQ(LoadIQAMemoryFromMem(at), 0);
  EXPECT_EQ(IQABlackPercent(), 0);
  auto below = Record(100, 200, 8, 200, 127);
  ASSERT_EQ(LoadIQAMemoryFromMem(below), 0);
  EXPECT_EQ(IQAGetPixel(99, 199), 1);
  EXPECT_EQ(IQAGetPixel(100, 0), 0);              // the completed last byte is white
  auto nibbles = Record(100, 200, 4, 200, 0x7F);  // left pixel 7 < 8 black, right pixel 15 white
  ASSERT_EQ(LoadIQAMemoryFromMem(nibbles), 0);
  EXPECT_EQ(IQAGetPixel(0, 0), 1);
  EXPECT_EQ(IQAGetPixel(1, 0), 0);
}

// A packed bottom-up DIB with a 40-byte header.
std::vector<uint8_t> Dib(int width, int height, int bits, uint8_t fill) {
  const size_t stride = (static_cast<size_t>(bits) * width + 31) / 32 * 4;
  const size_t palette = bits <= 8 ? (size_t{4} << bits) : 0;
  std::vector<uint8_t> d(40 + palette + stride * height, fill);
  std::memset(d.data(), 0, 40 + palette);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, static_cast<uint32_t>(width));
  put32(8, static_cast<uint32_t>(height));
  d[12] = 1;
  d[14] = static_cast<uint8_t>(bits);
  return d;
}

TEST_F(ImageTest, DibRowsAreFlippedAndThresholded) {
  auto dib = Dib(16, 4, 8, 200);
  const size_t pixels = dib.size() - 16 * 4;
  dib[pixels + 0] = 79;  // bottom row, column 0: black, image row 3
  dib[pixels + 1] = 80;  // white
  ASSERT_EQ(IQAConvDIBToBW(dib), 0);
  EXPECT_EQ(Image().xDpi, 200);
  EXPECT_EQ(IQAGetPixel(0, 3), 1);
  EXPECT_EQ(IQAGetPixel(1, 3), 0);
  EXPECT_EQ(IQAGetPixel(0, 0), 0);
}

TEST_F(ImageTest, DibLuminanceEightyIsBlackAndEightyOneWhite) {
  auto dib = Dib(16, 1, 24, 0);
  // Gray levels from the byte tables: find an RGB triple of each luminance.
  const auto& t = zc::imaging::GetByteGrayTables();
  int found80 = -1, found81 = -1;
  for (int v = 0; v < 256; ++v) {
    const int g = t.Gray(v, v, v);
    if (g == 80 && found80 < 0) found80 = v;
    if (g == 81 && found81 < 0) found81 = v;
  }
  ASSERT_GE(found80, 0);
  ASSERT_GE(found81, 0);
  for (int x = 0; x < 16; ++x) std::memset(&dib[40 + 3 * x], x < 8 ? found80 : found81, 3);
  ASSERT_EQ(IQAConvDIBToBW(dib), 0);
  EXPECT_EQ(IQAGetPixel(0, 0), 1);
  EXPECT_EQ(IQAGetPixel(8, 0), 0);
}

TEST_F(ImageTest, DibWithoutUsablePixelsGivesMinus105) {
  auto dib = Dib(16, 4, 8, 0);
  EXPECT_EQ(IQAConvDIBToBW(std::span<const uint8_t>(dib.data(), 60)), kNoDibPixels);
  auto negative = Dib(16, 4, 8, 0);
  negative[8] = 0xFC, negative[9] = 0xFF, negative[10] = 0xFF, negative[11] = 0xFF;  // top-down
  EXPECT_EQ(IQAConvDIBToBW(negative), kNoDibPixels);
}

TEST_F(ImageTest, CleanBordersModeOneKeepsMostlyWhiteSidesAndStaysInsideNarrowRows) {
  Blank(400, 200);
  Fill(0, 0, 8, 100);
  EXPECT_EQ(IQACleanBorders(1), 0);
  EXPECT_EQ(IQAGetPixel(0, 0), 1);
  Blank(40, 120);
  Fill(0, 0, 40, 120);
  EXPECT_EQ(IQACleanBorders(1), 2);  // the side bytes of a 5-byte row overlap; then refused by size
  Document(400, 200, 12);
  EXPECT_EQ(IQACleanBorders(0), 0);
  EXPECT_EQ(IQAGetPixel(0, 100), 0);
  EXPECT_EQ(IQAGetPixel(100, 10), 0);
  EXPECT_EQ(IQAGetPixel(41, 100), 0);  // the 5 bytes of a side are cleared whole
  FreeImage();
  EXPECT_EQ(IQACleanBorders(0), 1);
}

struct SmoothCase {
  const char* name;
  std::vector<std::pair<int, int>> black;  // (column, row)
  int column, row;
  int expected;
};
class SmoothTest : public IqaTest, public ::testing::WithParamInterface<SmoothCase> {};
TEST_P(SmoothTest, RuleTable) {
  Blank(32, 32);
  for (auto [c, r] : GetParam().black) IQASetPixel(c, r);
  IQASmoothImage();
  EXPECT_EQ(IQAGetPixel(GetParam().column, GetParam().row), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Rules, SmoothTest,
    ::testing::Values(SmoothCase{"holeUnderALineFilled",
                                 {{8, 9}, {9, 9}, {10, 9}, {11, 9}, {12, 9}, {9, 10}, {11, 10}},
                                 10,
                                 10,
                                 1},
                      SmoothCase{
                          "dotClearedBeforeTheHoleBelowIsSeen", {{10, 9}, {9, 10}, {11, 10}}, 10, 10, 0},
                      SmoothCase{"holeWithTwoNeighboursKept", {{10, 9}, {9, 10}}, 10, 10, 0},
                      SmoothCase{"isolatedDotCleared", {{10, 10}}, 10, 10, 0},
                      SmoothCase{"spurRightOfBlockCleared",
                                 {{8, 9}, {8, 10}, {8, 11}, {9, 9}, {9, 10}, {9, 11}, {10, 10}},
                                 10,
                                 10,
                                 0},
                      SmoothCase{"spurLeftOfBlockCleared",
                                 {{11, 9}, {11, 10}, {11, 11}, {12, 9}, {12, 10}, {12, 11}, {10, 10}},
                                 10,
                                 10,
                                 0},
                      SmoothCase{"stubAboveBlockCleared",
                                 {{9, 11}, {10, 11}, {11, 11}, {9, 12}, {10, 12}, {11, 12}, {10, 10}},
                                 10,
                                 10,
                                 0},
                      SmoothCase{"lineEndKept", {{8, 10}, {9, 10}, {10, 10}}, 10, 10, 1}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(ImageTest, ResultRecordHoldsTheSmoothedImage) {
  Blank(64, 200);
  Fill(8, 8, 40, 40);
  IQASetPixel(60, 100);  // removed by smoothing
  std::vector<uint8_t> out(8 + 8 * 200, 0xAA);
  ASSERT_EQ(IQAWriteResultImage(out, nullptr, 2), 0);
  EXPECT_FALSE(Image().held());
  EXPECT_EQ(out[0], 64);
  EXPECT_EQ(out[2], 200);
  EXPECT_EQ(out[4], 1);
  EXPECT_EQ(out[8 + 8 * 20 + 1], 0xFF);
  EXPECT_EQ(out[8 + 8 * 100 + 7], 0);
  EXPECT_EQ(IQAWriteResultImage(out, nullptr, 2), 1);
}

TEST_F(ImageTest, ResultTiffIsReadableByLibtiffAndPixelEqual) {
  if (!zc::testkit::HaveTool("tiffinfo") || !zc::testkit::HaveTool("tiffcp") ||
      !zc::testkit::HaveTool("convert")) {
    GTEST_SKIP() << "libtiff tools or ImageMagick missing";
  }
  zc::testkit::ScratchDir dir("iqa");
  Blank(1704, 736);
  for (int y = 100; y < 600; y += 37) Fill(30 + y, y, 900 + y / 2, y + 9);
  std::vector<uint8_t> expected(8 + 213 * 736);
  ASSERT_EQ(IQAWriteResultImage(expected, nullptr, 2), 0);  // smoothed, as the file will be
  Blank(1704, 736);
  for (int y = 100; y < 600; y += 37) Fill(30 + y, y, 900 + y / 2, y + 9);
  const std::string tif = dir / "result.tif";
  bool written = false;
  ASSERT_EQ(IQAWriteResultImage({}, tif.c_str(), 1, &written), 0);
  ASSERT_TRUE(written);
  const auto info = zc::testkit::RunCommand("tiffinfo '" + tif + "'");
  ASSERT_TRUE(info.ok()) << info.output;
  EXPECT_NE(info.output.find("1704"), std::string::npos);
  EXPECT_NE(info.output.find("736"), std::string::npos);
  EXPECT_NE(info.output.find("CCITT Group 4"), std::string::npos) << info.output;
  EXPECT_NE(info.output.find("200"), std::string::npos);
  const auto strips = zc::testkit::RunCommand("tiffinfo -s '" + tif + "'");
  EXPECT_NE(strips.output.find("512"), std::string::npos) << strips.output;
  const std::string plain = dir / "plain.tif", pbm = dir / "plain.pbm", ref = dir / "ref.pbm";
  ASSERT_TRUE(zc::testkit::RunCommand("tiffcp -c none '" + tif + "' '" + plain + "'").ok());
  ASSERT_TRUE(zc::testkit::RunCommand("convert '" + plain + "' '" + pbm + "'").ok());
  std::vector<uint8_t> raster(expected.begin() + 8, expected.end());
  ASSERT_TRUE(zc::testkit::WritePnm(ref, zc::testkit::PnmFormat::kBitmap, 1704, 736, raster));
  if (zc::testkit::HaveTool("compare")) {
    const auto ae = zc::testkit::RunCommand("compare -metric AE '" + pbm + "' '" + ref + "' null: 2>&1");
    EXPECT_EQ(ae.output.substr(0, 1), "0") << ae.output;
  }
  const auto decoded = zc::testkit::ReadPnm(pbm);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->raster, raster);
}

TEST_F(ImageTest, ResultFileThatCannotBeCreatedIsReported) {
  Blank(64, 200);
  bool written = true;
  ASSERT_EQ(IQAWriteResultImage({}, "/nonexistent/dir/result.tif", 1, &written), 0);
  EXPECT_FALSE(written);
  EXPECT_FALSE(Image().held());
}

TEST_F(ImageTest, StandardSizeTableSettersCheckTheirRanges) {
  EXPECT_EQ(SetStandardCheckSizes(1, 32, 60, 27, 2), kBadArguments);
  EXPECT_EQ(StandardSizes().count, 0);
  EXPECT_EQ(SetStandardCheckSizes(1, 0, 60, 27, 2), 0);
  EXPECT_EQ(StandardSizes().count, 1);
  EXPECT_EQ(SetStandardCheckSizesAll(1, nullptr, nullptr, 2), kBadArguments);
  EXPECT_EQ(StandardSizes().count, 0);
  const int32_t w[2] = {60, 85}, h[2] = {27, 37};
  EXPECT_EQ(SetStandardCheckSizesAll(2, w, h, 2), 0);
  EXPECT_EQ(SetStandardCheckSizesAll(33, w, h, 2), kBadArguments);
}

TEST_F(ImageTest, CompareImageSizesOfRecordsAndFiles) {
  auto a = Record(1700, 730, 1, 200, 0), b = Record(1740, 730, 1, 200, 0), c = Record(1700, 760, 1, 200, 0);
  EXPECT_EQ(IQACompareImageSizes(a, nullptr, b, nullptr, 1), 1);  // tolerance 20
  EXPECT_EQ(IQACompareImageSizes(a, nullptr, c, nullptr, 1), 2);
  EXPECT_EQ(IQACompareImageSizes(a, nullptr, c, nullptr, 2), 0);
  EXPECT_EQ(IQACompareImageSizes({}, nullptr, {}, "", 1), kBadArguments);
  zc::testkit::ScratchDir dir("iqa");
  const std::string fa = G4File(dir, "a.tif", a), fb = G4File(dir, "b.tif", b);
  EXPECT_EQ(IQACompareImageSizes({}, fa.c_str(), {}, fb.c_str(), 1), 1);
  EXPECT_EQ(IQACompareImageSizes({}, fa.c_str(), {}, "/nonexistent.tif", 1), kBadArguments);
}

}  // namespace
}  // namespace analysis::iqa::testing
