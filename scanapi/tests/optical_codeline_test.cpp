// The code-line strip, the optical readers with a scripted analysis subsystem, the final formatting and the
// reject test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/dib_convert.h"
#include "imaging/image_record.h"
#include "scripted_analysis.h"
#include "zarn/optical_codeline.h"
#include "zarn/params.h"
#include "zarn/status.h"
#include "scratch_device_file.h"

namespace zarn {
namespace {

using zc::imaging::RecordHeader;

std::vector<uint8_t> Record(int w, int h, int bits, int dpi, const std::vector<uint8_t>& px) {
  const RecordHeader hd{w, h, bits, dpi};
  std::vector<uint8_t> r(static_cast<size_t>(zc::imaging::RecordByteSize(hd)), 0);
  zc::imaging::WriteRecordHeader(r.data(), hd);
  std::copy(px.begin(), px.end(), r.begin() + 8);
  return r;
}

// A strip written as text rows of '#' (black) and '.', only the rows that hold black pixels, keyed by row.
std::vector<std::string> Draw(const std::vector<uint8_t>& strip) {
  std::vector<std::string> rows;
  if (strip.size() < 8) return rows;
  const RecordHeader h = zc::imaging::ReadRecordHeader(strip.data());
  const size_t rowBytes = static_cast<size_t>((h.width + 7) / 8);
  for (int y = 0; y < h.height; ++y) {
    std::string s = std::to_string(y) + ":";
    bool any = false;
    for (int x = 0; x < h.width; ++x) {
      const bool black = (strip[8 + y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
      any |= black;
      s += black ? '#' : '.';
    }
    if (any) rows.push_back(s);
  }
  return rows;
}

TEST(CodeLineStripTest, EightBitBottomRowsOfAShortImage) {
  // 5 x 3 at 200 dpi: the three rows land on strip rows 157..159, the rows above stay white.
  const auto r = Record(5, 3, 8, 200, {0, 95, 96, 200, 0, 255, 255, 255, 255, 255, 10, 255, 10, 255, 95});
  const auto strip = BuildGrayStrip(r, 96);
  const RecordHeader h = zc::imaging::ReadRecordHeader(strip.data());
  EXPECT_EQ(h.width, 5);
  EXPECT_EQ(h.height, 160);
  EXPECT_EQ(h.bits, 1);
  EXPECT_EQ(h.dpi, 200);
  EXPECT_EQ(Draw(strip), (std::vector<std::string>{"157:##..#", "159:#.#.#"}));
}

TEST(CodeLineStripTest, FourBitNibblesUseTheThresholdAndItsSixteenth) {
  // T 96, T4 6: left nibble black when (byte & 0xF0) < 96, right nibble when < 6.
  const auto r = Record(4, 1, 4, 200, {0x5F, 0x65});
  EXPECT_EQ(Draw(BuildGrayStrip(r, 96)), (std::vector<std::string>{"159:#..#"}));
}

TEST(CodeLineStripTest, HundredDpiRowsAndPixelsAreDoubled) {
  const auto r = Record(3, 2, 8, 100, {0, 255, 0, 255, 0, 255});
  const auto strip = BuildGrayStrip(r, 96);
  EXPECT_EQ(zc::imaging::ReadRecordHeader(strip.data()).width, 6);
  EXPECT_EQ(Draw(strip), (std::vector<std::string>{"156:##..##", "157:##..##", "158:..##..", "159:..##.."}));
}

TEST(CodeLineStripTest, DibRowsAreReadBottomUpWithTheCallersStride) {
  // Two DIB rows of 3 pixels, 8 bytes apart; the padding is black to show it is never read.
  std::vector<uint8_t> rows = {0, 255, 255, 0, 0, 0, 0, 0,  // DIB row 0: the image's bottom row
                               255, 0, 255, 0, 0, 0, 0, 0};
  const auto strip = BuildGrayRowsStrip(std::span<const uint8_t>(rows).first(11), 3, 2, 8, 8, 200, 96);
  EXPECT_EQ(Draw(strip), (std::vector<std::string>{"158:.#.", "159:#.."}));
  EXPECT_TRUE(BuildGrayRowsStrip(std::span<const uint8_t>(rows).first(10), 3, 2, 8, 8, 200, 96).empty());
}

TEST(CodeLineStripTest, OtherDepthsAndResolutionsGiveWhiteStrips) {
  EXPECT_TRUE(Draw(BuildGrayStrip(Record(4, 2, 8, 300, {0, 0, 0, 0, 0, 0, 0, 0}), 96)).empty());
  EXPECT_TRUE(Draw(BuildGrayStrip(Record(2, 1, 24, 200, {0, 0, 0, 0, 0, 0}), 96)).empty());
  EXPECT_TRUE(BuildGrayStrip(Record(0, 2, 8, 200, {}), 96).empty());
}

// Records the strips the optical reader is handed.
class RecordingAnalysis : public testing::ScriptedAnalysis {
 public:
  int OcrRawImage(const uint8_t* record, size_t recordSize, char* line, char* confidence, size_t room) override {
    strips.emplace_back(record, record + recordSize);
    return ScriptedAnalysis::OcrRawImage(record, recordSize, line, confidence, room);
  }
  std::vector<std::vector<uint8_t>> strips;
};

class OpticalReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallAnalysisServices(&analysis_); }
  testing::ScratchDeviceFile deviceFile_;
  void TearDown() override {
    InstallAnalysisServices(nullptr);
    zc::imaging::SetDibCodeLineReaders(nullptr);
    ResetParamsForTests();
  }
  RecordingAnalysis analysis_;
};

TEST_F(OpticalReaderTest, SuccessfulReadingIsMergedIntoTheCodeLine) {
  analysis_.ocrLine = "1234";
  analysis_.ocrConfidence = "9999";
  analysis_.combined = "1234 merged";
  char line[32] = "12@4";
  funcTableSetParam(118, 96);  // "MICR Gray Threshold"
  const auto r = Record(4, 2, 8, 200, {0, 100, 95, 96, 0, 0, 0, 0});
  EXPECT_EQ(funcOCRMICRFromGrayImage(r, line, sizeof line), 0);
  EXPECT_STREQ(line, "1234 merged");
  ASSERT_EQ(analysis_.strips.size(), 1u);
  EXPECT_EQ(Draw(analysis_.strips[0]), (std::vector<std::string>{"158:#.#.", "159:####"}));
  const auto calls = analysis_.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "combine 12@4 1234 -4"), calls.end());
}

