// GIF, PCX and BMP writer tests: file layouts field by field, the run-length cases, refusals, and
// decoding of written files by independent readers (giflib, netpbm, python3-pil, ImageMagick).
#include <gtest/gtest.h>

#include <cstring>

#include "codec/core/img_dispatch.h"
#include "codec/core/img_error.h"
#include "codec/formats/byte_order.h"
#include "codec/formats/pcx_writer.h"
#include "codec/formats/raster_formats.h"
#include "codec/formats/tests/formats_test_support.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::codec {
namespace {

using fmt::getLe16;
using fmt::getLe32;
using test::Picture;

using test::kPalette;

// Pixels of a written file as an outside tool decodes them to PNM (indexes expanded through the palette).
void expectToolDecodes(const std::string& tool, const std::vector<uint8_t>& file, const char* ext,
                       const Picture& expected) {
  testkit::ScratchDir dir("zc_formats");
  const std::string in = dir.File(std::string("in.") + ext);
  const std::string out = dir.File("out.pnm");
  testkit::WriteFileBytes(in, file);
  std::string cmd;
  if (tool == "pil") {
    cmd =
        "/usr/bin/python3 -c \"import sys; from PIL import Image; im=Image.open(sys.argv[1]); "
        "im.convert('RGB').save(sys.argv[2], 'PPM')\" " +
        in + " " + out;
  } else if (tool == "convert") {
    cmd = "convert " + in + " -depth 8 ppm:" + out;
  } else if (tool == "gif2rgb") {
    cmd = "gif2rgb -1 -o " + dir.File("rgb") + " " + in + " && printf 'P6\\n%d %d\\n255\\n' " +
          std::to_string(expected.width) + " " + std::to_string(expected.height) + " > " + out + " && cat " +
          dir.File("rgb") + " >> " + out;
  } else {
    cmd = tool + " " + in + " > " + out;
  }
  if (!(tool == "pil" ? testkit::HavePythonModule("PIL")
                      : testkit::HaveTool(tool == "convert" ? "convert" : tool))) {
    GTEST_SKIP() << tool << " not installed";
  }
  // ImageMagick warnings on stderr count as failures.
  const std::string errFile = dir.File("err");
  ASSERT_EQ(testkit::RunCommand(cmd + " 2>" + errFile).status, 0) << cmd;
  if (tool == "convert") {
    EXPECT_TRUE(testkit::ReadFileBytes(errFile).empty()) << cmd;
  }
  Picture got;
  ASSERT_TRUE(test::readPnm(out, &got)) << cmd;
  Picture rgb = expected;
  if (got.channels == 3 && expected.channels == 1) rgb = test::expand(expected, kPalette);
  EXPECT_EQ(got.width, rgb.width);
  EXPECT_EQ(got.height, rgb.height);
  EXPECT_TRUE(got.pixels == rgb.pixels) << tool << " " << ext;
}

TEST(GifWriter, HeaderOfOneBitAndPaletteLessImages) {
  const Picture p = test::makePicture(10, 3, 1, 1);
  const std::vector<uint8_t> one = test::encode("GIF", p, 1, kPalette.data());
  ASSERT_GT(one.size(), 30u);
  EXPECT_EQ(std::string(one.begin(), one.begin() + 6), "GIF87a");
  EXPECT_EQ(one[10], 0x80);
  EXPECT_EQ(one[19], ',');    // after a 2-entry table
  EXPECT_EQ(one[28], 0);      // image flags
  EXPECT_EQ(one[29], 2);      // LZW minimum code size
  EXPECT_EQ(one[31] & 7, 4);  // first code: clear (4) in 3 bits
  EXPECT_EQ(std::vector<uint8_t>(one.end() - 2, one.end()), (std::vector<uint8_t>{0, ';'}));

  const std::vector<uint8_t> bare = test::encode("GIF", test::makePicture(5, 5, 1, 8), 8, nullptr);
  ASSERT_GT(bare.size(), 13u);
  EXPECT_EQ(bare[10], 7);
  EXPECT_EQ(bare[13], ',');
}

TEST(GifWriter, RefusesUnsupportedBitsAndHandleZero) {
  const Picture p = test::makePicture(4, 4, 1, 3);
  EXPECT_TRUE(test::encode("GIF", p, 3, kPalette.data()).empty());
  EXPECT_EQ(iImgError, 15);
  ImgCompDesc d;
  funcInitCompDesc(&d);
  d.handle = 0;
  std::strcpy(d.tag, "GIF");
  d.bitsPerPixel = 8;
  EXPECT_EQ(initCompWith(&d, rasterCompFormats()), -1);
  EXPECT_EQ(iImgError, 1);
}

TEST(GifWriter, MemoryTargetTooSmallFailsWithShortWrite) {
  const Picture p = test::makePicture(200, 100, 1, 8);
  std::vector<uint8_t> out(500);
  ImgCompDesc d;
  funcInitCompDesc(&d);
  d.memAddress = out.data();
  d.memSize = 500;
  std::strcpy(d.tag, "GIF");
  d.colorModel = 1;
  d.width = 200;
  d.height = 100;
  d.rowsPerBand = 1;
  d.bitsPerPixel = 8;
  ASSERT_EQ(initCompWith(&d, rasterCompFormats()), 0);
  int result = 0;
  for (int y = 0; y < 100 && result == 0; ++y)
    result = d.lineWriter(0, y, 200, y + 1, p.pixels.data() + y * 200);
  EXPECT_EQ(result, 19);
  EXPECT_EQ(d.position, 500u);
  endCompWith(&d, rasterCompFormats());
}

struct ToolCase {
  const char* tag;
  const char* ext;
  int bits;
  int width;
  int height;
  int band;
};

// Failure messages name the case, not its bytes.
void PrintTo(const ToolCase& c, std::ostream* os) {
  *os << c.tag << ' ' << c.bits << "-bit " << c.width << 'x' << c.height << " in bands of " << c.band;
}

class WriterConformance : public ::testing::TestWithParam<ToolCase> {};

TEST_P(WriterConformance, IndependentReadersGetTheSourcePixels) {
  const ToolCase c = GetParam();
  const Picture p = test::makePicture(c.width, c.height, c.bits == 24 ? 3 : 1, c.bits);
  const std::vector<uint8_t> file = test::encode(c.tag, p, c.bits, kPalette.data(), c.band, 200);
  ASSERT_FALSE(file.empty()) << iImgError;
  std::vector<std::string> tools = {"pil", "convert"};
  if (std::string(c.tag) == "GIF") tools.insert(tools.end(), {"giftopnm", "gif2rgb"});
  if (std::string(c.tag) == "PCX") tools.push_back("pcxtoppm");
  if (std::string(c.tag) == "BMP") tools.push_back("bmptopnm");
  const bool pcx = std::string(c.tag) == "PCX";
  for (const std::string& tool : tools) {
    // ImageMagick 6.9 shows 1-bit PCX files inverted, and PIL 9.4 ignores the padding of four-plane
    // lines whose width is not a multiple of 16 (netpbm reads both as written).
    if (pcx && tool == "convert" && c.bits == 1) continue;
    if (pcx && tool == "pil" && c.bits == 4 && c.width % 16 != 0) continue;
    // PIL reads 1-bit PCX files as black and white, whatever the palette.
    Picture expected = p;
    if (pcx && tool == "pil" && c.bits == 1) expected = test::expand(p, {0, 0, 0, 255, 255, 255});
    expectToolDecodes(tool, file, c.ext, expected);
  }
}

// 8-bit noise at 300 x 200 makes far more than 4096 strings, so the coder clears its table.
INSTANTIATE_TEST_SUITE_P(
    Writers, WriterConformance,
    ::testing::Values(ToolCase{"GIF", "gif", 8, 300, 200, 16}, ToolCase{"GIF", "gif", 4, 101, 37, 1},
                      ToolCase{"GIF", "gif", 2, 1, 9, 16}, ToolCase{"GIF", "gif", 1, 77, 20, 7},
                      ToolCase{"PCX", "pcx", 8, 101, 40, 16}, ToolCase{"PCX", "pcx", 4, 37, 21, 5},
                      ToolCase{"PCX", "pcx", 4, 48, 5, 16}, ToolCase{"PCX", "pcx", 1, 10, 12, 16},
                      ToolCase{"BMP", "bmp", 24, 31, 17, 4}, ToolCase{"BMP", "bmp", 8, 33, 19, 16},
                      ToolCase{"BMP", "bmp", 4, 7, 9, 2}, ToolCase{"BMP", "bmp", 1, 45, 8, 3}),
    // Format, depth, size and band height, e.g. GIF_8bit_300x200_band16.
    [](const ::testing::TestParamInfo<ToolCase>& p) {
      const ToolCase& c = p.param;
      return std::string(c.tag) + "_" + std::to_string(c.bits) + "bit_" + std::to_string(c.width) + "x" +
             std::to_string(c.height) + "_band" + std::to_string(c.band);
    });

TEST(GifWriter, WideImageWithManyStrings) {
  const Picture p = test::makePicture(5000, 6, 1, 8);
  const std::vector<uint8_t> file = test::encode("GIF", p, 8, kPalette.data(), 1);
  ASSERT_FALSE(file.empty());
  const test::DecodeResult r = test::decode(file);
  EXPECT_EQ(r.decodeResult, 0);
  EXPECT_TRUE(r.picture.pixels == p.pixels);
  expectToolDecodes("giftopnm", file, "gif", p);
}

TEST(Writers, BandHeightDoesNotChangeTheFile) {
  for (const char* tag : {"GIF", "PCX", "BMP"}) {
    const Picture p = test::makePicture(61, 40, 1, 8);
    const std::vector<uint8_t> one = test::encode(tag, p, 8, kPalette.data(), 1);
    EXPECT_FALSE(one.empty());
    EXPECT_EQ(test::encode(tag, p, 8, kPalette.data(), 16), one) << tag;
    EXPECT_EQ(test::encode(tag, p, 8, kPalette.data(), 40), one) << tag;
  }
}

TEST(PcxWriter, RunLengthCases) {
  struct Case {
    std::vector<uint8_t> line;
    std::vector<uint8_t> coded;
  };
  const Case cases[] = {
      {std::vector<uint8_t>(64, 7), {0xFF, 7, 0xC1, 7}},
      {{0xC5}, {0xC1, 0xC5}},
      {{1, 2, 2, 3}, {1, 0xC2, 2, 3}},
      {std::vector<uint8_t>(63, 0xD0), {0xFF, 0xD0}},
      {std::vector<uint8_t>(127, 0), {0xFF, 0, 0xFF, 0, 0xC1, 0}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out;
    fmt::pcxEncodeLine(c.line.data(), c.line.size(), out);
    EXPECT_EQ(out, c.coded);
  }
}

TEST(PcxWriter, HeaderAndLineLayout) {
  const Picture one = test::makePicture(10, 2, 1, 1);
  const std::vector<uint8_t> f1 = test::encode("PCX", one, 1, kPalette.data());
  ASSERT_GE(f1.size(), 128u);
  EXPECT_EQ(f1[1], 2);
  EXPECT_EQ(getLe16(&f1[66]), 2);  // even((10 + 7) / 8)
  EXPECT_EQ(std::memcmp(&f1[16], kPalette.data(), 6), 0);
  const std::vector<uint8_t> f8 = test::encode("PCX", test::makePicture(101, 3, 1, 8), 8, kPalette.data());
  ASSERT_GT(f8.size(), 128u + 769u);
  EXPECT_EQ(f8[1], 5);
  EXPECT_EQ(getLe16(&f8[66]), 101);
  EXPECT_EQ(f8[f8.size() - 769], 0x0C);
  EXPECT_EQ(std::memcmp(&f8[f8.size() - 768], kPalette.data(), 768), 0);
  const std::vector<uint8_t> f4 = test::encode("PCX", test::makePicture(20, 3, 1, 4), 4, kPalette.data());
  EXPECT_EQ(f4[3], 1);
  EXPECT_EQ(f4[65], 4);
  EXPECT_EQ(getLe16(&f4[66]), 4);

  // One 1-bit row of width 10 (bits 1 0 1 1 0 0 1 0 0 1): unused low bits are set.
  Picture row{10, 1, 1, {1, 0, 1, 1, 0, 0, 1, 0, 0, 1}};
  const std::vector<uint8_t> f = test::encode("PCX", row, 1, kPalette.data());
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 128, f.end()), (std::vector<uint8_t>{0xB2, 0x7F}));
}

