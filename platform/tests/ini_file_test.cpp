// The private-profile functions on real files: defaults, truncation, lists, names and rewrites.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <thread>

#include "platform/ini.h"
#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"

namespace plat {
namespace {

class PlatformIniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFolders();
    SetFolder(Folder::kWindows, dir_.Path());
    dir_.Write("Settings.INI",
               "[Timer Polling]\r\nT.Poll(msec)=abc\r\nT.Check(msec)=\r\nLong=0123456789\r\n"
               "[Log]\r\nLOG Messages= 25 \r\nNegative=-40\r\n");
  }
  void TearDown() override { ResetFolders(); }

  std::string Ini() const { return dir_ / "Settings.INI"; }

  zc::testkit::ScratchDir dir_{"zcplat"};
};

TEST_F(PlatformIniFileTest, StringReaderDefaultsAndTruncation) {
  char buf[16];
  struct Case {
    const char* file;
    const char* section;
    const char* key;
    const char* def;
    uint32_t size;
    const char* expected;
  } cases[] = {
      {"settings.ini", "LOG", "log messages", "x", 8, "25"},  // bare name, any case, in the Windows folder
      {"settings.ini", "Timer Polling", "Long", "x", 8, "0123456"},  // cut to size - 1
      {"settings.ini", "Timer Polling", "Long", "x", 1, ""},
      {"settings.ini", "Timer Polling", "T.Check(msec)", "d", 8, ""},  // an empty value is a value
      {"settings.ini", "Log", "Missing", "dflt", 8, "dflt"},
      {"settings.ini", "Log", "Missing", nullptr, 8, ""},          // null default reads as ""
      {"settings.ini", "Log", "Missing", "0123456789", 4, "012"},  // defaults are cut too
      {"absent.ini", "Log", "LOG Messages", "d", 8, "d"},
      {"NOINI", "Log", "LOG Messages", "d", 8, "d"},
  };
  for (const Case& c : cases) {
    std::memset(buf, '#', sizeof buf);
    const uint32_t n = GetPrivateProfileStringA(c.section, c.key, c.def, buf, c.size, c.file);
    EXPECT_STREQ(buf, c.expected) << c.key;
    EXPECT_EQ(n, std::strlen(c.expected)) << c.key;
    EXPECT_EQ(buf[c.size], '#') << "wrote past the buffer for " << c.key;
  }
  EXPECT_EQ(GetPrivateProfileStringA("Log", "LOG Messages", "d", nullptr, 8, "settings.ini"), 0u);
  EXPECT_EQ(GetPrivateProfileStringA("Log", "LOG Messages", "d", buf, 0, "settings.ini"), 0u);
}

TEST_F(PlatformIniFileTest, IntReader) {
  struct Case {
    const char* section;
    const char* key;
    int32_t expected;
  } cases[] = {
      {"Timer Polling", "T.Poll(msec)", 0},    // non-numeric -> 0, not the default
      {"Timer Polling", "T.Check(msec)", 77},  // empty value -> default
      {"Timer Polling", "Missing", 77},
      {"Log", "LOG Messages", 25},
      {"Log", "Negative", -40},
      {"No Section", "x", 77},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetPrivateProfileIntA(c.section, c.key, 77, "SETTINGS.ini"), c.expected) << c.key;
  }
  EXPECT_EQ(GetPrivateProfileIntA("Log", "LOG Messages", 77, nullptr), 77);  // the empty default profile
}

TEST_F(PlatformIniFileTest, Lists) {
  char buf[64];
  // Section reader: lines NUL-terminated plus a final NUL.
  uint32_t n = GetPrivateProfileSectionA("log", buf, sizeof buf, "settings.ini");
  EXPECT_EQ(std::string(buf, n + 1), std::string("LOG Messages=25\0Negative=-40\0\0", 30));
  // Cut: ends in two NULs and returns size - 2.
  n = GetPrivateProfileSectionA("log", buf, 10, "settings.ini");
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(std::string(buf, 10), std::string("LOG Mess\0\0", 10));
  // Missing section: an empty list.
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(GetPrivateProfileSectionA("none", buf, sizeof buf, "settings.ini"), 0u);
  EXPECT_EQ(buf[0], '\0');
  // Null key lists the key names, null section the section names.
  n = GetPrivateProfileStringA("timer polling", nullptr, "d", buf, sizeof buf, "settings.ini");
  EXPECT_EQ(std::string(buf, n + 1), std::string("T.Poll(msec)\0T.Check(msec)\0Long\0\0", 33));
  n = GetPrivateProfileStringA(nullptr, nullptr, "d", buf, sizeof buf, "settings.ini");
  EXPECT_EQ(std::string(buf, n + 1), std::string("Timer Polling\0Log\0\0", 19));
}

