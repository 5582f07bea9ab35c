// Marker parsing: refusals with their codes for every checked count and length, what the information
// step reports, and the tolerances of T.81 B.1.1.2 (fill bytes, bytes before the first marker).
#include "codec/jpeg/decoder/jpeg_markers.h"

#include <gtest/gtest.h>

#include "codec/jpeg/decoder/jpeg_decode.h"
#include "codec/jpeg/decoder/jpeg_error.h"
#include "jpeg_stream_builder.h"

namespace zc::jpegdec::test {
namespace {

int InfoError(const Bytes& b, JpegInfo* out = nullptr) {
  MemorySource src(b.data(), b.size());
  try {
    JpegInfo info = ReadJpegInfo(src);
    if (out) *out = info;
    return 0;
  } catch (const JpegError& e) {
    return e.code;
  }
}

int DecodeError(const Bytes& b, int* bands = nullptr) {
  MemorySource src(b.data(), b.size());
  int n = 0;
  try {
    DecodeJpeg(src, OutputRequest{}, nullptr, [&](int, int, int, int, const uint8_t*) {
      ++n;
      return 0;
    });
  } catch (const JpegError& e) {
    return e.code;
  }
  if (bands) *bands = n;
  return 0;
}

const Bytes kData = {0x3F};

Bytes Gray(const Bytes& sof, const Bytes& sos = Sos({1}), const Bytes& tables = kTables) {
  return Cat({Soi(), tables, sof, sos, kData, Eoi()});
}

TEST(JpegMarkers, MinimalStreamDecodesToFlatGray) {
  Bytes b = MinimalGray(8, 8);
  MemorySource src(b.data(), b.size());
  std::vector<uint8_t> got;
  DecodeJpeg(src, OutputRequest{}, nullptr, [&](int, int r0, int c1, int r1, const uint8_t* rows) {
    got.insert(got.end(), rows, rows + static_cast<size_t>(c1) * (r1 - r0));
    return r0 < 0;
  });
  EXPECT_EQ(got, std::vector<uint8_t>(64, 128));
}

TEST(JpegMarkers, GrayOffsetAndGainApplyToGrayOutput) {
  Bytes b = MinimalGray(8, 8);  // flat 128
  const struct {
    int16_t offset;
    uint16_t gain;
    uint8_t expected;
  } cases[] = {{0, 0, 128}, {-28, 0, 100}, {0, 1024, 64}, {10, 4096, 255}};
  for (const auto& c : cases) {
    OutputRequest req;
    req.adjust.offset[0] = c.offset;
    req.adjust.gain[0] = c.gain;
    MemorySource src(b.data(), b.size());
    std::vector<uint8_t> got;
    DecodeJpeg(src, req, nullptr, [&](int, int r0, int c1, int r1, const uint8_t* rows) {
      got.insert(got.end(), rows, rows + static_cast<size_t>(c1) * (r1 - r0));
      return 0;
    });
    EXPECT_EQ(got, std::vector<uint8_t>(64, c.expected)) << c.offset << " " << c.gain;
  }
}

TEST(JpegMarkers, HeaderRefusalsGiveTheirCodes) {
  Bytes dht_over = Segment(0xC4, Cat({{0x00, 3}, Bytes(15, 0), {0, 1, 2}}));          // three 1-bit codes
  Bytes dht_many = Segment(0xC4, Cat({{0x10}, Bytes(15, 0), {255}, Bytes(257, 1)}));  // 17 + 2 counts
  dht_many[5 + 14] = 2;                                                               // 255 + 2 codes > 256
  Bytes dht_short = Segment(0xC4, Cat({{0x00, 0, 2}, Bytes(14, 0), {0}}));  // 2 codes, 1 symbol given
  Bytes dht_dc16 = Segment(0xC4, Cat({{0x00, 1}, Bytes(15, 0), {16}}));
  const struct {
    const char* name;
    Bytes stream;
    int code;
  } cases[] = {
      {"scan before frame", Cat({Soi(), kTables, Sos({1}), kData, Eoi()}), kErrNoFrame},
      {"EOI before frame", Cat({Soi(), kTables, Eoi()}), kErrEoiBeforeFrame},
      {"SOF1", Gray(Sof(0xC1, 8, 8, {0x11})), kErrUnsupported},
      {"SOF3", Gray(Sof(0xC3, 8, 8, {0x11})), kErrUnsupported},
      {"JPG", Gray(Sof(0xC8, 8, 8, {0x11})), kErrUnsupported},
      {"SOF9 arithmetic", Gray(Sof(0xC9, 8, 8, {0x11})), kErrUnsupported},
      {"DHP", Gray(Segment(0xDE, {0})), kErrUnsupported},
      {"four components", Gray(Sof(0xC0, 8, 8, {0x11, 0x11, 0x11, 0x11})), kErrUnsupported},
      {"no components", Gray(Sof(0xC0, 8, 8, {})), kErrUnsupported},
      {"12-bit samples", Gray(Sof(0xC0, 8, 8, {0x11}, 12)), kErrUnsupported},
      {"width 0", Gray(Sof(0xC0, 0, 8, {0x11})), kErrUnsupported},
      {"height 0", Gray(Sof(0xC0, 8, 0, {0x11})), kErrUnsupported},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InfoError(c.stream), c.code) << c.name;
    EXPECT_EQ(DecodeError(c.stream), c.code) << c.name;
  }
  // Segments that only the full parse reads.
  const struct {
    const char* name;
    Bytes stream;
    int code;
  } full[] = {
      {"H of 5", Gray(Sof(0xC0, 8, 8, {0x51, 0x11})), kErrUnsupported},
      {"V of 0", Gray(Sof(0xC0, 8, 8, {0x10, 0x11})), kErrUnsupported},
      {"DHT class 2", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, DhtSingle(0x20)})),
       kErrHuffClass},
      {"DHT id 2", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, DhtSingle(0x02)})), kErrHuffClass},
      {"over-subscribed", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, dht_over})), kErrHuffCount},
      {"257 codes", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, dht_many})), kErrHuffTooMany},
      {"table past segment", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, dht_short})),
       kErrHuffCount},
      {"DC category 16", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, dht_dc16})), kErrHuffCount},
      {"DQT id 4", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, Dqt(1, 0x04)})), kErrQuantId},
      {"DQT precision 2", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, Dqt(1, 0x20)})), kErrQuantId},
      {"DQT short", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, Segment(0xDB, Bytes(40, 1))})),
       kErrQuantLength},
      {"no quant table", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({DhtSingle(0x00), DhtSingle(0x10)})),
       kErrNoQuantTable},
      {"no DC table", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({Dqt(), DhtSingle(0x10)})), kErrNoDcTable},
      {"no AC table", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({Dqt(), DhtSingle(0x00)})), kErrNoAcTable},
      {"four scan components", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1, 1, 1, 1})), kErrScanParams},
      {"no scan components", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({})), kErrScanComponent},
      {"unknown scan component", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({7})), kErrNoFrame},
      {"component twice", Gray(Sof(0xC0, 8, 8, {0x11, 0x11, 0x11}), Sos({1, 1})), kErrScanParams},
      {"restart marker in headers",
       Cat({Soi(), {0xFF, 0xD0}, kTables, Sof(0xC0, 8, 8, {0x11}), Sos({1}), kData}), kErrUnexpectedRestart},
      {"segment length 1", Cat({Soi(), {0xFF, 0xE1, 0x00, 0x01}, MinimalGray()}), kErrTruncated},
      {"ends inside a segment", Cat({Soi(), kTables, {0xFF, 0xC0, 0x00, 0x0B, 8, 0}}), kErrTruncated},
      {"a second frame", Gray(Sof(0xC0, 8, 8, {0x11}), Sos({1}), Cat({kTables, Sof(0xC0, 8, 8, {0x11})})),
       kErrUnsupported},
  };
  for (const auto& c : full) EXPECT_EQ(DecodeError(c.stream), c.code) << c.name;
}

