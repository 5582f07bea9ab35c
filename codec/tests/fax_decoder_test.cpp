// Bilevel decoder: round trips of every coding, recovery from truncated and corrupt data,
// refusals, strip tables, memory bounds, and a last strip that never leaves the window.
#include "codec/bilevel/fax_decoder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "codec/bilevel/change_list.h"
#include "codec/bilevel/fax_bit_sink.h"
#include "codec/bilevel/fax_decode_line.h"
#include "codec/tests/bilevel_test_support.h"
#include "testkit/support/file_bytes.h"
#include "testkit/support/scratch_dir.h"

namespace zc::codec {
namespace {

using test::BilevelImage;
using test::decodePage;
using test::encodeToMemory;
using testkit::BilevelPattern;

std::vector<BilevelImage> sampleImages() {
  testkit::ChequeSpec params;
  params.dpi = 200;
  const testkit::GrayImage gray = testkit::makeChequeGray(params);
  std::vector<BilevelImage> images = {testkit::thresholdImage(gray), testkit::ditherImage(gray)};
  for (int width : {1, 7, 9, 33, 1728}) {
    for (BilevelPattern p : {BilevelPattern::kBlack, BilevelPattern::kChecker, BilevelPattern::kRandom}) {
      images.push_back(testkit::makePattern(p, width, 9));
    }
  }
  return images;
}

TEST(FaxDecoder, RoundTripsEveryCoding) {
  // Encoder mode -> decoder mode; mode 6's uncompressed-mode lines are read by decoder mode 1.
  const int pairs[][2] = {{0, 0}, {1, 1}, {1, 11}, {2, 2}, {4, 4}, {5, 5}, {6, 1}, {7, 7}};
  for (const BilevelImage& img : sampleImages()) {
    for (const auto& pair : pairs) {
      if (pair[0] == 7 && img.width % 8 != 0) continue;  // byte-run codes whole bytes only
      for (int fillOrder : {0, 1}) {
        const auto data = encodeToMemory(img, {pair[0], fillOrder});
        const auto r = decodePage(data, img.width, img.height, pair[1], fillOrder);
        ASSERT_EQ(r.errorCode, 0) << img.width << " mode " << pair[0];
        ASSERT_EQ(r.image, img) << img.width << " mode " << pair[0] << ": "
                                << test::firstDifference(img, r.image);
      }
    }
  }
}

// Two-dimensional codings through runs of V0 codes: repeated lines with hundreds of changes (runs longer
// than the reader's 64 bits), lines that begin black or end black at the last pixel (the run must stop
// at the width, and the next line's codes begin with 1 bits too), and V0 runs between other modes.
TEST(FaxDecoder, RunsOfVerticalZeroCodes) {
  std::vector<BilevelImage> images;
  for (int width : {1731, 64, 65, 2}) {
    BilevelImage stripes(width, 12);    // identical lines: black from 0, two pixels a period
    BilevelImage lastPixel(width, 12);  // identical lines ending black at the width
    BilevelImage shifted(width, 24);    // period 3, every fourth line one pixel right
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < width; x += 2) stripes.set(x, y);
      lastPixel.set(width - 1, y);
      if (width > 4) lastPixel.set(width / 2, y);
    }
    for (int y = 0; y < 24; ++y) {
      for (int x = (y % 4 == 3) ? 1 : 0; x < width; x += 3) shifted.set(x, y);
    }
    images.push_back(stripes);
    images.push_back(lastPixel);
    images.push_back(shifted);
  }
  const int pairs[][2] = {{1, 1}, {1, 11}, {2, 2}, {4, 4}};
  for (const BilevelImage& img : images) {
    for (const auto& pair : pairs) {
      const auto data = encodeToMemory(img, {pair[0]});
      const auto r = decodePage(data, img.width, img.height, pair[1], 0);
      ASSERT_EQ(r.errorCode, 0) << img.width << " mode " << pair[0];
      ASSERT_EQ(r.image, img) << img.width << " mode " << pair[0] << ": "
                              << test::firstDifference(img, r.image);
    }
  }
}

