// Version records: reading them from files and from the running module.
#include "platform/version_info.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/dynlib.h"
#include "testkit/support/scratch_dir.h"

ZC_DEFINE_VERSION_RECORD(9, 8, 7, 6, "9.8.7.6 test");

namespace plat {
namespace {

// A record with a spoiled first magic byte, so this test program holds only its own valid record; the
// fixture writer puts the right byte back.
constexpr version_detail::Record kFixtureRecord = [] {
  version_detail::Record r = version_detail::MakeRecord(3, 0, 65535, 1, "3.0.65535.1");
  r.magic[0] = 'Y';
  return r;
}();

std::string FixtureRecordBytes() {
  std::string bytes(reinterpret_cast<const char*>(&kFixtureRecord), sizeof kFixtureRecord);
  bytes[0] = 'Z';
  return bytes;
}

TEST(PlatformVersionInfoTest, ReadsTheRecordOfALibraryByName) {
  zc::testkit::ScratchDir dir{"zcplat"};
  std::filesystem::copy_file(ZC_FIXTURE_LIBRARY, dir / "Qv6Dll.dll");
  const auto v = ReadFileVersion(dir.Path() + "\\QV6DLL.DLL");
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->major, 2);
  EXPECT_EQ(v->minor, 1);
  EXPECT_EQ(v->build, 0);
  EXPECT_EQ(v->revision, 7);
  EXPECT_EQ(v->text, "2.1.0.7");
  EXPECT_EQ(v->Ms(), 0x00020001u);
  EXPECT_EQ(v->Ls(), 0x00000007u);

  // The UTF-16LE "FileVersion" block: the value starts 26 bytes after the key.
  const std::string file = dir.Read("Qv6Dll.dll");
  const std::string key("F\0i\0l\0e\0V\0e\0r\0s\0i\0o\0n\0", 22);
  const size_t at = file.find(key);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(file.substr(at + 26, 16), std::string("2\0.\0001\0.\0000\0.\0007\0\0\0", 16));
}

TEST(PlatformVersionInfoTest, ReadsTheRunningModulesOwnRecord) {
  const auto own = ReadModuleVersion(reinterpret_cast<const void*>(&FixtureRecordBytes));
  ASSERT_TRUE(own.has_value());
  EXPECT_EQ(own->text, "9.8.7.6 test");

  ModuleHandle lib = LoadLibraryA(ZC_FIXTURE_LIBRARY);
  ASSERT_NE(lib, nullptr) << LastLoadError();
  const auto libVersion = ReadModuleVersion(GetProcAddress(lib, "PlatFixtureAnswer"));
  ASSERT_TRUE(libVersion.has_value());
  EXPECT_EQ(libVersion->text, "2.1.0.7");
  FreeLibrary(lib);
}

TEST(PlatformVersionInfoTest, FilesWithoutAValidRecordReadAsNoVersion) {
  zc::testkit::ScratchDir dir{"zcplat"};
  const std::string record = FixtureRecordBytes();
  std::string badSum = record;
  badSum[20] ^= 1;             // a number byte changed: the checksum no longer holds
  std::string noNul = record;  // a text without its NUL, with a checksum that holds
  uint32_t sum = 0;
  for (size_t i = 16; i < 24; ++i) sum += static_cast<unsigned char>(noNul[i]);
  for (size_t i = 24; i < 24 + version_detail::kTextSize; ++i) {
    noNul[i] = 'x';
    sum += 'x';
  }
  for (size_t i = 0; i < 4; ++i)
    noNul[24 + version_detail::kTextSize + i] = static_cast<char>(sum >> (8 * i));
  struct Case {
    const char* name;
    std::string bytes;
    bool found;
  } cases[] = {
      {"empty.bin", "", false},
      {"plain.bin", std::string(5000, '\x7f'), false},
      {"cut.bin", record.substr(0, 60), false},
      {"badsum.bin", badSum, false},
      {"nonul.bin", noNul, false},
      {"second.bin", badSum + record, true},                               // the first valid record counts
      {"straddle.bin", std::string((1 << 20) - 40, '\0') + record, true},  // across the reader's chunks
  };
  for (const Case& c : cases) {
    dir.Write(c.name, c.bytes);
    const auto v = ReadFileVersion(dir / c.name);
    EXPECT_EQ(v.has_value(), c.found) << c.name;
    if (v) {
      EXPECT_EQ(v->text, "3.0.65535.1");
      EXPECT_EQ(v->build, 65535);
    }
  }
  EXPECT_FALSE(ReadFileVersion(dir / "missing.dll").has_value());
}

}  // namespace
}  // namespace plat
