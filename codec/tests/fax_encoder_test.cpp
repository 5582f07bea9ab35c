// Bilevel encoder: the exact bits of the documented cases, the opening refusals, output
// placement (memory and file), fill order, end padding and the bounded output buffer.
#include "codec/bilevel/fax_encoder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/bilevel/bit_ops.h"
#include "codec/bilevel/change_list.h"
#include "codec/bilevel/fax_decode_line.h"
#include "codec/bilevel/fax_file.h"
#include "codec/bilevel/fax_line_coders.h"
#include "codec/tests/bilevel_test_support.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::codec {
namespace {

using test::BilevelImage;
using test::EncodeOptions;
using test::encodeToMemory;

// The stream as a string of '0' and '1'.
std::string bits(const std::vector<uint8_t>& bytes) {
  std::string s;
  for (uint8_t b : bytes) {
    for (int i = 7; i >= 0; --i) s += ((b >> i) & 1) ? '1' : '0';
  }
  return s;
}

BilevelImage whiteLines(int width, int lines) {
  return BilevelImage(width, lines);
}

TEST(FaxEncoder, DocumentedBitPatterns) {
  const std::string eol = "000000000001";
  // Mode 1: an all-white line against the all-white reference is V0; then EOFB and padding.
  EXPECT_EQ(bits(encodeToMemory(whiteLines(100, 1), {1})), "1" + eol + eol + "0000000");
  // Mode 0: EOL, white make-up 64, white terminating 36; then RTC.
  std::string rtc;
  for (int i = 0; i < 6; ++i) rtc += eol;
  EXPECT_EQ(bits(encodeToMemory(whiteLines(100, 1), {0})), eol + "11011" + "00010101" + rtc + "0000000");
  // Runs of 2560 and more repeat the 2560 code: 5200 = 2560 + 2560 + 64 + 16.
  const std::string expected5200 = eol + "000000011111" + "000000011111" + "11011" + "101010";
  EXPECT_EQ(bits(encodeToMemory(whiteLines(5200, 1), {0})).substr(0, expected5200.size()), expected5200);
  // Mode 5: every line starts on a byte boundary, the data still ends with RTC.
  const std::string m5 = bits(encodeToMemory(whiteLines(3, 2), {5}));
  EXPECT_EQ(m5.substr(0, 16), "1000000010000000");  // white 3 = 1000, padded, twice
  EXPECT_EQ(m5.substr(16, 72), rtc);
}

TEST(FaxEncoder, ModeTwoWithKZeroCodesEveryFourthLineOneDimensionally) {
  const std::string s = bits(encodeToMemory(whiteLines(8, 9), {2, 0, 0}));
  // Each line: EOL + tag + code; a 1D white line of 8 is "10011", a 2D one is V0 "1".
  std::string expected;
  for (int line = 0; line < 9; ++line)
    expected += line % 4 == 0 ? "0000000000011"
                                "10011"
                              : "0000000000010"
                                "1";
  EXPECT_EQ(s.substr(0, expected.size()), expected);
}

TEST(FaxEncoder, MinimumLineBitsFillBetweenLines) {
  const std::string s = bits(encodeToMemory(whiteLines(8, 2), {0, 0, 4, 1024}));
  const std::string eol = "000000000001";
  // First line: no fill. Then 16-bit zero groups until 1024 bits are reached (17 bits coded).
  const std::string head = eol + "10011";
  EXPECT_EQ(s.substr(0, head.size()), head);
  const size_t fill = (1024 - 17 + 15) / 16 * 16;
  EXPECT_EQ(s.substr(head.size(), fill), std::string(fill, '0'));
  EXPECT_EQ(s.substr(head.size() + fill, 17), eol + "10011");
}

TEST(FaxEncoder, RefusedModesAndModeNine) {
  for (int mode : {3, 8, 10, -1}) {
    FaxEncodeCtx ctx{};
    std::strcpy(ctx.outputName, kFaxMemoryOutputName);
    ctx.mode = mode;
    ctx.width = 16;
    EXPECT_EQ(funcFaxEncodeOpen(&ctx), 1) << mode;
  }
  std::vector<uint8_t> out(64, 0xEE);
  FaxEncodeCtx ctx{};
  std::strcpy(ctx.outputName, kFaxMemoryOutputName);
  ctx.mode = 9;
  ctx.width = 16;
  ctx.outputStart = reinterpret_cast<uintptr_t>(out.data());
  ASSERT_EQ(funcFaxEncodeOpen(&ctx), 0);
  const uint8_t black[2] = {0xFF, 0xFF};
  funcFaxEncodeLine(&ctx, black);
  EXPECT_EQ(funcFaxLastLineKind(), 2);
  EXPECT_EQ(funcFaxEncodeClose(&ctx), 0);
  EXPECT_EQ(ctx.lineCounter, 0);
  EXPECT_EQ(ctx.bytesDelivered, 0u);
  EXPECT_EQ(out[0], 0xEE);
}

TEST(FaxEncoder, FinalPaddingKeepsOneByteForUpToEightBits) {
  // Mode 7 delivers whole bytes; a mode-1 stream of 1 + 24 bits ends in exactly 4 bytes.
  EXPECT_EQ(encodeToMemory(whiteLines(100, 1), {1}).size(), 4u);
  // 2 lines of V0 + EOFB = 26 bits: 4 bytes; 8 lines = 32 bits: exactly 4.
  EXPECT_EQ(encodeToMemory(whiteLines(100, 2), {1}).size(), 4u);
  EXPECT_EQ(encodeToMemory(whiteLines(100, 8), {1}).size(), 4u);
  EXPECT_EQ(encodeToMemory(whiteLines(100, 9), {1}).size(), 5u);
}

TEST(FaxEncoder, FillOrderReversesEveryDeliveredByte) {
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kRandom, 1728, 60);
  const auto plain = encodeToMemory(img, {1});
  auto reversed = encodeToMemory(img, {1, 1});
  ASSERT_GT(plain.size(), 4096u);  // more than one delivery block
  ASSERT_EQ(plain.size(), reversed.size());
  for (size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(reversed[i], kBitReverse[plain[i]]) << i;
}

TEST(FaxEncoder, MemoryOutputAdvancesTheAddress) {
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kChecker, 640, 50);
  std::vector<uint8_t> out(200000);
  FaxEncodeCtx ctx{};
  std::strcpy(ctx.outputName, kFaxMemoryOutputName);
  ctx.mode = 1;
  ctx.width = img.width;
  const uintptr_t start = reinterpret_cast<uintptr_t>(out.data() + 512);
  ctx.outputStart = start;
  ASSERT_EQ(funcFaxEncodeOpen(&ctx), 0);
  for (int y = 0; y < img.height; ++y) funcFaxEncodeLine(&ctx, img.row(y));
  ASSERT_EQ(funcFaxEncodeClose(&ctx), 0);
  EXPECT_EQ(ctx.lineCounter, 50);
  EXPECT_EQ(ctx.outputStart - start, ctx.bytesDelivered);
  EXPECT_EQ(ctx.outBuf, nullptr);
}

