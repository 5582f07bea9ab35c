// The tag editor: reading single tags, the table's load, edit and write in both byte orders, the byte-order
// converter, image sizes in memory and joining pages, checked with the own reader and libtiff's tools.
#include "imaging/tiff_tags.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/tiff_read.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/scratch_dir.h"
#include "tiff_test_support.h"

namespace zc::imaging {
namespace {

using test::Entry;
using test::G4Page;
using test::MakeTiff;
using test::Page;

class TiffTags : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    dir_.Write(name, std::string(bytes.begin(), bytes.end()));
    return dir_.File(name);
  }
  std::vector<uint8_t> Bytes(const std::string& name) {
    const std::string s = dir_.Read(name);
    return {s.begin(), s.end()};
  }
  std::vector<uint16_t> TableTags() {
    std::vector<uint16_t> tags(kMaxTiffTags);
    tags.resize(static_cast<size_t>(funcTIFFTableTags(tags.data(), kMaxTiffTags)));
    return tags;
  }
  void TearDown() override { funcLoadTIFFTags(nullptr, 1); }  // leaves the table empty
  zc::testkit::ScratchDir dir_{"tifftags"};
};

const std::string kCodeLine = "T123456789T 0012345678U 001234";

Page CodeLinePage() {
  std::vector<uint8_t> text(kCodeLine.begin(), kCodeLine.end());
  text.push_back(0);
  return G4Page({{34604, 2, static_cast<uint32_t>(text.size()), 0}, {297, 3, 2, 1 | 3u << 16}}, {text});
}

TEST_F(TiffTags, ReadingOneTag) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    const std::string path = Write("code.tif", MakeTiff(bigEndian, {CodeLinePage()}));
    char text[64];
    std::memset(text, 'x', sizeof text);
    ASSERT_EQ(funcReadTIFFTag(path.c_str(), 1, 34604, text, sizeof text), 0);
    EXPECT_EQ(std::string(text), kCodeLine);
    EXPECT_EQ(funcGetLastTagType(), 2);
    EXPECT_EQ(funcGetLastTagCount(), static_cast<int>(kCodeLine.size()) + 1);
    uint16_t pages[4] = {};
    ASSERT_EQ(funcReadTIFFTag(path.c_str(), 1, 297, pages, sizeof pages * 4), 0);
    EXPECT_EQ(pages[0], 1);
    EXPECT_EQ(pages[1], 3);
    uint32_t width[4] = {};
    ASSERT_EQ(funcReadTIFFTag(path.c_str(), 1, 256, width, sizeof width), 0);
    EXPECT_EQ(width[0] & 0xFFFF, 64u);
  }
  const std::string plain = Write("plain.tif", MakeTiff(false, {G4Page()}));
  char small[15];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(funcReadTIFFTag(plain.c_str(), 1, 256, small, sizeof small), 0);
  EXPECT_EQ(small[0], 'x');  // a buffer under 16 bytes receives nothing
  char text[64];
  EXPECT_EQ(funcReadTIFFTag(plain.c_str(), 1, 34604, text, sizeof text), 5);
  EXPECT_EQ(funcReadTIFFTag(dir_.File("none.tif").c_str(), 1, 256, text, sizeof text), 1);
  EXPECT_EQ(funcReadTIFFTag(Write("t.txt", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}).c_str(), 1, 256, text, 64), 3);
  int count = 0;
  uint16_t list[3] = {};
  ASSERT_EQ(funcListTIFFTags(plain.c_str(), 1, &count, list, sizeof list), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(list[2], 258);
}

TEST_F(TiffTags, LoadRefusalsLeaveTheTableEmpty) {
  EXPECT_EQ(funcLoadTIFFTags(Write("mm.tif", MakeTiff(true, {G4Page()})).c_str(), 1), 3);
  Page four;
  four.entries = {{256, 3, 1, 8}, {257, 3, 1, 8}, {258, 3, 1, 1}, {259, 3, 1, 4}};
  EXPECT_EQ(funcLoadTIFFTags(Write("four.tif", MakeTiff(false, {four})).c_str(), 1), 5);
  EXPECT_EQ(funcLoadTIFFTags(Write("tiled.tif", MakeTiff(false, {G4Page({{322, 3, 1, 16}})})).c_str(), 1), 9);
  // Data said to lie past the end of the file.
  std::vector<uint8_t> cut = MakeTiff(false, {CodeLinePage()}, 0, 0);
  cut.resize(cut.size() - 8);
  EXPECT_EQ(funcLoadTIFFTags(Write("cut.tif", cut).c_str(), 1), 8);
  EXPECT_TRUE(TableTags().empty());
  EXPECT_EQ(funcAddTIFFTag(300, 3, 1, 1, nullptr), 1);
  // A big-endian file loads through an open handle.
  const int fd = ::open(dir_.File("mm.tif").c_str(), O_RDONLY);
  EXPECT_EQ(funcLoadTIFFTagsFromHandle(fd, 1), 0);
  ::close(fd);
  EXPECT_EQ(TableTags().size(), 6u);
}