TEST(FaxDecoder, UncompressedModeIsChosenForBusyLines) {
  const BilevelImage img = testkit::makePattern(BilevelPattern::kRandom, 512, 12);
  const auto plain = encodeToMemory(img, {1});
  const auto withUncompressed = encodeToMemory(img, {6});
  EXPECT_LT(withUncompressed.size(), plain.size());
  // Decoder mode 11 does not read the extension.
  EXPECT_NE(decodePage(withUncompressed, 512, 12, 11).errorCode, 0);
}

TEST(FaxDecoder, RawAndPackBitsLines) {
  BilevelImage img = testkit::makePattern(BilevelPattern::kRandom, 20, 3);
  std::vector<uint8_t> raw = img.rows;
  EXPECT_EQ(decodePage(raw, 20, 3, 3).image, img);
  // PackBits: a literal run, a repeat, and a -128 control byte that is skipped.
  BilevelImage expected(16, 2);
  const std::vector<uint8_t> packed = {0x80, 0x01, 0xF0, 0x0F, 0xFF, 0xAA};
  for (int x = 0; x < 4; ++x) expected.set(x, 0);
  for (int x = 12; x < 16; ++x) expected.set(x, 0);
  for (int x = 0; x < 16; x += 2) expected.set(x, 1);
  EXPECT_EQ(decodePage(packed, 16, 2, 10).image, expected);
  // A repeat that runs past the row end is cut there.
  const std::vector<uint8_t> crossing = {0xFC, 0xFF, 0x01, 0x00, 0x00};
  BilevelImage cut(16, 2);
  for (int x = 0; x < 16; ++x) cut.set(x, 0);
  const auto r = decodePage(crossing, 16, 2, 10);
  EXPECT_EQ(r.image, cut) << test::firstDifference(cut, r.image);
}

TEST(FaxDecoder, TruncatedDataKeepsEarlierLines) {
  testkit::ChequeSpec params;
  const BilevelImage img = testkit::thresholdImage(testkit::makeChequeGray(params));
  for (int mode : {1, 0, 2}) {
    auto data = encodeToMemory(img, {mode});
    data.resize(data.size() / 2);
    const auto r = decodePage(data, img.width, img.height, mode);
    ASSERT_NE(r.errorCode, 0) << mode;
    ASSERT_GT(r.errorLine, 10) << mode;
    for (int y = 0; y < r.errorLine - 1; ++y) {
      ASSERT_EQ(0, std::memcmp(r.image.row(y), img.row(y), static_cast<size_t>(img.stride)))
          << mode << " row " << y;
    }
    for (int y = r.errorLine; y < img.height; ++y) {
      for (int i = 0; i < img.stride; ++i) ASSERT_EQ(r.image.row(y)[i], 0) << mode << " row " << y;
    }
  }
}

TEST(FaxDecoder, EarlyEndOfFacsimileBlockGivesEndOfData) {
  const BilevelImage img = testkit::makePattern(BilevelPattern::kChecker, 64, 20);
  BilevelImage top(64, 5);
  std::memcpy(top.rows.data(), img.rows.data(), top.rows.size());
  const auto data = encodeToMemory(top, {1});  // five lines, then EOFB
  const auto r = decodePage(data, 64, 20, 1);
  EXPECT_EQ(r.errorCode, 2);
  EXPECT_EQ(r.errorLine, 5);
  BilevelImage expected(64, 20);
  std::memcpy(expected.rows.data(), top.rows.data(), top.rows.size());
  EXPECT_EQ(r.image, expected);
}

TEST(FaxDecoder, CorruptOneDimensionalLineIsReplacedByTheNextOne) {
  // Lines of 16: EOL, then runs. The second line's data becomes a white run longer than the
  // line, so the line behind the next EOL takes its place.
  BilevelImage img(16, 4);
  for (int x = 4; x < 8; ++x) img.set(x, 2);
  auto data = encodeToMemory(img, {0});
  const auto good = decodePage(data, 16, 4, 0);
  ASSERT_EQ(good.image, img);
  // Line 2 starts at bit 12 + 6 (EOL, white 16 = 101010) = 18; its data at bit 30.
  // Make its code 11011 0: white make-up 64.
  auto setBit = [&data](int bit, int value) {
    uint8_t& b = data[static_cast<size_t>(bit / 8)];
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (bit % 8));
    b = value ? (b | mask) : (b & ~mask);
  };
  const int garbage[6] = {1, 1, 0, 1, 1, 0};
  for (int i = 0; i < 6; ++i) setBit(30 + i, garbage[i]);
  const auto r = decodePage(data, 16, 4, 0);
  BilevelImage expected(16, 4);
  for (int x = 4; x < 8; ++x) expected.set(x, 1);  // line 2 decoded in place of line 1
  EXPECT_EQ(r.image, expected) << test::firstDifference(expected, r.image);
}