TEST(FaxEncoder, FileOutputStartsAtTheOffsetAndStaysOpen) {
  testkit::ScratchDir dir("zc_codec");
  const std::string path = dir / "g4.bin";
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kRandom, 300, 40);
  FaxEncodeCtx ctx{};
  std::strncpy(ctx.outputName, path.c_str(), sizeof(ctx.outputName) - 1);
  ctx.mode = 1;
  ctx.width = img.width;
  ctx.outputStart = 512;
  ASSERT_EQ(funcFaxEncodeOpen(&ctx), 0);
  for (int y = 0; y < img.height; ++y) funcFaxEncodeLine(&ctx, img.row(y));
  ASSERT_EQ(funcFaxEncodeClose(&ctx), 0);
  EXPECT_GE(ctx.fileHandle, 0);
  EXPECT_EQ(::lseek(ctx.fileHandle, 0, SEEK_CUR), 512 + static_cast<off_t>(ctx.bytesDelivered));
  EXPECT_EQ(funcFaxCloseFile(ctx.fileHandle), 0);
  const auto file = testkit::ReadFileBytes(path);
  ASSERT_EQ(file.size(), 512 + ctx.bytesDelivered);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(file[i], 0) << i;
  const std::vector<uint8_t> data(file.begin() + 512, file.end());
  EXPECT_EQ(data, encodeToMemory(img, {1}));
  // Reset positions a handle that is already open.
  const int fd = ::open(path.c_str(), O_RDWR);
  FaxEncodeCtx again{};
  std::strncpy(again.outputName, path.c_str(), sizeof(again.outputName) - 1);
  again.mode = 1;
  again.width = img.width;
  again.outputStart = 512;
  again.fileHandle = fd;
  ASSERT_EQ(funcFaxEncodeReset(&again), 0);
  for (int y = 0; y < img.height; ++y) funcFaxEncodeLine(&again, img.row(y));
  ASSERT_EQ(funcFaxEncodeClose(&again), 0);
  EXPECT_EQ(testkit::ReadFileBytes(path), file);
  ::close(fd);
}

