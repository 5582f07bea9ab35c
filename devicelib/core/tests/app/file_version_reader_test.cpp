// Version records read from files: the built library carries one, other files none.
#include "app/file_version_reader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

TEST(FileVersionReader, LibraryRecordAndPlainFiles) {
  FileVersionReader reader;
  ASSERT_TRUE(reader.Load(QV6DLL_PATH));
  ASSERT_TRUE(reader.GetFixedInfo().has_value());
  EXPECT_EQ(reader.GetFixedInfo()->fileVersionMs, uint32_t{QV6_VERSION_MAJOR} << 16 | QV6_VERSION_MINOR);

  zc::testkit::ScratchDir dir("version_reader");
  dir.Write("plain_file.bin", "no record here");
  EXPECT_FALSE(reader.Load(dir.File("plain_file.bin")));
  EXPECT_FALSE(reader.GetFixedInfo().has_value());
  EXPECT_EQ(reader.language(), 0);
  EXPECT_EQ(reader.codePage(), 1252);
  EXPECT_FALSE(reader.Load(dir.File("missing_file.bin")));
}

}  // namespace
}  // namespace qv6
