// Decoder stages and entry points: presets, conditioning, filter and resampler
// numerics, the sample cap, trims, and independent decoder objects.
#include "devicelib/core/micr/decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devicelib/core/micr/equaliser.h"
#include "devicelib/core/micr/lumivex_micr.h"
#include "devicelib/core/micr/tests/decode_helpers.h"
#include "testkit/support/external_tool.h"

namespace micrtest {
namespace {

TEST(MicrSetup, PresetTable) {
  struct Case {
    int preset;
    micr::SampleKind kind;
    int maximum, rate, direction;
  };
  const Case cases[] = {
      {1, micr::SampleKind::kEightBit, 255, 50000, 1},     {2, micr::SampleKind::kTenBit, 1023, 50000, 0},
      {3, micr::SampleKind::kSixteenBit, 65535, 70866, 0}, {9, micr::SampleKind::kEightBit, 255, 50000, 0},
      {10, micr::SampleKind::kTenBit, 1023, 50000, 1},     {7, micr::SampleKind::kNone, 99, 70866, 1},
  };
  for (const Case& c : cases) {
    micr::Decoder d;
    d.Setup(c.preset, 5, 0, 99, 70866, 1);
    EXPECT_EQ(d.setup().kind, c.kind) << c.preset;
    EXPECT_EQ(d.setup().maximum, c.maximum) << c.preset;
    EXPECT_EQ(d.setup().rate, c.rate) << c.preset;
    EXPECT_EQ(d.setup().direction, c.direction) << c.preset;
    EXPECT_EQ(d.setup().mode, c.preset == 7 ? 5 : 2) << c.preset;
    EXPECT_DOUBLE_EQ(d.setup().cutoff, 0.13);
  }
  micr::Decoder host(micr::PresetTable::kMainProgram);
  host.Setup(11, 0, 0, 255, 74000, 0);
  EXPECT_EQ(host.setup().kind, micr::SampleKind::kSixteenBit);
  EXPECT_EQ(host.setup().direction, 1);
}

TEST(MicrSetup, NonPositiveRateIsRefused) {
  qv6::Micr library;
  EXPECT_EQ(library.Setup(3, 0, 0, 0, 63200, 0, 0.13), 0);
  EXPECT_EQ(library.Setup(3, 0, 0, 0, 0, 0, 0.13), 1);
  EXPECT_EQ(library.decoder().setup().rate, 63200);  // the previous set-up stays
  lumivex::Micr host;
  EXPECT_THROW(host.Setup(11, 0, 0, 255, -5, 1, 0, 0), std::invalid_argument);
}

TEST(MicrSetup, FontSettingMapsToDecoderFont) {
  EXPECT_EQ(micr::DecoderFontFromSetting(0), 1);
  EXPECT_EQ(micr::DecoderFontFromSetting(1), 2);
  EXPECT_EQ(micr::DecoderFontFromSetting(2), 0);
}

TEST(MicrFir, TapsMatchAnIndependentDesign) {
  // Oracle: the windowed-sinc design computed by python3.
  const zc::testkit::CommandResult run = zc::testkit::RunCommand(
      "python3 -c \"import math\n"
      "h=[(math.sin(2*math.pi*0.13*(i-50))/(i-50) if i!=50 else "
      "2*math.pi*0.13)*(0.54-0.46*math.cos(2*math.pi*i/100)) "
      "for i in range(100)]\ns=sum(h)\nprint(' '.join(repr(x/s) for x in h))\" 2>/dev/null");
  std::vector<double> expected;
  std::istringstream in(run.output);
  double v = 0;
  while (in >> v) expected.push_back(v);
  if (expected.size() != 100) GTEST_SKIP() << "python3 not available";
  const micr::Fir fir(0.13);
  for (int i = 0; i < 100; ++i) EXPECT_NEAR(fir.Tap(i), expected[static_cast<std::size_t>(i)], 1e-12) << i;
}

TEST(MicrFir, IdleStaysIdleAndStepsSettle) {
  std::vector<uint16_t> s(400, 128);
  for (std::size_t i = 200; i < s.size(); ++i) s[i] = 228;
  micr::Fir(0.13).Apply(s);
  EXPECT_EQ(s[10], 128);
  EXPECT_NEAR(s[399], 228, 1);  // unit DC gain, after the 50-sample delay
  EXPECT_LT(s[249], 178);       // half way is crossed at the step plus the 50-sample delay
  EXPECT_GT(s[250], 178);
}

TEST(MicrResampler, WeightsInterpolate) {
  const micr::CubicResampler r;
  for (int phase = 0; phase < 1000; phase += 37) {
    double sum = 0;
    for (int k = 0; k < 4; ++k) sum += r.Weight(k, phase);
    EXPECT_NEAR(sum, 1.0, 1e-12);
  }
  // A ramp is reproduced exactly: output j lies at input j * step + 1.
  std::vector<uint16_t> ramp(200);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint16_t>(100 * i);
  std::vector<uint16_t> out(300);
  const std::size_t n = r.Resample(ramp, 63200, 50000, out);
  ASSERT_GT(n, 150u);
  for (std::size_t j = 0; j < n; ++j) EXPECT_NEAR(out[j], 100 * (j * 1.264 + 1), 1.0) << j;
  // Fewer than four samples give nothing.
  EXPECT_EQ(r.Resample(std::span<const uint16_t>(ramp).first(3), 63200, 50000, out), 0u);
}

TEST(MicrConditioner, SlowRateRunStaysInsideTheBuffer) {
  // 32758 samples at 47400 would resample to 34555: the buffer holds 32758.
  const std::vector<uint16_t> samples(40000, 32768);
  qv6::Micr micr;
  micr.Setup(3, 0, 0, 0, 47400, 0, 0.13);
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 0, 0, 0);
  EXPECT_EQ(micr.decoder().conditioned().size(), micr::Decoder::kMaxSamples);
}

TEST(MicrConditioner, CleanSignalIsCentredAndScaled) {
  micr::Decoder d;
  d.Setup(3, 0, 0, 0, 63200, 0);
  const std::vector<uint16_t> samples = E13bSamples("0000", 3, 63200);
  d.Decode(samples, 2, 0, 0);
  const std::span<const uint16_t> c = d.conditioned();
  EXPECT_NEAR(micr::FindBaseline(c, 0, 255), 128, 1);
  const auto [lo, hi] = std::minmax_element(c.begin(), c.end());
  EXPECT_NEAR(*hi, 128 + 120, 8);
  EXPECT_NEAR(*lo, 128 - 120, 8);
}

TEST(MicrConditioner, EveryTenBitSampleIsScaled) {
  // Runs too short to hold a gain segment are still brought to eight bits for the readers.
  for (const std::vector<uint16_t>& samples : {std::vector<uint16_t>{1023, 0, 700, 512},
                                               std::vector<uint16_t>{1023}, std::vector<uint16_t>(7, 1020)}) {
    micr::Decoder d;
    d.Setup(2, 0, 0, 0, 0, 0);
    d.Decode(samples, 0, 0, 0);
    ASSERT_EQ(d.conditioned().size(), samples.size());
    for (const uint16_t v : d.conditioned()) EXPECT_LE(v, 255);
  }
}

TEST(MicrDecoder, OnlyTheFirst32758SamplesCount) {
  std::vector<uint16_t> samples = E13bSamples("12 34", 2, 50000);
  samples.resize(40000, 512);
  std::vector<uint16_t> reversedTail = samples;  // anything past the cap must not matter
  for (std::size_t i = micr::Decoder::kMaxSamples; i < reversedTail.size(); ++i) reversedTail[i] = 1000;
  // Preset 2 reads the run backwards, so the code line sits at the end of the first 32758.
  std::vector<uint16_t> shifted(40000, 512);
  std::copy(samples.begin(), samples.begin() + 6000, shifted.begin() + micr::Decoder::kMaxSamples - 6000);
  std::vector<uint16_t> shiftedTail = shifted;
  for (std::size_t i = micr::Decoder::kMaxSamples; i < shiftedTail.size(); ++i) shiftedTail[i] = 1000;
  EXPECT_EQ(DecodeWith(shifted, 2, 50000, 2).line, "12 34");
  EXPECT_EQ(DecodeWith(shiftedTail, 2, 50000, 2).line, "12 34");
}

TEST(MicrDecoder, TrimsCutTheWindow) {
  // Reading order of preset 1 is sample order; 1/10000 s is 5 samples at 50000 per second.
  micrkit::E13bLayout layout;
  const std::vector<uint16_t> samples = E13bSamples("12 34", 1, 50000, layout);
  qv6::Micr micr;
  micr.Setup(1, 0, 0, 0, 0, 0, 0.13);
  auto read = [&](int trimEnd, int trimStart) {
    micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 2, trimEnd, trimStart);
    return std::string(micr.GetCodeline(2, '@'));
  };
  const int n = static_cast<int>(samples.size());
  EXPECT_EQ(read(0, 0), "12 34");
  // Ending the window before the last two characters read ('1' and '2').
  EXPECT_EQ(read((n - 1200 - 3 * 154) / 5, 0), "34");
  // Keeping only the end of the run: the first characters read ('3' and '4') are cut off.
  EXPECT_EQ(read(0, (n - 1200 - 2 * 154) / 5), "12");
  EXPECT_EQ(read(n, 0), "");  // an empty window reads nothing, and the old line is gone
  EXPECT_EQ(read(-3, -3), "12 34");
}

