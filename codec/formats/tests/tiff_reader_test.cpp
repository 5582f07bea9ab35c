// TIFF reader tests: libtiff's tiffcp output (uncompressed, PackBits and LZW, both byte orders,
// several strips) decodes to the source pixels; the forms the reader does not take give their codes;
// bands and windows arrive as the caller asked, and the directory walk finds the wanted page.
#include <gtest/gtest.h>

#include "codec/formats/byte_order.h"
#include "codec/formats/packbits.h"
#include "codec/formats/source_reader.h"
#include "codec/formats/tests/formats_test_support.h"
#include "codec/formats/tiff_ifd.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::codec {
namespace {

using test::DecodeOptions;
using test::DecodeResult;
using test::Picture;

bool haveLibtiff() {
  return testkit::HaveTool("ppm2tiff") && testkit::HaveTool("tiffcp");
}

// The source as a TIFF made by ppm2tiff and rewritten by tiffcp with `options`.
std::vector<uint8_t> tiffOf(const Picture& p, const std::string& options) {
  testkit::ScratchDir dir("zc_formats");
  test::writePnm(dir.File("in.pnm"), p);
  const std::string base = dir.File("base.tif");
  const std::string out = dir.File("out.tif");
  if (!testkit::RunCommand("ppm2tiff -c none " + dir.File("in.pnm") + " " + base).ok() ||
      !testkit::RunCommand("tiffcp " + options + " " + base + " " + out).ok()) {
    ADD_FAILURE() << options;
    return {};
  }
  return testkit::ReadFileBytes(out);
}

struct Case {
  const char* name;  // the test's name: depth, coding, byte order and strips
  int channels;
  const char* options;
};

// Failure messages name the case, not its bytes.
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name << " (tiffcp " << c.options << ')';
}

class TiffConformance : public ::testing::TestWithParam<Case> {};

TEST_P(TiffConformance, DecodesToTheSourcePixels) {
  if (!haveLibtiff()) GTEST_SKIP() << "libtiff tools not installed";
  const Case c = GetParam();
  const Picture p = test::makePicture(53, 41, c.channels, 8);
  const std::vector<uint8_t> file = tiffOf(p, c.options);
  DecodeOptions o;
  o.outputColorMode = c.channels == 3 ? 3 : 0;
  const DecodeResult r = test::decode(file, o);
  ASSERT_GE(r.initResult, 0) << c.options << " error " << r.error;
  EXPECT_EQ(r.bits, 8 * c.channels);
  ASSERT_EQ(r.decodeResult, 0) << c.options << " error " << r.error;
  EXPECT_TRUE(r.picture == p) << c.options;
  // Gray strips, LZW ones too, fill the caller's palette with the gray ramp.
  if (c.channels == 1) {
    EXPECT_TRUE(r.paletteFilled) << c.options;
    EXPECT_EQ(r.palette[3 * 77], 77) << c.options;
    EXPECT_EQ(r.palette[3 * 200 + 2], 200) << c.options;
  }
}

