// The scan cycle's arithmetic on literal values: the image-transfer window of a side, the colour
// expansion of raw lines, and the usable-pixel search in the reference tables.
#include <gtest/gtest.h>

#include <vector>

#include "qv6/later/acquisition_window.h"
#include "qv6/later/colour_lines.h"
#include "qv6/later/line_edges.h"

namespace qv6::later {
namespace {

constexpr SideGeometry kFront{200, false, 16, 832, 896};
constexpr SideGeometry kRear{200, true, 32, 832, 896};

TEST(AcquisitionWindow, WindowOnTheSensorAndInTransferUnits) {
  struct Case {
    const char* what;
    SideGeometry g;
    WindowRequest r;
    int lower, upper, firstPixel, endPixel, pixels, lines, offset;
  } cases[] = {
      {"whole document", kFront, {1, 832, 0, 2200, 5, 1000, false}, 0, 832, 0, 896, 896, 1000, 16},
      {"top-down sensor", kRear, {1, 832, 0, 2200, 12, 1000, false}, 0, 832, 0, 896, 896, 1000, 32},
      {"half size", kFront, {1, 832, 0, 2200, 5, 1000, true}, 0, 832, 0, 896, 448, 500, 16},
      {"bounds of 1 and 4 inches",
       kFront,
       {1, 832, 254, 1016, 0, 10, false},
       200,
       800,
       192,
       832,
       640,
       10,
       24},
      {"same, top-down", kRear, {1, 832, 254, 1016, 0, 10, false}, 200, 800, 64, 704, 640, 10, 0},
      {"first usable pixel 0", kFront, {0, 832, 0, 2200, 0, 10, false}, 0, 832, 0, 896, 896, 10, 16},
      {"top counted back from the width",
       kFront,
       {1, 832, 0, -254, 0, 10, false},
       0,
       632,
       0,
       704,
       704,
       10,
       16},
      {"width beyond the sensor", kFront, {1, 60000, 0, 2200, 0, 10, false}, 0, 832, 0, 896, 896, 10, 16},
  };
  for (const Case& c : cases) {
    auto w = ComputeAcquisitionWindow(c.g, c.r);
    ASSERT_TRUE(w.has_value()) << c.what;
    EXPECT_EQ(w->lower, c.lower) << c.what;
    EXPECT_EQ(w->upper, c.upper) << c.what;
    EXPECT_EQ(w->firstPixel, c.firstPixel) << c.what;
    EXPECT_EQ(w->endPixel, c.endPixel) << c.what;
    EXPECT_EQ(w->Pixels(), c.pixels) << c.what;
    EXPECT_EQ(w->Lines(), c.lines) << c.what;
    EXPECT_EQ(w->WindowOffset(c.g), c.offset) << c.what;
  }
}

TEST(AcquisitionWindow, RecordsThatDescribeNoDocumentAreRefused) {
  EXPECT_FALSE(ComputeAcquisitionWindow(kFront, {1, 832, 0, 2200, 0, 0, false}));         // no lines
  EXPECT_FALSE(ComputeAcquisitionWindow(kFront, {1, 832, 0, 2200, 0, 65535, false}));     // too long
  EXPECT_FALSE(ComputeAcquisitionWindow(kFront, {1, 0, 0, 2200, 0, 10, false}));          // no width
  EXPECT_FALSE(ComputeAcquisitionWindow(kFront, {1, 832, 0, 2200, 65000, 1000, false}));  // beyond 16 bits
  SideGeometry wide = kFront;
  wide.goodPixels = 4000;  // beyond the correction tables
  EXPECT_FALSE(ComputeAcquisitionWindow(wide, {1, 832, 0, 2200, 0, 10, false}));
}

TEST(AcquisitionWindow, WholeWidthLinesStayInsideTheTables) {
  constexpr SideGeometry kKQv8{300, false, 0, 2594, 2594};
  WindowRequest r{33, 2594, 0, 0, 0, 1000, false, 2560};
  auto w = ComputeWholeWidthWindow(kKQv8, r);
  ASSERT_TRUE(w);
  EXPECT_EQ(w->endPixel, 2594);
  // A record claiming the widest line asks for no more than the tables describe, not 65534 pixels a line.
  r.width = 0xFFFF;
  r.lineCount = kMaxDocumentLines;
  w = ComputeWholeWidthWindow(kKQv8, r);
  ASSERT_TRUE(w);
  EXPECT_EQ(w->endPixel, kMaxLinePixels);
  EXPECT_EQ(w->Bytes(), size_t{kMaxLinePixels} * kMaxDocumentLines);
}

TEST(AcquisitionWindow, FullWidthWindowIsCutOnTheHost) {
  constexpr SideGeometry kQv640{300, false, 0, 1296, 1536};
  struct Case {
    const char* what;
    SideGeometry g;
    WindowRequest r;
    int lower, upper, endPixel;
  } cases[] = {
      {"whole document", kQv640, {1, 1001, 0, 0, 7, 900, false}, 0, 1000, 1536},
      // Line start 0 and no bottom bound: the window would begin before the line.
      {"line start 0", kQv640, {0, 1000, 0, 0, 7, 900, false}, 0, 1000, 1536},
      {"bounds of 1 and 2 inches", kQv640, {1, 1000, 254, 508, 0, 10, false}, 300, 600, 1536},
      {"bounds from the far edge", kQv640, {1, 1000, -254, -127, 0, 10, false}, 700, 850, 1536},
      {"top beyond the document", kQv640, {1, 1000, 0, 2200, 0, 10, false}, 0, 1000, 1536},
      {"bottom beyond the document", kQv640, {1, 1000, 2200, 0, 0, 10, false}, 0, 1000, 1536},
      {"width beyond the sensor", kQv640, {1, 60000, 0, 0, 0, 10, false}, 0, 1536, 1536},
      {"start pixel shortens the line",
       {300, false, 100, 1296, 1500},
       {1, 60000, 0, 0, 0, 10, false},
       0,
       1400,
       1536},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto w = ComputeFullWidthWindow(c.g, c.r);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->lower, c.lower);
    EXPECT_EQ(w->upper, c.upper);
    EXPECT_EQ(w->firstPixel, 0);
    EXPECT_EQ(w->endPixel, c.endPixel);
    EXPECT_EQ(w->Lines(), c.r.lineCount);
    EXPECT_EQ(w->Bytes(), static_cast<size_t>(c.endPixel) * static_cast<size_t>(c.r.lineCount));
    // The window lies inside the transferred line.
    EXPECT_LE(w->WindowOffset(c.g) + (w->upper - w->lower), w->Pixels());
  }
  // A top-down sensor keeps the same pixels.
  SideGeometry topDown = kQv640;
  topDown.topDown = true;
  auto w = ComputeFullWidthWindow(topDown, {1, 1000, 254, 508, 0, 10, false});
  ASSERT_TRUE(w);
  EXPECT_EQ(w->WindowOffset(topDown), 300);

