// Decode speed of 300 dpi cheque-sized pictures (8.75" x 3.75", 2625 x 1125), gray and colour 4:2:0 at
// quality 75, baseline and progressive, beside libjpeg-turbo in the same process (fast integer transform,
// no fancy up-sampling: the same arithmetic class as ours). Streams are made by libjpeg-turbo in memory.
// Run once normally and once with JSIMD_FORCENONE=1 to compare with its scalar paths as well.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "codec/core/img_dispatch.h"
#include "codec/jpeg/decoder/jpeg_decode.h"
#include "codec/jpeg/decoder/jpeg_decomp_format.h"

namespace {

constexpr int kWidth = 2625;
constexpr int kHeight = 1125;

// A cheque-like picture: light guilloche background, ruled lines, text blocks and a code-line band.
std::vector<uint8_t> MakeCheque(int channels) {
  std::vector<uint8_t> px(static_cast<size_t>(kWidth) * kHeight * channels);
  uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      int v = 225 + static_cast<int>((x * 7 + y * 3) % 23) - static_cast<int>((seed >> 16) & 7);
      if (y % 150 == 0 || (y > 900 && y < 980 && (x / 9) % 4 == 0)) v = 30;
      if ((y / 40) % 5 == 1 && (x / 25) % 7 < 5 && ((x + y) % 6) < 3) v = 40;
      for (int c = 0; c < channels; ++c) {
        int cv = v - c * 12 + ((x / 200 + c) % 3) * 6;
        px[(static_cast<size_t>(y) * kWidth + x) * channels + c] =
            static_cast<uint8_t>(cv < 0 ? 0 : (cv > 255 ? 255 : cv));
      }
    }
  }
  return px;
}

std::vector<uint8_t> Encode(int channels, bool progressive) {
  std::vector<uint8_t> px = MakeCheque(channels);
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = channels;
  c.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 75, TRUE);
  c.dct_method = JDCT_IFAST;
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = px.data() + static_cast<size_t>(c.next_scanline) * kWidth * channels;
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return bytes;
}

const std::vector<uint8_t>& Stream(int channels, bool progressive) {
  static std::vector<uint8_t> cache[4];
  std::vector<uint8_t>& s = cache[(channels == 3 ? 2 : 0) + (progressive ? 1 : 0)];
  if (s.empty()) s = Encode(channels, progressive);
  return s;
}

void Ours(benchmark::State& state, int channels, bool progressive, uint16_t scale) {
  const std::vector<uint8_t>& jpeg = Stream(channels, progressive);
  zc::jpegdec::OutputRequest req;
  req.kind = zc::jpegdec::kKindRgb;
  req.xscale = req.yscale = scale;
  uint64_t checksum = 0;
  zc::jpegdec::DisplaySink sink = [&](int, int, int c1, int, const uint8_t* rows) {
    checksum += rows[0] + rows[c1 - 1];
    return 0;
  };
  for (auto _ : state) {
    zc::jpegdec::MemorySource src(jpeg.data(), jpeg.size());
    zc::jpegdec::DecodeJpeg(src, req, nullptr, sink);
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight * 1e-6,
                                               benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes"] = static_cast<double>(jpeg.size());
}

// The codec's own entry as the capture program calls it: the header read, then funcDecomp's bands to a
// display function, gray or RGB out.
void OursThroughDecomp(benchmark::State& state, int channels, bool progressive, uint16_t scale) {
  const std::vector<uint8_t>& jpeg = Stream(channels, progressive);
  const zc::codec::ImgDecompFormat rows[] = {zc::codec::jpegDecompFormat()};
  std::vector<uint8_t> palette(768);
  uint64_t checksum = 0;
  for (auto _ : state) {
    zc::codec::ImgDecompDesc d;
    zc::codec::funcInitDecompDesc(&d);
    d.memAddress = jpeg.data();
    d.memSize = static_cast<int32_t>(jpeg.size());
    d.palette = palette.data();
    d.outputColorMode = channels == 3 ? 3 : 1;
    if (zc::codec::initDecompWith(&d, rows) < 0) {
      state.SkipWithError("header refused");
      break;
    }
    d.scaleX = d.scaleY = scale;
    d.userValue = reinterpret_cast<uintptr_t>(&checksum);
    d.display = [](int, int, int, int, const uint8_t* band, uintptr_t user) {
      *reinterpret_cast<uint64_t*>(user) += band[0];
      return 0;
    };
    if (zc::codec::decompWith(&d, rows) < 0) {
      state.SkipWithError("decode failed");
      break;
    }
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight * 1e-6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

void Reference(benchmark::State& state, int channels, bool progressive, int denom) {
  const std::vector<uint8_t>& jpeg = Stream(channels, progressive);
  std::vector<uint8_t> row(static_cast<size_t>(kWidth) * 3);
  uint64_t checksum = 0;
  for (auto _ : state) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    d.dct_method = JDCT_IFAST;
    d.do_fancy_upsampling = FALSE;
    d.scale_num = 1;
    d.scale_denom = static_cast<unsigned>(denom);
    jpeg_start_decompress(&d);
    while (d.output_scanline < d.output_height) {
      JSAMPROW r = row.data();
      jpeg_read_scanlines(&d, &r, 1);
      checksum += row[0];
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
  }
  benchmark::DoNotOptimize(checksum);
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight * 1e-6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK_CAPTURE(Ours, gray_baseline_1x, 1, false, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reference, gray_baseline_1x, 1, false, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, colour_baseline_1x, 3, false, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reference, colour_baseline_1x, 3, false, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, colour_baseline_quarter, 3, false, 512)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reference, colour_baseline_quarter, 3, false, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursThroughDecomp, gray_baseline_1x, 1, false, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursThroughDecomp, colour_baseline_1x, 3, false, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursThroughDecomp, colour_baseline_quarter, 3, false, 512)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, gray_progressive_1x, 1, true, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reference, gray_progressive_1x, 1, true, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, colour_progressive_1x, 3, true, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reference, colour_progressive_1x, 3, true, 1)->Unit(benchmark::kMillisecond);
