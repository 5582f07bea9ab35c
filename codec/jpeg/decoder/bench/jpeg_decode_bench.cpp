// Decode speed of 300 dpi cheque-sized pictures (8.75" x 3.75", 2625 x 1125), gray and colour 4:2:0 at
// quality 75, baseline and progressive, paired with libjpeg-turbo in the same process (fast integer
// transform, no fancy up-sampling: the same arithmetic class as ours). Both give RGB rows a band (one MCU
// row of output) at a time. Streams are made by libjpeg-turbo in memory. Run once normally and once with
// JSIMD_FORCENONE=1 to compare with its scalar paths as well.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/paired_timing.h"
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

// Ours: the rows delivered, counted band by band (one band per MCU row of the scaled picture).
int OursDecode(const std::vector<uint8_t>& jpeg, uint16_t scale, uint64_t* checksum) {
  zc::jpegdec::OutputRequest req;
  req.kind = zc::jpegdec::kKindRgb;
  req.xscale = req.yscale = scale;
  int rows = 0;
  zc::jpegdec::DisplaySink sink = [&](int, int r0, int c1, int r1, const uint8_t* band) {
    rows += r1 - r0;
    *checksum += band[0] + band[3 * c1 - 1];
    return 0;
  };
  zc::jpegdec::MemorySource src(jpeg.data(), jpeg.size());
  zc::jpegdec::DecodeJpeg(src, req, nullptr, sink);
  return rows;
}

// The peer, fed as ours is: each call asks for a whole band (the output rows of one MCU row), into RGB
// rows of a band buffer. The rows delivered.
int PeerDecode(const std::vector<uint8_t>& jpeg, int denom, std::vector<uint8_t>& band, uint64_t* checksum) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), jpeg.size());
  jpeg_read_header(&d, TRUE);
  d.dct_method = JDCT_IFAST;
  d.do_fancy_upsampling = FALSE;
  d.out_color_space = JCS_RGB;
  d.scale_num = 1;
  d.scale_denom = static_cast<unsigned>(denom);
  jpeg_start_decompress(&d);
  const int band_h = d.max_v_samp_factor * d.min_DCT_scaled_size;
  const size_t row_bytes = static_cast<size_t>(d.output_width) * 3;
  band.resize(row_bytes * band_h);
  JSAMPROW rows[32];
  for (int i = 0; i < band_h; ++i) rows[i] = band.data() + row_bytes * i;
  int delivered = 0;
  while (d.output_scanline < d.output_height) {
    const JDIMENSION start = d.output_scanline;
    const int want = std::min<int>(band_h, static_cast<int>(d.output_height - start));
    int got = 0;
    // A call may give fewer rows than asked (the merged up-sampler gives two at a time); the band
    // is complete once all its rows are in.
    while (got < want)
      got += static_cast<int>(jpeg_read_scanlines(&d, rows + got, static_cast<JDIMENSION>(want - got)));
    delivered += got;
    *checksum += band[0] + band[row_bytes - 1];
  }
  const int height = static_cast<int>(d.output_height);
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return delivered == height ? delivered : -1;
}

// Both decoders in every iteration (bench/paired_timing.h); "speed" is the median of peer / ours. Every
// call must deliver every row of the scaled picture.
void Paired(benchmark::State& state, int channels, bool progressive, uint16_t scale, int denom) {
  const std::vector<uint8_t>& jpeg = Stream(channels, progressive);
  const int height = (kHeight + denom - 1) / denom;
  std::vector<uint8_t> band;
  uint64_t checksum = 0;
  int ours = 0, peer = 0;
  zc::bench::RunPaired(
      state, [&] { ours = OursDecode(jpeg, scale, &checksum); }, [&] { return ours == height; },
      [&] { peer = PeerDecode(jpeg, denom, band, &checksum); }, [&] { return peer == height; });
  benchmark::DoNotOptimize(checksum);
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight * 1e-6,
                                               benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes"] = static_cast<double>(jpeg.size());
}

}  // namespace

BENCHMARK_CAPTURE(Paired, gray_baseline_1x, 1, false, 2048, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(Paired, colour_baseline_1x, 3, false, 2048, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(Paired, colour_baseline_quarter, 3, false, 512, 4)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(OursThroughDecomp, gray_baseline_1x, 1, false, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursThroughDecomp, colour_baseline_1x, 3, false, 2048)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursThroughDecomp, colour_baseline_quarter, 3, false, 512)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Paired, gray_progressive_1x, 1, true, 2048, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(Paired, colour_progressive_1x, 3, true, 2048, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
