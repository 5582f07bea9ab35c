// Reading bilevel TIFF pages into a view: directories made here field by field in either byte order, and
// files made by libtiff's tools and python3-pil, decoded back with the codec's bilevel decoder.
#include "imaging/tiff_read.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codec/bilevel/fax_decoder.h"
#include "codec/bilevel/view_transform.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/scratch_dir.h"
#include "tiff_test_support.h"

namespace zc::imaging {
namespace {

using test::Entry;
using test::G4Page;
using test::MakeTiff;
using test::Page;
using test::Rational;

class TiffRead : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    dir_.Write(name, std::string(bytes.begin(), bytes.end()));
    return dir_.File(name);
  }
  // funcReadTIFFInfo on the named file; the result, with the view in view_.
  int Read(const std::string& path, int page) {
    view_ = {};
    const int fd = ::open(path.c_str(), O_RDONLY);
    const int r = funcReadTIFFInfo(fd, &view_, page);
    ::close(fd);
    return r;
  }
  zc::testkit::ScratchDir dir_{"tiffread"};
  codec::ImageView view_{};
};

TEST_F(TiffRead, BothByteOrdersGiveTheSameView) {
  const Page page = G4Page({{282, 5, 1, 0}, {283, 5, 1, 1}, {266, 3, 1, 2}}, {Rational(2000, 10), Rational(300, 1)});
  ASSERT_EQ(Read(Write("ii.tif", MakeTiff(false, {page})), 1), 0);
  const codec::ImageView little = view_;
  ASSERT_EQ(Read(Write("mm.tif", MakeTiff(true, {page})), 1), 0);
  for (const codec::ImageView& v : {little, view_}) {
    EXPECT_EQ(v.width, 64);
    EXPECT_EQ(v.length, 32);
    EXPECT_EQ(v.decoderMode, 1);
    EXPECT_EQ(v.stripOffset, 400u);
    EXPECT_EQ(v.stripByteCount, 20u);
    EXPECT_EQ(v.imageResX, 200);
    EXPECT_EQ(v.imageResY, 300);
    EXPECT_EQ(v.fillOrder, 1);
  }
}

struct FieldCase {
  const char* name;
  std::vector<Entry> extra;
  std::vector<std::vector<uint8_t>> blobs;
  int result;
  int mode;
  int rotation;
  int resolution;
};

