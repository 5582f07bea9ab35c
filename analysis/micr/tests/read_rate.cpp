// Line generation and scoring for the read-rate test and benchmark.
#include "analysis/micr/tests/read_rate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "analysis/micr/decoder.h"
#include "analysis/micr/debug_logs.h"
#include "analysis/micr/templates.h"
#include "analysis/micr/tests/fake_services.h"
#include "devicelib/core/micr/micr.h"
#include "testkit/micr/e13b_glyphs.h"
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

// The tables give positions in samples at 1600 per inch from the character's first sample, and levels
// on the conditioned scale around 127.
constexpr double kTableSamplesPerUnit = 1600 * micrkit::kE13bUnitInches;
constexpr int kTableBaseline = 127;
constexpr int kFirstOffset = 4;  // every waveform template's first peak

// How far a lobe of the waveform table reaches on each side, in table samples: the peak table's entry
// of the same sign nearest it (within 8 samples, in any class of the symbol) wants the signal more than
// 10 levels out over its shape window, about `before` samples ahead of the extreme and `after` after it.
struct Reach {
  int before = 3, after = 3;
};

Reach ReachOf(char symbol, int offset, int level) {
  Reach reach;
  int nearest = 9;
  for (int c = 0; c < kPeakClasses; ++c) {
    if (kPeakClassSymbols[c] != symbol) continue;
    for (const PeakTemplateEntry& e : kPeakTemplates[static_cast<std::size_t>(c)].entries) {
      if (e.position == 0 || e.level == 0) break;
      const int distance = std::abs(e.position - offset);
      if ((e.level > 0) != (level > kTableBaseline) || distance >= nearest) continue;
      nearest = distance;
      reach = Reach{e.before, e.after};
    }
  }
  return reach;
}

// The Gaussian width that keeps a lobe of `height` levels more than 10 out for `samples` samples.
double SigmaFor(int samples, double height) {
  return (samples + 1) / std::sqrt(2 * std::log(std::max(height, 20.0) / 10));
}

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

micrkit::LineTally Score(const std::string& truth, std::string_view output, ErrorCounts& errors) {
  micrkit::AlignLine(truth, output, [&errors](char t, char o) {
    if (t != o) ++errors[std::string{t == 0 ? '-' : t, '>', o == 0 ? '-' : o}];
  });
  return micrkit::ScoreLine(truth, output);
}

bool Rejected(const micrkit::LineTally& t) {
  return t.linesRejected > 0 || t.linesMisread > 0;
}

}  // namespace

micrkit::MagneticTrace TableTrace(std::string_view printed, const micrkit::E13bLayout& layout,
                                  std::span<const double> characterGain) {
  std::vector<micrkit::Lobe> lobes;
  const double scale = layout.unitSamples / kTableSamplesPerUnit;  // trace samples per table sample
  const double cell = micrkit::kE13bPitchUnits * layout.unitSamples;
  const std::size_t count = printed.size();
  for (std::size_t i = 0; i < count; ++i) {
    const MicrWaveTemplate* t = FindWaveTemplate(printed[i]);
    if (t == nullptr) continue;  // an empty position
    // As the kit's glyphs: the head meets the character's right edge, its first peak, here.
    const double rightEdge = layout.leadIn + static_cast<double>(count - 1 - i) * cell;
    const double gain = i < characterGain.size() ? characterGain[i] : 1.0;
    for (int k = 0; k < t->PeakCount(); ++k) {
      const int offset = t->offset[static_cast<std::size_t>(k)];
      const int level = t->level[static_cast<std::size_t>(k)];
      const double height = std::abs(level - kTableBaseline);
      const Reach reach = ReachOf(t->symbol, offset, level);
      micrkit::Lobe lobe{rightEdge + (offset - kFirstOffset) * scale, (level - kTableBaseline) / 128.0 * gain,
                         static_cast<int>(i)};
      lobe.rise = SigmaFor(reach.before, height) * scale;
      lobe.fall = SigmaFor(reach.after, height) * scale;
      lobes.push_back(lobe);
    }
  }
  const double duration = layout.leadIn + static_cast<double>(count) * cell + layout.leadOut;
  return micrkit::MagneticTrace(std::move(lobes), layout.headSigma, duration);
}

ReadRates MeasureReadRates(int lines, bool noisy, uint32_t seed, WaveSource source) {
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
    const micrkit::MagneticTrace trace = source == WaveSource::kTables
                                             ? TableTrace(truth, layout, gains)
                                             : micrkit::E13bTrace(truth, layout, gains);
    std::vector<uint16_t> samples = micrkit::SampleTrace(trace, format, impairments);

    const std::string library = LibraryLine(samples, c);
    char line[100], conf[100];
    decoders[ci]->Decode(samples.data(), static_cast<int32_t>(samples.size() * 2), line, conf);
    const KeptResults kept = decoders[ci]->Results();

    const micrkit::LineTally merged = Score(truth, line, rates.mergedErrors);
    const micrkit::LineTally lib = Score(truth, library, rates.libraryErrors);
    rates.merged += merged;
    rates.peaks += Score(truth, kept.peaksLine.data(), rates.peaksErrors);
    rates.signal += Score(truth, kept.signalLine.data(), rates.signalErrors);
    rates.library += lib;
    if (merged.linesRead > 0 && Rejected(lib)) ++rates.oursOnly;
    if (lib.linesRead > 0 && Rejected(merged)) ++rates.libraryOnly;
    // Which try each merged substitution came from: the line's positions, blanks included, are those of
    // both tries' lines.
    std::vector<std::size_t> at;
    for (std::size_t i = 0; line[i] != '\0'; ++i) {
      if (line[i] != ' ') at.push_back(i);
    }
    std::size_t j = at.size();
    micrkit::AlignLine(truth, line, [&](char t, char o) {
      if (o == 0) return;
      const std::size_t p = at[--j];
      if (t == 0 || o == t || o == '@') return;
      if (conf[p] == '9') ++rates.substitutionsAtNine;
      const bool signalTaken = o == kept.signalLine[p] && kept.peaksConf[p] <= kept.signalConf[p];
      ++(signalTaken ? rates.fromSignal : rates.fromPeaks);
    });
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
  text += Format("  merged substitutions at confidence 9: %ld, taken from the peak try %ld, from the signal "
                 "try %ld; lines only the template decoder reads: %ld, only the device library reads: %ld\n",
                 r.substitutionsAtNine, r.fromPeaks, r.fromSignal, r.oursOnly, r.libraryOnly);
  const auto errors = [&](const char* name, const ErrorCounts& counts) {
    if (counts.empty()) return;
    text += Format("  %-15s", name);
    for (const auto& [pair, n] : counts) text += Format(" %s %ld", pair.c_str(), n);
    text += "\n";
  };
  text += "  errors, printed>read ('@' reject, '-' none):\n";
  errors("merged", r.mergedErrors);
  errors("peaks try", r.peaksErrors);
  errors("signal try", r.signalErrors);
  errors("device library", r.libraryErrors);
  return text;
}

}  // namespace analysis::micr::testing