TEST(MicrDecoder, UnknownPresetOrFontReadsNothing) {
  const std::vector<uint16_t> samples = E13bSamples("12", 3, 63200);
  qv6::Micr micr;
  EXPECT_STREQ(micr.GetCodeline(0, '@'), "");  // before any decode
  micr.Setup(3, 0, 0, 0, 63200, 0, 0.13);
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 2, 0, 0);
  EXPECT_STREQ(micr.GetCodeline(0, '@'), "12");
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 7, 0, 0);
  EXPECT_STREQ(micr.GetCodeline(0, '@'), "");
  micr.Setup(4, 0, 0, 65535, 63200, 0, 0.13);
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 2, 0, 0);
  EXPECT_STREQ(micr.GetCodeline(0, '@'), "");
  EXPECT_EQ(micr.DecodeSamples(nullptr, 100, 0, 0, 0), 0);
  EXPECT_STREQ(micr.GetCodeline(0, '@'), "");
}

TEST(MicrDecoder, HostCopyIsBoundedByTheCallersBuffer) {
  const std::vector<uint16_t> samples = E13bSamples("0123456789", 3, 63200);
  lumivex::Micr micr;
  micr.Setup(3, 0, 0, 255, 63200, 1, 0, 0);
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 2, 0, 0);
  char small[5];
  EXPECT_EQ(micr.GetCodeline(0, '@', small, sizeof small), 4);
  EXPECT_STREQ(small, "0123");
  EXPECT_EQ(micr.GetCodeline(0, '@', nullptr, 10), 0);
}

