// Huffman tables and the bit reader: canonical codes decoded from literal bit strings (short codes
// through the look-ahead, long ones through MAXCODE), byte stuffing, markers, and table refusals.
#include <gtest/gtest.h>

#include <string>

#include "codec/jpeg/decoder/jpeg_entropy.h"
#include "codec/jpeg/decoder/jpeg_error.h"

namespace zc::jpegdec {
namespace {

// T.81 Table K.3, luminance DC: lengths 2 (one code), 3 (five), 4..9 (one each).
const uint8_t kDcBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
const uint8_t kDcVals[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

std::vector<uint8_t> Pack(const std::string& bits) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < bits.size(); i += 8) {
    std::string b = bits.substr(i, 8);
    b.resize(8, '1');
    out.push_back(static_cast<uint8_t>(std::stoi(b, nullptr, 2)));
  }
  return out;
}

int BuildError(uint8_t tc, const uint8_t bits[16], const uint8_t* vals) {
  HuffTable t;
  try {
    BuildHuffTable(t, tc, 0, bits, vals);
  } catch (const JpegError& e) {
    return e.code;
  }
  return 0;
}

TEST(JpegHuffman, DecodesShortAndLongCanonicalCodes) {
  HuffTable t;
  BuildHuffTable(t, 0, 0, kDcBits, kDcVals);
  // 00 -> 0, 010 -> 1, 110 -> 5, 1110 -> 6, 11111110 -> 10 (8 bits), 111111110 -> 11 (9 bits).
  std::vector<uint8_t> data = Pack(
      "00"
      "010"
      "110"
      "1110"
      "11111110"
      "111111110"
      "00");
  MemorySource src(data.data(), data.size());
  InputWindow win(src, 64);
  BitReader br(win);
  for (int expected : {0, 1, 5, 6, 10, 11, 0}) EXPECT_EQ(DecodeSymbol(br, t), expected);
}

TEST(JpegHuffman, StuffedBytesAndMarkers) {
  const uint8_t bits8[16] = {0, 0, 0, 0, 0, 0, 0, 1};  // one 8-bit code: 00000000
  const uint8_t vals[1] = {7};
  HuffTable t;
  BuildHuffTable(t, 1, 0, bits8, vals);
  // FF 00 is one data byte 0xFF; the first FF of FF FF is a fill byte; at FF D9 the reader supplies
  // one-bits and leaves the marker unread.
  std::vector<uint8_t> data = {0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xD9};
  MemorySource src(data.data(), data.size());
  InputWindow win(src, 64);
  BitReader br(win);
  EXPECT_EQ(br.Get(8), 0xFFu);
  EXPECT_EQ(DecodeSymbol(br, t), 7);
  EXPECT_EQ(DecodeSymbol(br, t), 7);
  EXPECT_EQ(br.Get(16), 0xFFFFu);
  EXPECT_TRUE(br.at_marker());
  EXPECT_EQ(win.At(0), 0xFF);  // the marker stays unread
  EXPECT_EQ(win.At(1), 0xD9);
  try {
    DecodeSymbol(br, t);
    ADD_FAILURE() << "all-ones decoded";
  } catch (const JpegError& e) {
    EXPECT_EQ(e.code, kErrBadCode);
  }
}

TEST(JpegHuffman, TableRefusals) {
  const uint8_t over[16] = {3};      // three codes of length 1
  const uint8_t complete[16] = {2};  // 0 and 1: full but legal
  const uint8_t over_late[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 3};
  uint8_t too_many[16] = {};
  too_many[15] = 255;
  too_many[14] = 2;
  std::vector<uint8_t> vals(300, 3);
  const uint8_t dc_vals[2] = {15, 16};
  EXPECT_EQ(BuildError(0, over, vals.data()), kErrHuffCount);
  EXPECT_EQ(BuildError(0, complete, vals.data()), 0);
  EXPECT_EQ(BuildError(1, over_late, vals.data()), kErrHuffCount);
  EXPECT_EQ(BuildError(1, too_many, vals.data()), kErrHuffTooMany);
  EXPECT_EQ(BuildError(0, complete, dc_vals), kErrHuffCount);  // DC category 16
  EXPECT_EQ(BuildError(1, complete, dc_vals), 0);              // an AC symbol 16 is a run of 1
}

TEST(JpegHuffman, BlockDecoderEdgeCases) {
  // DC: category 0 only; AC: '0' = EOB, '10' = 0x11 (run 1, size 1), '110' = 0xF0 (ZRL), '111' = 0x05.
  const uint8_t dc_bits[16] = {1};
  const uint8_t dc_vals[1] = {0};
  const uint8_t ac_bits[16] = {1, 1, 2};
  const uint8_t ac_vals[4] = {0x00, 0x11, 0xF0, 0x05};
  HuffTable dc, ac;
  BuildHuffTable(dc, 0, 0, dc_bits, dc_vals);
  BuildHuffTable(ac, 1, 0, ac_bits, ac_vals);
  // Block: DC 0; run 1 then +1 at zig-zag 2 (natural 8); ZRL to k = 19; EOB.
  std::vector<uint8_t> data = Pack(
      "0"
      "10"
      "1"
      "110"
      "0");
  MemorySource src(data.data(), data.size());
  InputWindow win(src, 64);
  BitReader br(win);
  int pred = 5;
  int16_t coef[64];
  DecodeBlock(br, dc, ac, pred, coef);
  EXPECT_EQ(coef[0], 5);
  EXPECT_EQ(coef[8], 1);
  for (int i = 1; i < 64; ++i) {
    if (i != 8) {
      EXPECT_EQ(coef[i], 0) << i;
    }
  }
  // A run/size with S = 0 and R in 1..14 is invalid.
  const uint8_t bad_vals[4] = {0x00, 0x30, 0xF0, 0x05};
  BuildHuffTable(ac, 1, 0, ac_bits, bad_vals);
  std::vector<uint8_t> bad = Pack(
      "0"
      "10");
  MemorySource src2(bad.data(), bad.size());
  InputWindow win2(src2, 64);
  BitReader br2(win2);
  try {
    DecodeBlock(br2, dc, ac, pred, coef);
    ADD_FAILURE();
  } catch (const JpegError& e) {
    EXPECT_EQ(e.code, kErrBadRunSize);
  }
}

}  // namespace
}  // namespace zc::jpegdec
