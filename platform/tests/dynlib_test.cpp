// Loading libraries by Windows file name along the mapped search order.
#include "platform/dynlib.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/paths.h"
#include "testkit/support/scratch_dir.h"

namespace plat {
namespace {

class PlatformDynlibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFolders();
    for (const char* sub : {"app", "cwd", "system", "windows"}) std::filesystem::create_directory(dir_ / sub);
    ASSERT_NE(::getcwd(oldCwd_, sizeof oldCwd_), nullptr);
    ASSERT_EQ(::chdir((dir_ / "cwd").c_str()), 0);
    SetApplicationDirectory(dir_ / "app");
    SetFolder(Folder::kSystem, dir_ / "system");
    SetFolder(Folder::kWindows, dir_ / "windows");
  }
  void TearDown() override {
    ASSERT_EQ(::chdir(oldCwd_), 0);
    SetApplicationDirectory("");
    ResetFolders();
  }
  void Install(const std::string& where) const {
    std::filesystem::copy_file(ZC_FIXTURE_LIBRARY, dir_ / where);
  }

  zc::testkit::ScratchDir dir_{"zcplat"};
  char oldCwd_[4096];
};

TEST_F(PlatformDynlibTest, LoadsByWindowsNameWithoutRegardToCase) {
  Install("system/PlatFixture.dll");
  ModuleHandle lib = LoadLibraryA("PLATFIXTURE.DLL");
  ASSERT_NE(lib, nullptr) << LastLoadError();
  using Answer = int (*)();
  auto answer = reinterpret_cast<Answer>(GetProcAddress(lib, "PlatFixtureAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(GetProcAddress(lib, "NoSuchEntry"), nullptr);
  EXPECT_NE(LastLoadError().find("NoSuchEntry"), std::string::npos);
  EXPECT_TRUE(FreeLibrary(lib));

  // Without an extension the name gets ".dll".
  lib = LoadLibraryA("platfixture");
  ASSERT_NE(lib, nullptr) << LastLoadError();
  EXPECT_TRUE(FreeLibrary(lib));
}

TEST_F(PlatformDynlibTest, SearchOrder) {
  Install("windows/PlatFixture.dll");
  EXPECT_EQ(FindLibraryFile("platfixture.dll"), dir_ / "windows/PlatFixture.dll");
  Install("system/platfixture.DLL");
  EXPECT_EQ(FindLibraryFile("platfixture.dll"), dir_ / "system/platfixture.DLL");
  Install("cwd/PlatFixture.Dll");
  EXPECT_EQ(FindLibraryFile("platfixture.dll"), dir_ / "cwd/PlatFixture.Dll");
  Install("app/PLATFIXTURE.dll");
  EXPECT_EQ(FindLibraryFile("platfixture.dll"), dir_ / "app/PLATFIXTURE.dll");
  // A name with a folder part is looked for there only.
  EXPECT_EQ(FindLibraryFile(dir_.Path() + "\\SYSTEM\\PlatFixture.dll"), dir_ / "system/platfixture.DLL");
  EXPECT_EQ(FindLibraryFile(dir_.Path() + "\\nowhere\\PlatFixture.dll"), std::nullopt);
}

TEST_F(PlatformDynlibTest, MissingLibraryIsAnOrdinaryFailure) {
  EXPECT_EQ(LoadLibraryA("QV8DLL.DLL"), nullptr);
  EXPECT_FALSE(LastLoadError().empty());
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(LoadLibraryA((dir_.Path() + "\\QV8DLL.DLL").c_str()), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "malloc"), nullptr);  // never the global scope
  EXPECT_FALSE(FreeLibrary(nullptr));
  // A file that is not a library fails the same way.
  dir_.Write("system/Broken.dll", "not an ELF file");
  EXPECT_EQ(LoadLibraryA("broken.dll"), nullptr);
}

}  // namespace
}  // namespace plat