TEST_F(TiffTags, EditingKeepsTheTableOrderedAndBounded) {
  ASSERT_EQ(funcLoadTIFFTags(Write("p.tif", MakeTiff(false, {G4Page({{305, 2, 4, 'a' | 'b' << 8 | 'c' << 16}})})).c_str(), 1), 0);
  EXPECT_EQ(funcAddTIFFTag(300, 3, 1, 7, nullptr), 0);
  EXPECT_EQ(TableTags(), (std::vector<uint16_t>{256, 257, 258, 259, 273, 279, 300, 305}));
  EXPECT_EQ(funcAddTIFFTag(300, 3, 1, 7, nullptr), 3);
  EXPECT_EQ(funcAddTIFFTag(301, 9, 1, 7, nullptr), 4);
  EXPECT_EQ(funcAddTIFFTag(302, 4, 2, 0, nullptr), 5);
  EXPECT_EQ(funcSetTIFFTag(999, 3, 1, 1, nullptr), 2);
  EXPECT_EQ(funcDeleteTIFFTag(300), 0);
  EXPECT_EQ(funcDeleteTIFFTag(300), 2);
  int added = 0;
  for (int tag = 40000; funcAddTIFFTag(tag, 3, 1, 0, nullptr) == 0; ++tag) ++added;
  EXPECT_EQ(TableTags().size(), static_cast<size_t>(kMaxTiffTags));
  EXPECT_EQ(funcAddTIFFTag(50000, 3, 1, 0, nullptr), 2);
  EXPECT_EQ(added, kMaxTiffTags - 7);
}

// A page of python3-pil, its table edited and written in both orders: the directory at 8, the data right
// behind it, the strip behind the data; libtiff reads the pixels and the tags.
class TiffTagsTools : public TiffTags {
 protected:
  void SetUp() override {
    if (!testkit::HaveTool("tiffdump") || !testkit::HaveTool("tifftopnm") || !testkit::HavePythonModule("PIL"))
      GTEST_SKIP() << "libtiff-tools, netpbm or python3-pil missing";
    const auto r = testkit::RunCommand("cd '" + dir_.Path() + "' && /usr/bin/python3 -c \"from PIL import Image, ImageDraw\n"
                                       "im = Image.new('1', (120, 50), 1)\n"
                                       "ImageDraw.Draw(im).rectangle((10, 5, 60, 30), fill=0)\n"
                                       "im.save('a.tif', compression='group4')\n"
                                       "im2 = Image.new('1', (90, 40), 1)\n"
                                       "ImageDraw.Draw(im2).ellipse((5, 5, 80, 35), fill=0)\n"
                                       "im2.save('b.tif', compression='group4')\"");
    ASSERT_TRUE(r.ok()) << r.output;
  }
  std::string Pixels(const std::string& file, int page = 0) {
    const auto r = testkit::RunCommand("tiffcp '" + dir_.File(file) + "," + std::to_string(page) + "' '" +
                                       dir_.File("page.tif") + "' 2>/dev/null && tifftopnm '" + dir_.File("page.tif") +
                                       "' 2>/dev/null");
    EXPECT_TRUE(r.ok()) << r.output;
    return r.output;
  }
  std::string Dump(const std::string& file) {
    return testkit::RunCommand("tiffdump '" + dir_.File(file) + "' 2>/dev/null").output;
  }
};

