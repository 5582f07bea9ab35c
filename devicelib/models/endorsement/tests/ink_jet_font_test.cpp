// The ink-jet font file: glyph layout, the three-step file search, and files of any length.
#include "qv6/endorsement/ink_jet_font.h"

#include <gtest/gtest.h>

#include "font_fixture.h"
#include "platform/paths.h"
#include "testkit/support/file_bytes.h"

namespace qv6::endorsement {
namespace {

using testing::ScratchFolderTest;
using testing::SyntheticColumn;
using testing::SyntheticFontBytes;

// A font of which only glyph 'A' is drawn, with columns written byte by byte.
std::vector<uint8_t> FontWithGlyphA() {
  std::vector<uint8_t> bytes(2048, 0);
  const size_t at = 20 * ('A' - 32);
  for (int k = 0; k < 10; ++k) {
    const unsigned word = (1u << k) | 0xF000u;
    bytes[at + 2 * k] = static_cast<uint8_t>(word & 0xFF);  // little-endian column words
    bytes[at + 2 * k + 1] = static_cast<uint8_t>(word >> 8);
  }
  return bytes;
}

TEST(InkJetFont, GlyphColumnsAreLittleEndianWordsOfTwelveRows) {
  const InkJetFont font = InkJetFont::FromBytes(FontWithGlyphA());
  for (int k = 0; k < 10; ++k) EXPECT_EQ(font.Column('A', k), 1u << k) << k;
  EXPECT_EQ(font.Column('B', 0), 0);
  EXPECT_EQ(font.Column('@', 9), 0);
  // Out of range codes and columns read nothing.
  EXPECT_EQ(font.Column('A', 10), 0);
  EXPECT_EQ(font.Column('A', -1), 0);
  EXPECT_EQ(font.Column(31, 0), 0);
  EXPECT_EQ(font.Column(128, 0), 0);
  EXPECT_EQ(font.Column(200, 0), 0);
}

TEST(InkJetFont, SyntheticFontReadsBackEveryGlyph) {
  const InkJetFont font = InkJetFont::FromBytes(SyntheticFontBytes());
  for (int code = 32; code <= 127; ++code) {
    for (int k = 0; k < 10; ++k)
      ASSERT_EQ(font.Column(static_cast<unsigned char>(code), k), SyntheticColumn(code, k));
  }
}

TEST(InkJetFont, FilesOfAnyLengthGiveTheBytesTheyHave) {
  const std::vector<uint8_t> full = SyntheticFontBytes();
  // Shorter: the glyphs the file holds whole or in part, the rest blank.
  const std::vector<uint8_t> cut(full.begin(), full.begin() + 20 * 2 + 6);  // ' ', '!', 3 columns of '"'
  const InkJetFont shortFont = InkJetFont::FromBytes(cut);
  EXPECT_EQ(shortFont.bytesRead(), cut.size());
  EXPECT_EQ(shortFont.Column('!', 9), SyntheticColumn('!', 9));
  EXPECT_EQ(shortFont.Column('"', 2), SyntheticColumn('"', 2));
  EXPECT_EQ(shortFont.Column('"', 3), 0);
  EXPECT_EQ(shortFont.Column('~', 0), 0);
  // Longer: only the first 2048 bytes.
  std::vector<uint8_t> longer = full;
  longer.resize(5000, 0xFF);
  const InkJetFont longFont = InkJetFont::FromBytes(longer);
  EXPECT_EQ(longFont.bytesRead(), 2048u);
  EXPECT_EQ(longFont.Column(127, 9), SyntheticColumn(127, 9));
  // Empty.
  const InkJetFont empty = InkJetFont::FromBytes({});
  EXPECT_EQ(empty.bytesRead(), 0u);
  EXPECT_EQ(empty.Column('A', 0), 0);
}

class FontSearch : public ScratchFolderTest {
 protected:
  // A font file whose glyph 'A' column 0 says where it was found.
  void Place(const std::filesystem::path& path, uint16_t marker) {
    std::vector<uint8_t> bytes(2048, 0);
    bytes[20 * ('A' - 32)] = static_cast<uint8_t>(marker);
    bytes[20 * ('A' - 32) + 1] = static_cast<uint8_t>(marker >> 8);
    ASSERT_TRUE(zc::testkit::WriteFileBytes(path, bytes));
  }
  static uint16_t Found(const InkJetFont& font) { return font.Column('A', 0); }
};

TEST_F(FontSearch, GivenNameThenWindowsThenSystemFolder) {
  Place(system_ / "Qv600_IJAsciiFont.bin", 3);
  EXPECT_EQ(Found(InkJetFont::Load("")), 3);
  Place(windows_ / "Qv600_IJAsciiFont.bin", 2);
  EXPECT_EQ(Found(InkJetFont::Load("")), 2);
  EXPECT_EQ(InkJetFont::Load("").path(), (windows_ / "Qv600_IJAsciiFont.bin").string());
  Place(root_ / "Qv600_IJAsciiFont.bin", 1);
  EXPECT_EQ(Found(InkJetFont::Load("")), 1);
  Place(root_ / "custom.bin", 4);
  EXPECT_EQ(Found(InkJetFont::Load("custom.bin")), 4);
}

TEST_F(FontSearch, FoldersAreSearchedForTheDefaultNameOnly) {
  Place(windows_ / "custom.bin", 2);
  Place(system_ / "custom.bin", 3);
  const InkJetFont font = InkJetFont::Load("custom.bin");
  EXPECT_EQ(Found(font), 0);
  EXPECT_TRUE(font.path().empty());
  Place(system_ / "Qv600_IJAsciiFont.bin", 3);
  EXPECT_EQ(Found(InkJetFont::Load("custom.bin")), 3);
}

TEST_F(FontSearch, WindowsStyleNamesAndCaseAreResolved) {
  std::filesystem::create_directory(root_ / "Fonts");
  Place(root_ / "Fonts" / "MyFont.BIN", 5);
  EXPECT_EQ(Found(InkJetFont::Load(".\\fonts\\myfont.bin")), 5);
  Place(windows_ / "QV600_IJASCIIFONT.BIN", 2);
  EXPECT_EQ(Found(InkJetFont::Load("")), 2);
}

TEST_F(FontSearch, UnavailableFolderIsSkipped) {
  Place(windows_ / "Qv600_IJAsciiFont.bin", 2);
  Place(system_ / "Qv600_IJAsciiFont.bin", 3);
  plat::SetFolderUnavailable(plat::Folder::kWindows, true);
  EXPECT_EQ(Found(InkJetFont::Load("")), 3);
}

TEST_F(FontSearch, NothingFoundGivesABlankFont) {
  const InkJetFont font = InkJetFont::Load("absent.bin");
  EXPECT_TRUE(font.path().empty());
  EXPECT_EQ(font.bytesRead(), 0u);
  for (uint8_t b : font.bytes()) ASSERT_EQ(b, 0);
}

TEST_F(FontSearch, FirstFileThatOpensEndsTheSearchAndFoldersAreNotFiles) {
  // An empty file opens: the search ends there with a blank font.
  ASSERT_TRUE(zc::testkit::WriteFileBytes(root_ / "Qv600_IJAsciiFont.bin", {}));
  Place(windows_ / "Qv600_IJAsciiFont.bin", 2);
  const InkJetFont font = InkJetFont::Load("");
  EXPECT_EQ(font.path(), (root_ / "Qv600_IJAsciiFont.bin").string());
  EXPECT_EQ(Found(font), 0);
  // A folder of the font's name does not.
  std::filesystem::remove(root_ / "Qv600_IJAsciiFont.bin");
  std::filesystem::create_directory(root_ / "Qv600_IJAsciiFont.bin");
  EXPECT_EQ(Found(InkJetFont::Load("")), 2);
}

TEST_F(FontSearch, ShortFileIsUsedAsFarAsItGoes) {
  std::vector<uint8_t> bytes = SyntheticFontBytes();
  bytes.resize(20 * ('A' - 32) + 4);  // up to column 1 of 'A'
  ASSERT_TRUE(zc::testkit::WriteFileBytes(root_ / "short.bin", bytes));
  const InkJetFont font = InkJetFont::Load("short.bin");
  EXPECT_EQ(font.bytesRead(), bytes.size());
  EXPECT_EQ(font.Column('A', 1), SyntheticColumn('A', 1));
  EXPECT_EQ(font.Column('A', 2), 0);
  EXPECT_EQ(font.Column('Z', 0), 0);
}

}  // namespace
}  // namespace qv6::endorsement