TEST(FaxDecoder, TwoEolsInARowSkipTheLineBehindThem) {
  // EOL white16 | EOL EOL black-line | EOL 4 white 4 black 8 white | RTC, for width 16.
  std::vector<uint8_t> data(64, 0);
  FaxBitSink sink{data.data(), 0, 0, 0};
  const auto eol = [&sink] { sink.put(1, 12); };
  eol();
  sink.put(0x2A, 6);  // white 16
  eol();
  eol();
  sink.put(0x35, 8);   // white 0
  sink.put(0x17, 10);  // black 16
  eol();
  sink.put(0xB, 4);   // white 4
  sink.put(0x3, 3);   // black 4
  sink.put(0x13, 5);  // white 8
  for (int i = 0; i < 6; ++i) eol();
  sink.put(0, 32 - sink.bits);
  data.resize(static_cast<size_t>(sink.pos));
  const auto r = decodePage(data, 16, 3, 0);
  BilevelImage expected(16, 3);
  for (int x = 4; x < 8; ++x) expected.set(x, 1);
  EXPECT_EQ(r.image, expected) << test::firstDifference(expected, r.image);
  EXPECT_EQ(r.errorCode, 2);
  EXPECT_EQ(r.errorLine, 2);
}

TEST(FaxDecoder, RefusesBadParameters) {
  const std::vector<uint8_t> data = encodeToMemory(BilevelImage(64, 8), {1});
  struct Case {
    int width, length, windowWidth, windowHeight, mode, rotation;
  };
  const Case cases[] = {
      {64, 8, 60, 8, 1, 0},   // window width not a multiple of 8
      {64, 0, 64, 8, 1, 0},   // zero length
      {0, 8, 64, 8, 1, 0},    // zero width
      {64, 8, 64, 8, 12, 0},  // mode 12
      {64, 8, 64, 0, 1, 0},   // no window height
      {64, 8, 64, 7, 1, 1},   // rotated window cut to 0 lines
      {64, 8, 64, 8, 1, 4},   // no such rotation
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> copy = data;
    ImageView v{};
    v.fileHandle = -1;
    v.stripOffset = reinterpret_cast<uintptr_t>(copy.data());
    v.stripByteCount = static_cast<uint32_t>(copy.size());
    v.width = c.width;
    v.length = c.length;
    v.windowWidth = c.windowWidth;
    v.windowHeight = c.windowHeight;
    v.zoomX = v.zoomY = 2048;
    v.decoderMode = c.mode;
    v.rotation = c.rotation;
    v.optionFlags = kViewOptStart;
    EXPECT_EQ(funcFaxDecodeLines(&v), kFaxCannotStart) << c.width << "/" << c.windowWidth << "/" << c.mode;
    EXPECT_EQ(v.inputBuffer, nullptr);
  }
}

TEST(FaxDecoder, LastStripStaysInsideTheWindow) {
  for (int length = 545; length <= 560; ++length) {
    const BilevelImage img =
        testkit::makePattern(BilevelPattern::kRandom, 200, length, static_cast<uint32_t>(length));
    const auto r = decodePage(encodeToMemory(img, {1}), 200, length, 1);  // throws outside the window
    EXPECT_EQ(r.image, img) << length;
  }
}

TEST(FaxDecoder, ShortMemoryImageIsNotReadPastItsEnd) {
  // decodePage copies the data into a block of exactly its size and gives the strip byte
  // count; ASan reports any read beyond it. The same for a raw image.
  const BilevelImage img = testkit::makePattern(BilevelPattern::kChecker, 24, 3);
  EXPECT_EQ(decodePage(encodeToMemory(img, {1}), 24, 3, 1).image, img);
  EXPECT_EQ(decodePage(img.rows, 24, 3, 3).image, img);
  BilevelImage narrow = testkit::makePattern(BilevelPattern::kRandom, 2, 40);
  EXPECT_EQ(decodePage(narrow.rows, 2, 40, 3).image, narrow);
}

