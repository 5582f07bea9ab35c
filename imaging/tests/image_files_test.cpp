// The code-line tag of TIFF files, in the program's own header and through the tag editor, file names
// through the program's rule, and copies: checked with the own reader, tiffinfo and python3-pil.
#include "imaging/image_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/tiff_read.h"
#include "scratch_device_file.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/params.h"

namespace zc::imaging {
namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// A file laid out as the program's own G4 writer lays it out: 19 entries, StripOffsets ninth with 512,
// tag 34604 nineteenth with an empty count and its room at 328, the strip at 512.
std::vector<uint8_t> OwnHeaderFile(int width, int height, const std::vector<uint8_t>& strip) {
  std::vector<uint8_t> f(512, 0);
  f[0] = f[1] = 'I';
  Put16(f, 2, 42);
  Put32(f, 4, 8);
  struct E {
    uint16_t tag, type;
    uint32_t count, value;
  };
  const E entries[19] = {{254, 4, 1, 0},     {256, 4, 1, static_cast<uint32_t>(width)},
                         {257, 4, 1, static_cast<uint32_t>(height)}, {258, 3, 1, 1},
                         {259, 3, 1, 4},     {262, 3, 1, 0},
                         {266, 3, 1, 1},     {271, 2, 3, 'Z' | 'C' << 8},
                         {273, 4, 1, 512},   {274, 3, 1, 1},
                         {277, 3, 1, 1},     {278, 4, 1, static_cast<uint32_t>(height)},
                         {279, 4, 1, static_cast<uint32_t>(strip.size())}, {282, 5, 1, 400},
                         {283, 5, 1, 408},   {284, 3, 1, 1},
                         {296, 3, 1, 2},     {305, 2, 3, 'Z' | 'C' << 8},
                         {34604, 2, 0, 328}};
  Put16(f, 8, 19);
  for (int i = 0; i < 19; ++i) {
    const size_t at = 10 + 12 * static_cast<size_t>(i);
    Put16(f, at, entries[i].tag);
    Put16(f, at + 2, entries[i].type);
    Put32(f, at + 4, entries[i].count);
    if (entries[i].type == 3) {
      Put16(f, at + 8, entries[i].value);
    } else {
      Put32(f, at + 8, entries[i].value);
    }
  }
  for (size_t at : {400u, 408u}) {
    Put32(f, at, 200);
    Put32(f, at + 4, 1);
  }
  f.insert(f.end(), strip.begin(), strip.end());
  return f;
}

class ImageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testkit::HaveTool("tiffinfo") || !testkit::HaveTool("pnmtotiff") || !testkit::HavePythonModule("PIL"))
      GTEST_SKIP() << "libtiff-tools, netpbm or python3-pil missing";
    // 160 x 40, white is zero as the program writes its pages, with a black box over columns 10..70 and
    // rows 5..30.
    std::string pbm = "P4\n160 40\n";
    for (int y = 0; y < 40; ++y)
      for (int byte = 0; byte < 20; ++byte) {
        uint8_t bits = 0;
        for (int b = 0; b < 8; ++b) {
          const int x = byte * 8 + b;
          if (x >= 10 && x <= 70 && y >= 5 && y <= 30) bits |= static_cast<uint8_t>(0x80 >> b);
        }
        pbm += static_cast<char>(bits);
      }
    dir_.Write("page.pbm", pbm);
    const auto r = testkit::RunCommand("pnmtotiff -g4 '" + dir_.File("page.pbm") + "' > '" + dir_.File("page.tif") + "'");
    ASSERT_TRUE(r.ok()) << r.output;
    const std::string page = dir_.Read("page.tif");
    codec::ImageView v{};
    const int fd = ::open(dir_.File("page.tif").c_str(), O_RDONLY);
    ASSERT_EQ(funcReadTIFFInfo(fd, &v, 1), 0);
    ::close(fd);
    const std::vector<uint8_t> strip(page.begin() + static_cast<std::ptrdiff_t>(v.stripOffset),
                                     page.begin() + static_cast<std::ptrdiff_t>(v.stripOffset + v.stripByteCount));
    const std::vector<uint8_t> own = OwnHeaderFile(v.width, v.length, strip);
    dir_.Write("own.tif", std::string(own.begin(), own.end()));
  }
  std::string Tag(const std::string& file) {
    const auto r = testkit::RunCommand("cd '" + dir_.Path() + "' && /usr/bin/python3 -c \"from PIL import Image\n"
                                       "print(repr(Image.open('" + file + "').tag_v2.get(34604)))\"");
    EXPECT_TRUE(r.ok()) << r.output;
    return r.output;
  }
  std::string Info(const std::string& file) { return testkit::RunCommand("tiffinfo '" + dir_.File(file) + "' 2>&1").output; }
  zc::testkit::ScratchDir dir_{"imagefiles"};
};

