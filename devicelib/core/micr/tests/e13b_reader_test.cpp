// E13B reader: blanks from peak distances, the early lone character, the
// 148 trigger, peaks without a character, damaged characters and the line cap.
#include "devicelib/core/micr/e13b_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devicelib/core/micr/tests/decode_helpers.h"

namespace micrtest {
namespace {

// Eight-bit samples at the nominal rate are read as they are (preset 1).
std::string ReadE13b(const micrkit::MagneticTrace& trace, double amplitude = 0.5) {
  micrkit::Impairments impairments;
  impairments.amplitude = amplitude;
  const std::vector<uint16_t> samples = micrkit::SampleTrace(trace, micrkit::FormatForPreset(1), impairments);
  return DecodeWith(samples, 1, 50000, 2).line;
}

// Two '1's whose leading peaks lie `distance` samples apart.
micrkit::MagneticTrace TwoOnes(double distance) {
  const micrkit::MagneticTrace one = micrkit::E13bTrace("1", {});
  std::vector<micrkit::Lobe> lobes(one.lobes().begin(), one.lobes().end());
  for (const micrkit::Lobe& l : one.lobes()) lobes.push_back({l.time + distance, l.height, 1});
  return micrkit::MagneticTrace(lobes, one.sigma(), one.duration() + distance);
}

TEST(MicrE13bReader, BlanksFollowThePeakDistance) {
  // At pitch 16 a character takes e = 154 samples; a gap longer than f = 231 gives blanks.
  struct Case {
    double distance;
    const char* line;
  };
  for (const Case c :
       {Case{154, "11"}, Case{231, "11"}, Case{232, "1 1"}, Case{308, "1 1"}, Case{386, "1  1"}}) {
    EXPECT_EQ(ReadE13b(TwoOnes(c.distance)), c.line) << c.distance;
  }
}

TEST(MicrE13bReader, LoneEarlyCharacterIsDroppedBeforeAmountOrGap) {
  micrkit::E13bLayout early;
  early.leadIn = 600;  // the first character read peaks before sample 1000
  EXPECT_EQ(ReadE13b(micrkit::E13bTrace(";1", early)), ";");
  EXPECT_EQ(ReadE13b(micrkit::E13bTrace("2 1", early)), "2");
  EXPECT_EQ(ReadE13b(micrkit::E13bTrace("21", early)), "21");
  EXPECT_EQ(ReadE13b(micrkit::E13bTrace("2 1", {})), "2 1");  // after sample 1000 it stays
}

TEST(MicrE13bReader, QuietOrShapelessSignalsGiveNoCharacters) {
  // Peaks never above 148.
  EXPECT_EQ(ReadE13b(micrkit::E13bTrace("0123", {}), 0.1), "");
  // A lone pulse before a character: no character at that peak, the search moves on.
  const micrkit::MagneticTrace one = micrkit::E13bTrace("1", {});
  std::vector<micrkit::Lobe> lobes(one.lobes().begin(), one.lobes().end());
  lobes.push_back({one.lobes().front().time - 300, 0.4, 1});
  EXPECT_EQ(ReadE13b(micrkit::MagneticTrace(lobes, one.sigma(), one.duration())), "1");
}

TEST(MicrE13bReader, DamagedCharacterIsARejectInPlace) {
  micrkit::MagneticTrace trace = micrkit::E13bTrace("505", {});
  trace.ScaleLobe(1, 2, 0.0);  // the middle '0' loses its third edge
  EXPECT_EQ(ReadE13b(trace), "5@5");
  // The reject counts: one '@' passes an allowance of 1, not of 0.
  EXPECT_TRUE(qv6::Micr::CheckRejects("5@5", 1));
  EXPECT_FALSE(qv6::Micr::CheckRejects("5@5", 0));
}

TEST(MicrE13bReader, LineStopsAt199Characters) {
  micrkit::E13bLayout dense;
  dense.unitSamples = 14;
  const std::string printed(210, '8');
  const std::string line = ReadE13b(micrkit::E13bTrace(printed, dense));
  EXPECT_EQ(line, std::string(199, '8'));
}

TEST(MicrE13bReader, WindowNearTheRunEndsIsPaddedWithIdle) {
  // A character whose peak sits at the very end of the run: the window reaches past it.
  std::vector<uint16_t> samples(300, 128);
  for (int k = 0; k < 6; ++k) samples[296 + (k % 4)] = 255;
  micr::E13bReader reader;
  reader.Read(samples);
  EXPECT_LE(reader.line().size(), 1u);
}

}  // namespace
}  // namespace micrtest
