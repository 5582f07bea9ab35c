#include "imaging/endorsement.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "imaging/image_record.h"
#include "imaging/packed_dib.h"
#include "imaging_test_support.h"
#include "testkit/support/external_tool.h"
#include "testkit/support/pnm.h"
#include "testkit/support/scratch_dir.h"
#include "text/text_rasterizer.h"
#include "zarn/trace.h"

namespace zc::imaging {
namespace {

using test::MakeRecord;

constexpr int kLowered = 200;   // 16 rows, text lowered, inverted when finished
constexpr int kTurned = 300;    // 24 rows, a quarter turn when finished
constexpr int kEm7 = -7;        // the bitmap font at its own size: 'H' inks columns 0 and 4 of rows 0..6

bool Bit(const uint8_t* row, int x) {
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

class Endorsement : public ::testing::Test {
 protected:
  void SetUp() override { zarn::SetScannerTypeCode(1); }
  void TearDown() override {
    CheckEndorsementEndhDIB(kLowered);  // frees a canvas a failed test left behind
    funcSetEndorsementStyle(0);
    zarn::ResetTraceForTests();
  }
  // The finished canvas as top-down rows of (width + 7) / 8 bytes, 1 = ink (the inversion of the
  // finishing undone).
  static std::vector<std::vector<uint8_t>> Finish(int type, bool inverted, int* width = nullptr) {
    const auto dib = CheckEndorsementEndhDIB(type);
    if (!dib) return {};
    const auto bytes = dib->Bytes();
    const int w = funcDIBGetWidth(bytes), h = funcDIBGetHeight(bytes);
    if (width) *width = w;
    const uint8_t* pal = bytes.data() + 40;
    EXPECT_EQ(pal[0] | pal[1] | pal[2], 0);           // entry 0 black
    EXPECT_EQ(pal[4] & pal[5] & pal[6], 255);         // entry 1 white
    const size_t stride = (static_cast<size_t>(w) + 31) / 32 * 4;
    std::vector<std::vector<uint8_t>> rows;
    for (int r = 0; r < h; ++r) {
      const uint8_t* p = funcFindDIBBits(bytes) + static_cast<size_t>(h - 1 - r) * stride;
      std::vector<uint8_t> row(p, p + (w + 7) / 8);
      if (inverted)
        for (auto& b : row) b = static_cast<uint8_t>(~b);
      rows.push_back(row);
    }
    return rows;
  }
  text::ScopedTextBackend bitmapFont_{text::TextBackend::Bitmap};
};

struct WidthCase {
  std::string name;
  int requested, width;
};

class EndorsementWidth : public Endorsement, public ::testing::WithParamInterface<WidthCase> {};

TEST_P(EndorsementWidth, RoundsUpToThirtyTwo) {
  ASSERT_EQ(CheckEndorsementStart(kLowered, GetParam().requested), 1);
  EXPECT_EQ(EndorsementCanvasState().width, GetParam().width);
  EXPECT_EQ(EndorsementCanvasState().rows, 16);
}

INSTANTIATE_TEST_SUITE_P(Cases, EndorsementWidth,
                         ::testing::Values(WidthCase{"HundredUsesTwoHundred", 100, 224},
                                           WidthCase{"HundredOne", 101, 128}, WidthCase{"Six", 600, 608},
                                           WidthCase{"TwelveHundred", 1200, 1216}),
                         [](const auto& p) { return p.param.name; });

TEST_F(Endorsement, CanvasStateErrors) {
  EXPECT_EQ(CheckEndorsementStart(999, 600), kEndorseTypeUnsupported);
  EXPECT_EQ(CheckEndorsementStart(kLowered, 32737), kEndorseCanvasState);  // wider than a DIB once rounded
  EXPECT_EQ(CheckEndorsementStart(kLowered, std::numeric_limits<int>::max()), kEndorseCanvasState);
  EXPECT_EQ(CheckEndorsementText(kLowered, kEm7, 0, 0, 0, 0, nullptr, "H"), kEndorseDrawFailed);
  EXPECT_EQ(CheckEndorsementStretch(0), kEndorseCanvasState);
  EXPECT_EQ(CheckEndorsementInvert(0), kEndorseCanvasState);
  EXPECT_EQ(CheckEndorsementEnd(kLowered, "/nonexistent/e.bmp"), kEndorseWriteFailed);
  EXPECT_FALSE(CheckEndorsementEndhDIB(kLowered).has_value());
  ASSERT_EQ(CheckEndorsementStart(3, 600), 1);
  EXPECT_EQ(EndorsementCanvasState().rows, 24);
  EXPECT_EQ(CheckEndorsementStart(kLowered, 600), kEndorseCanvasState);
  // A font too large to make draws nothing and is not reported.
  EXPECT_EQ(CheckEndorsementText(3, std::numeric_limits<int>::min(), 0, 0, 0, 0, nullptr, "H"), 1);
  EXPECT_EQ(CheckEndorsementText(3, 5000, 0, -100000, 0, 0, nullptr, "H"), 1);
  // An unknown type does not finish the canvas: it stays for the right type.
  EXPECT_FALSE(CheckEndorsementEndhDIB(999).has_value());
  EXPECT_EQ(CheckEndorsementEnd(999, "/nonexistent/e.bmp"), kEndorseTypeUnsupported);
  EXPECT_TRUE(CheckEndorsementEndhDIB(3).has_value());
  EXPECT_EQ(EndorsementCanvasState().width, 0);
}

TEST_F(Endorsement, TextAtTwelveStartsAtBitFourOfByteOne) {
  ASSERT_EQ(CheckEndorsementStart(kLowered, 600), 1);
  ASSERT_EQ(CheckEndorsementText(kLowered, kEm7, 12, 0, 0, 0, "Arial", "H"), 1);
  EXPECT_EQ(EndorsementCanvasState().textWidth, 6);
  EXPECT_EQ(EndorsementCanvasState().textHeight, 7);
  const auto rows = Finish(kLowered, true);
  ASSERT_EQ(rows.size(), 16u);
  for (int r = 0; r <= 3; ++r) {  // rows the lowering leaves in place
    EXPECT_EQ(rows[r][1] & 0x08, 0x08) << "row " << r;
    EXPECT_FALSE(Bit(rows[r].data(), 11)) << "row " << r;
    EXPECT_TRUE(Bit(rows[r].data(), 16)) << "row " << r;
  }
}

// Text starting 7 pixels into a byte: its last glyph column lies past the text width rounded to 16 and
// must still arrive.
TEST_F(Endorsement, LastGlyphColumnKeptAtUnalignedX) {
  ASSERT_EQ(CheckEndorsementStart(kLowered, 600), 1);
  ASSERT_EQ(CheckEndorsementText(kLowered, kEm7, 15, 0, 0, 0, nullptr, "HH"), 1);
  const auto rows = Finish(kLowered, true);
  ASSERT_FALSE(rows.empty());
  EXPECT_TRUE(Bit(rows[0].data(), 15));
  EXPECT_TRUE(Bit(rows[0].data(), 21));
  EXPECT_TRUE(Bit(rows[0].data(), 25));
  EXPECT_FALSE(Bit(rows[0].data(), 26));
}

TEST_F(Endorsement, LinesSplitAtLineBreakRunsAndTopRowsClipped) {
  ASSERT_EQ(CheckEndorsementStart(kTurned, 600), 1);
  ASSERT_EQ(CheckEndorsementText(kTurned, kEm7, 0, -3, 0, 0, nullptr, "\r\nH\r\n\r\nHH\n"), 1);
  EXPECT_EQ(EndorsementCanvasState().textHeight, 14);
  EXPECT_EQ(EndorsementCanvasState().textWidth, 12);
  int width = 0;
  const auto turned = Finish(kTurned, false, &width);
  // A quarter turn counter-clockwise: canvas pixel (x, y) is now at column y, row 607 - x.
  ASSERT_EQ(width, 24);
  ASSERT_EQ(turned.size(), 608u);
  auto ink = [&](int x, int y) { return Bit(turned[607 - x].data(), y); };
  EXPECT_TRUE(ink(0, 0));    // glyph row 3 of the first line (the bar of H)
  EXPECT_TRUE(ink(2, 0));
  EXPECT_TRUE(ink(0, 3));    // the last row of the first line
  EXPECT_FALSE(ink(2, 3));
  EXPECT_TRUE(ink(10, 4));   // the second line starts 7 rows lower: the top row of "HH"
  EXPECT_FALSE(ink(13, 4));
}

TEST_F(Endorsement, StretchDoublesTheLeftHalf) {
  auto draw = [] {
    EXPECT_EQ(CheckEndorsementStart(kLowered, 100), 1);
    EXPECT_EQ(CheckEndorsementText(kLowered, kEm7, 0, 0, 0, 0, nullptr, "HEAD 1234567890 WXYZ"), 1);
    EXPECT_EQ(CheckEndorsementText(kLowered, kEm7, 150, 8, 0, 0, nullptr, "RIGHT"), 1);
  };
  draw();
  const auto plain = Finish(kLowered, true);
  draw();
  ASSERT_EQ(CheckEndorsementStretch(0), 0);
  const auto stretched = Finish(kLowered, true);
  ASSERT_EQ(plain.size(), stretched.size());
  for (size_t r = 0; r < plain.size(); ++r)
    for (int i = 0; i < 112; ++i) {
      EXPECT_EQ(Bit(stretched[r].data(), 2 * i), Bit(plain[r].data(), i)) << r << "," << i;
      EXPECT_EQ(Bit(stretched[r].data(), 2 * i + 1), Bit(plain[r].data(), i)) << r << "," << i;
    }
}

TEST_F(Endorsement, InvertCoversTheTextWidthOrTheWholeRow) {
  ASSERT_EQ(CheckEndorsementStart(kLowered, 600), 1);
  ASSERT_EQ(CheckEndorsementText(kLowered, kEm7, 0, 0, 0, 0, nullptr, "HH"), 1);  // 12 pixels: 2 bytes
  ASSERT_EQ(CheckEndorsementInvert(1), 0);
  auto rows = Finish(kLowered, true);
  EXPECT_EQ(rows[0][0], static_cast<uint8_t>(~0x8A));  // columns 0, 4 and 6 inked
  EXPECT_EQ(rows[15][1], 0xFF);
  EXPECT_EQ(rows[15][2], 0x00);
  ASSERT_EQ(CheckEndorsementStart(kLowered, 600), 1);
  ASSERT_EQ(CheckEndorsementInvert(0), 0);
  rows = Finish(kLowered, true);
  EXPECT_EQ(rows[5][75], 0xFF);
}

// Style masks and the outline on a synthetic 16 x 4 block of ink at columns 8..23, rows 2..5 of a
// 32 x 8 raster.
struct StyleCase {
  std::string name;
  int style;
  std::vector<std::string> expect;  // rows 2..5, columns 8..23, '#' = ink
};

class EndorsementStyle : public ::testing::TestWithParam<StyleCase> {};

TEST_P(EndorsementStyle, OnInkBlock) {
  std::vector<uint8_t> bits(4 * 8, 0);
  for (int r = 2; r <= 5; ++r) bits[r * 4 + 1] = bits[r * 4 + 2] = 0xFF;
  ApplyEndorsementStyle(bits.data(), 4, 8, GetParam().style);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 32; ++c) {
      const bool inside = r >= 2 && r <= 5 && c >= 8 && c <= 23;
      const bool expect = inside && GetParam().expect[r - 2][c - 8] == '#';
      EXPECT_EQ(Bit(bits.data() + r * 4, c), expect) << "row " << r << " column " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndorsementStyle,
    ::testing::Values(
        StyleCase{"SolidUnchanged", 0, {"################", "################", "################", "################"}},
        StyleCase{"Checker", 1, {"#.#.#.#.#.#.#.#.", ".#.#.#.#.#.#.#.#", "#.#.#.#.#.#.#.#.", ".#.#.#.#.#.#.#.#"}},
        StyleCase{"EvenRowsHalf", 2, {"#.#.#.#.#.#.#.#.", "................", "#.#.#.#.#.#.#.#.", "................"}},
        // Byte column 1 takes 0x49 and byte column 2 takes 0x24; only row 3 is a multiple of 3.
        StyleCase{"EveryThird", 3, {"................", ".#..#..#..#..#..", "................", "................"}},
        StyleCase{"EveryFourth", 4, {"................", "................", "#...#...#...#...", "................"}},
        StyleCase{"FiveClears", 5, {"................", "................", "................", "................"}},
        StyleCase{"Hollow", 8, {"################", "#..............#", "#..............#", "################"}},
        StyleCase{"CheckerOutlined", 9, {"################", "##.#.#.#.#.#.#.#", "#.#.#.#.#.#.#.##", "################"}},
        StyleCase{"ThickOutlineFillsSmallBlock", 16,
                  {"################", "################", "################", "################"}}),
    [](const auto& p) { return p.param.name; });

TEST(EndorsementRawBmp, RefusesDepthsWithoutGrayPalette) {
  testkit::ScratchDir dir("endorse");
  const std::vector<uint8_t> raw(64, 0);
  EXPECT_EQ(RawToBMP(dir.File("x.bmp").c_str(), raw.data(), 8, 2, 2, 200, 200), -202);
  EXPECT_EQ(RawToBMP(dir.File("x.bmp").c_str(), raw.data(), 8, 2, 24, 200, 200), -202);
  EXPECT_EQ(RawToBMP((dir.Path() + "/no/such/x.bmp").c_str(), raw.data(), 8, 2, 1, 200, 200), -202);
}

TEST(EndorsementRawBmp, RowsWiderThanTheBlockAreWritten) {
  if (!testkit::HaveTool("bmptopnm")) GTEST_SKIP() << "bmptopnm not installed";
  testkit::ScratchDir dir("endorse");
  const int w = 9000, h = 3;  // 9000 bytes a row at 8 bits: more than one chunk holds
  std::vector<uint8_t> raw(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(RawToBMP(dir.File("wide.bmp").c_str(), raw.data(), w, h, 8, 200, 200), 0);
  const auto res = testkit::RunCommand("bmptopnm " + dir.File("wide.bmp") + " > " + dir.File("wide.pgm") + " 2>/dev/null");
  ASSERT_TRUE(res.ok()) << res.output;
  const auto pnm = testkit::ReadPnm(dir.File("wide.pgm"));
  ASSERT_TRUE(pnm.has_value());
  ASSERT_EQ(pnm->width, w);
  ASSERT_EQ(pnm->height, h);
  EXPECT_EQ(pnm->raster, raw);
}

struct BmpCase {
  std::string name;
  int type, requested;
  int width, height;
};

class EndorsementBmp : public Endorsement, public ::testing::WithParamInterface<BmpCase> {};

TEST_P(EndorsementBmp, EndWritesOneBitBmpAtTwoHundredDpi) {
  for (const char* tool : {"file", "identify", "bmptopnm"})
    if (!testkit::HaveTool(tool)) GTEST_SKIP() << tool << " not installed";
  const BmpCase& c = GetParam();
  testkit::ScratchDir dir("endorse");
  auto draw = [&] {
    ASSERT_EQ(CheckEndorsementStart(c.type, c.requested), 1);
    ASSERT_EQ(CheckEndorsementText(c.type, 15, 0, 1, 1, 0, "Arial", " VEKAPI 7"), 1);
  };
  draw();
  const std::string bmp = dir.File("Lumivex.BMP");
  ASSERT_EQ(CheckEndorsementEnd(c.type, bmp.c_str()), 1);
  EXPECT_EQ(EndorsementCanvasState().width, 0);

  auto res = testkit::RunCommand("file -b " + bmp);
  EXPECT_NE(res.output.find("PC bitmap"), std::string::npos) << res.output;
  EXPECT_NE(res.output.find(std::to_string(c.width) + " x " + std::to_string(c.height) + " x 1"), std::string::npos)
      << res.output;
  res = testkit::RunCommand("identify -units PixelsPerCentimeter -format '%w %h %x' " + bmp);
  EXPECT_EQ(res.output.substr(0, res.output.find('.')),
            std::to_string(c.width) + " " + std::to_string(c.height) + " 78")
      << res.output;
  ASSERT_TRUE(testkit::RunCommand("bmptopnm " + bmp + " > " + dir.File("e.pbm") + " 2>/dev/null").ok());
  const auto pnm = testkit::ReadPnm(dir.File("e.pbm"));
  ASSERT_TRUE(pnm.has_value());
  ASSERT_EQ(pnm->format, testkit::PnmFormat::kBitmap);
  ASSERT_EQ(pnm->width, c.width);
  ASSERT_EQ(pnm->height, c.height);

  // The same canvas as a DIB: its palette index 0 is black, which the bitmap shows as ink.
  draw();
  const auto dib = CheckEndorsementEndhDIB(c.type);
  ASSERT_TRUE(dib.has_value());
  const size_t stride = (static_cast<size_t>(c.width) + 31) / 32 * 4, rowBytes = (c.width + 7) / 8;
  int blackPixels = 0;
  for (int r = 0; r < c.height; ++r) {
    const uint8_t* d = funcFindDIBBits(dib->Bytes()) + static_cast<size_t>(c.height - 1 - r) * stride;
    for (int x = 0; x < c.width; ++x) {
      const bool black = Bit(pnm->raster.data() + r * rowBytes, x);
      EXPECT_EQ(black, !Bit(d, x)) << "row " << r << " column " << x;
      blackPixels += black;
    }
  }
  EXPECT_GT(blackPixels, 0);
  EXPECT_LT(blackPixels, c.width * c.height);
}

INSTANTIATE_TEST_SUITE_P(Types, EndorsementBmp,
                         ::testing::Values(BmpCase{"LoweredInverted608x16", kLowered, 600, 608, 16},
                                           BmpCase{"QuarterTurned24x320", kTurned, 300, 24, 320},
                                           BmpCase{"QuarterTurnedInverted24x320", 3, 300, 24, 320}),
                         [](const auto& p) { return p.param.name; });

TEST_F(Endorsement, VirtualNegativeXCountsFromTheRightEdge) {
  auto rec = MakeRecord(1000, 40, 8, 200, std::vector<uint8_t>(40000, 255));
  const std::string text(34, 'H');  // 204 pixels
  ASSERT_EQ(VEKVirtualEndorsement(rec, text.c_str(), kEm7, -10, -2, 0, 0, 0, 0, 0, 0, 0, nullptr), 0);
  const uint8_t* px = rec.data() + 8;
  // y = -2 counts from the bottom: 40 - 7 - 2 = row 31.
  const int top = 31, first = 1000 - 204 - 10;
  EXPECT_EQ(px[top * 1000 + first], 0);
  EXPECT_EQ(px[top * 1000 + first - 1], 255);
  EXPECT_EQ(px[(top - 1) * 1000 + first], 255);
  EXPECT_EQ(px[(top + 6) * 1000 + first + 33 * 6 + 4], 0);
}

struct DepthCase {
  std::string name;
  int bits;
  int x;
  // The first inked pixel of row 12, as the depth stores it.
  int inkX;
};

class VirtualEndorsementDepth : public Endorsement, public ::testing::WithParamInterface<DepthCase> {};

TEST_P(VirtualEndorsementDepth, InksInTheRecordColour) {
  const DepthCase& c = GetParam();
  const int w = 61, h = 30;
  auto rec = MakeRecord(w, h, c.bits, 200);
  ASSERT_EQ(VEKVirtualEndorsement(rec, "H", kEm7, c.x, 12, 0, 0, 0, 0, 0x0A, 0x50, 0xC8, "Arial"), 0);
  const auto view = CheckRecord(std::span<uint8_t>(rec));
  ASSERT_TRUE(view.has_value());
  auto at = [&](int x, int y) -> int {
    const uint8_t* row = view->Row(y);
    switch (c.bits) {
      case 1: return Bit(row, x);
      case 4: return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
      case 8: return row[x];
      default: return row[3 * x] << 16 | row[3 * x + 1] << 8 | row[3 * x + 2];
    }
  };
  const int ink = c.bits == 1 ? 1 : c.bits == 4 ? 5 : c.bits == 8 ? 0x50 : 0x0A50C8;
  for (int y = 12; y < 19; ++y) {
    EXPECT_EQ(at(c.inkX, y), ink) << "row " << y;
    EXPECT_EQ(at(c.inkX + 4, y), ink) << "row " << y;
    EXPECT_EQ(at(c.inkX - 1, y), 0) << "row " << y;
    EXPECT_EQ(at(c.inkX + 5, y), 0) << "row " << y;
  }
  EXPECT_EQ(at(c.inkX, 11), 0);
  EXPECT_EQ(at(c.inkX, 19), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, VirtualEndorsementDepth,
                         ::testing::Values(DepthCase{"OneBitStartsOnAByte", 1, 21, 16},
                                           DepthCase{"FourBitOddXOnePixelLeft", 4, 21, 20},
                                           DepthCase{"FourBitEvenX", 4, 20, 20}, DepthCase{"EightBit", 8, 21, 21},
                                           DepthCase{"TwentyFourBit", 24, 21, 21}),
                         [](const auto& p) { return p.param.name; });

TEST_F(Endorsement, VirtualOneBitRowsFollowTheRecordStride) {
  const int w = 1001, h = 20;  // 126 bytes a row, not 1001 / 8
  auto rec = MakeRecord(w, h, 1, 200);
  ASSERT_EQ(VEKVirtualEndorsement(rec, "H", kEm7, 0, 5, 0, 0, 0, 0, 0, 0, 0, nullptr), 0);
  const auto view = CheckRecord(std::span<uint8_t>(rec));
  for (int y = 5; y < 12; ++y) {
    EXPECT_TRUE(Bit(view->Row(y), 0)) << "row " << y;
    EXPECT_TRUE(Bit(view->Row(y), 4)) << "row " << y;
    EXPECT_FALSE(Bit(view->Row(y), 5)) << "row " << y;
  }
}

struct AngleCase {
  std::string name;
  int angle;
  // Pixels of the top row of 'H' (glyph columns 0 and 4) after the turn, and one that stays white.
  int x0, y0, x4, y4, blankX, blankY;
};

class VirtualEndorsementAngle : public Endorsement, public ::testing::WithParamInterface<AngleCase> {};

// 'H' (6 x 7 with its spacing) is drawn into a 16 x 8 raster and turned with it; the text, not the raster,
// lands at (0, 0).
TEST_P(VirtualEndorsementAngle, TurnsTheRaster) {
  const AngleCase& c = GetParam();
  auto rec = MakeRecord(40, 40, 8, 200, std::vector<uint8_t>(1600, 255));
  ASSERT_EQ(VEKVirtualEndorsement(rec, "H", kEm7, 0, 0, 0, 0, c.angle, 0, 0, 0, 0, nullptr), 0);
  const uint8_t* px = rec.data() + 8;
  EXPECT_EQ(px[c.y0 * 40 + c.x0], 0);
  EXPECT_EQ(px[c.y4 * 40 + c.x4], 0);
  EXPECT_EQ(px[c.blankY * 40 + c.blankX], 255);
}

INSTANTIATE_TEST_SUITE_P(
    Angles, VirtualEndorsementAngle,
    ::testing::Values(AngleCase{"Upright", 0, 0, 0, 4, 0, 2, 0},
                      // Clockwise: the first raster row becomes the rightmost column of the 7 x 6 text.
                      AngleCase{"Clockwise90", 90, 6, 0, 6, 4, 6, 2}, AngleCase{"ModeOneAsGiven", 1, 6, 0, 6, 4, 6, 2},
                      AngleCase{"HalfTurn180", 180, 5, 6, 1, 6, 3, 6},
                      AngleCase{"CounterClockwise270", 270, 0, 5, 0, 1, 0, 3}),
    [](const auto& p) { return p.param.name; });

TEST_F(Endorsement, VirtualRefusals) {
  auto rec = MakeRecord(40, 40, 8, 200, std::vector<uint8_t>(1600, 255));
  const auto before = rec;
  EXPECT_EQ(VEKVirtualEndorsement(rec, "H", kEm7, 0, 0, 0, 0, 45, 0, 0, 0, 0, nullptr), -102);
  EXPECT_EQ(VEKVirtualEndorsement(rec, "", kEm7, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr), -102);
  EXPECT_EQ(VEKVirtualEndorsement(rec, "\r\n", kEm7, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr), -102);
  EXPECT_EQ(VEKVirtualEndorsement(rec, "H", -5000, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr), -102);
  // Turned a quarter, the 'H' is 7 wide and 6 high: one pixel in from the right and bottom edges it
  // starts at (32, 33), its top row in column 38.
  EXPECT_EQ(VEKVirtualEndorsement(rec, "H", kEm7, -1, -1, 0, 0, 90, 0, 0, 0, 0, nullptr), 0);
  EXPECT_EQ(rec[8 + 33 * 40 + 38], 0);
  EXPECT_EQ(rec[8 + 37 * 40 + 38], 0);
  EXPECT_EQ(rec[8 + 39 * 40 + 38], 255);
  EXPECT_EQ(rec[8 + 33 * 40 + 39], 255);
  // A text taller than the record from the lowest y: placed at the top.
  EXPECT_EQ(VEKVirtualEndorsement(rec, "H\nH\nH\nH\nH\nH", kEm7, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::min(), 0, 0, 0, 0, 0, 0, 0, nullptr),
            0);
  EXPECT_EQ(rec[8 + 0 * 40 + 0], 0);
  rec = before;
  EXPECT_EQ(VEKVirtualEndorsement(std::span<uint8_t>(rec).first(100), "H", kEm7, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr),
            -102);
  zarn::SetScannerTypeCode(-1);
  EXPECT_EQ(VEKVirtualEndorsement(rec, "H", kEm7, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr), -125);
  EXPECT_EQ(rec, before);
}

TEST_F(Endorsement, WithFreeTypeArialWidthsGrowAndInkStaysInside) {
  text::ScopedTextBackend freeType(text::TextBackend::FreeType);
  if (!text::CreateFreeTypeRasterizer({"Arial", -12, 400, false})) GTEST_SKIP() << "no scalable face installed";
  int widths[2] = {};
  int index = 0;
  for (const char* s : {"Pay", "Pay to the order of"}) {
    ASSERT_EQ(CheckEndorsementStart(kLowered, 600), 1);
    ASSERT_EQ(CheckEndorsementText(kLowered, -12, 4, 1, 0, 0, "Arial", s), 1);
    widths[index++] = EndorsementCanvasState().textWidth;
    const auto rows = Finish(kLowered, true);
    int ink = 0;
    for (const auto& row : rows)
      for (int x = 0; x < 608; ++x) ink += Bit(row.data(), x);
    EXPECT_GT(ink, 0) << s;
  }
  EXPECT_GT(widths[0], 0);
  EXPECT_GT(widths[1], widths[0]);
}

// Faces whose names begin "cour" or "ms " (any case) are asked for with a fixed pitch: a missing face of
// that kind falls back to a fixed-pitch one, where "iiii" and "MMMM" are equally wide; other names fall back
// to a proportional face.
TEST_F(Endorsement, CourierAndMsFacesAskForAFixedPitch) {
  text::ScopedTextBackend freeType(text::TextBackend::FreeType);
  if (!text::CreateFreeTypeRasterizer({"Arial", -12, 400, false}))
    GTEST_SKIP() << "no scalable face installed";
  if (!testkit::HaveTool("fc-match") ||
      testkit::RunCommand("fc-match -f '%{spacing}' ':spacing=mono'").output != "100")
    GTEST_SKIP() << "no fixed-pitch face installed";
  const struct {
    const char* face;
    bool fixed;
  } cases[] = {{"Courier Nowhere", true}, {"COURnowhere", true}, {"ms nowhere", true},
               {"MS Nowhere", true},      {"msnowhere", false},  {"cou nowhere", false},
               {"Nowhere Sans", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.face);
    int widths[2] = {};
    int index = 0;
    for (const char* s : {"iiii", "MMMM"}) {
      ASSERT_EQ(CheckEndorsementStart(kLowered, 600), 1);
      ASSERT_EQ(CheckEndorsementText(kLowered, -16, 4, 0, 0, 0, c.face, s), 1);
      widths[index++] = EndorsementCanvasState().textWidth;
      Finish(kLowered, true);
    }
    EXPECT_GT(widths[0], 0);
    if (c.fixed) {
      EXPECT_EQ(widths[0], widths[1]);
    } else {
      EXPECT_LT(widths[0], widths[1]);
    }
  }
}

}  // namespace
}  // namespace zc::imaging
