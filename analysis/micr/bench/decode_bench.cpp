// Decoding time of the magnetic template decoder: 1000 lines of 45 to 65 characters per scanner class,
// clean, and noisy lines on which every character's signal try scores all fourteen symbols; p50 and p99
// per class, in the decoding thread's processor time. The read-rate table on 1000 lines per condition,
// on the kit's glyphs and on waveforms drawn from the decoder's character tables, is printed by a third
// benchmark.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "analysis/micr/decoder.h"
#include "analysis/micr/tests/fake_services.h"
#include "analysis/micr/tests/read_rate.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace {

using analysis::micr::testing::ScannerClassCase;

std::vector<std::vector<uint16_t>> MakeLines(const ScannerClassCase& c, bool noisy, int count) {
  std::mt19937 random(77);
  std::uniform_int_distribution<int> length(45, 65);
  std::uniform_int_distribution<int> pick(0, 13);
  std::uniform_real_distribution<double> jitter(0.6, 1.3);
  std::vector<std::vector<uint16_t>> lines;
  for (int k = 0; k < count; ++k) {
    std::string truth;
    const int n = length(random);
    for (int i = 0; i < n; ++i) truth += "0123456789:;<="[pick(random)];
    std::vector<double> gains(truth.size(), 1.0);
    micrkit::Impairments impairments;
    impairments.seed = static_cast<uint32_t>(k + 1);
    if (noisy) {
      for (double& g : gains) g = jitter(random);
      impairments.noise = 0.05;
    }
    micrkit::SampleFormat format = micrkit::FormatForPreset(c.devicePreset, c.deviceRate);
    format.readingOrder = c.readingOrder;
    lines.push_back(micrkit::SampleTrace(
        micrkit::E13bTrace(truth, micrkit::E13bLayoutAt(c.samplesPerInch, c.deviceRate), gains), format,
        impairments));
  }
  return lines;
}

// The decoding thread's own processor time, so that other programs on a busy machine do not count.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void DecodeLines(benchmark::State& state, bool noisy) {
  const ScannerClassCase& c = analysis::micr::testing::ScannerClassCases()[static_cast<std::size_t>(state.range(0))];
  state.SetLabel(c.name);
  analysis::testing::FakeServices services;
  services.product = c.product;
  services.serial = c.serial;
  services.params[119] = c.frontColour;
  analysis::ScopedServices scope(services);
  auto decoder = analysis::micr::OpenMagneticDecoder();
  const auto lines = MakeLines(c, noisy, 1000);
  std::vector<double> ms;
  std::vector<uint16_t> work;
  char line[100], conf[100];
  for (auto _ : state) {
    ms.clear();
    for (const auto& samples : lines) {
      work = samples;  // the decoder conditions in place
      const double t0 = ThreadCpuMs();
      decoder->Decode(work.data(), static_cast<int32_t>(work.size() * 2), line, conf);
      ms.push_back(ThreadCpuMs() - t0);
      benchmark::DoNotOptimize(line);
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["p50_ms"] = ms[ms.size() / 2];
  state.counters["p99_ms"] = ms[ms.size() * 99 / 100];
  state.counters["max_ms"] = ms.back();
}

void BM_CleanLines(benchmark::State& state) {
  DecodeLines(state, false);
}
void BM_NoisyLines(benchmark::State& state) {
  DecodeLines(state, true);
}

// The read rates on the kit's glyphs and on waveforms drawn from the decoder's own character tables,
// with the same lines, speeds, noise, ink and gain.
void BM_ReadRateTable(benchmark::State& state) {
  using analysis::micr::testing::FormatReadRates;
  using analysis::micr::testing::MeasureReadRates;
  using analysis::micr::testing::WaveSource;
  for (auto _ : state) {
    for (const WaveSource source : {WaveSource::kGlyphs, WaveSource::kTables}) {
      const char* name = source == WaveSource::kGlyphs ? "kit glyphs" : "table waveforms";
      const auto clean = MeasureReadRates(1000, false, 4242, source);
      const auto noisy = MeasureReadRates(1000, true, 1013, source);
      std::printf("%s%s", FormatReadRates((std::string("clean, ") + name).c_str(), clean).c_str(),
                  FormatReadRates((std::string("noisy, ") + name).c_str(), noisy).c_str());
    }
  }
}

BENCHMARK(BM_CleanLines)->DenseRange(0, 9)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoisyLines)->DenseRange(0, 9)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRateTable)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
