// Timing of the black-and-white renderings of a 200-dpi gray cheque into a record: the histogram-adaptive
// one and the edge-detecting one with the verified scan's options.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "imaging/adaptive_bw.h"
#include "imaging/edge_detect_bw.h"
#include "imaging/image_record.h"
#include "zarn/trace.h"

namespace {

using namespace zc::imaging;

void BM_ConvGrayArea_2048x940(benchmark::State& state) {
  zarn::SetScannerTypeCode(1);
  const RecordHeader h{2048, 940, 8, 200};
  std::vector<uint8_t> record(static_cast<size_t>(RecordByteSize(h)));
  WriteRecordHeader(record.data(), h);
  // Light paper with dark strokes.
  std::mt19937 rng(7);
  for (size_t i = kRecordHeaderBytes; i < record.size(); ++i) record[i] = (rng() % 16 == 0) ? 30 : 210;
  std::vector<uint8_t> out(static_cast<size_t>(RecordByteSize({2048, 940, 1, 200})));
  for (auto _ : state) benchmark::DoNotOptimize(funcConvGrayArea(record, nullptr, out, state.range(0)));
}
BENCHMARK(BM_ConvGrayArea_2048x940)->Arg(0)->Arg(kBwCleanUpFilter)->Unit(benchmark::kMillisecond);

// A cheque-like page: light paper with a soft gradient, dark strokes, faint mid-gray lines and a band of
// code-line characters at the bottom.
std::vector<uint8_t> ChequeRecord(int w, int h) {
  const RecordHeader hdr{w, h, 8, 200};
  std::vector<uint8_t> record(static_cast<size_t>(RecordByteSize(hdr)));
  WriteRecordHeader(record.data(), hdr);
  std::mt19937 rng(11);
  uint8_t* px = record.data() + kRecordHeaderBytes;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int v = 200 + (x + y) % 40 + static_cast<int>(rng() % 8);
      if ((x / 3) % 23 == 0 && (y / 40) % 3 == 1) v = 40;   // strokes
      if (y % 97 == 0) v = 150;                             // faint rules
      if (y > h - 90 && (x / 6) % 4 == 0) v = 25;           // code line
      px[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(std::min(v, 255));
    }
  return record;
}

void BM_EdgeDetectBW_2048x940(benchmark::State& state) {
  zarn::SetScannerTypeCode(1);
  const auto record = ChequeRecord(2048, 940);
  std::vector<uint8_t> out(static_cast<size_t>(RecordByteSize({2048, 936, 1, 200})));
  const unsigned options = 83 + static_cast<unsigned>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(funcConvGrayImageEdgeDetectBW(record, nullptr, 600, options, out));
}
BENCHMARK(BM_EdgeDetectBW_2048x940)->Arg(0)->Arg(0x300)->Unit(benchmark::kMillisecond);

void BM_ConvGrayArea_Cheque_2048x940(benchmark::State& state) {
  zarn::SetScannerTypeCode(1);
  const auto record = ChequeRecord(2048, 940);
  std::vector<uint8_t> out(static_cast<size_t>(RecordByteSize({2048, 940, 1, 200})));
  for (auto _ : state) benchmark::DoNotOptimize(funcConvGrayArea(record, nullptr, out, kBwCleanUpFilter));
}
BENCHMARK(BM_ConvGrayArea_Cheque_2048x940)->Unit(benchmark::kMillisecond);

}  // namespace