TEST(JpegMarkers, InformationStepReadsFrameAndDensity) {
  // JFIF APP0 with 118 dots per cm.
  Bytes app0 = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 2, 2, 0, 118, 0, 118, 0, 0});
  JpegInfo info;
  ASSERT_EQ(InfoError(Cat({Soi(), app0, kTables, Sof(0xC2, 640, 480, {0x22, 0x11, 0x11}), Sos({1})}), &info),
            0);
  EXPECT_EQ(info.width, 640);
  EXPECT_EQ(info.height, 480);
  EXPECT_EQ(info.components, 3);
  EXPECT_TRUE(info.progressive);
  EXPECT_EQ(info.density_dpi, 299);
}

TEST(JpegMarkers, FillBytesAndLeadingBytesAreSkipped) {
  Bytes b = MinimalGray();
  Bytes padded = Cat({{0x00, 0x12}, Soi(), {0xFF, 0xFF, 0xFF}, Bytes(b.begin() + 2, b.end())});
  JpegInfo info;
  EXPECT_EQ(InfoError(padded, &info), 0);
  EXPECT_EQ(info.width, 8);
  int bands = 0;
  EXPECT_EQ(DecodeError(padded, &bands), 0);
  EXPECT_EQ(bands, 1);
}

TEST(JpegMarkers, GrayFrameSamplingIsAlwaysOneBlockPerMcu) {
  // A 16x16 gray frame declaring 2x2 (or 2x1) sampling is coded as four single-block MCUs.
  for (uint8_t hv : {0x22, 0x21, 0x44}) {
    Bytes b = MinimalGray(16, 16);
    Bytes patched = Cat({Soi(), kTables, Sof(0xC0, 16, 16, {hv}), Sos({1}), {0x00, 0xFF}, Eoi()});
    int bands = 0;
    EXPECT_EQ(DecodeError(patched, &bands), 0) << int{hv};
    EXPECT_EQ(bands, 2) << int{hv};
  }
}