TEST_F(OpticalReaderTest, FailedReadingLeavesTheLineAndReturnsTheReadersResult) {
  analysis_.ocrResult = 6;
  char line[32] = "12@4";
  EXPECT_EQ(funcOCRMICRFromGrayImage(Record(4, 2, 8, 300, std::vector<uint8_t>(8)), line, sizeof line), 6);
  EXPECT_STREQ(line, "12@4");
  ASSERT_EQ(analysis_.strips.size(), 1u);
  EXPECT_TRUE(Draw(analysis_.strips[0]).empty());  // a 300-dpi record gives an empty strip
  EXPECT_EQ(funcOCRMICRFromGrayImage(Record(0, 2, 8, 200, {}), line, sizeof line), kBadParameter);
  EXPECT_EQ(analysis_.strips.size(), 1u);  // no strip, no reading
}

TEST_F(OpticalReaderTest, ExtendedReaderHandsOutItsLines) {
  analysis_.ocrLine = "55";
  analysis_.ocrConfidence = "97";
  analysis_.combined = "55x";
  char line[16] = "5@";
  char optical[8], confidence[8], merged[8];
  int done = 7;
  EXPECT_EQ(funcOCRMICRFromGrayImageEx(Record(2, 1, 8, 200, {0, 0}), line, sizeof line, optical, confidence, merged,
                                       sizeof optical, 200, &done),
            0);
  EXPECT_EQ(done, 0);
  EXPECT_STREQ(optical, "55");
  EXPECT_STREQ(confidence, "97");
  EXPECT_STREQ(merged, "55x");
  EXPECT_EQ(Draw(analysis_.strips[0]), (std::vector<std::string>{"159:##"}));
}

