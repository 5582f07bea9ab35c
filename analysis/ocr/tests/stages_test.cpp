// The reader's stages on hand-made working images and box tables: the kit's glyphs against the structural
// tests and the templates, despeckling and the band, box growing, merging, dropping, trimming, symbol
// repair and the written line.
#include <algorithm>
#include <cstring>
#include <ostream>
#include <vector>
#include <string>

#include "analysis/ocr/tests/ocr_fixture.h"
#include "testkit/micr/codeline_image.h"
#include "testkit/micr/e13b_glyphs.h"

namespace analysis::ocr::test {
namespace {

// One glyph of the kit drawn at 200 dpi into the working image; its ink's bounds.
OCRCharBox DrawGlyph200(char symbol) {
  const std::string line(1, symbol);
  micrkit::DrawE13bLine(line, 200, micrkit::LinePlacement{100, 80}, [](int x, int y, int coverage) {
    if (coverage >= 128) OcrTest::SetPixel(x, y);
  });
  OCRCharBox box{0, 1000, 1000, -1, -1, 0};
  for (int y = 0; y < OCRWorkImage.height; ++y) {
    for (int x = 0; x < OCRWorkImage.width; ++x) {
      if (!Ink(x, y)) continue;
      box.left = std::min(box.left, x), box.right = std::max(box.right, x);
      box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
    }
  }
  return box;
}

// One glyph of the kit drawn at 200 dpi into a white working image; its box found by the segmenter.
class GlyphTest : public OcrTest, public ::testing::WithParamInterface<char> {
 protected:
  void DrawGlyph(char symbol, int shiftX = 0) {
    Blank(200, 100);
    const std::string line(1, symbol);
    micrkit::DrawE13bLine(line, 200, micrkit::LinePlacement{100 + shiftX, 80}, [](int x, int y, int coverage) {
      if (coverage >= 128) Set(x, y);
    });
  }
};

TEST_P(GlyphTest, ReadsAsItself) {
  const char symbol = GetParam();
  DrawGlyph(symbol);
  // The symbols are made of separate strokes; their box is the ink's bounds, as the segmenter's side
  // windows give it.
  OCRCharBox box{0, 1000, 1000, -1, -1, 0};
  for (int y = 0; y < OCRWorkImage.height; ++y) {
    for (int x = 0; x < OCRWorkImage.width; ++x) {
      if (!Ink(x, y)) continue;
      box.left = std::min(box.left, x), box.right = std::max(box.right, x);
      box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
    }
  }
  Table({box});
  // Each digit passes its own structural test and no other.
  for (int d = 0; d < 10; ++d) EXPECT_EQ(StructuralTest(d, box), d == symbol - '0') << "test " << d;
  OCRCharBox matched = box;
  funcOCRMatchTemplates(matched);
  EXPECT_EQ(matched.ch, symbol);
  EXPECT_GE(matched.confidence, 2);
  funcOCRClassifyDigits();
  EXPECT_EQ(OCRBoxTable.boxes[0].ch, symbol);
}

INSTANTIATE_TEST_SUITE_P(E13b, GlyphTest, ::testing::Values('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ':', ';', '<', '='),
                         [](const auto& info) {
                           const char c = info.param;
                           if (c >= '0' && c <= '9') return std::string("digit") + c;
                           return std::string(c == ':' ? "transit" : c == ';' ? "amount" : c == '<' ? "onUs" : "dash");
                         });

// Despeckling runs top-down in place: a one-pixel vertical line loses its top pixel, then the next...
TEST_F(OcrTest, DespeckleEatsAThinVerticalLineFromTheTop) {
  Blank(100, 100);
  Fill(50, 10, 50, 60);
  Fill(70, 10, 71, 60);
  funcOCRDespeckle(0);
  EXPECT_TRUE(Ink(50, 10));  // with the pixel below also required white, nothing goes
  funcOCRDespeckle(1);
  for (int y = 10; y <= 60; ++y) ASSERT_FALSE(Ink(50, y)) << y;
  EXPECT_TRUE(Ink(70, 10));  // two pixels wide: each has an ink neighbour
  EXPECT_TRUE(Ink(71, 60));
}

struct BandCase {
  const char* name;
  int first, end, height;
  int rowsFirst, rowsLast;
};
void PrintTo(const BandCase& b, std::ostream* os) { *os << b.name; }
class BandRule : public OcrTest, public ::testing::WithParamInterface<BandCase> {};

TEST_P(BandRule, ScannedRows) {
  const BandCase& b = GetParam();
  Blank(64, b.height);
  funcSetOCRBand(b.first, b.end);
  const BandRows rows = ScanRows();
  EXPECT_EQ(rows.first, b.rowsFirst);
  EXPECT_EQ(rows.last, b.rowsLast);
}

INSTANTIATE_TEST_SUITE_P(Bands, BandRule,
                         ::testing::Values(BandCase{"defaultHalfInch", 0, 0, 600, 500, 600},
                                           BandCase{"last120Rows", -120, 0, 600, 480, 600},
                                           BandCase{"pastTheImage", 100, 5000, 600, 100, 600},
                                           BandCase{"shortImage", 0, 0, 60, 0, 60}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Blob {
  const char* name;
  int left, width, height;
  int accepted;
};
void PrintTo(const Blob& b, std::ostream* os) { *os << b.name; }
class GrowBox : public OcrTest, public ::testing::WithParamInterface<Blob> {};

TEST_P(GrowBox, AcceptsCharacterSizedBlobsOnly) {
  const Blob& b = GetParam();
  Blank(300, 100);
  Fill(b.left, 40, b.left + b.width - 1, 40 + b.height - 1);
  EXPECT_EQ(funcOCRGrowBox(b.left + 2, 50, 24), b.accepted);
  EXPECT_EQ(OCRBoxTable.count, b.accepted);
}

INSTANTIATE_TEST_SUITE_P(Blobs, GrowBox,
                         ::testing::Values(Blob{"character", 100, 15, 24, 1}, Blob{"twelveRowsHigh", 100, 10, 12, 0},
                                           Blob{"twentySixWide", 100, 27, 24, 0},
                                           Blob{"nearTheLeftBorder", 20, 15, 24, 0},
                                           Blob{"nearTheRightBorder", 265, 15, 24, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OcrTest, OverlappingConfidentBoxesStayTwoOnlyWithTheWiderRule) {
  for (const int rules : {0, 1}) {
    services.params[142] = rules;
    Table({Box('3', 100, 50, 118, 74, 2), Box('5', 110, 50, 123, 74, 2)});  // 8 pixels of overlap
    funcOCRMergeBoxes();
    EXPECT_EQ(Chars(), rules != 0 ? "35" : "3") << rules;
  }
}

struct BlankUnion {
  const char* name;
  int secondLeft, secondRight;
  std::vector<std::pair<int, int>> spans;
};
void PrintTo(const BlankUnion& b, std::ostream* os) { *os << b.name; }
class MergeBlanks : public OcrTest, public ::testing::WithParamInterface<BlankUnion> {};

TEST_P(MergeBlanks, UnionOfTwoBlanks) {
  const BlankUnion& b = GetParam();
  Table({Box(' ', 100, 50, 120, 74, 2), Box(' ', b.secondLeft, 50, b.secondRight, 74, 2)});
  funcOCRMergeBoxes();
  ASSERT_EQ(OCRBoxTable.count, static_cast<int>(b.spans.size()));
  for (size_t i = 0; i < b.spans.size(); ++i) {
    EXPECT_EQ(OCRBoxTable.boxes[i].left, b.spans[i].first);
    EXPECT_EQ(OCRBoxTable.boxes[i].right, b.spans[i].second);
  }
}

INSTANTIATE_TEST_SUITE_P(Blanks, MergeBlanks,
                         ::testing::Values(BlankUnion{"span22", 110, 122, {{100, 122}}},
                                           BlankUnion{"span27", 110, 127, {{100, 120}}},
                                           BlankUnion{"span34", 110, 134, {{100, 120}, {125, 134}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OcrTest, EmptyTablesStayEmpty) {
  funcOCRMergeBoxes();
  funcOCRDropOffLineBoxes();
  EXPECT_EQ(OCRBoxTable.count, 0);
  // A trailing blank is dropped, not emitted as a stale box.
  Table({Box('1', 100, 50, 109, 74, 4), Box('2', 125, 50, 135, 74, 4), Box(' ', 150, 50, 170, 74, 2)});
  funcOCRDropOffLineBoxes();
  EXPECT_EQ(Chars(), "12");
}

TEST_F(OcrTest, BoxOffTheLineIsDroppedUnlessFarFromTheNext) {
  for (const int nextLeft : {150, 180}) {
    Table({Box('1', 50, 50, 59, 74, 4), Box('0', 75, 50, 90, 74, 4), Box('2', 100, 10, 115, 34, 4),
           Box('3', nextLeft, 50, nextLeft + 12, 74, 4)});
    funcOCRDropOffLineBoxes();
    EXPECT_EQ(Chars(), nextLeft == 150 ? "103" : "1023") << nextLeft;
  }
}

struct LineCase {
  const char* name;
  std::string chars;  // one box per character, 25 pixels apart, confidence 4 ('@' 0)
  std::string expected;
};
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
class SymbolRepair : public OcrTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SymbolRepair, RestoresThePartner) {
  Blank(1700, 100);
  OCRBoxTable = BoxTable{};
  int x = 100;
  for (const char c : GetParam().chars) {
    OCRBoxTable.boxes[static_cast<size_t>(OCRBoxTable.count++)] = Box(c, x, 50, x + 15, 74, c == '@' ? 0 : 4);
    x += 25;
  }
  funcOCRRepairSymbols();
  EXPECT_EQ(Chars(), GetParam().expected);
  for (int i = 0; i < OCRBoxTable.count; ++i) {
    if (Chars()[static_cast<size_t>(i)] != GetParam().chars[std::min<size_t>(i, GetParam().chars.size() - 1)] ||
        i >= static_cast<int>(GetParam().chars.size())) {
      EXPECT_EQ(OCRBoxTable.boxes[static_cast<size_t>(i)].confidence, 2);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, SymbolRepair,
                         ::testing::Values(LineCase{"transitBefore", "@123456789:", ":123456789:"},
                                           LineCase{"transitAppended", ":123456789", ":123456789:"},
                                           LineCase{"amountAfter", ";0123456789@", ";0123456789;"},
                                           LineCase{"pairLeftAlone", ":123456789:", ":123456789:"},
                                           LineCase{"tooFewDigits", "@12345678:", "@12345678:"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OcrTest, TransitAppendedTwentyFivePixelsRight) {
  Blank(1700, 100);
  Table({Box(':', 100, 50, 119, 74, 4)});
  for (int i = 1; i <= 9; ++i) OCRBoxTable.boxes[static_cast<size_t>(OCRBoxTable.count++)] = Box('1', 100 + 25 * i, 50, 109 + 25 * i, 74, 4);
  funcOCRRepairSymbols();
  ASSERT_EQ(OCRBoxTable.count, 11);
  EXPECT_EQ(OCRBoxTable.boxes[10].left, OCRBoxTable.boxes[9].left + 25);
  EXPECT_EQ(OCRBoxTable.boxes[10].right, OCRBoxTable.boxes[9].right + 25);
}

TEST_F(OcrTest, TrailingNoiseTrimmedButNotTheAmountSymbol) {
  Blank(1000, 100);
  Table({Box('1', 100, 50, 109, 74, 4), Box('2', 125, 50, 135, 74, 4), Box('7', 930, 50, 943, 74, 1)});
  funcOCRTrimEnds();
  EXPECT_EQ(Chars(), "12");
  Table({Box('1', 100, 50, 109, 74, 4), Box('2', 125, 50, 135, 74, 4), Box(';', 930, 50, 949, 74, 1)});
  funcOCRTrimEnds();
  EXPECT_EQ(Chars(), "12;");
  Table({Box('@', 10, 50, 29, 74, 0), Box('1', 100, 50, 109, 74, 4), Box('@', 125, 50, 135, 74, 0)});
  funcOCRTrimEnds();
  EXPECT_EQ(Chars(), " 1");
}

TEST_F(OcrTest, WrittenLineMarksGapsAndKeepsRightEdges) {
  Blank(1000, 100);
  Table({Box('1', 100, 50, 110, 74, 4), Box('2', 170, 50, 180, 74, 3)});  // 60 pixels apart
  char line[128], conf[128];
  funcOCRWriteResult(line, conf);
  EXPECT_STREQ(line, "1@@2");
  EXPECT_STREQ(conf, "4003");
  EXPECT_EQ(OCRCharRightEdges[0], 110);
  EXPECT_EQ(OCRCharRightEdges[1], 110);
  EXPECT_EQ(OCRCharRightEdges[2], 110);
  EXPECT_EQ(OCRCharRightEdges[3], 180);
}

TEST_F(OcrTest, WrittenLineHoldsAtMost127Characters) {
  Blank(8000, 100);
  OCRBoxTable = BoxTable{};
  for (int i = 0; i < 200; ++i) OCRBoxTable.boxes[static_cast<size_t>(OCRBoxTable.count++)] = Box('5', 30 * i, 50, 30 * i + 12, 74, 4);
  char line[128], conf[128];
  funcOCRWriteResult(line, conf);
  EXPECT_EQ(std::strlen(line), 127u);
  EXPECT_EQ(std::strlen(conf), 127u);
}

TEST_F(OcrTest, LowWideBlobIsADash) {
  Blank(300, 100);
  Fill(100, 50, 117, 61);
  OCRCharBox box = Box(0, 100, 44, 117, 67, 0);
  funcOCRMatchTemplates(box);
  EXPECT_EQ(box.ch, '=');
  EXPECT_EQ(box.confidence, 2);
  EXPECT_EQ(OCRBestX, 100);
  EXPECT_EQ(OCRBestY, 55 - 12);
}

TEST_F(OcrTest, TallBoxGoesToTheTemplates) {
  Blank(200, 100);
  const OCRCharBox glyphBox = DrawGlyph200('1');
  // Stretch the box to 30 rows: no structural test runs, the template still reads the '1'.
  Table({Box(0, glyphBox.left, glyphBox.bottom - 30, glyphBox.right, glyphBox.bottom, 0)});
  funcOCRClassifyDigits();
  EXPECT_EQ(OCRBoxTable.boxes[0].ch, '1');
  EXPECT_LE(OCRBoxTable.boxes[0].confidence, 3);
}

TEST_F(OcrTest, DiagnosticTracesListBoxesAndTheLine) {
  Blank(1000, 100);
  Table({Box('1', 100, 50, 109, 74, 4), Box('@', 125, 50, 135, 74, 0)});
  funcOCRDumpBoxes();
  funcOCRLogResult();
  ASSERT_EQ(services.apiLog.size(), 4u);
  EXPECT_EQ(services.apiLog[0], "1 (31) Confidence 4, Area 100, 50,109, 74");
  EXPECT_EQ(services.apiLog[1], "@ (40) Confidence 0, Area 125, 50,135, 74");
  EXPECT_EQ(services.apiLog[2], "1@");
  EXPECT_EQ(services.apiLog[3], "40");
}

}  // namespace
}  // namespace analysis::ocr::test