TEST_F(ImageFiles, CodeLineInTheOwnHeaderReadsWholeEverywhere) {
  const std::string own = dir_.File("own.tif");
  const std::string info = Info("own.tif");
  ASSERT_EQ(info.find("null byte"), std::string::npos) << info;  // libtiff only notes the private tag
  for (const std::string text : {"T1", "T123", "T123456789T 0012345678U 001234"}) {
    SCOPED_TRACE(text);
    ASSERT_EQ(ZARNPutMICRTextInHeader(own.c_str(), text.c_str(), static_cast<int>(text.size())), 0);
    char back[80];
    ASSERT_EQ(ZARNGetMICRTag(own.c_str(), 1, back, sizeof back), 0);
    EXPECT_EQ(std::string(back), text);
    // PIL drops one terminating NUL; short texts keep the padding up to the count of 5.
    std::string padding;
    for (size_t i = text.size() + 1; i < 5; ++i) padding += "\\x00";
    EXPECT_EQ(Tag("own.tif"), "'" + text + padding + "'\n");
    const std::string shown = Info("own.tif");
    EXPECT_NE(shown.find(text), std::string::npos) << shown;
    EXPECT_EQ(shown.find("null byte"), std::string::npos) << shown;
  }
  // Texts too long for the header's room, negative lengths and other headers leave the file as it was.
  const std::string before = dir_.Read("own.tif");
  const std::string longText(70, '1');
  EXPECT_EQ(ZARNPutMICRTextInHeader(own.c_str(), longText.c_str(), 70), 0);
  EXPECT_EQ(ZARNPutMICRTextInHeader(own.c_str(), "T1", -1), 0);
  EXPECT_EQ(dir_.Read("own.tif"), before);
  const std::string foreign = dir_.Read("page.tif");
  EXPECT_EQ(ZARNPutMICRTextInHeader(dir_.File("page.tif").c_str(), "T1", 2), -107);  // under 512 bytes
  EXPECT_EQ(dir_.Read("page.tif"), foreign);
  dir_.Write("big.tif", foreign + std::string(600, '\0'));
  EXPECT_EQ(ZARNPutMICRTextInHeader(dir_.File("big.tif").c_str(), "T1", 2), 0);
  EXPECT_EQ(dir_.Read("big.tif"), foreign + std::string(600, '\0'));
  EXPECT_EQ(ZARNPutMICRTextInHeader(dir_.File("none.tif").c_str(), "T1", 2), -103);
}

TEST_F(ImageFiles, TagEditorSetsTheCodeLineOnACopy) {
  const std::string text = "T987654321T 555U";
  ASSERT_EQ(ZARNSetMICRTag(dir_.File("page.tif").c_str(), 1, text.c_str(), static_cast<int>(text.size()),
                           dir_.File("tagged.tif").c_str()),
            1);
  EXPECT_EQ(Tag("tagged.tif"), "'" + text + "'\n");
  char back[16];
  ASSERT_EQ(ZARNGetMICRTag(dir_.File("tagged.tif").c_str(), 1, back, sizeof back), 0);
  EXPECT_EQ(std::string(back), text.substr(0, 15));  // cut to the buffer, always ended
  // Changing the tag of a file that has one.
  ASSERT_EQ(ZARNSetMICRTag(dir_.File("tagged.tif").c_str(), 1, "T1", 2, dir_.File("again.tif").c_str()), 1);
  EXPECT_EQ(Tag("again.tif"), "'T1\\x00\\x00'\n");
  EXPECT_EQ(ZARNSetMICRTag(dir_.File("page.tif").c_str(), 1, "T1", 2, dir_.File("page.tif").c_str()), -318);
  EXPECT_EQ(ZARNSetMICRTag(dir_.File("none.tif").c_str(), 1, "T1", 2, dir_.File("x.tif").c_str()), -316);
  EXPECT_EQ(ZARNGetMICRTag(dir_.File("page.tif").c_str(), 1, back, sizeof back), -315);
  EXPECT_EQ(back[0], 0);
  EXPECT_EQ(ZARNGetTIFFPageCount(dir_.File("again.tif").c_str()), 1);
}