TEST_F(OpticalReaderTest, BlackAndWhiteRecordIsReadAsItIs) {
  analysis_.combined = "bw";
  char line[8] = "x";
  const auto r = Record(8, 2, 1, 200, {0xF0, 0x0F});
  EXPECT_EQ(funcOCRMICRFromBWImage(r, line, sizeof line), 0);
  EXPECT_EQ(analysis_.strips[0], r);
  EXPECT_STREQ(line, "bw");
  EXPECT_EQ(funcOCRMICRFromBWImage(Record(8, 2, 8, 200, {}), line, sizeof line), kBadParameter);
}

TEST_F(OpticalReaderTest, DibConversionHandsItsRecordToTheInstalledReader) {
  InstallDibCodeLineReaders();
  analysis_.combined = "from dib";
  // An 8-bit DIB of 4 x 2, all black, at 200 dpi with parameter 116 on and the E13B font.
  std::vector<uint8_t> dib(40 + 1024 + 8, 0);
  dib[0] = 40;
  dib[4] = 4;
  dib[8] = 2;
  dib[12] = 1;
  dib[14] = 8;
  std::vector<uint8_t> record(16);
  funcTableSetParam(116, 1);
  funcTableSetParam(2, 1);
  funcTableSetParam(118, 96);
  char line[16] = "m";
  ASSERT_EQ(zc::imaging::funcDIBToImage(dib, record, 0, 0, 0, 0, 200, line, sizeof line), 16);
  EXPECT_STREQ(line, "from dib");
  ASSERT_EQ(analysis_.strips.size(), 1u);
  EXPECT_EQ(Draw(analysis_.strips[0]), (std::vector<std::string>{"158:####", "159:####"}));
  // Not at 300 dpi, and not with the check switched off.
  ASSERT_EQ(zc::imaging::funcDIBToImage(dib, record, 0, 0, 0, 0, 300, line, sizeof line), 16);
  funcTableSetParam(116, 0);
  ASSERT_EQ(zc::imaging::funcDIBToImage(dib, record, 0, 0, 0, 0, 200, line, sizeof line), 16);
  EXPECT_EQ(analysis_.strips.size(), 1u);
}

TEST(CodelineRejectsTest, Table) {
  EXPECT_EQ(funcCheckCodelineRejects("1", 1), -525);
  EXPECT_EQ(funcCheckCodelineRejects("123@45", 6), -525);
  EXPECT_EQ(funcCheckCodelineRejects("123@45", 3), 0);
  EXPECT_EQ(funcCheckCodelineRejects("12", 40), 0);  // stops at the end of the text
}

class AssembleTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetParamsForTests(); }
  testing::ScratchDeviceFile deviceFile_;
};

TEST_F(AssembleTest, FormatOneRemovesBlanks) {
  funcTableSetParam(107, 1);
  char line[16] = "1 2 3";
  EXPECT_EQ(funcAssembleMICR(line, sizeof line, nullptr), 0);
  EXPECT_STREQ(line, "123");
}

TEST_F(AssembleTest, FormatThreeWithTheDevicesReaderLeavesTheLine) {
  funcTableSetParam(107, 3);
  funcTableSetParamString(159, "KWL");
  char line[16] = "1 2 3";
  EXPECT_EQ(funcAssembleMICR(line, sizeof line, nullptr), 0);
  EXPECT_STREQ(line, "1 2 3");
}

