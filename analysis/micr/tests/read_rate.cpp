// Line generation and scoring for the read-rate test and benchmark.
#include "analysis/micr/tests/read_rate.h"

#include <algorithm>
#include <random>

#include "analysis/micr/decoder.h"
#include "analysis/micr/debug_logs.h"
#include "analysis/micr/tests/fake_services.h"
#include "devicelib/core/micr/micr.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace analysis::micr::testing {

const std::vector<ScannerClassCase>& ScannerClassCases() {
  static const std::vector<ScannerClassCase> cases{
      {"QV600", "QV600", "", 0, 50000, 1280, 2, false},
      {"QV605", "QV605", "", 0, 50000, 1280, 2, false},
      {"QV620", "QV620", "000001", 0, 63200, 1600, 3, false},
      {"QV620Fast", "QV620", "000002", 0, 63200, 1600, 3, false},
      {"QV620Colour", "QV620", "000001", 1, 47400, 1200, 3, false},
      {"QV630", "QV630", "", 0, 63200, 1600, 3, false},
      {"QV630Colour2", "QV630", "", 2, 94800, 2400, 3, false},
      {"QV640", "QV640", "", 0, 70866, 1794, 3, false},
      {"QV840", "QV840", "", 0, 63200, 1600, 3, true},
      {"RM70", "VEK RM 70", "", 0, 70919, 1795, 3, false},
  };
  return cases;
}

namespace {

std::string RandomLine(std::mt19937& random) {
  std::string line = micrkit::RandomCodeLine(random, "0123456789:;<=");
  // A transit symbol eleventh starts the transit field: the decoder then reads the first character as
  // one too, so lines keep to that layout.
  if (line.size() > 11 && line[10] == ':') line[0] = ':';
  return line;
}

std::string LibraryLine(std::vector<uint16_t> samples, const ScannerClassCase& c) {
  // The device library reads the line in its delivered order; a mirrored series is turned back first.
  if (c.readingOrder) std::reverse(samples.begin(), samples.end());
  ::qv6::Micr micr;
  micr.Setup(c.devicePreset, 0, 0, 0, c.deviceRate, 0, 0.13);
  micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 2, 0, 0);
  return micr.GetCodeline(2, '@');
}

bool Rejected(const micrkit::LineTally& t) {
  return t.linesRejected > 0 || t.linesMisread > 0;
}

}  // namespace

ReadRates MeasureReadRates(int lines, bool noisy, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> jitter(0.8, 1.2);
  std::uniform_real_distribution<double> level(0.4, 0.7);
  std::uniform_real_distribution<double> speed(-0.05, 0.05);
  const std::vector<ScannerClassCase>& cases = ScannerClassCases();
  std::vector<std::unique_ptr<MagneticDecoder>> decoders;
  for (std::size_t i = 0; i < cases.size(); ++i) decoders.push_back(OpenMagneticDecoder());
  ReadRates rates;
  for (int k = 0; k < lines; ++k) {
    const std::size_t ci = static_cast<std::size_t>(k) % cases.size();
    const ScannerClassCase& c = cases[ci];
    ::analysis::testing::FakeServices services;
    services.product = c.product;
    services.serial = c.serial;
    services.params[119] = c.frontColour;
    ScopedServices scope(services);

    const std::string truth = RandomLine(random);
    micrkit::E13bLayout layout = micrkit::E13bLayoutAt(c.samplesPerInch, c.deviceRate);
    std::vector<double> gains(truth.size(), 1.0);
    micrkit::Impairments impairments;
    impairments.seed = static_cast<uint32_t>(random());
    if (noisy) {
      for (double& g : gains) g = jitter(random);
      impairments.amplitude = level(random);
      impairments.noise = 0.02;
      layout.unitSamples *= 1 + speed(random);
    }
    micrkit::SampleFormat format = micrkit::FormatForPreset(c.devicePreset, c.deviceRate);
    format.readingOrder = c.readingOrder;
    std::vector<uint16_t> samples = micrkit::SampleTrace(micrkit::E13bTrace(truth, layout, gains), format, impairments);

    const std::string library = LibraryLine(samples, c);
    char line[100], conf[100];
    decoders[ci]->Decode(samples.data(), static_cast<int32_t>(samples.size() * 2), line, conf);
    const KeptResults kept = decoders[ci]->Results();

    const micrkit::LineTally merged = micrkit::ScoreLine(truth, line);
    const micrkit::LineTally lib = micrkit::ScoreLine(truth, library);
    rates.merged += merged;
    rates.peaks += micrkit::ScoreLine(truth, kept.peaksLine.data());
    rates.signal += micrkit::ScoreLine(truth, kept.signalLine.data());
    rates.library += lib;
    if (merged.linesRead > 0 && Rejected(lib)) ++rates.oursOnly;
    if (lib.linesRead > 0 && Rejected(merged)) ++rates.libraryOnly;
    const std::string out = line;
    if (out.size() == truth.size()) {
      for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] != truth[i] && out[i] != '@' && conf[i] == '9') ++rates.substitutionsAtNine;
      }
    }
  }
  return rates;
}

std::string FormatReadRates(const char* condition, const ReadRates& r) {
  std::string text = Format("%s, %ld lines, %ld characters\n", condition, r.merged.lines, r.merged.truth);
  text += "  reader            read    reject  subst  del  ins | lines read / rejected / misread\n";
  const auto row = [&](const char* name, const micrkit::LineTally& t) {
    text += Format("  %-15s %6ld %8ld %6ld %4ld %4ld | %ld / %ld / %ld\n", name, t.correct, t.rejects,
                   t.substitutions, t.deletions, t.insertions, t.linesRead, t.linesRejected, t.linesMisread);
  };
  row("merged", r.merged);
  row("peaks try", r.peaks);
  row("signal try", r.signal);
  row("device library", r.library);
  text += Format("  merged substitutions at confidence 9: %ld; lines only the template decoder reads: %ld, "
                 "only the device library reads: %ld\n",
                 r.substitutionsAtNine, r.oursOnly, r.libraryOnly);
  return text;
}

}  // namespace analysis::micr::testing