  EXPECT_FALSE(ComputeFullWidthWindow(kQv640, {1, 1000, 0, 0, 0, 0, false}));         // no lines
  EXPECT_FALSE(ComputeFullWidthWindow(kQv640, {1, 1, 0, 0, 0, 10, false}));           // no width
  EXPECT_FALSE(ComputeFullWidthWindow(kQv640, {1, 1000, 0, 0, 65000, 1000, false}));  // beyond 16 bits
  EXPECT_FALSE(ComputeFullWidthWindow({300, false, 0, 1296, 4000}, {1, 1000, 0, 0, 0, 10, false}));
  EXPECT_FALSE(ComputeFullWidthWindow({300, false, 0, 1296, 0}, {1, 1000, 0, 0, 0, 10, false}));
}

// Raw line i holds the bytes 10 i and 10 i + 1.
std::vector<uint8_t> RawLines(int lines) {
  std::vector<uint8_t> raw;
  for (int i = 0; i < lines; ++i) {
    raw.push_back(static_cast<uint8_t>(10 * i));
    raw.push_back(static_cast<uint8_t>(10 * i + 1));
  }
  return raw;
}

TEST(ColourLines, PlanesComeFromTheRecordsInTheirOrder) {
  struct Case {
    int mode;
    bool half;
    int lines;
    std::vector<uint8_t> want;  // output lines, concatenated
    int pixels;
    int repeat = 0;
  } cases[] = {
      {1,
       false,
       5,
       {0, 1, 10, 11, 20, 21, 0, 1, 10, 11, 20, 21, 40, 41, 30, 31, 20, 21, 40, 41, 30, 31, 20, 21},
       2},
      {1, true, 5, {0, 10, 20, 40, 30, 20}, 1},
      {2, false, 5, {0, 1, 10, 11, 20, 21, 0, 1, 10, 11, 20, 21}, 2},
      {2, true, 5, {0, 10, 20}, 1},
      // A 300 dpi sensor writes each group three times: ((8 - 2) / 3) x 3 lines.
      {2,
       false,
       8,
       {0,  1,  10, 11, 20, 21, 0,  1,  10, 11, 20, 21, 0,  1,  10, 11, 20, 21,
        30, 31, 40, 41, 50, 51, 30, 31, 40, 41, 50, 51, 30, 31, 40, 41, 50, 51},
       2,
       3},
      {2, false, 4, {}, 0},  // (4 - 2) / 3 groups: none
      {1, false, 4, {}, 0},  // (4 - 1) / 4 groups: none
      {0, false, 5, {}, 0},  // grey is no colour mode
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out;
    ColourLines got = ExpandColourLines(RawLines(c.lines), c.lines, 2, c.mode, c.half, out, c.repeat);
    EXPECT_EQ(out, c.want) << "mode " << c.mode << " half " << c.half << " lines " << c.lines;
    EXPECT_EQ(got.pixels, c.pixels);
    EXPECT_EQ(static_cast<size_t>(got.lines) * 3 * static_cast<size_t>(got.pixels), c.want.size());
  }
  std::vector<uint8_t> out;
  EXPECT_EQ(ExpandColourLines(RawLines(3), 5, 2, 1, false, out).lines, 0);  // data shorter than described
}

TEST(LineEdges, UsablePixelsStayInsideTheTables) {
  std::vector<uint8_t> white(2048, 255);
  std::vector<uint8_t> black(2048, 0);
  EXPECT_EQ(FindLineStart(white, black, 832), 1);
  EXPECT_EQ(FindLineEnd(white, black, 832), 832);
  for (int i = 0; i < 3; ++i) white[static_cast<size_t>(i)] = 64;  // exactly 64 above black: not usable
  for (int i = 828; i < 832; ++i) white[static_cast<size_t>(i)] = 10;
  EXPECT_EQ(FindLineStart(white, black, 832), 4);
  EXPECT_EQ(FindLineEnd(white, black, 832), 828);
  EXPECT_EQ(FindLineStart(white, black, 20), 20);  // fewer than 32 good pixels
  // A good-pixel count beyond the tables searches from the tables' last entry.
  EXPECT_EQ(FindLineEnd(white, black, 65535), 2048);
  std::vector<uint8_t> dark(2048, 0);
  EXPECT_EQ(FindLineStart(dark, black, 832), 32);
  EXPECT_EQ(FindLineEnd(dark, black, 832), 801);
}

}  // namespace
}  // namespace qv6::later
