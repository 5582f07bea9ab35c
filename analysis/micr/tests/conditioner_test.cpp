// Conditioning: presets, resampling, baseline and gain of the normalisation, repacking.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/micr/conditioner.h"
#include "devicelib/core/micr/cubic_resampler.h"

namespace analysis::micr {
namespace {

struct PresetCase {
  const char* name;
  int argument, rate;
  int preset, minimum, maximum;
  bool interpolation;
};
class SetupPreset : public ::testing::TestWithParam<PresetCase> {};
TEST_P(SetupPreset, SetsFormatAndRange) {
  const PresetCase& c = GetParam();
  MicrConditioner m;
  EXPECT_EQ(m.funcMicrSetup(c.argument, 2, 7, 700, c.rate, 1), 1);
  EXPECT_EQ(m.preset(), c.preset);
  EXPECT_EQ(m.minimum(), c.minimum);
  EXPECT_EQ(m.maximum(), c.maximum);
  EXPECT_EQ(m.interpolationBuilt(), c.interpolation);
  EXPECT_EQ(m.inputRate(), c.rate);
  EXPECT_EQ(m.directionMode(), 1);
  EXPECT_EQ(m.funcMicrRelease(), 1);
}
INSTANTIATE_TEST_SUITE_P(
    Presets, SetupPreset,
    ::testing::Values(PresetCase{"EightBit", 1, 50000, 1, 0, 255, false},
                      PresetCase{"EightBitAlias", 9, 50000, 1, 0, 255, false},
                      PresetCase{"TenBit", 2, 50000, 2, 0, 1023, false},
                      PresetCase{"SixteenBit", 3, 63200, 3, 0, 65535, true},
                      PresetCase{"SixteenBitRM", 8, 55800, 8, 0, 65535, true},
                      PresetCase{"SixteenBitNarrow", 11, 50000, 3, 0, 1023, true},
                      PresetCase{"CallersAtNominalRate", 5, 50000, 0, 7, 700, false},
                      PresetCase{"CallersResampled", 5, 60000, 0, 7, 700, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Resample, WeightsSumToOneAndEqualRatesShiftByOne) {
  const ::micr::CubicResampler weights;
  for (int k = 0; k < ::micr::CubicResampler::kPhases; ++k) {
    double sum = 0;
    for (int t = 0; t < 4; ++t) sum += weights.Weight(t, k);
    ASSERT_NEAR(sum, 1.0, 1e-12) << k;
  }
  MicrConditioner m;
  m.funcMicrSetup(3, 2, 0, 0, 50000, 0);
  std::vector<uint16_t> in{10, 200, 3000, 40000, 5, 60, 700, 8000};
  std::vector<uint16_t> out(16);
  ASSERT_EQ(m.funcMicrResample(out, in, 50000, 50000), 5);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(out[i], in[i + 1]);
}

TEST(Resample, FasterInputGivesFewerSamples) {
  MicrConditioner m;
  m.funcMicrSetup(8, 2, 0, 0, 55800, 0);
  std::vector<uint16_t> in(5580, 1000);
  std::vector<uint16_t> out(8000);
  const int n = m.funcMicrResample(out, in, 55800, 50000);
  EXPECT_NEAR(n, 5000, 4);
  EXPECT_EQ(out[static_cast<std::size_t>(n - 1)], 1000);
}

// 10-bit samples, forward, so each output lines up with its input.
std::vector<uint16_t> Normalise(const std::vector<uint16_t>& in, int direction, int* baseline = nullptr) {
  MicrConditioner m;
  m.funcMicrSetup(2, 2, 0, 0, 50000, direction);
  std::vector<uint16_t> out(in.size());
  EXPECT_EQ(m.funcMicrNormalise(out, in), static_cast<int>(in.size()));
  if (baseline != nullptr) *baseline = m.lastBaseline();
  return out;
}

TEST(Normalise, BaselineIsTheFullestBinAndTheLowestOnATie) {
  std::vector<uint16_t> in(300, 500);
  in.insert(in.end(), 300, 520);
  in.insert(in.end(), 100, 530);
  int baseline = 0;
  const std::vector<uint16_t> out = Normalise(in, 2, &baseline);
  EXPECT_EQ(baseline, 500);
  EXPECT_EQ(out[0], 128);
}

TEST(Normalise, WeakSegmentGainIsCappedAtFour) {
  std::vector<uint16_t> in(400, 512);
  for (std::size_t i = 200; i < 220; ++i) in[i] = 572;
  for (std::size_t i = 220; i < 240; ++i) in[i] = 452;
  const std::vector<uint16_t> out = Normalise(in, 2);
  EXPECT_EQ(out[210], (60 * 4 + 512) >> 2);
  EXPECT_EQ(out[230], (-60 * 4 + 512) >> 2);
  EXPECT_EQ(out[0], 128);
}

TEST(Normalise, ClippedSegmentMapsByTheBaseline) {
  std::vector<uint16_t> in(400, 512);
  for (std::size_t i = 200; i < 220; ++i) in[i] = 1023;
  in[215] = 1008;
  for (std::size_t i = 220; i < 240; ++i) in[i] = 100;
  const std::vector<uint16_t> out = Normalise(in, 2);
  EXPECT_EQ(out[210], 255);             // at or above 1023 * 512 / 512
  EXPECT_EQ(out[215], 1008 * 128 / 512);
  EXPECT_EQ(out[230], 100 * 128 / 512);
  EXPECT_EQ(out[0], 128);
}

TEST(Normalise, DirectionModesReverseAndInvert) {
  std::vector<uint16_t> in(400, 512);
  for (std::size_t i = 10; i < 40; ++i) in[i] = 700;
  const std::vector<uint16_t> forward = Normalise(in, 2);
  const std::vector<uint16_t> reversed = Normalise(in, 0);
  const std::vector<uint16_t> inverted = Normalise(in, 1);
  for (std::size_t i = 0; i < in.size(); ++i) {
    EXPECT_EQ(reversed[i], forward[in.size() - 1 - i]);
    EXPECT_EQ(inverted[i], 255 - forward[i]);
  }
}

TEST(Condition, ShortSixteenBitRunsStayAsTheyAre) {
  MicrConditioner m;
  m.funcMicrSetup(3, 2, 0, 65535, 50000, 0);
  std::vector<uint16_t> samples{1, 2, 3, 4};
  EXPECT_EQ(m.funcMicrConditionSamples(samples.data(), 4, 2, 0, 0), 4);
  EXPECT_EQ(samples, (std::vector<uint16_t>{1, 2, 3, 4}));
  m.funcMicrRelease();
  EXPECT_EQ(m.funcMicrConditionSamples(samples.data(), 4, 2, 0, 0), 0);  // no work buffers
}

TEST(Condition, StopsAtTheBufferSize) {
  MicrConditioner m;
  m.funcMicrSetup(2, 2, 0, 1023, 50000, 0);
  std::vector<uint16_t> samples(40000, 512);
  EXPECT_EQ(m.funcMicrConditionSamples(samples.data(), 40000, 2, 0, 0), kMaxConditionedSamples);
}

struct RepackCase {
  const char* name;
  Repacking rule;
  std::vector<uint16_t> in, out;
};
class RepackRule : public ::testing::TestWithParam<RepackCase> {};
TEST_P(RepackRule, GivesTheStatedLength) {
  std::vector<uint16_t> out(64);
  const std::size_t n = Repack(GetParam().in, GetParam().rule, out);
  out.resize(n);
  EXPECT_EQ(out, GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(
    Rules, RepackRule,
    ::testing::Values(RepackCase{"Copy", Repacking::kNone, {1, 2, 3}, {1, 2, 3}},
                      RepackCase{"FiveForFour", Repacking::kFiveForFour, {0, 0, 0, 10, 20, 0, 0, 0}, {0, 0, 0, 10, 15, 20, 0, 0, 0, 0}},
                      RepackCase{"FourForThree", Repacking::kFourForThree, {0, 0, 10, 20, 0, 8}, {0, 0, 10, 15, 20, 0, 8, 8}},
                      RepackCase{"TwoForThree", Repacking::kTwoForThree, {1, 2, 3, 4, 5, 6, 7}, {1, 2, 4, 5, 7}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Repack, StopsAtTheOutputCapacity) {
  const std::vector<uint16_t> in(100, 7);
  std::vector<uint16_t> out(50);
  EXPECT_EQ(Repack(in, Repacking::kFiveForFour, out), 50u);
}

}  // namespace
}  // namespace analysis::micr