TEST_F(ImageFiles, CopiesNeverTruncateTheirSource) {
  const std::string page = dir_.Read("page.tif");
  ASSERT_EQ(funcCopyFile(dir_.File("page.tif").c_str(), dir_.File("copy.tif").c_str()), 0);
  EXPECT_EQ(dir_.Read("copy.tif"), page);
  EXPECT_EQ(funcCopyFile(dir_.File("page.tif").c_str(), dir_.File("page.tif").c_str()), -103);
  EXPECT_EQ(dir_.Read("page.tif"), page);
  EXPECT_EQ(funcCopyFile(dir_.File("none.tif").c_str(), dir_.File("copy.tif").c_str()), -103);
}

// The page's pixels as tifftopnm gives them: width, height and one bit per pixel (1 black).
struct Bits {
  int width = 0, height = 0;
  std::vector<uint8_t> rows;
  bool Black(int x, int y) const { return (rows[static_cast<size_t>(y) * ((width + 7) / 8) + x / 8] & (0x80 >> (x % 8))) != 0; }
};

Bits ReadBits(const std::string& path) {
  const auto r = testkit::RunCommand("tifftopnm '" + path + "' 2>/dev/null");
  Bits b;
  if (!r.ok()) return b;
  size_t at = 0;
  int fields[2] = {};
  // "P4\n<w> <h>\n" then the rows.
  at = r.output.find('\n') + 1;
  for (int& f : fields) {
    size_t end = 0;
    f = std::stoi(r.output.substr(at), &end);
    at += end + 1;
  }
  b.width = fields[0], b.height = fields[1];
  b.rows.assign(r.output.begin() + static_cast<std::ptrdiff_t>(at), r.output.end());
  return b;
}

TEST_F(ImageFiles, CroppingKeepsTheWrittenAreaAndItsMargins) {
  // page.tif: 160 x 40 with a black box over columns 10..70 and rows 5..30.
  ASSERT_EQ(ZARNCropTIFFImage(dir_.File("page.tif").c_str(), dir_.File("crop.tif").c_str(), 10), 1);
  const Bits crop = ReadBits(dir_.File("crop.tif"));
  // m = 1 byte: 8 white columns and rows on every side of the 61 x 26 box, the width rounded to bytes.
  EXPECT_EQ(crop.height, 26 + 16);
  EXPECT_EQ(crop.width, (61 + 16 + 7) / 8 * 8);
  ASSERT_FALSE(crop.rows.empty());
  int black = 0;
  for (int y = 0; y < crop.height; ++y)
    for (int x = 0; x < crop.width; ++x) {
      const bool inBox = x >= 8 && x < 8 + 61 && y >= 8 && y < 8 + 26;
      EXPECT_EQ(crop.Black(x, y), inBox) << x << "," << y;
      black += crop.Black(x, y);
      if (crop.Black(x, y) != inBox) return;
    }
  EXPECT_EQ(black, 61 * 26);
  // Margin -1 keeps the page; a page cropped onto itself keeps its pixels too.
  const Bits page = ReadBits(dir_.File("page.tif"));
  ASSERT_EQ(ZARNCropTIFFImage(dir_.File("page.tif").c_str(), dir_.File("whole.tif").c_str(), -1), 1);
  EXPECT_TRUE(ReadBits(dir_.File("whole.tif")).rows == page.rows);
  ASSERT_EQ(ZARNCropTIFFImage(dir_.File("crop.tif").c_str(), dir_.File("crop.tif").c_str(), 0), 1);
  const Bits tight = ReadBits(dir_.File("crop.tif"));
  EXPECT_EQ(tight.height, 26);
  EXPECT_EQ(ZARNCropTIFFImage(dir_.File("none.tif").c_str(), dir_.File("x.tif").c_str(), 0), -103);
}

TEST(FileNameRule, TerminatedNamesEndAtTheirFirstBlank) {
  zarn::testing::ScratchDeviceFile deviceFile;
  const int before = zarn::funcTableGetParam(104);
  const std::string longName(300, 'a');
  zarn::funcTableSetParam(104, 0);
  EXPECT_EQ(funcApplyFileNameRule("C:\\scan\\front 1.tif trailing"), "C:\\scan\\front");
  EXPECT_EQ(funcApplyFileNameRule(longName.c_str()).size(), 255u);
  zarn::funcTableSetParam(104, 1);
  EXPECT_EQ(funcApplyFileNameRule("C:\\scan\\front 1.tif"), "C:\\scan\\front 1.tif");
  EXPECT_EQ(funcApplyFileNameRule(longName.c_str()), "");  // no file opens under a name the rule cannot hold
  zarn::funcTableSetParam(104, before);
}

}  // namespace
}  // namespace zc::imaging
