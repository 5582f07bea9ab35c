// The CMC-7 reader on synthetic gray fronts: every symbol on a clean line, the records it refuses, the
// two-out-of-six decoding, and the repairs of a merged-bar character and of a lightly inked one.
#include "analysis/optical/cmc7_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "testkit/cheque/codeline_cheque.h"
#include "testkit/micr/cmc7_code.h"
#include "testkit/micr/codeline_image.h"

namespace analysis::optical {
namespace {

const std::string kAllSymbols = "0123456789:;<=>";

zc::testkit::GrayImage Front(const std::string& line, const zc::testkit::LineDefects& d = {}) {
  return zc::testkit::MakeCodeLineGray(zc::testkit::ChequeSpec{300, 8.5, 3.67, 4}, line,
                                       zc::testkit::LineFont::kCmc7, d);
}

std::string Read(const zc::testkit::GrayImage& g, std::string* confidence = nullptr) {
  const auto record = zc::testkit::GrayRecord(g, 300);
  char line[80], conf[80];
  EXPECT_EQ(funcOcrReadCodeLine(record.data(), record.size(), line, conf, sizeof line), 0);
  if (confidence != nullptr) *confidence = conf;
  return line;
}

TEST(Cmc7Reader, CleanLineReadsEverySymbolWithFullConfidence) {
  const std::string printed = kAllSymbols + " " + kAllSymbols;
  std::string conf;
  EXPECT_EQ(Read(Front(printed), &conf), printed);
  EXPECT_EQ(conf, std::string(15, '4') + "3" + std::string(15, '4'));
}

std::vector<uint8_t> Record(int width, int height, int bits, size_t bytes) {
  std::vector<uint8_t> r(8 + bytes, 0xFF);
  const int16_t h[4] = {static_cast<int16_t>(width), static_cast<int16_t>(height), static_cast<int16_t>(bits), 300};
  for (int i = 0; i < 4; ++i) r[2 * i] = static_cast<uint8_t>(h[i] & 0xFF), r[2 * i + 1] = static_cast<uint8_t>(h[i] >> 8);
  return r;
}

struct Refused {
  const char* name;
  std::vector<uint8_t> record;
};
void PrintTo(const Refused& r, std::ostream* os) { *os << r.name; }
class Cmc7Refusal : public ::testing::TestWithParam<Refused> {};

TEST_P(Cmc7Refusal, FindsNothing) {
  const auto& r = GetParam().record;
  EXPECT_EQ(funcOcrFindCharacters(r.data(), r.size()), 0);
  char line[80] = "x", conf[80] = "x";
  funcOcrReadCodeLine(r.data(), r.size(), line, conf, sizeof line);
  EXPECT_STREQ(line, "");
}

INSTANTIATE_TEST_SUITE_P(Records, Cmc7Refusal,
                         ::testing::Values(Refused{"width225", Record(225, 600, 8, 225 * 600)},
                                           Refused{"oneBit300dpi", Record(2550, 1100, 1, 319 * 1100)},
                                           Refused{"fourBit300dpi", Record(2550, 1100, 4, 1275 * 1100)},
                                           Refused{"rowsPastBuffer", Record(2550, 1100, 8, 2550 * 1000)}),
                         [](const auto& info) { return std::string(info.param.name); });

// Distances between seven peaks: two long ones (5..7) name the symbol.
TEST(Cmc7Reader, ClassifiesByTheTwoLongDistances) {
  OcrCharRecord& r = OcrCharRecords[0];
  r = OcrCharRecord{};
  r.iPeaks = {3, 3, 6, 6, 3, 3, 0, 0};
  r.gaps = {1, 1, 4, 4, 1, 1, 0, 0};
  EXPECT_EQ(funcOcrClassify(0, 0), 1);
  EXPECT_EQ(r.cChar, '0');
  EXPECT_EQ(r.second, '0');

  r = OcrCharRecord{};
  r.Mask = kMaskSevenPeaks;
  r.iPeaks = {3, 3, 3, 3, 3, 3, 0, 0};
  EXPECT_EQ(funcOcrClassify(0, 0), 0);
  EXPECT_EQ(r.cChar, '@');
  EXPECT_EQ(r.Mask & kMaskSevenPeaks, kMaskSevenPeaks);

  r = OcrCharRecord{};
  r.iPeaks = {6, 3, 3, 3, 3, 6, 0, 0};  // 33: S1
  funcOcrClassify(0, 0);
  EXPECT_EQ(r.cChar, ':');
  r = OcrCharRecord{};
  r.iPeaks = {6, 6, 3, 3, 3, 3, 0, 0};  // 48: '7'
  funcOcrClassify(0, 0);
  EXPECT_EQ(r.cChar, '7');
  r = OcrCharRecord{};
  r.iPeaks = {6, 3, 3, 3, 3, 9, 0, 0};  // a distance of 8 or more voids the code
  funcOcrClassify(0, 0);
  EXPECT_EQ(r.cChar, '@');
}

TEST(Cmc7Reader, ConfidenceDigitsFollowTheFeatureBits) {
  OcrCharRecord r;
  r.cChar = '5';
  const std::pair<int, char> table[] = {{31, '4'}, {29, '3'}, {27, '3'}, {25, '2'}, {16, '1'}, {9, '2'}, {0, '1'}};
  for (const auto& [mask, digit] : table) {
    r.Mask = mask;
    EXPECT_EQ(OcrConfidenceDigit(r), digit) << mask;
  }
  r.cChar = '@';
  r.Mask = 31;
  EXPECT_EQ(OcrConfidenceDigit(r), '0');
}

// Darkens the column between bars 0 and 1 of character `index` of `line` over `rows` of its rows, as if the
// two bars ran together there.
void MergeBars(zc::testkit::GrayImage& g, const std::string& line, size_t index, int rows) {
  const micrkit::LinePlacement at = micrkit::PlaceLine(g.width, g.height, 300);
  const double pitch = 37.5;
  const double cellRight = at.rightEdge - static_cast<double>(line.size() - 1 - index) * pitch;
  const int x0 = static_cast<int>(std::round(cellRight - pitch + 0.15 * pitch));
  // The symbol's first gap is short: the bars lie 3 columns apart and x0 + 2 is the light one between.
  for (int y = at.bottom - rows; y < at.bottom; ++y) g.pixels[static_cast<size_t>(y) * g.width + x0 + 2] = 40;
}

TEST(Cmc7Reader, BarsJoinedOverPartOfTheirHeightStillRead) {
  const std::string printed = "0123456789";
  zc::testkit::GrayImage g = Front(printed);
  MergeBars(g, printed, 5, 18);
  std::string conf;
  EXPECT_EQ(Read(g, &conf), printed);
  EXPECT_EQ(conf, std::string(10, '4'));
}

// Two bars run together over their whole height leave six bars: whatever the six read as, the character
// is not trusted (below '2'), so the merge never takes it.
TEST(Cmc7Reader, FullyMergedBarsAreNotTrusted) {
  const std::string printed = "0123456789";
  zc::testkit::GrayImage g = Front(printed);
  MergeBars(g, printed, 5, 36);
  std::string conf;
  const std::string read = Read(g, &conf);
  ASSERT_EQ(read.size(), printed.size());
  EXPECT_EQ(read.substr(0, 5) + read.substr(6), "012346789");
  EXPECT_LT(conf[5], '2');
}

TEST(Cmc7Reader, LightInkIsNotReadAtTheDarkThreshold) {
  const std::string printed = "0123456789";
  zc::testkit::LineDefects light;
  light.inkLevel = 115;
  // The light line alone: nothing is dark at 96, so there is no band.
  EXPECT_EQ(Read(Front(printed, light)), "");

  // One wholly light character among dark ones makes no candidate at 96, and the lighter second pass
  // re-reads only inside runs of weak characters: its place reads as a gap, never as another symbol.
  zc::testkit::GrayImage g = Front(printed);
  const micrkit::LinePlacement at = micrkit::PlaceLine(g.width, g.height, 300);
  const int cellRight = static_cast<int>(at.rightEdge - 4 * 37.5);
  for (int y = at.bottom - 40; y < at.bottom; ++y) {
    for (int x = cellRight - 38; x < cellRight; ++x) {
      uint8_t& p = g.pixels[static_cast<size_t>(y) * g.width + x];
      if (p < 96) p = 115;
    }
  }
  EXPECT_EQ(Read(g), "01234 6789");
}

}  // namespace
}  // namespace analysis::optical