// An LZW image of 53 x 41 codes far more than 511 strings, so the TIFF width rule matters.
INSTANTIATE_TEST_SUITE_P(Tiff, TiffConformance,
                         ::testing::Values(Case{"gray_none_little", 1, "-c none -L"},
                                           Case{"gray_none_big_7rowstrips", 1, "-c none -B -r 7"},
                                           Case{"gray_packbits_little_5rowstrips", 1, "-c packbits -L -r 5"},
                                           Case{"gray_packbits_big", 1, "-c packbits -B"},
                                           Case{"gray_lzw_little", 1, "-c lzw -r 41 -L"},
                                           Case{"gray_lzw_big", 1, "-c lzw -r 41 -B"},
                                           Case{"rgb_none_little_3rowstrips", 3, "-c none -L -r 3"},
                                           Case{"rgb_none_big", 3, "-c none -B"},
                                           Case{"rgb_packbits_big_9rowstrips", 3, "-c packbits -B -r 9"},
                                           Case{"rgb_packbits_little", 3, "-c packbits -L"}),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

TEST(TiffReader, RefusedForms) {
  if (!haveLibtiff()) GTEST_SKIP() << "libtiff tools not installed";
  struct Refusal {
    int channels;
    const char* options;
    int error;
  };
  const Refusal cases[] = {
      {3, "-c lzw -r 41", 71},         // LZW of 24-bit images
      {1, "-c lzw -r 8", 71},          // LZW in several strips
      {1, "-c lzw:2 -r 41", 71},       // horizontal predictor
      {3, "-c none -p separate", 71},  // planes
      {1, "-c jpeg -r 16", 71},        // JPEG (Compression 7) of 8-bit images
  };
  for (const Refusal& c : cases) {
    const std::vector<uint8_t> file = tiffOf(test::makePicture(20, 41, c.channels, 8), c.options);
    const DecodeResult r = test::decode(file);
    EXPECT_EQ(r.initResult, -1) << c.options;
    EXPECT_EQ(r.error, c.error) << c.options;
  }
  // A bilevel image.
  testkit::ScratchDir dir("zc_formats");
  testkit::WriteFileBytes(dir.File("b.pbm"), {'P', '4', '\n', '8', ' ', '2', '\n', 0x55, 0xAA});
  ASSERT_TRUE(testkit::RunCommand("pnmtotiff " + dir.File("b.pbm") + " > " + dir.File("b.tif")).ok() ||
              testkit::RunCommand("convert " + dir.File("b.pbm") + " " + dir.File("b.tif")).ok());
  EXPECT_EQ(test::decodeFile(dir.File("b.tif")).error, 71);
}

TEST(TiffReader, BandsPagesAndWindows) {
  if (!haveLibtiff()) GTEST_SKIP() << "libtiff tools not installed";
  const Picture p = test::makePicture(12, 20, 1, 8);
  const std::vector<uint8_t> file = tiffOf(p, "-c none -r 6");
  const DecodeResult r = test::decode(file);
  ASSERT_EQ(r.decodeResult, 0);
  std::vector<int> rows;
  for (const auto& b : r.bands) rows.push_back(b.endRow - b.firstRow);
  EXPECT_EQ(rows, (std::vector<int>{8, 8, 4}));

  DecodeOptions o;
  o.left = 3;
  o.top = 5;
  o.width = 7;
  o.height = 11;
  const DecodeResult w = test::decode(tiffOf(p, "-c packbits -r 4"), o);
  ASSERT_EQ(w.decodeResult, 0);
  ASSERT_EQ(w.bands.size(), 1u);  // PackBits: one band of the window
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 7; ++x) EXPECT_EQ(w.picture.pixels[y * 7 + x], p.pixels[(y + 5) * 12 + x + 3]);
  }
  o = {};
  o.width = 13;
  EXPECT_EQ(test::decode(file, o).error, 8);
  o = {};
  o.tiffPage = 1;
  EXPECT_EQ(test::decode(file, o).error, 68);
  // Gray output needs the caller's palette buffer.
  o = {};
  o.palette = false;
  EXPECT_EQ(test::decode(file, o).error, 71);
}

TEST(TiffReader, RgbReducedToTheCube) {
  if (!haveLibtiff()) GTEST_SKIP() << "libtiff tools not installed";
  const Picture p = test::makePicture(30, 12, 3, 8);
  for (const char* options : {"-c none", "-c packbits"}) {
    DecodeOptions o;
    o.ditherMode = 2;
    const DecodeResult r = test::decode(tiffOf(p, options), o);
    ASSERT_EQ(r.decodeResult, 0) << options;
    EXPECT_TRUE(r.paletteFilled);
    double err = 0;
    for (size_t i = 0; i < r.picture.pixels.size(); ++i) {
      ASSERT_LT(r.picture.pixels[i], 216);
      for (int c = 0; c < 3; ++c)
        err += std::abs(r.palette[3 * r.picture.pixels[i] + c] - p.pixels[3 * i + c]);
    }
    EXPECT_LT(err / p.pixels.size(), 40.0);
  }
  DecodeOptions noPalette;
  noPalette.palette = false;
  EXPECT_EQ(test::decode(tiffOf(p, "-c none"), noPalette).error, 38);
}

// A little-endian TIFF whose PhotometricInterpretation (262) is rewritten to `value`.
std::vector<uint8_t> withPhotometric(std::vector<uint8_t> file, uint16_t value) {
  const uint32_t ifd = fmt::getLe32(&file[4]);
  const uint16_t n = fmt::getLe16(&file[ifd]);
  for (uint16_t i = 0; i < n; ++i) {
    uint8_t* e = &file[ifd + 2 + 12 * i];
    if (fmt::getLe16(e) == 262) fmt::putLe16(e + 8, value);
  }
  return file;
}

TEST(TiffReader, WhiteIsZeroIsInvertedInEveryCoding) {
  if (!haveLibtiff()) GTEST_SKIP() << "libtiff tools not installed";
  const Picture p = test::makePicture(10, 9, 1, 8);
  for (const char* options : {"-c none -L", "-c packbits -L", "-c lzw -r 9 -L"}) {
    const DecodeResult r = test::decode(withPhotometric(tiffOf(p, options), 0));
    ASSERT_GE(r.initResult, 0) << options << " error " << r.error;
    ASSERT_EQ(r.decodeResult, 0) << options << " error " << r.error;
    ASSERT_EQ(r.picture.pixels.size(), p.pixels.size()) << options;
    EXPECT_TRUE(r.paletteFilled) << options;
    for (size_t i = 0; i < p.pixels.size(); ++i) ASSERT_EQ(r.picture.pixels[i], 255 - p.pixels[i]) << options;
  }
}

