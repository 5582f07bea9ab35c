// Decode time of a full magnetic run: 32758 samples at 63200 per second in
// automatic font (CMC-7 tried first, then E13B), the polling thread's worst
// regular load. Every run's line is checked against what was printed.
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "devicelib/core/micr/micr.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace {

constexpr int kRate = 63200;
constexpr std::size_t kSamples = micr::Decoder::kMaxSamples;

constexpr int kDamageStep = 7;  // every seventh character loses a bar

// The printed line: 150 E13B characters, which nearly fill the run, or 80 CMC-7 characters. A line must
// end within the run (a longer one is cut mid-character, which then reads as a reject), and the CMC-7
// reader keeps at most 600 bar minima, about 85 characters, so a longer CMC-7 line is cut where that
// list fills.
std::string Printed(bool cmc7) {
  const std::string unit = cmc7 ? "0123456789:;<=> " : "0123456789:;<= ";
  std::string text;
  while (text.size() < (cmc7 ? 80u : 150u)) text += unit;
  return text;
}

// The run of a printed line, padded with the idle level to the full run; `damaged` spoils bars so that
// every CMC-7 pass runs.
std::vector<uint16_t> FullRun(bool cmc7, bool damaged = false) {
  const std::string text = Printed(cmc7);
  micrkit::MagneticTrace trace = cmc7 ? micrkit::Cmc7Trace(text, {}) : micrkit::E13bTrace(text, {});
  for (int c = 0; damaged && c < static_cast<int>(text.size()); c += kDamageStep) trace.ScaleLobe(c, 5, 0.0);
  std::vector<uint16_t> samples = micrkit::SampleTrace(trace, micrkit::FormatForPreset(3, kRate));
  if (samples.size() > kSamples) throw std::logic_error("the printed line overruns the run");
  samples.resize(kSamples, 32768);
  return samples;
}

// The decoded line matches the printed one; a damaged character may read as anything.
bool ReadsAsPrinted(std::string_view read, const std::string& printed, bool damaged) {
  std::string_view expected(printed);
  while (!expected.empty() && expected.back() == ' ') expected.remove_suffix(1);
  while (!read.empty() && read.back() == ' ') read.remove_suffix(1);
  if (read.size() != expected.size()) return false;
  for (std::size_t i = 0; i < read.size(); ++i) {
    if (read[i] != expected[i] && !(damaged && i % kDamageStep == 0)) return false;
  }
  return true;
}

void DecodeAuto(benchmark::State& state, bool cmc7, bool damaged = false) {
  const std::vector<uint16_t> samples = FullRun(cmc7, damaged);
  const std::string printed = Printed(cmc7);
  qv6::Micr micr;
  micr.Setup(3, 0, 0, 0, kRate, 0, 0.13);
  for (auto _ : state) {
    micr.DecodeSamples(samples.data(), static_cast<unsigned>(samples.size()), 0, 0, 0);
    const char* line = micr.GetCodeline(1, '@');
    benchmark::DoNotOptimize(line);
    if (!ReadsAsPrinted(line, printed, damaged)) {
      state.SkipWithError(("misread: " + std::string(line)).c_str());
      break;
    }
  }
  state.SetLabel(std::string(micr.GetCodeline(1, '@')).substr(0, 24) + " ... passes " +
                 std::to_string(micr.decoder().cmc7().passes()));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
}

void BM_DecodeE13bFont0(benchmark::State& state) {
  DecodeAuto(state, false);
}
void BM_DecodeCmc7Font0(benchmark::State& state) {
  DecodeAuto(state, true);
}
void BM_DecodeDamagedCmc7Font0(benchmark::State& state) {
  DecodeAuto(state, true, true);
}

BENCHMARK(BM_DecodeE13bFont0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeCmc7Font0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeDamagedCmc7Font0)->Unit(benchmark::kMillisecond);

}  // namespace
