// Document construction and its magnetic samples. The head signal comes from the waveform kit: the
// printed line's ink edges as lobes, sampled in the series' format with a little seeded noise.
#include "sim/documents/document.h"

#include <algorithm>

#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace sim::documents {
namespace {

constexpr int kDecoderPreset = 3;  // 16-bit samples at the series' own rate

std::string Digits(uint32_t& state, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    state = state * 1664525u + 1013904223u;
    out.push_back(static_cast<char>('0' + (state >> 24) % 10));
  }
  return out;
}

}  // namespace

namespace {

struct Picker {
  uint32_t state;
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  double Uniform(double lo, double hi) { return lo + (hi - lo) * (Next() % 10000) / 10000.0; }
  // A position of `line` holding a character (not a blank), other than those in `taken`.
  size_t Character(const std::string& line, const std::vector<size_t>& taken) {
    for (int tries = 0; tries < 64; ++tries) {
      const size_t i = Next() % line.size();
      if (line[i] != ' ' && std::find(taken.begin(), taken.end(), i) == taken.end()) return i;
    }
    return 0;
  }
};

void WeakenMagnetic(LineForms& f, const std::string& line, Picker& pick, std::vector<size_t>& taken) {
  f.magneticInk.assign(line.size(), 1.0);
  f.magneticNoise = 0.03;
  const int weak = 1 + static_cast<int>(pick.Next() % 2);
  for (int k = 0; k < weak; ++k) {
    const size_t i = pick.Character(line, taken);
    taken.push_back(i);
    // Weak, not gone: around the print standard's floor of half the nominal signal, where readers start
    // to lose characters. A character with no magnetic ink at all is the case below.
    f.magneticInk[i] = pick.Uniform(0.35, 0.65);
  }
  if (pick.Next() % 3 == 0) {
    const size_t i = pick.Character(line, taken);
    taken.push_back(i);
    f.magneticInk[i] = 0;  // printed with ordinary ink
  }
}

void DamagePrint(LineForms& f, const std::string& line, Picker& pick, std::vector<size_t>& taken) {
  f.printMarks.assign(line.size(), PrintMark::kClean);
  f.printSpeckles = 40;
  const int damaged = 1 + static_cast<int>(pick.Next() % 2);
  for (int k = 0; k < damaged; ++k) {
    const size_t i = pick.Character(line, taken);
    taken.push_back(i);
    f.printMarks[i] = pick.Next() % 2 == 0 ? PrintMark::kVoid : PrintMark::kSmudge;
  }
}

}  // namespace

LineForms MakeLineForms(uint32_t seed, const std::string& codeLine, FormsCondition condition) {
  LineForms f;
  if (codeLine.empty() || condition == FormsCondition::kClean) return f;
  Picker pick{seed * 747796405u + 2891336453u};
  std::vector<size_t> taken;
  if (condition == FormsCondition::kWeakMagnetic || condition == FormsCondition::kBoth)
    WeakenMagnetic(f, codeLine, pick, taken);
  if (condition == FormsCondition::kDamagedPrint || condition == FormsCondition::kBoth)
    DamagePrint(f, codeLine, pick, taken);
  if (condition == FormsCondition::kDisagreeing) {
    f.printed = codeLine;
    size_t i = pick.Character(codeLine, taken);
    for (int tries = 0; tries < 64 && (codeLine[i] < '0' || codeLine[i] > '9'); ++tries)
      i = pick.Character(codeLine, taken);
    if (codeLine[i] >= '0' && codeLine[i] <= '9')
      f.printed[i] = static_cast<char>('0' + (codeLine[i] - '0' + 1 + pick.Next() % 9) % 10);
  }
  return f;
}

namespace {

// The line as a device of `format`'s rate and `samplesPerInch` reads it.
std::vector<uint16_t> Sample(const Document& d, const micrkit::SampleFormat& format, double samplesPerInch,
                             bool mirroredSides) {
  const micrkit::MagneticTrace trace =
      d.font == MicrFont::kE13b
          ? micrkit::E13bTrace(d.codeLine, micrkit::E13bLayoutAt(samplesPerInch, format.rate), d.forms.magneticInk)
          : micrkit::Cmc7Trace(d.codeLine, {}, d.forms.magneticInk);
  micrkit::Impairments impairments;
  impairments.noise = d.forms.magneticNoise;
  impairments.seed = d.seed + 17;
  std::vector<uint16_t> samples = micrkit::SampleTrace(trace, format, impairments);
  if (mirroredSides) std::reverse(samples.begin(), samples.end());
  return samples;
}

}  // namespace

std::vector<uint16_t> Document::MagneticSamples(int rate, bool mirroredSides) const {
  return Sample(*this, micrkit::FormatForPreset(kDecoderPreset, rate), rate / micrkit::kDocumentInchesPerSecond,
                mirroredSides);
}

std::vector<uint8_t> Document::MagneticBytes(const micrkit::SeriesFormat& series, bool mirroredSides) const {
  return micrkit::ToWire(Sample(*this, micrkit::FormatForPreset(series.preset, series.rate), series.samplesPerInch,
                                mirroredSides),
                         series.wire);
}

std::vector<uint8_t> Document::MagneticBytes(int rate, bool mirroredSides) const {
  return micrkit::ToWire(MagneticSamples(rate, mirroredSides), micrkit::WireOrder::kLittleEndian16);
}

std::string MakeCodeLine(uint32_t seed, MicrFont font) {
  uint32_t state = seed * 2654435761u + 7u;
  const std::string transit = Digits(state, 9);
  const std::string account = Digits(state, 7);
  const std::string serial = Digits(state, 4);
  if (font == MicrFont::kE13b) return ":" + transit + ": " + account + "< " + serial;
  return "<" + transit + "> " + account + ": " + serial;
}

namespace {

// The scanner's ground behind a missing piece of paper.
constexpr Rgb kGround{20, 20, 20};

// A skewed face keeps its top edge and moves its content down by the skew at each column; below the
// sloping bottom edge, and wherever else paper is missing, the ground shows.
void ApplyFrontDefects(SideImage& face, zc::testkit::DefectSpec spec) {
  spec.width = face.width;
  spec.height = face.height;
  const SideImage source = face;
  for (int x = 0; x < face.width; ++x) {
    const int shift = zc::testkit::defectSkewShift(spec, x);
    for (int y = 0; y < face.height; ++y) {
      const int from = y - shift;
      face.Set(x, y, from >= 0 ? source.At(x, from) : Rgb{255, 255, 255});
      if (zc::testkit::defectGround(spec, x, y)) face.Set(x, y, kGround);
    }
  }
}

}  // namespace

Document MakeCheque(uint32_t seed, const ChequeOptions& options) {
  Document doc;
  doc.seed = seed;
  doc.cheque = options;
  doc.font = options.font;
  doc.codeLine = MakeCodeLine(seed, options.font);
  doc.forms = options.forms;
  const FaceSpec face{options.dpi, options.widthInches, options.heightInches, options.colour, seed};
  PrintedLine printed;
  printed.text = doc.PrintedLine();
  printed.marks = doc.forms.printMarks;
  printed.speckles = doc.forms.printSpeckles;
  printed.seed = seed;
  doc.front = MakeFront(face, printed, options.font);
  if (options.frontDefects) ApplyFrontDefects(doc.front, *options.frontDefects);
  doc.rear = MakeRear(face);
  return doc;
}

}  // namespace sim::documents