TEST(FaxDecoder, StripTableInput) {
  // Strips of 16 rows coded independently, as a multi-strip TIFF holds them.
  const BilevelImage img = testkit::makePattern(BilevelPattern::kRandom, 100, 70);
  std::vector<std::vector<uint8_t>> strips;
  for (int first = 0; first < img.height; first += 16) {
    BilevelImage part(img.width, std::min(16, img.height - first));
    std::memcpy(part.rows.data(), img.row(first), part.rows.size());
    strips.push_back(encodeToMemory(part, {1}));
  }
  std::vector<uintptr_t> offsets;
  std::vector<uint32_t> counts;
  for (auto& s : strips) {
    offsets.push_back(reinterpret_cast<uintptr_t>(s.data()));
    counts.push_back(static_cast<uint32_t>(s.size()));
  }
  for (int panY : {0, 20, 32}) {
    FaxStripTable table{};
    table.rowsPerStrip = 16;
    table.lastStrip = static_cast<int32_t>(strips.size()) - 1;
    table.currentStrip = -1;
    table.offsets = offsets.data();
    table.byteCounts = counts.data();
    table.sourceKind = 1;
    ImageView v{};
    v.fileHandle = -1;
    v.stripOffset = reinterpret_cast<uintptr_t>(&table);
    v.width = 100;
    v.length = 70;
    v.windowWidth = 104;
    v.windowHeight = 70 - panY;
    v.zoomX = v.zoomY = 2048;
    v.panY = panY;
    v.decoderMode = 256 + 1;
    v.optionFlags = kViewOptNoClamp;
    const auto r = test::decodeView(v);
    EXPECT_EQ(r.errorCode, 0);
    for (int y = 0; y < 70 - panY; ++y) {
      for (int x = 0; x < 100; ++x)
        ASSERT_EQ(r.image.black(x, y), img.black(x, y + panY)) << panY << ":" << x << "," << y;
    }
  }
}

