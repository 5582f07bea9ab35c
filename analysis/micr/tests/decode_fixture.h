// Decoding synthetic lines with a fake scanner API: the waveform kit draws the line, the fake names the
// scanner, a fresh decoder context reads it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis/micr/decoder.h"
#include "analysis/micr/framer.h"
#include "analysis/micr/tests/fake_services.h"
#include "testkit/micr/e13b_glyphs.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace analysis::micr::testing {

struct Decoded {
  int length = 0;
  std::string line, conf;
  KeptResults kept;
  std::string Peaks() const { return kept.peaksLine.data(); }
  std::string PeaksConf() const { return kept.peaksConf.data(); }
  std::string Signal() const { return kept.signalLine.data(); }
  std::string SignalConf() const { return kept.signalConf.data(); }
};

inline Decoded DecodeSamples(MagneticDecoder& decoder, std::vector<uint16_t> samples) {
  Decoded d;
  char line[100] = {}, conf[100] = {};
  d.length = decoder.Decode(samples.data(), static_cast<int32_t>(samples.size() * 2), line, conf);
  d.line = line;
  d.conf = conf;
  d.kept = decoder.Results();
  return d;
}

// A line printed at the decoder's own density (1600 samples per inch at 50000 per second), delivered as
// the QV63x series does: 16-bit, left to right.
inline std::vector<uint16_t> IdealSamples(const micrkit::MagneticTrace& trace) {
  return micrkit::SampleTrace(trace, micrkit::FormatForPreset(3, 50000));
}

inline micrkit::E13bLayout DecoderLayout() {
  micrkit::E13bLayout layout;
  layout.unitSamples = 1600 * micrkit::kE13bUnitInches;
  return layout;
}

// The conditioned signal of a one-character line and the character's record: the decoder's pipeline
// up to the framing.
struct FramedGlyph {
  std::vector<uint16_t> signal;
  MicrCharRecord record;
  bool framed = false;
};

inline FramedGlyph FrameSingle(const micrkit::MagneticTrace& trace) {
  FramedGlyph g;
  ::analysis::testing::FakeServices services;
  ScopedServices scope(services);
  auto decoder = OpenMagneticDecoder();
  std::vector<uint16_t> samples = IdealSamples(trace);
  char line[100], conf[100];
  decoder->Decode(samples.data(), static_cast<int32_t>(samples.size() * 2), line, conf);
  // The decode conditioned the samples in place; frame them again to reach the record.
  const std::size_t n = samples.size() - 3;  // equal-rate resampling drops three samples
  g.signal.assign(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(n));
  std::array<MicrCharRecord, kMaxRecords> records{};
  g.framed = funcMicrFindCharacters(records, g.signal, false, services) == 1;
  g.record = records[0];
  return g;
}

}  // namespace analysis::micr::testing