TEST_F(TiffTagsTools, WrittenTablesKeepThePageInBothOrders) {
  const std::string source = Pixels("a.tif");
  std::vector<uint8_t> text(kCodeLine.begin(), kCodeLine.end());
  text.push_back(0);
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    ASSERT_EQ(funcLoadTIFFTags(dir_.File("a.tif").c_str(), 1), 0);
    ASSERT_EQ(funcAddTIFFTag(34604, 2, static_cast<uint32_t>(text.size()), 0, text.data()), 0);
    ASSERT_EQ(funcAddTIFFTag(297, 3, 2, 1 | 2u << 16, nullptr), 0);
    const std::string out = bigEndian ? "mm.tif" : "ii.tif";
    ASSERT_EQ(bigEndian ? funcWriteTIFFTagsMM(dir_.File(out).c_str()) : funcWriteTIFFTags(dir_.File(out).c_str()), 0);
    EXPECT_TRUE(TableTags().empty());
    EXPECT_TRUE(Pixels(out) == source);
    const std::string dump = Dump(out);
    EXPECT_NE(dump.find(bigEndian ? "big-endian" : "little-endian"), std::string::npos) << dump;
    EXPECT_NE(dump.find("PageNumber (297) SHORT (3) 2<1 2>"), std::string::npos) << dump;
    char back[64];
    ASSERT_EQ(funcReadTIFFTag(dir_.File(out).c_str(), 1, 34604, back, sizeof back), 0);
    EXPECT_EQ(std::string(back), kCodeLine);
    // Layout: directory at 8, data behind it, the strip behind the data.
    const std::vector<uint8_t> bytes = Bytes(out);
    codec::ImageView v{};
    const int fd = ::open(dir_.File(out).c_str(), O_RDONLY);
    ASSERT_EQ(funcReadTIFFInfo(fd, &v, 1), 0);
    ::close(fd);
    const uint16_t order = bigEndian ? kTiffBigEndian : kTiffLittleEndian;
    EXPECT_EQ(funcTiffGet32(bytes.data() + 4, order), 8u);
    const uint32_t entries = funcTiffGet16(bytes.data() + 8, order);
    EXPECT_GE(v.stripOffset, 12 * entries + 14);
  }
  // Writing a file over itself keeps its strip.
  ASSERT_EQ(funcLoadTIFFTags(dir_.File("ii.tif").c_str(), 1), 0);
  ASSERT_EQ(funcDeleteTIFFTag(297), 0);
  ASSERT_EQ(funcWriteTIFFTags(dir_.File("ii.tif").c_str()), 0);
  EXPECT_TRUE(Pixels("ii.tif") == source);
}

TEST_F(TiffTagsTools, SwappingTwiceGivesTheSameBytes) {
  ASSERT_EQ(funcLoadTIFFTags(dir_.File("a.tif").c_str(), 1), 0);
  ASSERT_EQ(funcAddTIFFTag(297, 3, 2, 1 | 2u << 16, nullptr), 0);
  ASSERT_EQ(funcWriteTIFFTags(dir_.File("s.tif").c_str()), 0);
  const std::vector<uint8_t> before = Bytes("s.tif");
  const std::string pixels = Pixels("s.tif");
  const std::string dumpBefore = Dump("s.tif");
  ASSERT_EQ(funcSwapTIFFByteOrder(dir_.File("s.tif").c_str()), 0);
  const std::string swapped = Dump("s.tif");
  EXPECT_NE(swapped.find("big-endian"), std::string::npos);
  // The same tags with the same values, in the other order.
  EXPECT_EQ(swapped.substr(swapped.find("Directory")), dumpBefore.substr(dumpBefore.find("Directory")));
  EXPECT_TRUE(Pixels("s.tif") == pixels);
  ASSERT_EQ(funcSwapTIFFByteOrder(dir_.File("s.tif").c_str()), 0);
  EXPECT_EQ(Bytes("s.tif"), before);
  EXPECT_EQ(funcSwapTIFFByteOrder(dir_.File("missing.tif").c_str()), 1);
}

