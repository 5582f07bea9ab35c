// Assembly speed of one image side: shading correction of the raw lines in place followed by building
// the DIB with lines as columns. Sizes are those of a cheque side: 8-bit grey 1700 lines of 1000 pixels,
// 24-bit colour 2550 lines of 1300 pixels. Bytes processed are output image bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "qv6/image/scan_lines.h"

namespace {

struct Side {
  qv6::CLoadScanLines s;
  std::vector<uint8_t> raw;
  Side(int bits, int pixels, int lines) {
    const int bytesPerLine = bits == 24 ? 3 * pixels : pixels;
    raw.resize(static_cast<size_t>(bytesPerLine) * lines);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>((i * 131) >> 3);
    std::vector<uint8_t> black(qv6::CScanLines::kMaxPixels, 12);
    std::vector<uint8_t> white(qv6::CScanLines::kMaxPixels, 235);
    for (unsigned kind = 0; kind < 8; kind += 2) {
      s.SetCalibrationLine(black, kind);
      s.SetCalibrationLine(white, kind + 1);
    }
    s.SetScanType(3);
    s.SetCalibratedPixels(pixels);
    s.BuildLookupTables(bits == 24 ? 1 : 0, 33, 34, 33);
    s.SetBitsPerPixel(bits);
    s.SetPixelsPerLine(pixels);
    s.SetBytesPerRawLine(bytesPerLine);
    s.SetNumberOfLines(lines);
    s.SetResolution(200);
    s.SetLineBuffer(raw.data(), raw.size());
  }
};

void Assemble(benchmark::State& state, int bits, int pixels, int lines, bool correct) {
  Side side(bits, pixels, lines);
  for (auto _ : state) {
    if (correct && !side.s.ApplyLookupTables(0, 0, 0, 0, 0)) state.SkipWithError("correction refused");
    if (!side.s.BuildImage(1, 1, 0)) state.SkipWithError("build refused");
    benchmark::DoNotOptimize(side.s.GetBits());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * side.s.GetImageSize());
}

void BM_GreySide(benchmark::State& state) {
  Assemble(state, 8, 1000, 1700, true);
}
void BM_ColourSide(benchmark::State& state) {
  Assemble(state, 24, 1300, 2550, true);
}
void BM_GreySideBuildOnly(benchmark::State& state) {
  Assemble(state, 8, 1000, 1700, false);
}
void BM_ColourSideBuildOnly(benchmark::State& state) {
  Assemble(state, 24, 1300, 2550, false);
}

}  // namespace

BENCHMARK(BM_GreySide)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourSide)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GreySideBuildOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourSideBuildOnly)->Unit(benchmark::kMillisecond);