TEST_F(AssembleTest, FormatThreeUsesTheDocumentsMagneticPositions) {
  testing::ScriptedAnalysis analysis;
  InstallAnalysisServices(&analysis);
  MagneticMicrResults m = testing::ScriptedAnalysis::Magnetic("123", "999");
  const int32_t positions[] = {1000, 1200, 1800};
  std::copy(std::begin(positions), std::end(positions), m.positions);
  analysis.QueueMagnetic(m);
  auto state = OpenAnalysisState();
  const uint16_t samples[2] = {};
  state->Decode(samples, sizeof samples, nullptr, nullptr);
  funcTableSetParam(107, 3);
  char line[16] = "123";
  EXPECT_EQ(funcAssembleMICR(line, sizeof line, state.get()), 0);
  EXPECT_STREQ(line, "12   3");
  InstallAnalysisServices(nullptr);
}

struct RespaceCase {
  const char* name;
  const char* source;
  const char* magnetic;
  std::vector<int32_t> positions;
  const char* expected;
};

class RespaceTest : public ::testing::TestWithParam<RespaceCase> {};

TEST_P(RespaceTest, Respaces) {
  const RespaceCase& c = GetParam();
  MagneticMicrResults m = testing::ScriptedAnalysis::Magnetic(c.magnetic, "");
  std::copy(c.positions.begin(), c.positions.end(), m.positions);
  char line[100] = {};
  std::strncpy(line, c.source, sizeof line - 1);
  RespaceCodeLine(line, sizeof line, m);
  EXPECT_STREQ(line, c.expected);
}

std::vector<int32_t> Regular(int n, int32_t pitch = 200) {
  std::vector<int32_t> p;
  for (int i = 0; i < n; ++i) p.push_back(1000 + i * pitch);
  return p;
}

INSTANTIATE_TEST_SUITE_P(
    Positions, RespaceTest,
    ::testing::Values(RespaceCase{"regular_pitch", "123", "123", Regular(3), "123"},
                      RespaceCase{"gap_of_three_pitches", "123", "123", {1000, 1200, 1800}, "12   3"},
                      RespaceCase{"pitch_from_measured_distances", "123", "123", {1000, 1150, 1600}, "12   3"},
                      RespaceCase{"substitution_taken", "1X345", "12345", Regular(5), "1X345"},
                      RespaceCase{"substitution_before_the_end", "12X4", "1234", Regular(4), "12X4"},
                      RespaceCase{"extra_blank_in_line_kept", "12 3", "123", Regular(3), "12 3"},
                      RespaceCase{"leading_colon", ":1X234", "7:234", {1000, 1200, 1400, 1600, 2200}, ":1X23   4"},
                      RespaceCase{"hopeless_mismatch_restores", "98 765", "12345", Regular(5), "98 765"},
                      RespaceCase{"no_magnetic_results_restores", "123", "", {}, "123"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(RespaceLimitTest, LongLinesStopAtSixtySixAndShortenToSixtyFive) {
  const std::string digits(70, '1');
  MagneticMicrResults m = testing::ScriptedAnalysis::Magnetic(digits.substr(0, 99).c_str(), "");
  const auto p = Regular(70, 130);
  std::copy(p.begin(), p.end(), m.positions);
  char line[100] = {};
  std::memcpy(line, digits.data(), digits.size());
  RespaceCodeLine(line, sizeof line, m);
  EXPECT_EQ(std::strlen(line), 65u);
  // A small buffer bounds the output.
  char small[8] = "1111111";
  RespaceCodeLine(small, sizeof small, m);
  EXPECT_EQ(std::strlen(small), 7u);
}

TEST(RespaceLimitTest, PositionsBeyondTheTableEndTheWalk) {
  // A gap that the blanks never close runs the walk to the output limit, never past the table.
  MagneticMicrResults m = testing::ScriptedAnalysis::Magnetic("1", "");
  m.positions[0] = 1000;
  m.positions[1] = 2000000000;
  char line[100] = "1 1 1 1";
  RespaceCodeLine(line, sizeof line, m);
  EXPECT_LE(std::strlen(line), kAssembledLineMax);
}

}  // namespace
}  // namespace zarn
