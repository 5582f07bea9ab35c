// Every symbol of both fonts, with blanks, through the waveform kit and the
// decoder at every series' rate, wire format and preset.
#include <gtest/gtest.h>

#include "devicelib/core/micr/lumivex_micr.h"
#include "devicelib/core/micr/tests/decode_helpers.h"

namespace micrtest {
namespace {

constexpr char kE13bLine[] = "0123 456  789:;<=";
constexpr char kCmc7Line[] = "0123 456  789:;<=>";

TEST(MicrRoundTrip, EverySeriesFormatReadsBothFontsInAutomaticFont) {
  for (const micrkit::SeriesFormat& series : micrkit::SeriesFormats()) {
    SCOPED_TRACE(std::string(series.series) + " " + std::to_string(series.rate));
    const micrkit::SampleFormat format = micrkit::FormatForPreset(series.preset, series.rate);
    for (const bool cmc7 : {false, true}) {
      const micrkit::MagneticTrace trace =
          cmc7 ? micrkit::Cmc7Trace(kCmc7Line, {}) : micrkit::E13bTrace(kE13bLine, {});
      // Through the device's bytes and back, as the transport hands them over.
      const std::vector<uint8_t> wire = micrkit::ToWire(micrkit::SampleTrace(trace, format), series.wire);
      const std::vector<uint16_t> samples = micrkit::FromWire(wire, series.wire);
      const Decoded d = DecodeWith(samples, series.preset, series.rate, 0);
      EXPECT_EQ(d.line, cmc7 ? kCmc7Line : kE13bLine);
      EXPECT_EQ(d.reader, cmc7 ? 1 : 2);
    }
  }
}

TEST(MicrRoundTrip, EveryPresetReadsBothFonts) {
  for (const int preset : {1, 2, 3, 9, 10}) {
    SCOPED_TRACE(preset);
    EXPECT_EQ(DecodeWith(E13bSamples(kE13bLine, preset, 63200), preset, 63200, 2).line, kE13bLine);
    EXPECT_EQ(DecodeWith(Cmc7Samples(kCmc7Line, preset, 63200), preset, 63200, 1).line, kCmc7Line);
  }
}

TEST(MicrRoundTrip, E13bAtEveryPitch) {
  for (const int rate : {47400, 70919, 94800}) {
    for (const double unit : {14.0, 15.0, 16.0, 17.0}) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, " << unit << " samples per unit");
      micrkit::E13bLayout layout;
      layout.unitSamples = unit;
      EXPECT_EQ(DecodeWith(E13bSamples(kE13bLine, 3, rate, layout), 3, rate, 2).line, kE13bLine);
    }
  }
}

TEST(MicrRoundTrip, MainProgramBuildReadsItsOwnPresets) {
  for (const int preset : {3, 11}) {
    SCOPED_TRACE(preset);
    for (const int rate : {63200, 70866, 74000}) {
      const std::vector<uint16_t> samples = E13bSamples(kE13bLine, preset, rate);
      lumivex::Micr micr;
      micr.Setup(preset, 0, 0, 255, rate, 1, 0, 0);
      micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 0, 0, 0);
      char line[256];
      const int n = micr.GetCodeline(1, '?', line, sizeof line);
      EXPECT_STREQ(line, "0123 456 789:;<=");
      EXPECT_EQ(n, 16);
    }
  }
  // The device library's build does not know preset 11: nothing is read.
  const std::vector<uint16_t> samples = E13bSamples(kE13bLine, 11, 63200);
  EXPECT_EQ(DecodeWith(samples, 11, 63200, 0).line, "");
}

}  // namespace
}  // namespace micrtest