TEST(JpegMarkers, SegmentsSpanningChunksParse) {
  // A 20000-byte APP1 (skipped across refills) and a COM before the frame.
  Bytes app1 = Segment(0xE1, Bytes(20000, 0xFF));
  Bytes com = Segment(0xFE, Bytes(9000, 'x'));
  Bytes b = MinimalGray();
  Bytes big = Cat({Soi(), app1, com, Bytes(b.begin() + 2, b.end())});
  EXPECT_EQ(InfoError(big), 0);
  EXPECT_EQ(DecodeError(big), 0);
  // A table segment longer than one chunk cannot be held.
  Bytes huge_dqt = Segment(0xDB, Bytes(8200, 0));
  EXPECT_EQ(DecodeError(Cat({Soi(), huge_dqt, Bytes(b.begin() + 2, b.end())})), kErrTruncated);
}

TEST(JpegMarkers, CommentsBeforeTheFirstScan) {
  Bytes b = MinimalGray();
  Bytes body(b.begin() + 2, b.end());
  Bytes stream = Cat({Soi(), Segment(0xFE, {'a', 'b', 'c'}), Segment(0xE1, {1, 2}),
                      Segment(0xFE, Bytes(5000, 'x')), body, Segment(0xFE, {'z'})});
  const struct {
    size_t size;
    size_t stored;
    uint16_t dropped;
  } cases[] = {{0, 0, 5003}, {1, 0, 5003}, {4, 3, 5000}, {100, 99, 4904}, {6000, 5003, 0}};
  for (const auto& c : cases) {
    std::vector<char> buf(c.size + 1, '#');
    MemorySource src(stream.data(), stream.size());
    InputWindow win(src, 9216);
    uint16_t dropped = 1;
    EXPECT_EQ(ReadComments(win, buf.data(), c.size, &dropped), c.stored) << c.size;
    EXPECT_EQ(dropped, c.dropped) << c.size;
    if (c.size) {
      EXPECT_EQ(buf[c.stored], 0) << c.size;
    }
    EXPECT_EQ(buf[c.size], '#') << c.size;  // never past the given size
    if (c.stored >= 3) {
      EXPECT_EQ(std::string(buf.data(), 3), "abc");
    }
  }
}

}  // namespace
}  // namespace zc::jpegdec::test