class TiffFields : public TiffRead, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(TiffFields, DirectoryFieldsSetTheView) {
  const FieldCase& c = GetParam();
  const Page page = G4Page(c.extra, c.blobs);
  ASSERT_EQ(Read(Write("f.tif", MakeTiff(false, {page})), 1), c.result);
  if (c.result != 0) return;
  EXPECT_EQ(view_.decoderMode, c.mode);
  EXPECT_EQ(view_.rotation, c.rotation);
  if (c.resolution != 0) {
    EXPECT_EQ(view_.imageResX, c.resolution);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TiffFields,
    ::testing::Values(
        FieldCase{"Orientation6TurnsClockwise", {{274, 3, 1, 6}}, {}, 0, 1, 1, 0},
        FieldCase{"Orientation2LeavesTheRotation", {{274, 3, 1, 2}}, {}, 0, 1, 0, 0},
        FieldCase{"Orientation8TurnsBack", {{274, 3, 1, 8}}, {}, 0, 1, 3, 0},
        FieldCase{"ZeroDenominatorGivesOne", {{282, 5, 1, 0}}, {Rational(300, 0)}, 0, 1, 0, 1},
        FieldCase{"TwoStripsRefused", {{273, 4, 2, 0}}, {std::vector<uint8_t>(8, 0)}, 1, 0, 0, 0},
        FieldCase{"EightBitsRefused", {{258, 3, 1, 8}}, {}, 1, 0, 0, 0},
        FieldCase{"LzwRefused", {{259, 3, 1, 5}}, {}, 1, 0, 0, 0},
        FieldCase{"UncompressedIsMode3", {{259, 3, 1, 1}}, {}, 0, 3, 0, 0},
        FieldCase{"PackBitsIsMode10", {{259, 3, 1, 32773}}, {}, 0, 10, 0, 0},
        FieldCase{"G3WithoutOptionsIsOneDimensional", {{259, 3, 1, 3}}, {}, 0, 0, 0, 0},
        FieldCase{"G3Options1IsTwoDimensional", {{259, 3, 1, 3}, {292, 4, 1, 1}}, {}, 0, 2, 0, 0},
        FieldCase{"G3Options4FillBitsStayOneDimensional", {{259, 3, 1, 3}, {292, 4, 1, 4}}, {}, 0, 0, 0, 0},
        FieldCase{"G3Options5FillBitsStayTwoDimensional", {{259, 3, 1, 3}, {292, 4, 1, 5}}, {}, 0, 2, 0, 0}),
    [](const ::testing::TestParamInfo<FieldCase>& p) { return std::string(p.param.name); });

TEST_F(TiffRead, PagesAreFoundAlongTheChainAndCounted) {
  const std::string three = Write("three.tif", MakeTiff(false, {G4Page(), G4Page({{274, 3, 1, 6}}), G4Page()}));
  ASSERT_EQ(Read(three, 2), 0);
  EXPECT_EQ(view_.rotation, 1);
  EXPECT_EQ(Read(three, 4), 1);
  EXPECT_EQ(funcGetTIFFPageCount(three.c_str()), 3);
  // A chain that leads back to its first directory is counted once around.
  const std::string loop = Write("loop.tif", MakeTiff(false, {G4Page(), G4Page()}, 8));
  EXPECT_EQ(funcGetTIFFPageCount(loop.c_str()), 2);
  EXPECT_EQ(funcGetTIFFPageCount(dir_.File("missing.tif").c_str()), -105);
  EXPECT_EQ(funcGetTIFFPageCount(Write("text.txt", {'h', 'e', 'l', 'l', 'o'}).c_str()), 1);
}

TEST_F(TiffRead, PageBelowOneReadsNoDirectory) {
  const std::string path = Write("one.tif", MakeTiff(false, {G4Page()}));
  view_.width = 99;
  const int fd = ::open(path.c_str(), O_RDONLY);
  EXPECT_EQ(funcReadTIFFInfo(fd, &view_, 0), 0);
  ::close(fd);
  EXPECT_EQ(view_.width, 0);
  EXPECT_EQ(view_.stripOffset, 0u);
  codec::ImageView v{};
  v.windowWidth = 64;
  v.windowHeight = 64;
  EXPECT_EQ(funcOpenImageFile(nullptr, path.c_str(), &v, 0), 0);
  EXPECT_EQ(v.width, 0);
}

// Directories whose entries, or whose link to the next page, run past the bytes that exist are refused.
TEST_F(TiffRead, DirectoriesCutShortAreRefused) {
  std::vector<uint8_t> bytes = MakeTiff(false, {G4Page(), G4Page()});
  const std::vector<uint8_t> whole = bytes;
  bytes.resize(8 + 2 + 12 * 3);  // the first directory's entries end past the file
  EXPECT_EQ(Read(Write("cut.tif", bytes), 1), 1);
  EXPECT_EQ(funcGetTIFFPageCount(dir_.File("cut.tif").c_str()), 0);
  // The first directory ends where the file ends: page 1 reads, page 2 has no link to follow.
  bytes = whole;
  bytes.resize(8 + 2 + 12 * 6 + 2);
  const std::string path = Write("nolink.tif", bytes);
  EXPECT_EQ(Read(path, 2), 1);
}

// Files of libtiff's tools and python3-pil: G3 with and without fill bits in both dimensions decode to
// the source; an 8-bit page goes through the codec on page 1 only; JPEG files through the codec.
class TiffReadTools : public TiffRead {
 protected:
  void SetUp() override {
    if (!testkit::HaveTool("tiffcp") || !testkit::HavePythonModule("PIL")) GTEST_SKIP() << "libtiff-tools or python3-pil missing";
  }
  void Run(const std::string& command) {
    const auto r = testkit::RunCommand(command);
    ASSERT_TRUE(r.ok()) << command << "\n" << r.output;
  }
  std::string Py(const std::string& script) { return "cd '" + dir_.Path() + "' && /usr/bin/python3 -c \"" + script + "\""; }
};

// The page's rows decoded by the codec at 1:1, one bit per pixel, 1 black.
std::vector<uint8_t> Decode(const std::string& path, codec::ImageView v) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  v.fileHandle = fd;
  v.windowWidth = (v.width + 7) / 8 * 8;
  v.windowHeight = v.length;
  v.zoomX = v.zoomY = 2048;
  v.panX = v.panY = 0;
  v.rotation = 0;
  v.optionFlags = codec::kViewOptStart;
  const size_t stride = static_cast<size_t>(v.windowWidth) / 8;
  std::vector<uint8_t> page(stride * static_cast<size_t>(v.length));
  while (codec::funcFaxDecodeLines(&v) == codec::kFaxStripReady) {
    codec::ViewStripPlacement p{};
    codec::funcViewGetState(&v, &p);
    const size_t rowBytes = static_cast<size_t>(p.width) / 8;
    for (int r = 0; r < p.height && p.y + r < v.length; ++r)
      std::memcpy(page.data() + (p.y + r) * stride + p.x / 8, v.stripBuffer + r * rowBytes, rowBytes);
  }
  ::close(fd);
  return page;
}

