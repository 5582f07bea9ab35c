// The stream layer: memory targets and sources bounded by their size, file descriptors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "codec/core/img_dispatch.h"
#include "codec/core/img_stream.h"

namespace zc::codec {
namespace {

struct SeekCase {
  int64_t offset;
  int origin;
  int64_t result;
};

TEST(ImgStream, MemorySeeksStayInsideTheBlock) {
  std::vector<uint8_t> block(100);
  const SeekCase cases[] = {
      {99, 0, 99},
      {100, 0, -1},
      {0, 0, 0},
      {-1, 0, -1},
      {0x80000000LL, 0, -1},
      {-1, 2, 99},
      {0, 2, 100} /* the end itself */,
      {-100, 2, 0},
      {-101, 2, -1},
      {1, 2, -1},
      {5, 1, -1},
  };
  for (const SeekCase& c : cases) {
    ImgCompDesc desc{};
    funcInitCompDesc(&desc);
    desc.memAddress = block.data();
    desc.memSize = 100;
    desc.position = 7;
    EXPECT_EQ(funcCompSeek(&desc, c.offset, c.origin), c.result) << c.offset << "/" << c.origin;
    EXPECT_EQ(desc.position, c.result >= 0 ? static_cast<uint32_t>(c.result) : 7u);
    ImgDecompDesc src{};
    funcInitDecompDesc(&src);
    src.memAddress = block.data();
    src.memSize = 100;
    EXPECT_EQ(funcDecompSeek(&src, c.offset, c.origin), c.result);
  }
}

TEST(ImgStream, MemoryWriteStoresExactlyTheSize) {
  std::vector<uint8_t> block(10, 0xEE);
  ImgCompDesc desc{};
  funcInitCompDesc(&desc);
  desc.memAddress = block.data();
  desc.memSize = 8;
  const uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(funcCompWrite(&desc, bytes, 6), 6);
  EXPECT_EQ(funcCompWrite(&desc, bytes, 6), 2);  // short: only what fits
  EXPECT_EQ(funcCompWrite(&desc, bytes, 6), 0);  // already full
  EXPECT_EQ(desc.position, 8u);
  EXPECT_EQ(block, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 1, 2, 0xEE, 0xEE}));
}

TEST(ImgStream, MemoryReadsStopAtTheSizeAndReadAtKeepsThePosition) {
  const std::vector<uint8_t> block = {10, 11, 12, 13, 14};
  ImgDecompDesc src{};
  funcInitDecompDesc(&src);
  src.memAddress = block.data();
  src.memSize = 5;
  uint8_t out[8] = {};
  ASSERT_EQ(funcDecompSeek(&src, 3, 0), 3);
  EXPECT_EQ(funcDecompReadAt(&src, out, 8), 2);
  EXPECT_EQ(src.position, 3u);
  EXPECT_EQ(funcDecompRead(&src, out, 8), 2);
  EXPECT_EQ(out[1], 14);
  EXPECT_EQ(src.position, 5u);
  EXPECT_EQ(funcDecompRead(&src, out, 8), 0);
}

TEST(ImgStream, FileHandlesSeekReadAndWrite) {
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  const int fd = fileno(f);
  ImgCompDesc desc{};
  funcInitCompDesc(&desc);
  desc.handle = fd;
  EXPECT_EQ(funcCompSeek(&desc, 4, 0), 4);
  EXPECT_EQ(funcCompWrite(&desc, "abc", 3), 3);
  EXPECT_EQ(desc.position, 7u);
  EXPECT_EQ(funcFileSeek(fd, 0, 0), 0);
  uint8_t out[16] = {};
  EXPECT_EQ(funcFileRead(fd, out, sizeof out), 7);
  EXPECT_EQ(out[4], 'a');
  EXPECT_EQ(funcFileRead(-1, out, 4), 0);
  ImgDecompDesc src{};
  funcInitDecompDesc(&src);
  src.handle = fd;
  EXPECT_EQ(funcDecompSeek(&src, 5, 0), 5);
  EXPECT_EQ(funcDecompRead(&src, out, 16), 2);
  EXPECT_EQ(out[0], 'b');
  std::fclose(f);
}

}  // namespace
}  // namespace zc::codec