TEST(PcxWriter, Refusals) {
  const Picture p = test::makePicture(4, 4, 1, 8);
  EXPECT_TRUE(test::encode("PCX", p, 8, nullptr).empty());
  EXPECT_EQ(iImgError, 38);
  EXPECT_TRUE(test::encode("PCX", p, 2, kPalette.data()).empty());
  EXPECT_EQ(iImgError, 15);
}

TEST(BmpWriter, HeaderRowsAndResolution) {
  Picture p = test::makePicture(3, 2, 3, 24);
  const std::vector<uint8_t> f = test::encode("BMP", p, 24, kPalette.data(), 16, 200);
  ASSERT_EQ(f.size(), 54u + 24u);
  EXPECT_EQ(getLe32(&f[2]), 78u);
  EXPECT_EQ(getLe32(&f[10]), 54u);
  EXPECT_EQ(getLe32(&f[14]), 40u);
  EXPECT_EQ(getLe32(&f[34]), 24u);
  EXPECT_EQ(getLe32(&f[38]), 7874u);
  EXPECT_EQ(getLe32(&f[42]), 7874u);
  // First file row = last image row, B G R, padded to 12 bytes.
  EXPECT_EQ(f[54], p.pixels[9 + 2]);
  EXPECT_EQ(f[56], p.pixels[9]);
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 63, f.begin() + 66), (std::vector<uint8_t>{0, 0, 0}));
  const std::vector<uint8_t> f8 = test::encode("BMP", test::makePicture(5, 2, 1, 8), 8, kPalette.data());
  EXPECT_EQ(getLe32(&f8[10]), 54u + 1024u);
  EXPECT_EQ(f8[54 + 4 * 9], kPalette[3 * 9 + 2]);
}