TEST_F(TiffReadTools, GroupThreeFilesDecodeToTheirSource) {
  ASSERT_NO_FATAL_FAILURE(Run(Py("from PIL import Image, ImageDraw\n"
         "im = Image.new('1', (200, 60), 1)\n"
         "d = ImageDraw.Draw(im)\n"
         "d.rectangle((20, 10, 90, 40), fill=0)\n"
         "d.line((0, 59, 199, 0), fill=0, width=3)\n"
         "im.save('src.tif', compression='group4')")));
  ASSERT_EQ(Read(dir_.File("src.tif"), 1), 0);
  const std::vector<uint8_t> source = Decode(dir_.File("src.tif"), view_);
  struct Form {
    const char* compression;
    int mode;
  };
  for (const Form& f : {Form{"g3:1d", 0}, Form{"g3:1d:fill", 0}, Form{"g3:2d", 2}, Form{"g3:2d:fill", 2}}) {
    SCOPED_TRACE(f.compression);
    ASSERT_NO_FATAL_FAILURE(Run("tiffcp -s -r 60 -c " + std::string(f.compression) + " '" + dir_.File("src.tif") + "' '" + dir_.File("g3.tif") + "'"));
    ASSERT_EQ(Read(dir_.File("g3.tif"), 1), 0);
    EXPECT_EQ(view_.decoderMode, f.mode);
    EXPECT_EQ(Decode(dir_.File("g3.tif"), view_), source);
  }
  // Big-endian files and several pages as libtiff writes them (directories after the data).
  Run("tiffcp -B '" + dir_.File("src.tif") + "' '" + dir_.File("mm.tif") + "'");
  ASSERT_EQ(Read(dir_.File("mm.tif"), 1), 0);
  EXPECT_EQ(Decode(dir_.File("mm.tif"), view_), source);
  Run("tiffcp '" + dir_.File("src.tif") + "' '" + dir_.File("mm.tif") + "' '" + dir_.File("src.tif") + "' '" +
      dir_.File("three.tif") + "'");
  EXPECT_EQ(funcGetTIFFPageCount(dir_.File("three.tif").c_str()), 3);
  ASSERT_EQ(Read(dir_.File("three.tif"), 3), 0);
  EXPECT_EQ(Decode(dir_.File("three.tif"), view_), source);
}

TEST_F(TiffReadTools, OtherFormatsOpenThroughTheCodecOnPageOneOnly) {
  ASSERT_NO_FATAL_FAILURE(Run(Py("from PIL import Image\n"
         "Image.new('L', (120, 80), 128).save('gray.tif')\n"
         "Image.new('RGB', (300, 100), (10, 200, 30)).save('colour.jpg')\n"
         "Image.new('L', (40, 5000), 200).save('tall.jpg')\n"
         "Image.new('RGB', (30, 20)).save('pic.bmp')")));
  struct Case {
    const char* file;
    int page;
    int result;
    int mode;
    int width;
    int length;
  };
  for (const Case& c : {Case{"gray.tif", 1, 0, 1029, 120, 80}, Case{"gray.tif", 2, 1, 0, 0, 0},
                        Case{"colour.jpg", 1, 0, 1027, 300, 100}, Case{"tall.jpg", 1, 0, 1028, 40, 4096},
                        Case{"pic.bmp", 1, 0, 1024, 30, 20}}) {
    SCOPED_TRACE(std::string(c.file) + " page " + std::to_string(c.page));
    codec::ImageView v{};
    v.windowWidth = 320;
    v.windowHeight = 240;
    ASSERT_EQ(funcOpenImageFile(nullptr, dir_.File(c.file).c_str(), &v, c.page), c.result);
    if (c.result != 0) continue;
    EXPECT_EQ(v.decoderMode, c.mode);
    EXPECT_EQ(v.width, c.width);
    EXPECT_EQ(v.length, c.length);
    EXPECT_EQ(v.imageResX, 100);
    EXPECT_EQ(v.fileHandle, -1);
    EXPECT_EQ(v.renderFlags, 3);
  }
  EXPECT_EQ(funcGetTIFFPageCount(dir_.File("colour.jpg").c_str()), 1);
}

}  // namespace
}  // namespace zc::imaging
