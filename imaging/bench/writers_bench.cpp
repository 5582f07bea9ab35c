// Writing a scan's images to files: DIBCrop and VW_CompressDIB to G4 on 8-bit DIBs at 200 and 300 dpi
// sizes, gray and colour JPEG, and a 24-bit BMP, into a temporary folder (tmpfs where /dev/shm exists).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imaging/dib_crop.h"
#include "imaging/image_record.h"
#include "imaging/image_writers.h"
#include "qv6/image/dib_format.h"

namespace {

std::string Folder() {
  static const std::string folder = [] {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    const std::filesystem::path f = base / "zc_writers_bench";
    std::filesystem::create_directories(f);
    return f.string();
  }();
  return folder;
}

// A packed 8-bit or 24-bit DIB of a cheque-like page on a dark border.
std::vector<uint8_t> Dib(int width, int height, int bits) {
  const int colors = bits == 8 ? 256 : 0;
  const size_t stride = static_cast<size_t>(qv6::DibBytesPerLine(width, bits));
  const size_t offset = qv6::kInfoHeaderSize + static_cast<size_t>(colors) * 4;
  std::vector<uint8_t> d(offset + stride * static_cast<size_t>(height), 0);
  qv6::BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = static_cast<uint16_t>(bits);
  qv6::WriteInfoHeader(d.data(), h);
  for (int i = 0; i < colors; ++i) d[qv6::kInfoHeaderSize + 4 * i] = d[qv6::kInfoHeaderSize + 4 * i + 1] = d[qv6::kInfoHeaderSize + 4 * i + 2] = static_cast<uint8_t>(i);
  const int bytesPerPixel = bits / 8;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool border = x < 20 || y < 10 || x >= width - 20 || y >= height - 10;
      const bool ink = (y % 40 < 3 && x % 300 < 200) || ((x / 9 + y / 5) % 37 == 0);
      const uint8_t v = border ? 20 : ink ? 40 : static_cast<uint8_t>(215 + (x * 7 + y) % 30);
      for (int c = 0; c < bytesPerPixel; ++c) d[offset + static_cast<size_t>(y) * stride + static_cast<size_t>(x * bytesPerPixel + c)] = v;
    }
  return d;
}

void BM_CropAndCompressDib(benchmark::State& state, int format, int bits) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const std::vector<uint8_t> source = Dib(width, height, bits);
  const std::string file = Folder() + "/page";
  std::vector<uint8_t> dib;
  for (auto _ : state) {
    state.PauseTiming();
    dib = source;
    state.ResumeTiming();
    zc::imaging::DIBCrop(1, 64, dib, 1);
    benchmark::DoNotOptimize(zc::imaging::VW_CompressDIB(dib, file.c_str(), format, 1, 64, 128, 200, nullptr, 0));
  }
}

void BM_Bmp24(benchmark::State& state) {
  const int width = 2550, height = 1200;
  std::vector<uint8_t> record(zc::imaging::kRecordHeaderBytes + static_cast<size_t>(width) * height * 3, 200);
  zc::imaging::WriteRecordHeader(record.data(), {width, height, 24, 300});
  const std::string file = Folder() + "/page.bmp";
  for (auto _ : state) benchmark::DoNotOptimize(zc::imaging::funcCompressImageBMP(file.c_str(), record));
}

}  // namespace

BENCHMARK_CAPTURE(BM_CropAndCompressDib, g4_8bit, 0, 8)->Args({1700, 800})->Args({2550, 1200})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CropAndCompressDib, gray_jpeg, 4, 8)->Args({1700, 800})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CropAndCompressDib, colour_jpeg, 4, 24)->Args({1700, 800})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24)->Unit(benchmark::kMillisecond);
