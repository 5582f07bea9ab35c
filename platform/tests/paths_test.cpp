// Windows names to POSIX paths, case-insensitive resolution and the stand-in folders.
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "testkit/support/scratch_dir.h"

namespace plat {
namespace {

class PlatformPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFolders();
    ASSERT_NE(::getcwd(oldCwd_, sizeof oldCwd_), nullptr);
    ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(::chdir(oldCwd_), 0);
    ResetFolders();
  }

  zc::testkit::ScratchDir dir_{"zcplat"};
  char oldCwd_[4096];
};

TEST_F(PlatformPathsTest, Mapping) {
  SetDriveRoot("/srv/drive/");
  struct Case {
    const char* windows;
    const char* posix;
  } cases[] = {
      {"Images\\", "Images/"},
      {".\\images\\f0000001.tif", "./images/f0000001.tif"},
      {"c:\\zarnapi.log", "/srv/drive/zarnapi.log"},
      {"D:/x\\y", "/srv/drive/x/y"},
      {"c:", "/srv/drive/"},
      {"qv6dll.dll", "qv6dll.dll"},
      {"/already/posix", "/already/posix"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ToPosixPath(c.windows), c.posix) << c.windows;
  SetDriveRoot("/");
  EXPECT_EQ(ToPosixPath("C:\\x"), "/x");
}

TEST_F(PlatformPathsTest, ResolvesExistingComponentsWithoutCase) {
  ASSERT_TRUE(CreateDirectory("Images"));
  dir_.Write("Images/f0000001.tif", "tif");
  dir_.Write("qv8cfg.tmp", "cfg");
  struct Case {
    const char* windows;
    const char* resolved;
  } cases[] = {
      {"QV8CFG.TMP", "qv8cfg.tmp"},
      {".\\images\\F0000001.TIF", "./Images/f0000001.tif"},
      {"IMAGES\\", "Images/"},
      {"images\\New.tif", "Images/New.tif"},  // a new name keeps its spelling
      {"Missing\\Sub\\X.bin", "Missing/Sub/X.bin"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolvePath(c.windows), c.resolved) << c.windows;

  // "Images\" and ".\images\" are one folder, and an upper-cased name opens the mixed-case file.
  std::FILE* f = OpenFile(".\\IMAGES\\F0000001.TIF", "rb");
  ASSERT_NE(f, nullptr);
  char buf[4] = {};
  EXPECT_EQ(std::fread(buf, 1, 3, f), 3u);
  std::fclose(f);
  EXPECT_STREQ(buf, "tif");
  EXPECT_TRUE(DirectoryExists(".\\images\\"));
  EXPECT_TRUE(FileExists(dir_.Path() + "\\IMAGES\\f0000001.TIF"));
  EXPECT_FALSE(FileExists("images"));

  // A created file gets its given name inside the existing folder.
  f = OpenFile("IMAGES\\Out.TIF", "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(dir_.Exists("Images/Out.TIF"));
  EXPECT_TRUE(DeleteFile("images\\out.tif"));
  EXPECT_FALSE(dir_.Exists("Images/Out.TIF"));
}

TEST_F(PlatformPathsTest, DriveLettersMapIntoTheRoot) {
  SetDriveRoot(dir_.Path());
  ASSERT_TRUE(CreateDirectory("c:\\Logs"));
  std::FILE* f = OpenFile("C:\\LOGS\\zarnapi.log", "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_TRUE(dir_.Exists("Logs/zarnapi.log"));
}

TEST_F(PlatformPathsTest, Folders) {
  char buf[512];
  const std::string cwd = dir_.Path();
  // Defaults: the current directory for Windows and System.
  ASSERT_EQ(GetWindowsDirectoryA(buf, sizeof buf), cwd.size());
  EXPECT_EQ(std::string(buf), cwd);
  ASSERT_EQ(GetSystemDirectoryA(buf, sizeof buf), cwd.size());

  SetFolder(Folder::kSystem, "/opt/sys/");
  EXPECT_EQ(GetSystemDirectoryA(buf, sizeof buf), 8u);
  EXPECT_STREQ(buf, "/opt/sys");
  // Too small: nothing copied, the size needed (with the NUL) returned.
  std::strcpy(buf, "keep");
  EXPECT_EQ(GetSystemDirectoryA(buf, 8), 9u);
  EXPECT_STREQ(buf, "keep");

  SetFolder(Folder::kTemp, "/var/tmp");
  EXPECT_EQ(GetTempPathA(sizeof buf, buf), 9u);
  EXPECT_STREQ(buf, "/var/tmp/");  // the temporary folder ends in a separator

  SetFolderUnavailable(Folder::kTemp, true);
  EXPECT_EQ(GetTempPathA(sizeof buf, buf), 0u);
  SetFolderUnavailable(Folder::kWindows, true);
  EXPECT_EQ(GetWindowsDirectoryA(buf, sizeof buf), 0u);
  EXPECT_EQ(GetFolder(Folder::kWindows), std::nullopt);

  ResetFolders();
  const char* tmpdir = std::getenv("TMPDIR");
  std::string expected = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  while (expected.size() > 1 && expected.back() == '/') expected.pop_back();
  EXPECT_EQ(GetFolder(Folder::kTemp), expected);
}

TEST_F(PlatformPathsTest, FindFilesAndFullPath) {
  for (const char* name :
       {"QV620Firmware_v1.2.3.4.BIN", "qv620firmware_V1.10.0.0.bin", "other.txt", "QV620Firmware.bin"})
    dir_.Write(name, "x");
  std::vector<std::string> found = FindFiles(".\\qv620firmware_v*.bin");
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"QV620Firmware_v1.2.3.4.BIN", "qv620firmware_V1.10.0.0.bin"}));
  EXPECT_EQ(FindFiles("*.*").size(), 4u);
  EXPECT_TRUE(FindFiles("nofolder\\*").empty());

  EXPECT_EQ(FullPath("sub\\..\\OTHER.TXT"), dir_.Path() + "/other.txt");
  EXPECT_EQ(FullPath(".\\new.bin"), dir_.Path() + "/new.bin");
}

}  // namespace
}  // namespace plat
