// Bit-level behaviour of the entropy coders: block coding, byte stuffing, padding and restart-free EOB runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/jpeg/bit_writer.h"
#include "codec/jpeg/jpeg_tables.h"
#include "codec/jpeg/progressive_coder.h"
#include "codec/jpeg/sequential_coder.h"
#include "codec/jpeg/transform_kernels.h"

namespace zc::jpeg {
namespace {

// Collects the staged bytes and shows the bits after removing stuffed zeros.
struct Capture {
  std::vector<uint8_t> bytes;
  OutputStage stage{[this](const uint8_t* d, size_t n) {
    bytes.insert(bytes.end(), d, d + n);
    return n;
  }};
  BitWriter bits{stage};
  std::string Bits() {
    bits.PadToByte();
    stage.FlushAll();
    std::string s;
    for (size_t i = 0; i < bytes.size(); ++i) {
      for (int b = 7; b >= 0; --b) s += ((bytes[i] >> b) & 1) ? '1' : '0';
      if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0) ++i;
    }
    return s;
  }
};

struct Tables {
  HuffmanCode dc, ac;
  Tables() {
    DeriveHuffmanCode(kLuminanceDcSpec, &dc);
    DeriveHuffmanCode(kLuminanceAcSpec, &ac);
  }
};

TEST(JpegSequentialCoder, BlocksCodeAsAnnexFSays) {
  const Tables t;
  struct Case {
    const char* name;
    int dc_pred;
    std::vector<std::pair<int, int>> coefs;  // (zig-zag position, value)
    std::string bits;                        // before padding
  } cases[] = {
      {"all zero: DC 0 and EOB",
       0,
       {},
       "00"
       "1010"},
      {"DC -1: category 1, extra bit 0",
       0,
       {{0, -1}},
       "010"
       "0"
       "1010"},
      {"DC difference from the predictor",
       5,
       {{0, 6}},
       "010"
       "1"
       "1010"},
      // 62 zeros then position 63: three ZRL (11111111001), symbol 0xE1 (1111111111101011), extra 1, no EOB.
      {"last position only",
       0,
       {{63, 1}},
       "00"
       "11111111001"
       "11111111001"
       "11111111001"
       "1111111111101011"
       "1"},
  };
  for (const Case& c : cases) {
    Capture cap;
    int16_t block[64] = {};
    for (auto [k, v] : c.coefs) block[kZigzagToNatural[k]] = static_cast<int16_t>(v);
    int pred = c.dc_pred;
    ASSERT_TRUE(EncodeSequentialBlock(block, &pred, t.dc, t.ac, cap.bits, ScalarKernels().nonzero_mask))
        << c.name;
    std::string want = c.bits;
    while (want.size() % 8) want += '1';  // padding is 1-bits
    EXPECT_EQ(cap.Bits(), want) << c.name;
    EXPECT_EQ(pred, block[0]);
  }
}

TEST(JpegSequentialCoder, SymbolWithoutCodeFails) {
  Tables t;
  t.ac.length[0x00] = 0;  // no EOB code
  Capture cap;
  int16_t block[64] = {};
  int pred = 0;
  EXPECT_FALSE(EncodeSequentialBlock(block, &pred, t.dc, t.ac, cap.bits, ScalarKernels().nonzero_mask));
}

TEST(JpegBitWriter, StuffsFfAndPadsWithOnes) {
  Capture cap;
  cap.bits.PutBits(0xFF, 8);
  cap.bits.PutBits(0x1, 3);
  for (int i = 0; i < 20; ++i) cap.bits.PutBits(0xFFFF, 16);  // long runs of 0xFF across word boundaries
  cap.bits.PadToByte();
  cap.stage.FlushAll();
  ASSERT_GE(cap.bytes.size(), 3u);
  EXPECT_EQ(cap.bytes[0], 0xFF);
  EXPECT_EQ(cap.bytes[1], 0x00);
  EXPECT_EQ(cap.bytes[2], 0x3F);  // 001 then five 1s
  for (size_t i = 0; i < cap.bytes.size(); ++i) {
    if (cap.bytes[i] == 0xFF) {
      ASSERT_LT(i + 1, cap.bytes.size());
      EXPECT_EQ(cap.bytes[i + 1], 0x00) << i;
      ++i;
    }
  }
}

TEST(JpegProgressiveCoder, AllZeroBlocksMakeOneEobRunPer32767) {
  HuffmanCode ac;
  DeriveHuffmanCode(kLuminanceAcSpec, &ac);
  SymbolCounts counts{};
  ProgressiveCoder stats(1, 63, 0, 0, nullptr);
  stats.SetAcTable(&ac, &counts);
  const int16_t zero[64] = {};
  for (int i = 0; i < 2 * 32767 + 5; ++i) stats.EncodeAcFirst(reinterpret_cast<const uint8_t*>(zero), 0);
  stats.Finish();
  EXPECT_EQ(counts[14 << 4], 2u);  // EOBRUN 32767: 14 extra bits
  EXPECT_EQ(counts[2 << 4], 1u);   // the remaining run of 5
  uint32_t total = 0;
  for (uint32_t n : counts) total += n;
  EXPECT_EQ(total, 3u);
}

TEST(JpegProgressiveCoder, CorrectionBitsEndTheRunBeforeTheirBufferFills) {
  // Final refinement of 1..63 over blocks whose every AC value was non-zero before (2 or -3): each block
  // only adds 63 correction bits to the end-of-band run, and the run is sent once 15 blocks' bits (945)
  // pass the buffer's limit of 1000 - 64 + 1.
  HuffmanCode ac;
  DeriveHuffmanCode(kLuminanceAcSpec, &ac);
  SymbolCounts counts{};
  ProgressiveCoder stats(1, 63, 1, 0, nullptr);
  stats.SetAcTable(&ac, &counts);
  int16_t block[64] = {};
  for (int k = 1; k < 64; ++k) block[k] = static_cast<int16_t>(k % 3 ? 2 : -3);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(block);
  uint64_t nonzero = 0, one = 0;
  ScalarKernels().point_masks(bytes, 0, &nonzero, &one);
  nonzero &= ~uint64_t{1};
  one &= ~uint64_t{1};
  ASSERT_EQ(one, 0u);
  for (int i = 0; i < 30; ++i) stats.EncodeAcRefine(bytes, nonzero, one);
  stats.Finish();
  EXPECT_EQ(counts[3 << 4], 2u);  // EOBRUN 15 (3 extra bits), twice
  uint32_t total = 0;
  for (uint32_t n : counts) total += n;
  EXPECT_EQ(total, 2u);
}

}  // namespace
}  // namespace zc::jpeg
