// Firmware packages: header forms, parts outside the file, the part-2 text search across record heads,
// the version text, and record lists.
#include "qv6/models/firmware_package.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "qv6/models/firmware_record.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

// Firmware records holding `text` from `address` on, 16 bytes per record, then the end record.
std::vector<uint8_t> Records(const std::string& text, uint16_t address = 0x2000) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < text.size(); at += 16) {
    size_t n = std::min<size_t>(16, text.size() - at);
    std::vector<uint8_t> r(20, 0);
    r[0] = static_cast<uint8_t>(n);
    plat::bytes::PutLe16(&r[1], static_cast<uint16_t>(address + at));
    std::memcpy(&r[4], text.data() + at, n);
    out.insert(out.end(), r.begin(), r.end());
  }
  std::vector<uint8_t> end(20, 0);
  end[3] = 1;
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

std::vector<uint8_t> Package(uint32_t headerLength, const std::vector<std::vector<uint8_t>>& parts) {
  std::vector<uint8_t> file(44, 0);
  plat::bytes::PutLe32(file.data(), headerLength);
  for (size_t i = 0; i < parts.size(); ++i) {
    plat::bytes::PutLe32(file.data() + 4 + 8 * i, static_cast<uint32_t>(file.size()));
    plat::bytes::PutLe32(file.data() + 8 + 8 * i, static_cast<uint32_t>(parts[i].size()));
    file.insert(file.end(), parts[i].begin(), parts[i].end());
  }
  return file;
}

TEST(FirmwarePackage, HeaderLengthDecidesWhichPartsAreRead) {
  std::vector<std::vector<uint8_t>> parts = {{1}, {2, 2}, {3, 3, 3}, {4, 4, 4, 4}, {5}};
  CQv620FilesBuilderSplitter full;
  ASSERT_EQ(full.LoadBytes(Package(44, parts)), 1);
  EXPECT_EQ(full.GetPart3Size(), 3u);
  EXPECT_EQ(full.GetPart4Size(), 4u);
  EXPECT_EQ(full.Part(5).size(), 1u);
  // With 24, fields from offset 24 on read 0: part 3's size, part 4 entirely; part 5 is not read.
  CQv620FilesBuilderSplitter short24;
  ASSERT_EQ(short24.LoadBytes(Package(24, parts)), 1);
  EXPECT_EQ(short24.GetPart2Size(), 2u);
  EXPECT_EQ(short24.GetPart3Size(), 0u);
  EXPECT_EQ(short24.GetPart4Size(), 0u);
  EXPECT_TRUE(short24.Part(5).empty());
}

TEST(FirmwarePackage, PartsOutsideTheFileAreRefused) {
  auto file = Package(44, {{1}, {2}, {3}, {4}, {5}});
  struct Case {
    size_t field;
    uint32_t value;
  } cases[] = {{8, 1000}, {12, 0xFFFFFFF0u}, {16, 0xFFFFFFFFu}, {4, static_cast<uint32_t>(file.size() + 1)}};
  for (const Case& c : cases) {
    auto bad = file;
    plat::bytes::PutLe32(bad.data() + c.field, c.value);
    CQv620FilesBuilderSplitter p;
    EXPECT_EQ(p.LoadBytes(bad), 0);
    EXPECT_TRUE(p.GetPart1().empty());
  }
  CQv620FilesBuilderSplitter p;
  EXPECT_EQ(p.LoadPackage("no such package.bin"), 0);
}

TEST(FirmwarePackage, FilesLargerThanAnyPackageAreRefusedWithNoParts) {
  zc::testkit::ScratchDir dir("package");
  const std::filesystem::path path = std::filesystem::path(dir.Path()) / "Large.bin";
  const std::vector<uint8_t> head = Package(44, {Records("VEK Corp"), {2, 2}, {3}});
  struct Case {
    const char* name;
    size_t size;
    int loaded;
  } cases[] = {
      {"at the cap", CQv620FilesBuilderSplitter::kMaxPackageBytes, 1},
      {"one byte beyond", CQv620FilesBuilderSplitter::kMaxPackageBytes + 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zc::testkit::WriteFileBytes(path, head);
    std::filesystem::resize_file(path, c.size);  // the tail reads as zeros
    CQv620FilesBuilderSplitter package;
    EXPECT_EQ(package.LoadPackage(path.c_str()), c.loaded);
    EXPECT_EQ(package.GetPart2Size(), c.loaded != 0 ? 2u : 0u);
    EXPECT_EQ(package.GetPart1().empty(), c.loaded == 0);
  }
}

TEST(FirmwarePackage, TextsAcrossRecordHeadsAndTheirOrder) {
  // "VEK Corporation" ends at byte 15 of the first record; its NUL lies behind the next record head.
  std::string firmware = std::string("VEK Corporation") + '\0' + "xx 1.2.3.4" + '\0' + "tail";
  CQv620FilesBuilderSplitter p;
  ASSERT_EQ(p.LoadBytes(Package(44, {{}, Records("0" + firmware)})), 1);
  EXPECT_EQ(p.ContainsStringPair("VEK Corporation", "1.2.3.4"), 1);
  EXPECT_EQ(p.ContainsStringPair("1.2.3.4", "VEK Corporation"), 0);  // order matters
  EXPECT_EQ(p.ContainsStringPair("VEK Corp", "1.2.3.4"), 0);         // not followed by a NUL
  EXPECT_EQ(p.ContainsStringPair("", "1.2.3.4"), 0);
  EXPECT_EQ(p.ContainsStringPair(nullptr, "1.2.3.4"), 0);
  // A text split by a record head is found across it.
  std::string split = "abcdefghijklmnoVERSION-TEXT";
  ASSERT_EQ(p.LoadBytes(Package(
                44, {{}, Records("VEK Corporation" + std::string(1, '\0') + split.substr(0) + '\0')})),
            1);
  EXPECT_EQ(p.ContainsStringPair("VEK Corporation", "abcdefghijklmnoVERSION-TEXT"), 1);
}

TEST(FirmwarePackage, VersionText) {
  struct Case {
    std::string firmware;
    std::string version;
  } cases[] = {
      {std::string("junkVEK Corp firmware Rev. 1.23.0.0 build") + '\0', "1.23.0.0 build"},
      {std::string("KWL Ltd Rev. 4.5.6.7") + '\0', "4.5.6.7"},
      {std::string("VEK Corp Rev. 1.2.3") + '\0', ""},
      {std::string("no maker Rev. 1.2.3.4") + '\0', ""},
      {std::string("VEK Corp") + std::string(100, ' ') + "Rev. 1.2.3.4", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firmware);
    CQv620FilesBuilderSplitter p;
    ASSERT_EQ(p.LoadBytes(Package(44, {{}, Records(c.firmware)})), 1);
    EXPECT_EQ(p.ReadVersions(), c.version);
  }
}

TEST(FirmwareRecord, ListsMustEndInsideTheirPartWithBoundedCounts) {
  auto list = Records("0123456789abcdefXYZ");
  auto records = FirmwareRecord::ParseList(list);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), 3u);
  EXPECT_EQ((*records)[1].address, 0x2010);
  EXPECT_EQ((*records)[1].count, 3);
  EXPECT_TRUE((*records)[2].end);

  auto noEnd = list;
  noEnd.resize(40);
  EXPECT_FALSE(FirmwareRecord::ParseList(noEnd));
  auto bigCount = list;
  bigCount[20] = 17;
  EXPECT_FALSE(FirmwareRecord::ParseList(bigCount));
}

}  // namespace
}  // namespace qv6
