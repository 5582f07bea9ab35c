// A cheque's code line: printed on the front where a code-line reader looks for it, and read back from
// its magnetic samples by the device library's decoder at the later series' rates.
#include "sim/documents/document.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "devicelib/core/micr/micr.h"

namespace sim::documents {
namespace {

std::string Decode(const std::vector<uint16_t>& samples, int rate, int font, int preset = 3) {
  qv6::Micr micr;
  micr.Setup(preset, 2, 0, 0, rate, 0, 0.13);
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), font, 0, 0);
  const char* line = micr.GetCodeline(2, '@');
  return line ? line : "";
}

TEST(Document, MagneticSamplesReadBackAsTheCodeLine) {
  struct Case {
    MicrFont font;
    int rate;
    int decoderFont;
  };
  for (const Case c : {Case{MicrFont::kE13b, 63200, 2}, Case{MicrFont::kE13b, 94800, 0},
                       Case{MicrFont::kCmc7, 63200, 1}, Case{MicrFont::kCmc7, 94800, 0}}) {
    SCOPED_TRACE(testing::Message() << c.rate << " font " << c.decoderFont);
    ChequeOptions opt;
    opt.font = c.font;
    const Document d = MakeCheque(21, opt);
    const std::vector<uint16_t> samples = d.MagneticSamples(c.rate);
    EXPECT_LE(samples.size(), 32718u);  // fits one transfer
    EXPECT_EQ(Decode(samples, c.rate, c.decoderFont), d.codeLine);
  }
}

TEST(Document, MirroredSidesDeliverTheSamplesReversedAndWireIsLittleEndian) {
  const Document d = MakeCheque(4);
  const std::vector<uint16_t> normal = d.MagneticSamples(63200);
  std::vector<uint16_t> mirrored = d.MagneticSamples(63200, true);
  EXPECT_NE(mirrored, normal);
  // A host that reverses the mirrored samples has the normal ones, and reads the line.
  std::reverse(mirrored.begin(), mirrored.end());
  EXPECT_EQ(mirrored, normal);
  EXPECT_EQ(Decode(mirrored, 63200, 2), d.codeLine);

  const std::vector<uint8_t> wire = d.MagneticBytes(63200);
  const std::vector<uint16_t> samples = d.MagneticSamples(63200);
  ASSERT_EQ(wire.size(), 2 * samples.size());
  for (size_t i = 0; i < samples.size(); i += 97) {
    EXPECT_EQ(wire[2 * i] | wire[2 * i + 1] << 8, samples[i]);
  }
}

TEST(Document, EverySeriesWireFormatReadsBack) {
  const Document d = MakeCheque(12);
  for (const micrkit::SeriesFormat& series : micrkit::SeriesFormats()) {
    SCOPED_TRACE(series.series);
    const std::vector<uint16_t> samples = micrkit::FromWire(d.MagneticBytes(series), series.wire);
    EXPECT_EQ(Decode(samples, series.rate, 2, series.preset), d.codeLine);
  }
}

// Ink rows of a band: rows holding at least `minDark` pixels at or below 96.
int InkRows(const SideImage& img, int y0, int y1, int minDark) {
  int rows = 0;
  for (int y = y0; y < y1; ++y) {
    int dark = 0;
    for (int x = 30; x < img.width - 30; ++x) dark += img.At(x, y).r <= 96;
    rows += dark >= minDark;
  }
  return rows;
}

TEST(Document, FrontCarriesItsCodeLineInTheClearBandAndRearAnEndorsement) {
  const Document d = MakeCheque(8);
  const SideImage& f = d.front;
  // The E13B band: glyphs 0.117 inch high with their bottom 3/16 inch above the bottom edge.
  const int bottom = f.height - 38;
  EXPECT_GE(InkRows(f, bottom - 23, bottom, 20), 18);
  EXPECT_EQ(InkRows(f, bottom + 2, f.height - 4, 1), 0);  // clear below the line
  // The rightmost character ends 5/16 inch from the right edge.
  int rightmost = 0;
  for (int y = bottom - 23; y < bottom; ++y) {
    for (int x = 0; x < f.width - 4; ++x) {
      if (f.At(x, y).r <= 96) rightmost = std::max(rightmost, x);
    }
  }
  EXPECT_NEAR(rightmost, f.width - 63, 2);

  EXPECT_GE(InkRows(d.rear, 100, d.rear.height - 100, 10), 60);
  EXPECT_EQ(d.front.width, d.rear.width);
  EXPECT_EQ(d.front.height, d.rear.height);
}

}  // namespace
}  // namespace sim::documents
