// Decoder behaviour on hand-built streams: restart intervals (RSTn order, EOI in place of the last,
// wrong or missing markers), failures classified at markers, progressive scan-header checks, the store
// and scan caps, and the scale and size refusals.
#include "codec/jpeg/decoder/jpeg_decode.h"

#include <gtest/gtest.h>

#include "codec/jpeg/decoder/jpeg_error.h"
#include "jpeg_stream_builder.h"

namespace zc::jpegdec::test {
namespace {

int Decode(const Bytes& b, const OutputRequest& req = {}, int* bands = nullptr) {
  MemorySource src(b.data(), b.size());
  int n = 0;
  try {
    DecodeJpeg(src, req, nullptr, [&](int, int, int, int, const uint8_t*) {
      ++n;
      return 0;
    });
  } catch (const JpegError& e) {
    if (bands) *bands = n;
    return e.code;
  }
  if (bands) *bands = n;
  return 0;
}

Bytes Dri(uint16_t n) {
  return Segment(0xDD, {static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
}

// 16x16 gray: four one-block MCUs, one per interval; each block is "00" padded to 0x3F.
Bytes WithRestarts(const Bytes& data) {
  return Cat({Soi(), kTables, Dri(1), Sof(0xC0, 16, 16, {0x11}), Sos({1}), data});
}

TEST(JpegDecode, RestartIntervals) {
  const Bytes blk = {0x3F};
  const struct {
    const char* name;
    Bytes data;
    int code;
  } cases[] = {
      {"D0 D1 D2 then EOI", Cat({blk, {0xFF, 0xD0}, blk, {0xFF, 0xD1}, blk, {0xFF, 0xD2}, blk, Eoi()}), 0},
      {"a last RST before EOI",
       Cat({blk, {0xFF, 0xD0}, blk, {0xFF, 0xD1}, blk, {0xFF, 0xD2}, blk, {0xFF, 0xD3}, Eoi()}), 0},
      {"padding before RST",
       Cat({blk, {0x12, 0xFF, 0xFF, 0xD0}, blk, {0xFF, 0xD1}, blk, {0xFF, 0xD2}, blk, Eoi()}), 0},
      {"wrong number", Cat({blk, {0xFF, 0xD0}, blk, {0xFF, 0xD5}, blk, {0xFF, 0xD2}, blk, Eoi()}),
       kErrRestart},
      {"another marker", Cat({blk, {0xFF, 0xD0}, blk, Segment(0xE1, {0}), blk, Eoi()}), kErrRestart},
      {"data ends", Cat({blk, {0xFF, 0xD0}, blk}), kErrRestart},
      {"EOI too early", Cat({blk, {0xFF, 0xD0}, blk, Eoi()}), kErrTruncated},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(WithRestarts(c.data)), c.code) << c.name;

  // Without a restart interval: a block failing at an RST is 23, at EOI or the end of data 9.
  Bytes four = {0x00};  // four blocks "00" each
  Bytes base = Cat({Soi(), kTables, Sof(0xC0, 16, 16, {0x11}), Sos({1})});
  EXPECT_EQ(Decode(Cat({base, four, Eoi()})), 0);
  EXPECT_EQ(Decode(Cat({base, {0x0F}, {0xFF, 0xD0}, Eoi()})), kErrUnexpectedRestart);
  EXPECT_EQ(Decode(Cat({base, {0x0F}, Eoi()})), kErrTruncated);
  EXPECT_EQ(Decode(Cat({base, {0x0F}})), kErrTruncated);
}

TEST(JpegDecode, RestartIntervalsAcrossEightMarkers) {
  Bytes data;
  for (int i = 0; i < 15; ++i) {
    data.push_back(0x3F);
    data.push_back(0xFF);
    data.push_back(static_cast<uint8_t>(0xD0 + (i & 7)));
  }
  data.push_back(0x3F);
  Bytes b = Cat({Soi(), kTables, Dri(1), Sof(0xC0, 32, 32, {0x11}), Sos({1}), data, Eoi()});
  int bands = 0;
  EXPECT_EQ(Decode(b, {}, &bands), 0);
  EXPECT_EQ(bands, 4);
}

Bytes Progressive(std::initializer_list<Bytes> scans, std::initializer_list<uint8_t> sampling = {0x11}) {
  Bytes b = Cat({Soi(), kTables, Sof(0xC2, 8, 8, sampling)});
  for (const Bytes& s : scans) b.insert(b.end(), s.begin(), s.end());
  return Cat({b, Eoi()});
}

TEST(JpegDecode, ProgressiveScanChecks) {
  const Bytes dc_first = Cat({Sos({1}, 0, 0, 0x00), {0x7F}});
  const Bytes ac_first = Cat({Sos({1}, 1, 63, 0x00), {0x7F}});
  const struct {
    const char* name;
    Bytes stream;
    int code;
  } cases[] = {
      {"DC then AC", Progressive({dc_first, ac_first}), 0},
      {"two-component AC scan", Progressive({Cat({Sos({1, 2}, 1, 63, 0), {0x7F}})}, {0x11, 0x11, 0x11}),
       kErrScanParams},
      {"DC scan ending at 5", Progressive({Cat({Sos({1}, 0, 5, 0), {0x7F}})}), kErrScanParams},
      {"AC band reversed", Progressive({dc_first, Cat({Sos({1}, 9, 3, 0), {0x7F}})}), kErrScanParams},
      {"AC past 63", Progressive({dc_first, Cat({Sos({1}, 1, 64, 0), {0x7F}})}), kErrScanParams},
      {"Ah 2 with Al 0", Progressive({Cat({Sos({1}, 0, 0, 0x20), {0x7F}})}), kErrScanParams},
      {"Al 9", Progressive({Cat({Sos({1}, 0, 0, 0x09), {0x7F}})}), kErrScanParams},
      {"second DC first scan", Progressive({dc_first, dc_first}), kErrScanParams},
      {"DC refinement of a delivered bit", Progressive({dc_first, Cat({Sos({1}, 0, 0, 0x10), {0x7F}})}),
       kErrScanParams},
      {"no scan", Progressive({}), kErrEoiBeforeFrame},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.stream), c.code) << c.name;

  Bytes no_dc = Cat({Soi(), Dqt(), DhtSingle(0x10), Sof(0xC2, 8, 8, {0x11}), dc_first, Eoi()});
  EXPECT_EQ(Decode(no_dc), kErrNoDcTable);
  Bytes no_ac = Cat({Soi(), Dqt(), DhtSingle(0x00), Sof(0xC2, 8, 8, {0x11}), dc_first, ac_first, Eoi()});
  EXPECT_EQ(Decode(no_ac), kErrNoAcTable);
}

TEST(JpegDecode, ProgressiveCaps) {
  // The store keeps the 16-bit MCU count of the callers' callbacks: 65536 MCUs or more are refused.
  Bytes large = Cat({Soi(), kTables, Sof(0xC2, 2048, 2048, {0x11}), Sos({1}, 0, 0, 0), {0x7F}, Eoi()});
  EXPECT_EQ(Decode(large), kErrMemory);
  Bytes fits =
      Cat({Soi(), kTables, Sof(0xC2, 2048, 2040, {0x11}), Sos({1}, 0, 0, 0), Bytes(64, 0x00), Eoi()});
  EXPECT_NE(Decode(fits), kErrMemory);
  // At most 1000 scans.
  Bytes many = Cat({Soi(), kTables, Sof(0xC2, 8, 8, {0x11}), Sos({1}, 0, 0, 0), {0x7F}});
  for (int i = 0; i < 1000; ++i) many = Cat({many, Sos({1}, 1, 63, 0), {0x7F}});
  EXPECT_EQ(Decode(Cat({many, Eoi()})), kErrScanParams);
}

TEST(JpegDecode, ScaleAndSizeRefusals) {
  Bytes gray = MinimalGray(64, 64);
  const struct {
    uint16_t xs, ys, top, left;
    int code;
  } cases[] = {
      {2048, 1500, 0, 0, kErrScaleY},
      {1500, 2048, 0, 0, kErrScaleX},
      {2048, 2048, 64, 0, kErrWindow},
      {2048, 2048, 0, 64, kErrWindow},
      {2048, 2048, 63, 63, 0},
      {16384, 16384, 0, 0, 0},
      {256, 256, 0, 0, 0},
      {1000, 1000, 0, 0, 0},
  };
  for (const auto& c : cases) {
    OutputRequest req;
    req.xscale = c.xs;
    req.yscale = c.ys;
    req.top = c.top;
    req.left = c.left;
    EXPECT_EQ(Decode(gray, req), c.code) << c.xs << " " << c.ys << " " << c.top << " " << c.left;
  }
  // Output wider than 65535 pixels.
  Bytes wide = Cat({Soi(), kTables, Sof(0xC0, 9000, 8, {0x11}), Sos({1}), Bytes(2250, 0x00), Eoi()});
  OutputRequest x8;
  x8.xscale = 16384;
  EXPECT_EQ(Decode(wide, x8), kErrTooLarge);
}

}  // namespace
}  // namespace zc::jpegdec::test