TEST_F(TiffTagsTools, JoiningAppendsThePageInTheFirstFilesOrder) {
  ASSERT_EQ(testkit::RunCommand("tiffcp -B '" + dir_.File("b.tif") + "' '" + dir_.File("bmm.tif") + "'").status, 0);
  const std::string a = Pixels("a.tif"), b = Pixels("b.tif");
  ASSERT_EQ(ZARNCombineTIFFS(dir_.File("a.tif").c_str(), dir_.File("bmm.tif").c_str()), 0);
  EXPECT_EQ(funcGetTIFFPageCount(dir_.File("a.tif").c_str()), 2);
  EXPECT_TRUE(Pixels("a.tif", 0) == a);
  EXPECT_TRUE(Pixels("a.tif", 1) == b);
  // Joined to itself twice: page 1 is appended each time, and nothing of the file is lost.
  ASSERT_EQ(ZARNCombineTIFFS(dir_.File("a.tif").c_str(), dir_.File("a.tif").c_str()), 0);
  ASSERT_EQ(ZARNCombineTIFFS(dir_.File("a.tif").c_str(), dir_.File("a.tif").c_str()), 0);
  EXPECT_EQ(funcGetTIFFPageCount(dir_.File("a.tif").c_str()), 4);
  EXPECT_TRUE(Pixels("a.tif", 1) == b);
  EXPECT_TRUE(Pixels("a.tif", 2) == a);
  EXPECT_TRUE(Pixels("a.tif", 3) == a);
  EXPECT_EQ(ZARNCombineTIFFS(dir_.File("a.tif").c_str(), dir_.File("none.tif").c_str()), -103);
  EXPECT_EQ(ZARNCombineTIFFS(dir_.File("a.tif").c_str(), Write("x.tif", std::vector<uint8_t>(100, 0)).c_str()), -104);
}

// The tags of a cropped page, written as the 256-byte header in front of its strip: here b.tif's strip
// under a.tif's tags, so libtiff must see b's pixels.
TEST_F(TiffTagsTools, CroppedPageHeaderDescribesTheNewStrip) {
  codec::ImageView oldView{}, newView{};
  for (auto [name, view] : {std::pair{"a.tif", &oldView}, std::pair{"b.tif", &newView}}) {
    const int fd = ::open(dir_.File(name).c_str(), O_RDONLY);
    ASSERT_EQ(funcReadTIFFInfo(fd, view, 1), 0);
    ::close(fd);
  }
  const std::vector<uint8_t> b = Bytes("b.tif");
  const std::vector<uint8_t> strip(b.begin() + static_cast<std::ptrdiff_t>(newView.stripOffset),
                                   b.begin() + static_cast<std::ptrdiff_t>(newView.stripOffset + newView.stripByteCount));
  std::vector<uint8_t> file(256, 0xEE);
  file.insert(file.end(), strip.begin(), strip.end());
  const std::string out = Write("crop.tif", file);
  newView.imageResX = 300;
  ASSERT_EQ(funcLoadTIFFTags(dir_.File("a.tif").c_str(), 1), 0);
  const int fd = ::open(out.c_str(), O_RDWR);
  ASSERT_EQ(funcSetCroppedTIFFTags(oldView, newView, fd), 0);
  ::close(fd);
  EXPECT_TRUE(TableTags().empty());
  EXPECT_TRUE(Pixels("crop.tif") == Pixels("b.tif"));
  const std::string dump = Dump("crop.tif");
  EXPECT_NE(dump.find("StripOffsets (273) LONG (4) 1<256>"), std::string::npos) << dump;
  EXPECT_NE(dump.find("XResolution (282) RATIONAL (5) 1<300>"), std::string::npos) << dump;
}

TEST_F(TiffTags, MemoryImageSizes) {
  std::vector<uint8_t> bmp(70, 0);
  bmp[0] = 'B', bmp[1] = 'M', bmp[2] = 70;
  EXPECT_EQ(funcGetMemImageSize(bmp.data(), bmp.size()), 70);
  const std::string name = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(bmp.data()));
  EXPECT_EQ(funcGetMemImageSize(name.c_str()), 70);
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 0xFF, 0xD9, 9, 9};
  EXPECT_EQ(funcGetMemImageSize(jpeg.data(), jpeg.size()), 8);
  EXPECT_EQ(funcGetMemImageSize(jpeg.data(), 7), -1);  // the end marker lies past what was given
  const std::vector<uint8_t> tiff = MakeTiff(false, {CodeLinePage()}, 0, 0);
  // The strip (400 + 20) ends past the directory and the text.
  EXPECT_EQ(funcGetMemImageSize(tiff.data(), 420), 420);
  EXPECT_EQ(funcGetMemImageSize(tiff.data(), 60), -1);
  const std::vector<uint8_t> other(16, 7);
  EXPECT_EQ(funcGetMemImageSize(other.data(), other.size()), -1);
}

}  // namespace
}  // namespace zc::imaging