TEST(BmpWriter, BandsInAnyOrderGiveTheSameFile) {
  const Picture p = test::makePicture(13, 20, 1, 8);
  const std::vector<uint8_t> forward = test::encode("BMP", p, 8, kPalette.data(), 4);
  std::vector<uint8_t> out(4096);
  ImgCompDesc d;
  funcInitCompDesc(&d);
  d.memAddress = out.data();
  d.memSize = 4096;
  std::strcpy(d.tag, "BMP");
  d.colorModel = 1;
  d.width = 13;
  d.height = 20;
  d.rowsPerBand = 4;
  d.bitsPerPixel = 8;
  d.palette = kPalette.data();
  ASSERT_EQ(initCompWith(&d, rasterCompFormats()), 0);
  EXPECT_EQ(d.memSize, static_cast<int32_t>(forward.size()));  // lowered to the file, never raised
  for (int y = 16; y >= 0; y -= 4) ASSERT_EQ(d.lineWriter(0, y, 13, y + 4, p.pixels.data() + y * 13), 0);
  EXPECT_EQ(d.lineWriter(0, 18, 13, 22, p.pixels.data()), 8);  // past the image
  endCompWith(&d, rasterCompFormats());
  out.resize(forward.size());
  EXPECT_EQ(out, forward);
}

TEST(BmpWriter, Refusals) {
  const Picture p = test::makePicture(4, 4, 3, 24);
  EXPECT_TRUE(test::encode("BMP", p, 24, nullptr).empty());
  EXPECT_EQ(iImgError, 38);
  EXPECT_TRUE(test::encode("BMP", p, 16, kPalette.data()).empty());
  EXPECT_EQ(iImgError, 15);
}

}  // namespace
}  // namespace zc::codec
