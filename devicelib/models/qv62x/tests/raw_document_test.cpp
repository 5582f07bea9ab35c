// The QV62x raw document: counts and sizes, the host jam check over synthetic raw data, and the
// extraction of one side's lines.
#include "qv6/qv62x/raw_document.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv6::qv62x {
namespace {

constexpr uint8_t kTrack = 10;
constexpr uint8_t kPaper = 200;
constexpr int kPixels = 64;

// A raw document of empty track with paper on the document lines of both sides (rear D lines later).
struct Synthetic {
  RawDocument raw;
  std::vector<uint8_t> thresholds = std::vector<uint8_t>(kPixels, 25);

  Synthetic(uint64_t lines, uint64_t trailing, bool colour = false) {
    raw.counts = {kPixels, 6, 4, lines, trailing};
    raw.bytes.assign(raw.counts.BufferBytes(), kTrack);
    raw.read = true;
    (void)colour;
    for (int side = 0; side < 2; ++side) PaintSide(side, 0, lines, kPaper);
  }
  void PaintSide(int side, uint64_t from, uint64_t to, uint8_t value) {
    const uint64_t first = FirstLine(raw.counts, side == 1);
    for (uint64_t line = first + from; line < first + to && line < raw.counts.TotalLines(); ++line) {
      for (uint64_t p = 0; p < kPixels; ++p) raw.bytes[2 * (line * kPixels + p) + side] = value;
    }
  }
  void PaintLine(uint64_t line, uint8_t value) {
    for (uint64_t p = 0; p < 2 * kPixels; ++p) raw.bytes[2 * line * kPixels + p] = value;
  }
  JamSide Side(bool later) const {
    JamSide s;
    s.lineStart = 1;
    s.lineEnd = kPixels;
    s.later = later;
    for (auto& t : s.thresholds) t = thresholds;
    return s;
  }
  JamResult Check(int mode, JamReason* reason) const {
    return CheckJam(raw, mode, 8, 4, 10, Side(false), Side(true), reason);
  }
};

struct JamCase {
  const char* name;
  int mode;
  uint64_t lines;
  uint64_t trailing;
  int scenario;  // 0 clean, 1 no paper from the entry line, 2 paper in the exit window
  JamResult result;
  JamReason reason;
};

class JamTable : public ::testing::TestWithParam<JamCase> {};

TEST_P(JamTable, ResultAndReason) {
  const JamCase& c = GetParam();
  Synthetic s(c.lines, c.trailing);
  const uint64_t entry = c.mode == 0 ? 60 : 90;  // colour line 30
  if (c.scenario == 1) {
    for (int side = 0; side < 2; ++side) s.PaintSide(side, entry, c.lines, kTrack);
  }
  // The exit test looks at 8 lines 4 apart (colour: colour lines 2 apart) before the end; the third of them.
  if (c.scenario == 2) s.PaintLine(s.raw.counts.TotalLines() - (c.mode == 0 ? 32 - 8 : 48 - 12), kPaper);
  JamReason reason = JamReason::kNone;
  EXPECT_EQ(s.Check(c.mode, &reason), c.result);
  EXPECT_EQ(reason, c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JamTable,
    ::testing::Values(
        JamCase{"GreyClean", 0, 100, 40, 0, JamResult::kClear, JamReason::kNone},
        JamCase{"GreyTooFewTrailingLines", 0, 100, 31, 0, JamResult::kNotEnoughData, JamReason::kNone},
        JamCase{"GreyNoTrailingLines", 0, 100, 0, 0, JamResult::kNotEnoughData, JamReason::kNone},
        JamCase{"GreyNotEntered", 0, 100, 40, 1, JamResult::kJam, JamReason::kNotEntered},
        JamCase{"GreyShortDocumentTestedFromItsStart", 0, 60, 40, 0, JamResult::kClear, JamReason::kNone},
        JamCase{"GreyNotExited", 0, 100, 40, 2, JamResult::kJam, JamReason::kNotExited},
        JamCase{"ColourClean", 1, 300, 48, 0, JamResult::kClear, JamReason::kNone},
        JamCase{"ColourTooFewTrailingLines", 1, 300, 45, 0, JamResult::kNotEnoughData, JamReason::kNone},
        JamCase{"ColourNotEntered", 1, 300, 48, 1, JamResult::kJam, JamReason::kNotEntered},
        JamCase{"ColourNotExited", 1, 300, 48, 2, JamResult::kJam, JamReason::kNotExited}),
    [](const ::testing::TestParamInfo<JamCase>& info) { return std::string(info.param.name); });

TEST(CheckJam, WindowsWiderThanTheLineStayInsideIt) {
  // A front window from the front's larger good-pixel count never reads past the P pixels of a line.
  Synthetic s(100, 40);
  JamSide front = s.Side(false);
  front.lineEnd = 4000;
  std::vector<uint8_t> wide(4000, 25);
  for (auto& t : front.thresholds) t = wide;
  s.raw.bytes.resize(s.raw.counts.Bytes());  // no slack behind the data
  EXPECT_EQ(CheckJam(s.raw, 0, 8, 4, 10, front, s.Side(true)), JamResult::kClear);
}

TEST(CheckJam, UnreadOrShortDataIsNotJudged) {
  Synthetic s(100, 40);
  s.raw.read = false;
  EXPECT_EQ(s.Check(0, nullptr), JamResult::kNotEnoughData);
  s.raw.read = true;
  s.raw.bytes.resize(10);
  EXPECT_EQ(s.Check(0, nullptr), JamResult::kNotEnoughData);
}

TEST(RawCounts, SizesUseSixtyFourBitsAndTheReadRounding) {
  // 16-bit counts whose 32-bit product would wrap past the limit are refused.
  RawCounts huge{65535, 65535, 65535, 65535, 65535};
  EXPECT_FALSE(huge.Acceptable());
  EXPECT_EQ(huge.Pairs(), uint64_t{65535} * (4 * uint64_t{65535}));
  RawCounts most{0x400000 - 255, 0, 0, 1, 0};
  EXPECT_TRUE(most.Acceptable());
  EXPECT_EQ(most.Bytes(), 0x7FFE02u);
  EXPECT_EQ(most.BufferBytes(), 0x800000u) << "room for the 512-byte rounded read";
  EXPECT_FALSE((RawCounts{0x400000 - 254, 0, 0, 1, 0}.Acceptable()));
  EXPECT_FALSE((RawCounts{864, 0, 0, 0, 0}.Acceptable()));
}

TEST(ExtractSide, TakesEachSidesLinesFromItsFirstLineAndDoublesColourLines) {
  Synthetic s(6, 40);
  // Mark the first document line of each side.
  s.PaintSide(0, 0, 1, 1);
  s.PaintSide(1, 0, 1, 2);
  int lines = 0;
  std::vector<uint8_t> front = ExtractSide(s.raw, 0, 0, false, &lines);
  ASSERT_EQ(lines, 6);
  EXPECT_EQ(front[0], 1);
  EXPECT_EQ(front[kPixels], kPaper);
  std::vector<uint8_t> rear = ExtractSide(s.raw, 1, 0, true, &lines);
  EXPECT_EQ(rear[0], 2);
  std::vector<uint8_t> colour = ExtractSide(s.raw, 1, 1, true, &lines);
  ASSERT_EQ(lines, 4) << "two colour lines, each stored twice";
  EXPECT_EQ(colour[0], 2);             // red plane of colour line 0
  EXPECT_EQ(colour[3 * kPixels], 2);   // its copy
  EXPECT_EQ(colour[kPixels], kPaper);  // green plane from the next raw line
  // Lines beyond the data give nothing.
  s.raw.counts.distance = 1000;
  EXPECT_TRUE(ExtractSide(s.raw, 1, 0, true, &lines).empty());
}

}  // namespace
}  // namespace qv6::qv62x
