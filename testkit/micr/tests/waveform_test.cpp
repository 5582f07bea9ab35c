// CMC-7 code table, lobe placement, device sample formats and wire encodings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "testkit/micr/cmc7_code.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace micrkit {
namespace {

TEST(MicrKitCmc7Code, FifteenDistinctTwoOfSixCodes) {
  std::set<std::array<bool, 6>> seen;
  for (const Cmc7Symbol& s : Cmc7Symbols()) {
    EXPECT_EQ(std::count(s.longGap.begin(), s.longGap.end(), true), 2) << s.symbol;
    EXPECT_TRUE(seen.insert(s.longGap).second) << s.symbol;
  }
  EXPECT_EQ(seen.size(), 15u);
  EXPECT_EQ(FindCmc7Symbol('A'), nullptr);
}

TEST(MicrKitMagneticTrace, LobesInReadingOrder) {
  // '0' then '1' printed: '1' is met first, its right edge at the lead-in.
  const MagneticTrace e13b = E13bTrace("01", {});
  ASSERT_FALSE(e13b.lobes().empty());
  EXPECT_EQ(e13b.lobes().front().character, 1);
  EXPECT_DOUBLE_EQ(e13b.lobes().front().time, E13bLayout{}.leadIn);
  EXPECT_GT(e13b.lobes().front().height, 0);
  // A CMC-7 character: seven bars, each a rising then a falling edge; gaps as the code gives them.
  const Cmc7Layout layout;
  const MagneticTrace cmc7 = Cmc7Trace("7", layout);  // gaps L L S S S S as printed
  ASSERT_EQ(cmc7.lobes().size(), 14u);
  std::vector<double> rising;
  for (const Lobe& l : cmc7.lobes()) {
    if (l.height > 0) rising.push_back(l.time);
  }
  const double gaps[] = {10, 10, 10, 10, 16, 16};  // reading order runs right to left
  for (std::size_t k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(rising[k + 1] - rising[k], gaps[k]);
}

TEST(MicrKitMagneticTrace, LobesKeepTheirOwnWidthsOnEachSide) {
  // A narrow rise and a wide fall far apart from a lobe of the trace's own width; the trace's reach
  // follows the widest lobe, so the wide tail is not cut.
  Lobe asymmetric{100, 1.0, 0};
  asymmetric.rise = 2;
  asymmetric.fall = 8;
  const MagneticTrace trace({asymmetric, Lobe{400, -0.5, 1}}, 3, 600);
  EXPECT_DOUBLE_EQ(trace.At(100), 1.0);
  EXPECT_NEAR(trace.At(96), std::exp(-2.0), 1e-12);
  EXPECT_NEAR(trace.At(116), std::exp(-2.0), 1e-12);
  EXPECT_NEAR(trace.At(140), std::exp(-0.5 * 25), 1e-12);
  EXPECT_NEAR(trace.At(406), -0.5 * std::exp(-2.0), 1e-12);
  EXPECT_NEAR(trace.At(394), -0.5 * std::exp(-2.0), 1e-12);
  EXPECT_DOUBLE_EQ(trace.peak(), 1.0);
}

TEST(MicrKitSampleFormat, OrderPolarityAndRange) {
  const MagneticTrace trace = E13bTrace("0", {});
  struct Case {
    int preset;
    bool firstLobeAtEnd;  // reversed order
    bool dip;             // inverted
    int idle;
  };
  for (const Case c :
       {Case{1, false, false, 128}, Case{9, true, true, 127}, Case{2, true, false, 512},
        Case{10, false, true, 512}, Case{3, true, false, 32768}, Case{11, false, true, 32768}}) {
    const SampleFormat f = FormatForPreset(c.preset, 63200);
    const std::vector<uint16_t> s = SampleTrace(trace, f);
    EXPECT_EQ(s.size(), static_cast<std::size_t>(std::ceil(trace.duration() * f.rate / 50000))) << c.preset;
    // The leading edge is met about 1200 nominal samples into the reading.
    const std::size_t k = static_cast<std::size_t>(1200.0 * f.rate / 50000);
    const std::size_t at = c.firstLobeAtEnd ? s.size() - 1 - k : k;
    EXPECT_NEAR(s[0], c.idle, 1) << c.preset;
    if (c.dip) {
      EXPECT_LT(s[at], c.idle) << c.preset;
    } else {
      EXPECT_GT(s[at], c.idle) << c.preset;
    }
    const uint16_t top = static_cast<uint16_t>((1 << f.bits) - 1);
    EXPECT_LE(*std::max_element(s.begin(), s.end()), top);
  }
}

// Noise reaches the samples through the head's response: neighbouring samples move together, and the
// deviation per sample is the same at the slowest and the fastest device rate (white noise per device
// sample would rise from one sample to the next by its full deviation and differ between rates).
TEST(MicrKitSampleFormat, NoiseIsSmoothedByTheHeadAtEveryRate) {
  const MagneticTrace quiet({}, 4, 20000);
  Impairments impairments;
  impairments.noise = 0.04;
  impairments.seed = 5;
  std::vector<double> deviations;
  for (const int rate : {47400, 94800}) {
    const std::vector<uint16_t> s = SampleTrace(quiet, FormatForPreset(3, rate), impairments);
    double power = 0, step = 0;
    for (std::size_t k = 0; k + 1 < s.size(); ++k) {
      const double v = s[k] - 32768.0;
      power += v * v;
      step += (s[k + 1] - s[k]) * static_cast<double>(s[k + 1] - s[k]);
    }
    const double deviation = std::sqrt(power / static_cast<double>(s.size() - 1));
    deviations.push_back(deviation);
    EXPECT_LT(std::sqrt(step / static_cast<double>(s.size() - 1)), 0.3 * deviation) << rate;
    // About a quarter of the deviation per nominal sample is left per device sample.
    EXPECT_NEAR(deviation / (0.04 * 32768), 0.265, 0.03) << rate;
  }
  EXPECT_NEAR(deviations[0], deviations[1], 0.1 * deviations[0]);
}

TEST(MicrKitSampleFormat, WireEncodings) {
  const std::vector<uint16_t> samples = {0x1234, 0xABCD, 0x0001};
  EXPECT_EQ(ToWire(samples, WireOrder::kBigEndian16),
            (std::vector<uint8_t>{0x12, 0x34, 0xAB, 0xCD, 0x00, 0x01}));
  EXPECT_EQ(ToWire(samples, WireOrder::kLittleEndian16),
            (std::vector<uint8_t>{0x34, 0x12, 0xCD, 0xAB, 0x01, 0x00}));
  EXPECT_EQ(ToWire(samples, WireOrder::kHighByte8), (std::vector<uint8_t>{0x12, 0xAB, 0x00}));
  for (const WireOrder order : {WireOrder::kBigEndian16, WireOrder::kLittleEndian16}) {
    EXPECT_EQ(FromWire(ToWire(samples, order), order), samples);
  }
  EXPECT_EQ(FromWire(ToWire(samples, WireOrder::kHighByte8), WireOrder::kHighByte8),
            (std::vector<uint16_t>{0x1200, 0xAB00, 0x0000}));
  // An odd trailing byte of a 16-bit stream is not a sample.
  EXPECT_EQ(FromWire(std::vector<uint8_t>{1, 2, 3}, WireOrder::kLittleEndian16).size(), 1u);
}

TEST(MicrKitSampleFormat, SeriesTableCoversEveryRate) {
  std::set<int> rates;
  for (const SeriesFormat& s : SeriesFormats()) rates.insert(s.rate);
  EXPECT_EQ(rates, (std::set<int>{47400, 50000, 63200, 70866, 70919, 94800}));
}

}  // namespace
}  // namespace micrkit
