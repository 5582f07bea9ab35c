// CMC-7 reader: one pass for a clean line, the unconfirmed and the reversed
// inverted passes for damaged ones, extra bars, short lines and the structure
// check that hands other signals to the E13B reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devicelib/core/micr/tests/decode_helpers.h"

namespace micrtest {
namespace {

constexpr char kLine[] = "0123 456  789:;<=>";

Decoded ReadTrace(const micrkit::MagneticTrace& trace, int font) {
  return DecodeWith(micrkit::SampleTrace(trace, micrkit::FormatForPreset(3, 63200)), 3, 63200, font);
}

TEST(MicrCmc7Reader, CleanLineTakesOnePass) {
  const Decoded d = ReadTrace(micrkit::Cmc7Trace(kLine, {}), 1);
  EXPECT_EQ(d.line, kLine);
  EXPECT_EQ(d.passes, 1);
}

TEST(MicrCmc7Reader, ShortLineIsReadWithoutTheEqualiser) {
  qv6::Micr micr;
  micr.Setup(2, 0, 0, 0, 0, 0, 0.13);
  const std::vector<uint16_t> samples =
      micrkit::SampleTrace(micrkit::Cmc7Trace("12", {}), micrkit::FormatForPreset(2));
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 1, 0, 0);
  EXPECT_STREQ(micr.GetCodeline(2, '@'), "12");
  EXPECT_FALSE(micr.decoder().cmc7().equaliser().trained());  // 14 bars are too few to train on
}

TEST(MicrCmc7Reader, SpoiledTroughIsRecoveredByTheReversedInvertedPass) {
  micrkit::MagneticTrace trace = micrkit::Cmc7Trace(kLine, {});
  trace.ScaleLobe(6, 5, 0.0);  // the '5' loses the trailing edge of the bar between its long gaps
  const Decoded d = ReadTrace(trace, 1);
  EXPECT_EQ(d.passes, 3);
  EXPECT_EQ(d.line, kLine);
}

TEST(MicrCmc7Reader, BarLostOnBothEdgesGivesRejects) {
  micrkit::MagneticTrace trace = micrkit::Cmc7Trace(kLine, {});
  trace.ScaleLobe(6, 4, 0.0);
  trace.ScaleLobe(6, 5, 0.0);
  const Decoded d = ReadTrace(trace, 1);
  EXPECT_EQ(d.passes, 3);
  // The merged gap breaks the character; its remaining bars make a second broken one.
  EXPECT_EQ(d.line, "0123 4@@6  789:;<=>");
}

TEST(MicrCmc7Reader, WeakExtraBarNextToACharacterIsIgnored) {
  const micrkit::MagneticTrace clean = micrkit::Cmc7Trace(kLine, {});
  const micrkit::Cmc7Layout layout;
  for (const bool after : {true, false}) {
    std::vector<micrkit::Lobe> lobes(clean.lobes().begin(), clean.lobes().end());
    // Character 2 ('2') in reading order: its first bar is its first lobe, its last bar its last lobe.
    double first = 1e9, last = 0;
    for (const micrkit::Lobe& l : clean.lobes()) {
      if (l.character == 2 && l.height > 0) {
        first = std::min(first, l.time);
        last = std::max(last, l.time);
      }
    }
    const double t = after ? last + layout.shortGap : first - layout.shortGap;
    lobes.push_back({t, 0.25, 2});
    lobes.push_back({t + layout.barWidth, -0.25, 2});
    const Decoded d = ReadTrace(micrkit::MagneticTrace(lobes, clean.sigma(), clean.duration()), 1);
    EXPECT_EQ(d.line, kLine) << (after ? "extra bar after" : "extra bar before");
  }
}

TEST(MicrCmc7Reader, FontChoiceFollowsTheIntervalStructure) {
  // Automatic font: CMC-7 read by the CMC-7 reader, E13B handed to the E13B reader.
  EXPECT_EQ(ReadTrace(micrkit::Cmc7Trace(kLine, {}), 0).reader, 1);
  const Decoded e13b = ReadTrace(micrkit::E13bTrace("0123 456", {}), 0);
  EXPECT_EQ(e13b.reader, 2);
  EXPECT_EQ(e13b.line, "0123 456");
  // Forced CMC-7 never hands over: no character is read from an E13B signal (rejects, or no frame at all).
  const Decoded forced = ReadTrace(micrkit::E13bTrace("0123 456", {}), 1);
  EXPECT_EQ(forced.reader, 1);
  EXPECT_EQ(forced.line.find_first_not_of("@ "), std::string::npos) << forced.line;
}

}  // namespace
}  // namespace micrtest
