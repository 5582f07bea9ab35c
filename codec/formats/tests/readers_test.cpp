// PCX, GIF and BMP reader tests: files from independent writers (netpbm, python3-pil, ImageMagick)
// and from this library's writers decode to their source pixels, windows equal crops of the whole
// picture, bands arrive in each format's order, and the refusals give their codes.
#include <gtest/gtest.h>

#include <cstring>

#include "codec/formats/byte_order.h"
#include "codec/formats/tests/formats_test_support.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::codec {
namespace {

using test::DecodeOptions;
using test::DecodeResult;
using test::Picture;

using test::kPalette;

Picture toRgb(const DecodeResult& r) {
  return r.picture.channels == 3 ? r.picture : test::expand(r.picture, r.palette);
}

Picture crop(const Picture& p, int left, int top, int w, int h) {
  Picture c{w, h, p.channels, {}};
  for (int y = top; y < top + h; ++y) {
    const auto* row = &p.pixels[(static_cast<size_t>(y) * p.width + left) * p.channels];
    c.pixels.insert(c.pixels.end(), row, row + static_cast<size_t>(w) * p.channels);
  }
  return c;
}

// A source picture of at most `colors` colours, as RGB.
Picture fewColors(int w, int h, int colors) {
  const Picture idx = test::makePicture(w, h, 1, 8);
  Picture p = idx;
  for (uint8_t& v : p.pixels) v = static_cast<uint8_t>(v % colors);
  std::vector<uint8_t> pal(768);
  for (int i = 0; i < 256; ++i) {
    pal[3 * i] = static_cast<uint8_t>(i * 40);
    pal[3 * i + 1] = static_cast<uint8_t>(255 - i * 17);
    pal[3 * i + 2] = static_cast<uint8_t>(i * 90 + 3);
  }
  return test::expand(p, pal);
}

// Writes the source as PPM, runs `command` with {in} and {out} replaced, and decodes {out}.
DecodeResult viaTool(const Picture& source, std::string command, const DecodeOptions& options = {}) {
  testkit::ScratchDir dir("zc_formats");
  const std::string in = dir.File("in.ppm");
  const std::string out = dir.File("out");
  test::writePnm(in, source);
  for (size_t p; (p = command.find("{in}")) != std::string::npos;) command.replace(p, 4, in);
  for (size_t p; (p = command.find("{out}")) != std::string::npos;) command.replace(p, 5, out);
  DecodeResult r;
  r.initResult = -99;
  if (!testkit::RunCommand(command).ok()) {
    ADD_FAILURE() << command;
    return r;
  }
  return test::decodeFile(out, options);
}

struct ToolFileCase {
  const char* name;  // the test's name: writer and form
  const char* tool;  // executable to check for, or "pil"
  const char* command;
  int colors;
  const char* tag;
  int bits;
};

// Failure messages name the case, not its bytes.
void PrintTo(const ToolFileCase& c, std::ostream* os) {
  *os << c.name << " (" << c.command << ')';
}

class ReaderConformance : public ::testing::TestWithParam<ToolFileCase> {};

TEST_P(ReaderConformance, DecodesToTheSourcePixels) {
  const ToolFileCase c = GetParam();
  if (std::string(c.tool) == "pil" ? !testkit::HavePythonModule("PIL") : !testkit::HaveTool(c.tool))
    GTEST_SKIP() << c.tool;
  const Picture source = fewColors(45, 27, c.colors);
  DecodeOptions options;
  options.outputColorMode = c.bits == 24 ? 3 : 0;
  const DecodeResult r = viaTool(source, c.command, options);
  ASSERT_EQ(r.initResult >= 0, true) << c.command << " error " << r.error;
  EXPECT_EQ(r.tag, c.tag);
  EXPECT_EQ(r.bits, c.bits) << c.command;
  ASSERT_EQ(r.decodeResult, 0) << c.command << " error " << r.error;
  EXPECT_TRUE(toRgb(r) == source) << c.command;
}

INSTANTIATE_TEST_SUITE_P(
    Readers, ReaderConformance,
    ::testing::Values(
        ToolFileCase{"ppmtopcx_8bit", "ppmtopcx", "ppmtopcx -8bit {in} > {out}", 200, "PCX", 8},
        ToolFileCase{"ppmtopcx_4bit_planes", "ppmtopcx", "ppmtopcx -planes 4 {in} > {out}", 16, "PCX", 4},
        ToolFileCase{"ppmtopcx_4bit_packed", "ppmtopcx", "ppmtopcx -packed {in} > {out}", 16, "PCX", 4},
        ToolFileCase{"ppmtopcx_1bit", "ppmtopcx", "ppmtopcx {in} > {out}", 2, "PCX", 1},
        ToolFileCase{"pamtogif_8bit", "pamtogif", "pamtogif {in} > {out}", 200, "GIF", 8},
        ToolFileCase{"pamtogif_3bit_interlaced", "pamtogif", "pamtogif -interlace {in} > {out}", 5, "GIF", 3},
        ToolFileCase{"convert_gif_7bit_interlaced", "convert", "convert {in} -interlace GIF gif:{out}", 100,
                 "GIF", 7},
        ToolFileCase{"ppmtobmp_1bit", "ppmtobmp", "ppmtobmp -bpp 1 {in} > {out}", 2, "BMP", 1},
        ToolFileCase{"ppmtobmp_4bit", "ppmtobmp", "ppmtobmp -bpp 4 {in} > {out}", 16, "BMP", 4},
        ToolFileCase{"ppmtobmp_8bit", "ppmtobmp", "ppmtobmp -bpp 8 {in} > {out}", 200, "BMP", 8},
        ToolFileCase{"ppmtobmp_24bit", "ppmtobmp", "ppmtobmp -bpp 24 {in} > {out}", 256, "BMP", 24},
        ToolFileCase{"ppmtobmp_os2_8bit", "ppmtobmp", "ppmtobmp -os2 -bpp 8 {in} > {out}", 100, "BMP", 8},
        ToolFileCase{"convert_bmp3_24bit", "convert", "convert {in} -type TrueColor BMP3:{out}", 256, "BMP", 24},
        ToolFileCase{"pil_pcx_8bit", "pil",
                 "/usr/bin/python3 -c \"from PIL import Image; "
                 "Image.open('{in}').quantize(200).save('{out}', 'PCX')\"",
                 200, "PCX", 8},
        ToolFileCase{"pil_gif_8bit_comment", "pil",
                 "/usr/bin/python3 -c \"from PIL import Image; "
                 "Image.open('{in}').quantize(100).save('{out}', 'GIF', comment=b'a comment')\"",
                 100, "GIF", 8},
        ToolFileCase{"pil_bmp_24bit", "pil",
                 "/usr/bin/python3 -c \"from PIL import Image; Image.open('{in}').save('{out}', 'BMP')\"",
                 256, "BMP", 24}),
    [](const ::testing::TestParamInfo<ToolFileCase>& p) { return std::string(p.param.name); });

TEST(Readers, RefusedKinds) {
  struct Case {
    const char* tool;
    const char* command;
    int initResult;
    int decodeResult;
    int error;
  };
  const Case cases[] = {
      {"ppmtopcx", "ppmtopcx -24bit {in} > {out}", 1, -1, 13},
      {"convert", "convert {in} bmp:{out}", -1, 0, 10},                             // 108/124-byte header
      {"convert", "convert {in} -colors 200 -compress RLE BMP3:{out}", -1, 0, 13},  // RLE
  };
  const Picture source = fewColors(20, 10, 150);
  for (const Case& c : cases) {
    if (!testkit::HaveTool(c.tool)) continue;
    DecodeOptions o;
    o.paletteFill = 0x5A;
    const DecodeResult r = viaTool(source, c.command, o);
    EXPECT_EQ(r.initResult, c.initResult) << c.command;
    if (r.initResult >= 0) {
      EXPECT_EQ(r.decodeResult, c.decodeResult) << c.command;
    }
    EXPECT_EQ(r.error, c.error) << c.command;
    if (r.initResult >= 0) {
      EXPECT_FALSE(r.paletteFilled) << c.command;
    }
  }
}

// A 40-byte-header BMP of w x h at 8 bits, with the header fields given.
std::vector<uint8_t> bmpFile(int32_t w, int32_t h, int bits, uint32_t headerSize = 40,
                             uint32_t compression = 0) {
  std::vector<uint8_t> f(54 + 1024 + 4 * 64 * 64, 0);
  f[0] = 'B';
  f[1] = 'M';
  fmt::putLe32(&f[10], 54 + 1024);
  fmt::putLe32(&f[14], headerSize);
  fmt::putLe32(&f[18], static_cast<uint32_t>(w));
  fmt::putLe32(&f[22], static_cast<uint32_t>(h));
  fmt::putLe16(&f[26], 1);
  fmt::putLe16(&f[28], static_cast<uint32_t>(bits));
  fmt::putLe32(&f[30], compression);
  return f;
}

TEST(BmpReader, CraftedRefusalsLeaveThePaletteAlone) {
  std::vector<uint8_t> shortPalette = bmpFile(8, 8, 8);
  shortPalette.resize(60);
  struct Case {
    std::vector<uint8_t> file;
    int initResult;
    int error;
  };
  const Case cases[] = {
      {bmpFile(8, 8, 8, 64), -1, 10},     // 64-byte header
      {bmpFile(8, -8, 8), -1, 13},        // top-down rows
      {bmpFile(8, 8, 8, 40, 1), -1, 13},  // RLE8
      {bmpFile(8, 8, 16), 1, 13},         // refused by the decoder
      {bmpFile(8, 8, 32), 1, 13},        {shortPalette, -1, 4},
  };
  for (const Case& c : cases) {
    DecodeOptions o;
    o.palette = c.initResult < 0 && c.error == 4 ? false : true;
    const DecodeResult r = test::decode(c.file, o);
    EXPECT_EQ(r.initResult, c.initResult);
    if (r.initResult >= 0) {
      EXPECT_EQ(r.decodeResult, -1);
    }
    EXPECT_EQ(r.error, c.error);
  }
  const DecodeResult r16 = test::decode(bmpFile(8, 8, 16));
  EXPECT_FALSE(r16.paletteFilled);
  EXPECT_EQ(r16.palette, std::vector<uint8_t>(768, 0xAA));
}

TEST(BmpReader, ShortPaletteOfColorsUsed) {
  std::vector<uint8_t> f(54 + 8 + 4 * 2, 0);
  f[0] = 'B';
  f[1] = 'M';
  fmt::putLe32(&f[10], 62);
  fmt::putLe32(&f[14], 40);
  fmt::putLe32(&f[18], 3);
  fmt::putLe32(&f[22], 2);
  fmt::putLe16(&f[28], 8);
  fmt::putLe32(&f[46], 2);  // two palette entries
  const uint8_t quads[] = {1, 2, 3, 0, 4, 5, 6, 0};
  std::memcpy(&f[54], quads, 8);
  const uint8_t rows[] = {1, 0, 1, 0, 0, 1, 0, 0};  // bottom row first
  std::memcpy(&f[62], rows, 8);
  const DecodeResult r = test::decode(f);
  ASSERT_EQ(r.decodeResult, 0) << r.error;
  EXPECT_EQ(r.picture.pixels, (std::vector<uint8_t>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(std::vector<uint8_t>(r.palette.begin(), r.palette.begin() + 9),
            (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 0, 0, 0}));
}

TEST(BmpReader, MemorySourceKeepsTheCallersSize) {
  std::vector<uint8_t> f = bmpFile(16, 16, 8);
  fmt::putLe32(&f[2], 0x7FFFFFFF);  // a size field far beyond the block
  f.resize(54 + 1024 + 16 * 15);    // one row short
  const DecodeResult r = test::decode(f);
  EXPECT_EQ(r.initResult, 1);
  EXPECT_EQ(r.decodeResult, -1);
  EXPECT_EQ(r.error, 4);
}

TEST(BmpReader, BandsRiseFromTheWindowBottom) {
  const Picture p = test::makePicture(9, 20, 1, 8);
  const std::vector<uint8_t> file = test::encode("BMP", p, 8, kPalette.data());
  DecodeOptions o;
  o.top = 2;
  o.height = 17;
  const DecodeResult r = test::decode(file, o);
  ASSERT_EQ(r.decodeResult, 0);
  ASSERT_EQ(r.bands.size(), 3u);
  EXPECT_EQ(r.bands[0].firstRow, 9);
  EXPECT_EQ(r.bands[0].endRow, 17);
  EXPECT_EQ(r.bands[2].firstRow, 0);
  EXPECT_EQ(r.bands[2].endRow, 1);
  EXPECT_TRUE(r.picture == crop(p, 0, 2, 9, 17));
  o.top = 0;
  o.height = 8;
  EXPECT_EQ(test::decode(file, o).bands.size(), 1u);
}

TEST(BmpReader, TwentyFourBitOutputs) {
  const Picture p = test::makePicture(21, 11, 3, 24);
  const std::vector<uint8_t> file = test::encode("BMP", p, 24, kPalette.data());
  DecodeOptions o;
  o.outputColorMode = 3;
  EXPECT_TRUE(test::decode(file, o).picture == p);
  for (const uint8_t dither : {0, 1, 2}) {
    o.outputColorMode = 0;
    o.ditherMode = dither;
    const DecodeResult r = test::decode(file, o);
    ASSERT_EQ(r.decodeResult, 0);
    EXPECT_TRUE(r.paletteFilled);
    // Indexes into the 216-entry cube whose colours lie near the source.
    const Picture rgb = toRgb(r);
    double err = 0;
    for (size_t i = 0; i < p.pixels.size(); ++i) err += std::abs(rgb.pixels[i] - p.pixels[i]);
    for (uint8_t v : r.picture.pixels) ASSERT_LT(v, 216);
    EXPECT_LT(err / p.pixels.size(), dither == 0 ? 16.0 : 40.0);
  }
  // Gray output: luminance through a gray ramp.
  o.outputColorMode = 1;
  o.ditherMode = 0;
  const DecodeResult g = test::decode(file, o);
  ASSERT_EQ(g.decodeResult, 0);
  const int y =
      (299 * p.pixels[0] + 500) / 1000 + (587 * p.pixels[1] + 500) / 1000 + (114 * p.pixels[2] + 500) / 1000;
  EXPECT_EQ(g.palette[3 * g.picture.pixels[0]], y);
}

TEST(GifReader, InterlacedRowsArriveInPassOrder) {
  if (!testkit::HaveTool("pamtogif")) GTEST_SKIP();
  const Picture source = fewColors(6, 10, 4);
  const DecodeResult r = viaTool(source, "pamtogif -interlace {in} > {out}");
  ASSERT_EQ(r.decodeResult, 0);
  std::vector<int> order;
  for (const auto& b : r.bands) order.push_back(b.firstRow);
  EXPECT_EQ(order, (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
  EXPECT_TRUE(toRgb(r) == source);
}

TEST(GifReader, ImageSearchAndStreamErrors) {
  const Picture p = test::makePicture(30, 20, 1, 8);
  const std::vector<uint8_t> gif = test::encode("GIF", p, 8, kPalette.data());
  const size_t image = 13 + 768;
  ASSERT_EQ(gif[image], ',');
  // ";" right after the header: no image.
  std::vector<uint8_t> noImage(gif.begin(), gif.begin() + image);
  noImage.push_back(';');
  noImage.resize(noImage.size() + 8, 0);
  EXPECT_EQ(test::decode(noImage).error, 11);
  // A comment and an application extension before the image are skipped.
  std::vector<uint8_t> withExt(gif.begin(), gif.begin() + image);
  const uint8_t ext[] = {'!', 0xFE, 3, 'a', 'b', 'c', 0, '!', 0xFF, 2, 1, 2, 1, 9, 0};
  withExt.insert(withExt.end(), ext, ext + sizeof(ext));
  withExt.insert(withExt.end(), gif.begin() + image, gif.end());
  const DecodeResult r = test::decode(withExt);
  EXPECT_EQ(r.decodeResult, 0);
  EXPECT_TRUE(r.picture == p);
  EXPECT_EQ(r.tag, "GIF");
  // Extensions longer than one 8192-byte read of a memory source.
  std::vector<uint8_t> longExt(gif.begin(), gif.begin() + image);
  longExt.insert(longExt.end(), {'!', 0xFE});
  for (int i = 0; i < 40; ++i) {
    longExt.push_back(255);
    longExt.insert(longExt.end(), 255, 'x');
  }
  longExt.push_back(0);
  longExt.insert(longExt.end(), gif.begin() + image, gif.end());
  EXPECT_TRUE(test::decode(longExt).picture == p);
  // Cut in the middle of the data: unexpected end.
  std::vector<uint8_t> cut(gif.begin(),
                           gif.begin() + static_cast<long>(image + 11 + (gif.size() - image) / 2));
  EXPECT_EQ(test::decode(cut).error, 9);
  // A corrupt first code (a string code right after the clear).
  std::vector<uint8_t> bad = gif;
  bad[image + 12] = 0xFF;
  bad[image + 13] = 0xFF;
  EXPECT_EQ(test::decode(bad).error, 10);
}

TEST(Readers, OwnFilesRoundTripWithWindows) {
  struct Case {
    const char* tag;
    int bits;
  };
  const Case cases[] = {{"GIF", 8}, {"GIF", 4}, {"GIF", 1}, {"PCX", 8}, {"PCX", 4},
                        {"PCX", 1}, {"BMP", 8}, {"BMP", 4}, {"BMP", 1}, {"BMP", 24}};
  for (const Case& c : cases) {
    const Picture p = test::makePicture(37, 29, c.bits == 24 ? 3 : 1, c.bits);
    const std::vector<uint8_t> file = test::encode(c.tag, p, c.bits, kPalette.data(), 5);
    DecodeOptions o;
    o.outputColorMode = c.bits == 24 ? 3 : 0;
    const DecodeResult whole = test::decode(file, o);
    ASSERT_EQ(whole.decodeResult, 0) << c.tag << c.bits << " error " << whole.error;
    EXPECT_TRUE(whole.picture == p) << c.tag << c.bits;
    if (c.bits != 24) {
      EXPECT_EQ(std::memcmp(whole.palette.data(), kPalette.data(), 3u << std::min(c.bits, 4)), 0);
    }
    o.left = 5;
    o.top = 3;
    o.width = 20;
    o.height = 19;
    const DecodeResult part = test::decode(file, o);
    ASSERT_EQ(part.decodeResult, 0) << c.tag << c.bits;
    EXPECT_TRUE(part.picture == crop(p, 5, 3, 20, 19)) << c.tag << c.bits;
    o.width = 33;  // one column past the image
    EXPECT_EQ(test::decode(file, o).error, 8) << c.tag << c.bits;
  }
}

TEST(Readers, DisplayRefusalStopsWithFourteen) {
  for (const char* tag : {"GIF", "PCX", "BMP"}) {
    const std::vector<uint8_t> file = test::encode(tag, test::makePicture(8, 20, 1, 8), 8, kPalette.data());
    DecodeOptions o;
    o.refuseDisplay = true;
    const DecodeResult r = test::decode(file, o);
    EXPECT_EQ(r.decodeResult, -1) << tag;
    EXPECT_EQ(r.error, 14) << tag;
    EXPECT_EQ(r.bands.size(), 1u) << tag;
  }
}

TEST(PcxReader, PaletteTrailerAndPlanes) {
  // An 8-bit file without the 0x0C marker keeps the caller's palette.
  const Picture p = test::makePicture(16, 4, 1, 8);
  std::vector<uint8_t> file = test::encode("PCX", p, 8, kPalette.data());
  file[file.size() - 769] = 0;
  const DecodeResult r = test::decode(file);
  EXPECT_FALSE(r.paletteFilled);
  EXPECT_EQ(r.palette, std::vector<uint8_t>(768, 0xAA));
  EXPECT_TRUE(r.picture == p);
  // 8 bits in 3 planes: refused at decode.
  std::vector<uint8_t> planes3 = file;
  planes3[65] = 3;
  const DecodeResult r3 = test::decode(planes3);
  EXPECT_EQ(r3.bits, 24);
  EXPECT_EQ(r3.decodeResult, -1);
  EXPECT_EQ(r3.error, 13);
  // A source shorter than the trailer cannot hold one.
  std::vector<uint8_t> tiny(file.begin(), file.begin() + 300);
  EXPECT_EQ(test::decode(tiny).error, 6);
}

}  // namespace
}  // namespace zc::codec
