// Scratch folders: distinct, usable and gone afterwards.
#include "testkit/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zc::testkit {
namespace {

TEST(ScratchDir, TwoFoldersDifferAndEachIsRemovedWithItsContents) {
  std::string kept;
  {
    ScratchDir a("zc_support");
    ScratchDir b("zc_support");
    EXPECT_NE(a.Path(), b.Path());
    std::filesystem::create_directory(a / "sub");
    a.Write("sub/f.bin", std::string("x\0y", 3));
    EXPECT_EQ(a.Read("sub/f.bin"), std::string("x\0y", 3));
    EXPECT_TRUE(a.Exists("sub/f.bin"));
    EXPECT_FALSE(a.Exists("none"));
    kept = a.Path();
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace
}  // namespace zc::testkit
