// Timings of the record operations on the scan path: the checksum of a 200-dpi 1-bit cheque, the
// in-place 300-to-200 reduction of a 300-dpi gray cheque, and a quarter turn of a 64 KB 1-bit strip.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/checksum.h"
#include "imaging/image_record.h"
#include "imaging/rotate_bw.h"
#include "imaging/scalers.h"

namespace {

using namespace zc::imaging;

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

void BM_ImageCrc16_1700x800(benchmark::State& state) {
  const RecordHeader h{1700, 800, 1, 200};
  std::vector<uint8_t> record = RandomBytes(static_cast<size_t>(RecordByteSize(h)), 1);
  WriteRecordHeader(record.data(), h);
  for (auto _ : state) benchmark::DoNotOptimize(funcImageCrc16(record));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(record.size() - 8));
}
BENCHMARK(BM_ImageCrc16_1700x800)->Unit(benchmark::kMicrosecond);

void BM_Image300To200InPlace_2550x1200(benchmark::State& state) {
  const RecordHeader h{2550, 1200, 8, 300};
  const std::vector<uint8_t> source = [&] {
    std::vector<uint8_t> r = RandomBytes(static_cast<size_t>(RecordByteSize(h)), 2);
    WriteRecordHeader(r.data(), h);
    return r;
  }();
  std::vector<uint8_t> record(source.size());
  for (auto _ : state) {
    state.PauseTiming();
    record = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(funcImage300To200(record, record));
  }
}
BENCHMARK(BM_Image300To200InPlace_2550x1200)->Unit(benchmark::kMillisecond);

void BM_RotateBW90Left_64KB(benchmark::State& state) {
  const unsigned w = 1024, h = 512;  // 128 bytes a row, 65536 bytes
  const std::vector<uint8_t> source = RandomBytes(w / 8 * h, 3);
  std::vector<uint8_t> out(source.size());
  for (auto _ : state) {
    funcRotateBW90Left(source.data(), out.data(), w, h);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_RotateBW90Left_64KB)->Unit(benchmark::kMicrosecond);

}  // namespace