TEST(FaxEncoder, ShortWritesAreReportedAndStopCoding) {
  const int fd = ::open("/dev/full", O_WRONLY);
  if (fd < 0) GTEST_SKIP() << "/dev/full is not available";
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kChecker, 2000, 40);
  FaxEncodeCtx ctx{};
  std::strcpy(ctx.outputName, "unused");
  ctx.mode = 1;
  ctx.width = img.width;
  ctx.fileHandle = fd;
  ctx.outputStart = 0;
  ::lseek(fd, 0, SEEK_SET);
  ASSERT_EQ(funcFaxEncodeReset(&ctx), 0);
  for (int y = 0; y < img.height; ++y) funcFaxEncodeLine(&ctx, img.row(y));
  EXPECT_EQ(ctx.writeError, 1);
  const int32_t stoppedAt = ctx.lineCounter;
  EXPECT_LT(stoppedAt, img.height);
  EXPECT_EQ(funcFaxEncodeClose(&ctx), 1);
  EXPECT_EQ(ctx.bytesDelivered, 0u);
  EXPECT_EQ(ctx.outBuf, nullptr);
  ::close(fd);
}

TEST(FaxEncoder, DenseLinesNeverOverrunTheOutputBuffer) {
  // Alternating pixels after a white line cost about 0.75 byte a pixel in T.6: the widths
  // where a buffer of two 4096-byte blocks would overflow. Bits past the width are set in
  // the caller's rows to show they are ignored.
  for (int width : {5465, 8191, 10921, 16000}) {
    for (int mode : {0, 1, 2, 4, 5, 6, 7}) {
      BilevelImage img(width, 4);
      for (int x = 1; x < width; x += 2) img.set(x, 1);
      for (int x = 0; x < width; ++x) {
        if ((x & 1) == 0) img.set(x, 3);
      }
      for (int y = 0; y < 4; ++y) img.row(y)[img.stride - 1] |= static_cast<uint8_t>(0xFF >> (width % 8));
      const auto data = encodeToMemory(img, {mode});
      const int decoderMode = mode == 6 ? 1 : mode;
      const auto back = test::decodePage(data, width, 4, decoderMode);
      BilevelImage expected(width, 4);
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < width; ++x) {
          if (img.black(x, y) && (mode != 7 || x < width / 8 * 8)) expected.set(x, y);
        }
      }
      EXPECT_EQ(back.image, expected)
          << width << " mode " << mode << ": " << test::firstDifference(expected, back.image);
    }
  }
}

TEST(FaxEncoder, AllHorizontalCodingDecodesAsTwoDimensional) {
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kRandom, 77, 1);
  uint32_t* changes = allocChangeList(77);
  uint32_t* white = allocChangeList(77);
  funcFaxLineToChanges(img.row(0), 77, changes);
  std::vector<uint8_t> buffer(256 + kFaxSentinelBytes, 0);
  FaxBitSink sink{buffer.data(), 0, 0, 0};
  funcFaxCodeAllHorizontal(sink, changes, 77);
  sink.put(0, 32 - sink.bits);  // flush the last word
  uint32_t* decoded = allocChangeList(77);
  int32_t pos = 0;
  uint32_t acc = 0;
  int32_t bits = 0;
  ASSERT_EQ(funcFaxDecodeLine(11, white, decoded, 77, 0, buffer.data(), sink.pos, &pos, &acc, &bits), 0);
  for (int i = 0; changes[i] < 77; ++i) EXPECT_EQ(decoded[i], changes[i]) << i;
  freeChangeList(changes);
  freeChangeList(white);
  freeChangeList(decoded);
}

TEST(FaxEncoder, MemoryLimitStopsInsteadOfOverrunning) {
  const BilevelImage img = testkit::makePattern(testkit::BilevelPattern::kChecker, 1000, 100);
  std::vector<uint8_t> out(5000);
  FaxEncodeCtx ctx{};
  std::strcpy(ctx.outputName, kFaxMemoryOutputName);
  ctx.mode = 1;
  ctx.width = img.width;
  ctx.outputStart = reinterpret_cast<uintptr_t>(out.data());
  ctx.outputLimit = reinterpret_cast<uintptr_t>(out.data() + out.size());
  ASSERT_EQ(funcFaxEncodeOpen(&ctx), 0);
  for (int y = 0; y < img.height; ++y) funcFaxEncodeLine(&ctx, img.row(y));
  EXPECT_EQ(funcFaxEncodeClose(&ctx), 1);
  EXPECT_LE(ctx.bytesDelivered, out.size());
}

}  // namespace
}  // namespace zc::codec
