// Lobe placement for E13B glyph edges and CMC-7 bars, and trace evaluation.
#include "testkit/micr/magnetic_trace.h"

#include <algorithm>
#include <cmath>

#include "testkit/micr/cmc7_code.h"
#include "testkit/micr/e13b_glyphs.h"

namespace micrkit {

namespace {
constexpr double kReach = 6;  // lobes are evaluated within this many sigmas

double GainOf(std::span<const double> gains, std::size_t i) {
  return i < gains.size() ? gains[i] : 1.0;
}
}  // namespace

MagneticTrace::MagneticTrace(std::vector<Lobe> lobes, double sigma, double duration)
    : lobes_(std::move(lobes)), sigma_(sigma), duration_(duration) {
  Prepare();
}

void MagneticTrace::Prepare() {
  std::stable_sort(lobes_.begin(), lobes_.end(),
                   [](const Lobe& a, const Lobe& b) { return a.time < b.time; });
  widest_ = sigma_;
  for (const Lobe& l : lobes_) widest_ = std::max({widest_, SigmaBefore(l), SigmaAfter(l)});
  // The largest value lies within a few sigmas of some lobe.
  peak_ = 0;
  for (const Lobe& l : lobes_) {
    for (double t = l.time - 2 * SigmaBefore(l); t <= l.time + 2 * SigmaAfter(l); t += 0.25)
      peak_ = std::max(peak_, std::fabs(At(t)));
  }
}

double MagneticTrace::At(double time) const {
  const double reach = kReach * widest_;
  const Lobe* const begin = lobes_.data();
  const Lobe* const end = begin + lobes_.size();
  const Lobe* l =
      std::lower_bound(begin, end, time - reach, [](const Lobe& a, double t) { return a.time < t; });
  double sum = 0;
  for (; l != end && l->time <= time + reach; ++l) {
    const double d = (time - l->time) / (time < l->time ? SigmaBefore(*l) : SigmaAfter(*l));
    sum += l->height * std::exp(-0.5 * d * d);
  }
  return sum;
}

void MagneticTrace::ScaleCharacter(int character, double factor) {
  for (Lobe& l : lobes_) {
    if (l.character == character) l.height *= factor;
  }
  Prepare();
}

void MagneticTrace::ScaleLobe(int character, int n, double factor) {
  int seen = 0;
  for (Lobe& l : lobes_) {
    if (l.character == character && seen++ == n) l.height *= factor;
  }
  Prepare();
}

E13bLayout E13bLayoutAt(double samplesPerInch, double deviceRate) {
  E13bLayout layout;
  // Trace time runs in nominal samples (50000 per second).
  layout.unitSamples = samplesPerInch * kE13bUnitInches * 50000.0 / deviceRate;
  return layout;
}

E13bLayout E13bLayoutAt(double deviceRate) {
  return E13bLayoutAt(deviceRate / kDocumentInchesPerSecond, deviceRate);
}

MagneticTrace E13bTrace(std::string_view printed, const E13bLayout& layout,
                        std::span<const double> characterGain) {
  std::vector<Lobe> lobes;
  const double cell = kE13bPitchUnits * layout.unitSamples;
  const std::size_t count = printed.size();
  for (std::size_t i = 0; i < count; ++i) {
    const E13bGlyph* glyph = FindE13bGlyph(printed[i]);
    if (glyph == nullptr) continue;  // an empty position
    const double rightEdge = layout.leadIn + static_cast<double>(count - 1 - i) * cell;
    const std::vector<int> ink = ColumnInk(*glyph);
    const double gain = GainOf(characterGain, i) / kE13bHeightTenths;
    // Boundary b lies between column b - 1 and column b; the head crosses it from b into b - 1.
    for (int b = glyph->width; b >= 0; --b) {
      const int into = b > 0 ? ink[static_cast<std::size_t>(b - 1)] : 0;
      const int from = b < glyph->width ? ink[static_cast<std::size_t>(b)] : 0;
      if (into == from) continue;
      lobes.push_back(Lobe{rightEdge + (glyph->width - b) * layout.unitSamples, (into - from) * gain,
                           static_cast<int>(i)});
    }
  }
  const double duration = layout.leadIn + static_cast<double>(count) * cell + layout.leadOut;
  return MagneticTrace(std::move(lobes), layout.headSigma, duration);
}

MagneticTrace Cmc7Trace(std::string_view printed, const Cmc7Layout& layout,
                        std::span<const double> characterGain) {
  std::vector<Lobe> lobes;
  const double pitch = layout.pitch > 0 ? layout.pitch : 6 * layout.shortGap + 3 * layout.longGap;
  const std::size_t count = printed.size();
  for (std::size_t i = 0; i < count; ++i) {
    const Cmc7Symbol* symbol = FindCmc7Symbol(printed[i]);
    if (symbol == nullptr) continue;
    const double gain = GainOf(characterGain, i);
    // Reading meets the rightmost bar first: walk the gaps from the right.
    double t = layout.leadIn + static_cast<double>(count - 1 - i) * pitch;
    for (int bar = 6; bar >= 0; --bar) {
      lobes.push_back(Lobe{t, gain, static_cast<int>(i)});
      lobes.push_back(Lobe{t + layout.barWidth, -gain, static_cast<int>(i)});
      if (bar > 0) t += symbol->longGap[static_cast<std::size_t>(bar - 1)] ? layout.longGap : layout.shortGap;
    }
  }
  const double duration = layout.leadIn + static_cast<double>(count) * pitch + layout.leadOut;
  return MagneticTrace(std::move(lobes), layout.headSigma, duration);
}

}  // namespace micrkit