TEST(FaxDecoder, ReadsFromAFileAtAnOffset) {
  testkit::ScratchDir dir("zc_codec");
  const BilevelImage img = testkit::ditherImage(testkit::makeChequeGray({}));
  auto data = encodeToMemory(img, {1});
  std::vector<uint8_t> file(300, 0x5A);
  file.insert(file.end(), data.begin(), data.end());
  testkit::WriteFileBytes(dir / "page.bin", file);
  const int fd = ::open((dir / "page.bin").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ImageView v{};
  v.fileHandle = fd;
  v.stripOffset = 300;
  v.width = img.width;
  v.length = img.height;
  v.windowWidth = (img.width + 7) / 8 * 8;
  v.windowHeight = img.height;
  v.zoomX = v.zoomY = 2048;
  v.decoderMode = 1;
  const auto r = test::decodeView(v);
  ::close(fd);
  EXPECT_EQ(r.errorCode, 0);
  for (int y = 0; y < img.height; ++y) {
    ASSERT_EQ(0, std::memcmp(r.image.row(y), img.row(y), static_cast<size_t>(img.width / 8))) << y;
  }
}

TEST(FaxDecoder, CallerGivenChunkAndByteLimit) {
  const BilevelImage img = testkit::ditherImage(testkit::makeChequeGray({}));
  auto data = encodeToMemory(img, {1});
  struct Case {
    uint32_t flags;
    int32_t chunk;
    int64_t limit;
    int result;  // of the first call
  };
  const Case cases[] = {
      {kViewOptChunk, 1024, 0, kFaxStripReady},     {kViewOptChunk, 16384, 0, kFaxStripReady},
      {kViewOptChunk, 16385, 0, kFaxCannotStart},   {kViewOptChunk, 0, 0, kFaxCannotStart},
      {kViewOptByteLimit, 0, 1000, kFaxStripReady},  // the page is cut after 1000 bytes
  };
  for (const Case& c : cases) {
    ImageView v{};
    v.fileHandle = -1;
    v.stripOffset = reinterpret_cast<uintptr_t>(data.data());
    v.width = img.width;
    v.length = img.height;
    v.windowWidth = (img.width + 7) / 8 * 8;
    v.windowHeight = img.height;
    v.zoomX = v.zoomY = 2048;
    v.decoderMode = 1;
    v.optionFlags = c.flags;
    v.inputChunk = c.chunk;
    v.inputByteLimit = c.limit;
    if (c.result == kFaxCannotStart) {
      v.optionFlags |= kViewOptStart;
      EXPECT_EQ(funcFaxDecodeLines(&v), kFaxCannotStart) << c.chunk;
      continue;
    }
    const auto r = test::decodeView(v);
    if (c.limit != 0) {
      EXPECT_NE(r.errorCode, 0);
      EXPECT_LT(r.errorLine, 40);
    } else {
      EXPECT_EQ(r.errorCode, 0) << c.chunk;
      for (int y = 0; y < img.height; ++y) {
        ASSERT_EQ(0, std::memcmp(r.image.row(y), img.row(y), static_cast<size_t>(img.width / 8))) << y;
      }
    }
  }
}

TEST(FaxDecoder, LineByLineUse) {
  const BilevelImage img = testkit::makePattern(BilevelPattern::kRandom, 500, 300);
  auto data = encodeToMemory(img, {2});
  ImageView v{};
  v.fileHandle = -1;
  v.stripOffset = reinterpret_cast<uintptr_t>(data.data());
  v.stripByteCount = static_cast<uint32_t>(data.size());
  v.width = 500;
  v.length = 300;
  v.windowWidth = 504;
  v.windowHeight = 300;
  v.zoomX = v.zoomY = 2048;
  v.decoderMode = 2;
  ASSERT_EQ(funcFaxDecodeOpen(&v), 0);
  for (int y = 0; y < 300; ++y) {
    ASSERT_EQ(faxDecodeNextLine(&v), 0) << y;
    ++v.currentLine;
    uint32_t expected[520];
    funcFaxLineToChanges(img.row(y), 500, expected);
    for (int i = 0; expected[i] < 500; ++i) ASSERT_EQ(v.currentChanges[i], expected[i]) << y;
  }
  EXPECT_EQ(faxDecodeNextLine(&v), 2);  // RTC
  funcFaxDecodeFree(&v);
  EXPECT_EQ(v.inputBuffer, nullptr);
}

TEST(FaxDecodeLine, UnplaceableHorizontalRun) {
  // H, white 4, then no valid black code: mode 1 refuses the line, mode 11 ends it there.
  uint32_t* ref = allocChangeList(16);
  uint32_t* cur = allocChangeList(16);
  std::vector<uint8_t> input(8 + kFaxSentinelBytes, 0);
  input[0] = 0x36;  // 001 1011 0...
  for (const auto& [mode, expected] : {std::pair{1, 3}, std::pair{11, 0}}) {
    int32_t pos = 0;
    uint32_t acc = 0;
    int32_t bits = 0;
    EXPECT_EQ(funcFaxDecodeLine(mode, ref, cur, 16, 0, input.data(), 8, &pos, &acc, &bits), expected) << mode;
  }
  EXPECT_EQ(cur[0], 4u);   // black from 4
  EXPECT_EQ(cur[1], 16u);  // to the end of the line
  freeChangeList(ref);
  freeChangeList(cur);
}

TEST(FaxDecodeLine, HostileTwoDimensionalCodesStayInsideTheList) {
  // VL3 codes repeated would move a0 left of itself; the line is refused instead of growing.
  const int width = 40;
  uint32_t* ref = allocChangeList(width);
  uint32_t* cur = allocChangeList(width);
  const uint32_t refChanges[] = {10, 12, 14, 16, 40, 40, 40, 40, 40, 40};
  std::memcpy(ref, refChanges, sizeof refChanges);
  std::vector<uint8_t> input(64 + kFaxSentinelBytes, 0);
  for (int bit = 0; bit < 64 * 8; ++bit) {
    if (bit % 7 == 5)
      input[static_cast<size_t>(bit / 8)] |= static_cast<uint8_t>(0x80 >> (bit % 8));  // 0000010
  }
  int32_t pos = 0;
  uint32_t acc = 0;
  int32_t bits = 0;
  const int r = funcFaxDecodeLine(1, ref, cur, width, 0, input.data(), 64, &pos, &acc, &bits);
  EXPECT_EQ(r, 3);
  for (int i = 0; i < 6; ++i) EXPECT_LE(cur[i], static_cast<uint32_t>(width));
  freeChangeList(ref);
  freeChangeList(cur);
}

}  // namespace
}  // namespace zc::codec
