// Block stores: the mode and factor chosen for each scale and sampling ratio, and the samples that
// decimation and replication place.
#include "codec/jpeg/decoder/jpeg_block_store.h"

#include <gtest/gtest.h>

#include "codec/jpeg/decoder/jpeg_error.h"

namespace zc::jpegdec {
namespace {

TEST(JpegBlockStore, ModeForEachFactor) {
  const struct {
    uint32_t f;
    StoreMode mode;
    int factor;  // 0 = refused
  } cases[] = {
      {2048, StoreMode::kCopy, 1},      {4096, StoreMode::kDouble, 2},  {1024, StoreMode::kReduce, 2},
      {512, StoreMode::kReduce, 4},     {256, StoreMode::kReduce, 8},   {8192, StoreMode::kMultiply, 4},
      {16384, StoreMode::kMultiply, 8}, {1000, StoreMode::kReduce, 2},  {1500, StoreMode::kReduce, 0},
      {255, StoreMode::kReduce, 0},     {16385, StoreMode::kReduce, 0}, {6144, StoreMode::kReduce, 0},
      {3000, StoreMode::kReduce, 0},    {0, StoreMode::kReduce, 0},
  };
  for (const auto& c : cases) {
    for (int code : {kErrScaleX, kErrScaleY}) {
      try {
        AxisStore s = ChooseAxisStore(c.f, code);
        EXPECT_NE(c.factor, 0) << c.f;
        EXPECT_EQ(s.mode, c.mode) << c.f;
        EXPECT_EQ(s.factor, c.factor) << c.f;
      } catch (const JpegError& e) {
        EXPECT_EQ(c.factor, 0) << c.f;
        EXPECT_EQ(e.code, code) << c.f;
      }
    }
  }
}

TEST(JpegBlockStore, DecimationKeepsEveryNthAndReplicationRepeats) {
  uint8_t block[64];
  for (int i = 0; i < 64; ++i) block[i] = static_cast<uint8_t>(i);
  const AxisStore copy = ChooseAxisStore(2048, kErrScaleX);
  const AxisStore half = ChooseAxisStore(1024, kErrScaleX);
  const AxisStore eighth = ChooseAxisStore(256, kErrScaleX);
  const AxisStore twice = ChooseAxisStore(4096, kErrScaleX);
  const AxisStore four = ChooseAxisStore(8192, kErrScaleX);
  const struct {
    AxisStore h, v;
  } cases[] = {{half, half},  {eighth, eighth}, {twice, twice}, {copy, twice},
               {twice, half}, {four, copy},     {eighth, four}, {copy, copy}};
  for (const auto& c : cases) {
    const int w = c.h.OutSize(), h = c.v.OutSize();
    std::vector<uint8_t> plane(static_cast<size_t>(w + 3) * h, 0xEE);
    StoreBlock(c.h, c.v, block, plane.data(), w + 3);
    auto src = [](const AxisStore& a, int o) {
      return a.mode == StoreMode::kReduce ? o * a.factor : o / a.factor;
    };
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(plane[static_cast<size_t>(y) * (w + 3) + x], block[src(c.v, y) * 8 + src(c.h, x)])
            << w << "x" << h << " at " << x << "," << y;
      }
      for (int x = w; x < w + 3; ++x) ASSERT_EQ(plane[static_cast<size_t>(y) * (w + 3) + x], 0xEE);
    }
  }
}

}  // namespace
}  // namespace zc::jpegdec