TEST(TiffReader, TwentyFourBitStripsThatAreNotRgbAreRefused) {
  if (!haveLibtiff()) GTEST_SKIP() << "libtiff tools not installed";
  const Picture p = test::makePicture(10, 9, 3, 8);
  for (const char* options : {"-c none -L", "-c packbits -L"}) {
    for (uint16_t photometric : {0, 1}) {
      const DecodeResult r = test::decode(withPhotometric(tiffOf(p, options), photometric));
      EXPECT_EQ(r.initResult, -1) << options << " photometric " << photometric;
      EXPECT_EQ(r.error, 71) << options << " photometric " << photometric;
    }
  }
}

TEST(PackBits, ControlBytesAndRowEnds) {
  struct Case {
    std::vector<uint8_t> coded;
    size_t rowBytes;
    std::vector<uint8_t> row;
    bool ok;
  };
  const Case cases[] = {
      {{0x80, 0xFE, 0x41}, 3, {0x41, 0x41, 0x41}, true},  // no-op, then a run of three
      {{0x02, 1, 2, 3, 0xFF, 9}, 5, {1, 2, 3, 9, 9}, true},
      {{0xF0, 7}, 4, {7, 7, 7, 7}, true},  // a run of 17 cut at the row's end
      {{0x05, 1, 2}, 6, {}, false},        // the data ends inside a literal
  };
  for (const Case& c : cases) {
    ImgDecompDesc d;
    funcInitDecompDesc(&d);
    d.memAddress = c.coded.data();
    d.memSize = static_cast<int32_t>(c.coded.size());
    fmt::SourceReader source(&d);
    ASSERT_TRUE(source.seek(0));
    std::vector<uint8_t> row(c.rowBytes);
    EXPECT_EQ(fmt::unpackBitsRow(source, row.data(), row.size()), c.ok);
    if (c.ok) {
      EXPECT_EQ(row, c.row);
    }
  }
}

TEST(TiffIfd, ByteOrderAndTypes) {
  const uint8_t v[] = {0x01, 0x02, 0x03, 0x04};
  EXPECT_EQ(fmt::tiffGet16(v, fmt::kTiffMotorola), 258);
  EXPECT_EQ(fmt::tiffGet16(v, fmt::kTiffIntel), 513);
  EXPECT_EQ(fmt::tiffGet32(v, fmt::kTiffMotorola), 0x01020304u);
  const uint8_t bad[] = {'I', 'M'};
  EXPECT_EQ(fmt::tiffByteOrder(bad), 0);
  const int sizes[] = {-1, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, -1};
  for (int t = 0; t <= 13; ++t) EXPECT_EQ(fmt::tiffTypeSize(t), sizes[t]) << t;
}

// A hand-built little-endian TIFF: 8-bit, BitsPerSample given as three values at an offset.
TEST(TiffIfd, SummedBitsAndStripTypes) {
  std::vector<uint8_t> f(200, 0);
  f[0] = 'I';
  f[1] = 'I';
  fmt::putLe16(&f[2], 42);
  fmt::putLe32(&f[4], 8);
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  };
  const Entry entries[] = {{256, 3, 1, 2}, {257, 3, 1, 2},   {258, 3, 3, 100}, {259, 3, 1, 1},
                           {262, 3, 1, 2}, {273, 1, 1, 120}, {279, 4, 1, 12}};
  fmt::putLe16(&f[8], 7);
  for (int i = 0; i < 7; ++i) {
    uint8_t* e = &f[10 + 12 * i];
    fmt::putLe16(e, entries[i].tag);
    fmt::putLe16(e + 2, entries[i].type);
    fmt::putLe32(e + 4, entries[i].count);
    fmt::putLe32(e + 8, entries[i].value);
  }
  fmt::putLe16(&f[100], 8);
  fmt::putLe16(&f[102], 8);
  fmt::putLe16(&f[104], 8);
  DecodeOptions o;
  o.outputColorMode = 3;
  const DecodeResult r = test::decode(f, o);
  EXPECT_EQ(r.bits, 24);
  EXPECT_EQ(r.initResult, 0);
  EXPECT_EQ(r.decodeResult, -1);
  EXPECT_EQ(r.error, 70);  // BYTE strip offsets
}

}  // namespace
}  // namespace zc::codec