TEST_F(PlatformIniFileTest, WriterKeepsOtherLinesAndCreatesFiles) {
  const std::string before = dir_.Read("Settings.INI");
  ASSERT_TRUE(WritePrivateProfileStringA("LOG", "log messages", "10", "settings.ini"));
  std::string expected = before;
  expected.replace(expected.find("LOG Messages= 25 "), 17, "LOG Messages=10");
  EXPECT_EQ(dir_.Read("Settings.INI"), expected);  // the existing file, under its own spelling

  ASSERT_TRUE(WritePrivateProfileStringA("Log", "Added", "1", "settings.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("New", "K", "v", "settings.ini"));
  expected.replace(expected.find("Negative=-40\r\n"), 14, "Negative=-40\r\nAdded=1\r\n");
  expected += "[New]\r\nK=v\r\n";
  EXPECT_EQ(dir_.Read("Settings.INI"), expected);
  EXPECT_EQ(GetPrivateProfileIntA("new", "k", 5, "settings.ini"), 0);  // the cache saw the write

  ASSERT_TRUE(WritePrivateProfileStringA("Log", "Added", nullptr, "settings.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Timer Polling", nullptr, nullptr, "settings.ini"));
  EXPECT_EQ(dir_.Read("Settings.INI"), "[Log]\r\nLOG Messages=10\r\nNegative=-40\r\n[New]\r\nK=v\r\n");

  // A missing file is created with CR LF line ends; a file in a subfolder goes through the path layer.
  ASSERT_TRUE(WritePrivateProfileStringA("S", "K", "v", (dir_.Path() + "\\Fresh.ini").c_str()));
  EXPECT_EQ(dir_.Read("Fresh.ini"), "[S]\r\nK=v\r\n");
  // Deleting from a missing file creates nothing.
  EXPECT_TRUE(WritePrivateProfileStringA("S", "K", nullptr, "none.ini"));
  EXPECT_FALSE(dir_.Exists("none.ini"));
}

TEST_F(PlatformIniFileTest, WriterFailures) {
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "K", "v", "settings.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "v", nullptr));
  EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "v", (dir_.Path() + "/no/such/folder.ini").c_str()));
  ASSERT_EQ(::mkdir((dir_ / "adir.ini").c_str(), 0700), 0);
  EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "v", "adir.ini"));  // never replaces what it cannot read
  EXPECT_EQ(GetPrivateProfileIntA("S", "K", 3, "adir.ini"), 3);
}

TEST_F(PlatformIniFileTest, OutsideChangeIsSeen) {
  EXPECT_EQ(GetPrivateProfileIntA("Log", "LOG Messages", 0, "settings.ini"), 25);
  // Same size, so only the modification time tells the change.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  dir_.Write("Settings.INI", "[Log]\r\nLOG Messages= 26 \r\nNegative=-40\r\n");
  EXPECT_EQ(GetPrivateProfileIntA("Log", "LOG Messages", 0, "settings.ini"), 26);
}

TEST_F(PlatformIniFileTest, ConvenienceAndBatch) {
  EXPECT_EQ(ReadProfileString("log", "negative", "d", "settings.ini"), "-40");
  EXPECT_EQ(ReadProfileInt("log", "missing", 9, "settings.ini"), 9);
  ASSERT_TRUE(EditProfile("batch.ini", [](IniDocument& doc) {
    for (int i = 0; i < 3; ++i) doc.Set("Rows", "Row" + std::to_string(i), std::to_string(i * 10));
  }));
  EXPECT_EQ(dir_.Read("batch.ini"), "[Rows]\r\nRow0=0\r\nRow1=10\r\nRow2=20\r\n");
  ASSERT_TRUE(WriteProfileString("Rows", "row1", std::nullopt, "batch.ini"));
  EXPECT_EQ(ReadProfileString("Rows", "Row1", "gone", "batch.ini"), "gone");
}

}  // namespace
}  // namespace plat