TEST(MicrDecoder, ConnectionsDecodeIndependently) {
  // Two scanners of different series, each with its own decoder, decoding at the same time.
  const std::vector<uint16_t> fast = E13bSamples("111 222", 3, 94800);
  const std::vector<uint16_t> slow = Cmc7Samples("333 444", 3, 47400);
  std::string fastLine, slowLine;
  auto run = [](const std::vector<uint16_t>& s, int rate, std::string& out) {
    auto micr = std::make_unique<qv6::Micr>();
    micr->Setup(3, 0, 0, 0, rate, 0, 0.13);
    for (int k = 0; k < 20; ++k) {
      micr->DecodeSamples(s.data(), static_cast<unsigned>(s.size()), 0, 0, 0);
      out = micr->GetCodeline(1, '@');
    }
  };
  std::thread a(run, std::cref(fast), 94800, std::ref(fastLine));
  std::thread b(run, std::cref(slow), 47400, std::ref(slowLine));
  a.join();
  b.join();
  EXPECT_EQ(fastLine, "111 222");
  EXPECT_EQ(slowLine, "333 444");
}

}  // namespace
}  // namespace micrtest

namespace micrtest {
namespace {

TEST(MicrEqualiser, LevelsAreThe50thDistinctValues) {
  std::vector<uint16_t> few;  // ten distinct values: neither level is found
  for (int k = 0; k < 500; ++k) few.push_back(static_cast<uint16_t>(100 + k % 10));
  micr::Equaliser eq;
  EXPECT_FALSE(eq.Train(few));
  EXPECT_EQ(eq.high_level(), 0);
  EXPECT_EQ(eq.low_level(), 0);

  std::vector<uint16_t> ramp;  // values 20..219, each once
  for (int v = 20; v < 220; ++v) ramp.push_back(static_cast<uint16_t>(v));
  EXPECT_FALSE(eq.Train(ramp));
  EXPECT_EQ(eq.high_level(), 219 - 49);
  EXPECT_EQ(eq.low_level(), 20 + 49);
}

TEST(MicrEqualiser, LearnsTheBarShapeOfALongCmc7Line) {
  micr::Decoder d;
  d.Setup(3, 0, 0, 0, 63200, 0);
  // Training needs more than 70 bars: about a dozen characters, with the noise of a real head.
  micrkit::Impairments noisy;
  noisy.noise = 0.01;
  d.Decode(Cmc7Samples("0123456789:;<=>0123", 3, 63200, {}, noisy), 1, 0, 0);
  const micr::Equaliser& eq = d.cmc7().equaliser();
  ASSERT_TRUE(eq.trained());
  EXPECT_GE(eq.pitch(), 14);
  EXPECT_LE(eq.pitch(), 16);
  // The template rises to a peak a quarter in and falls to a trough three quarters in.
  const std::span<const int> shape = eq.shape();
  EXPECT_GT(shape[eq.pitch() / 4], 128 + eq.amplitude());
  EXPECT_LT(shape[3 * eq.pitch() / 4], 128 - eq.amplitude());
}

}  // namespace
}  // namespace micrtest
