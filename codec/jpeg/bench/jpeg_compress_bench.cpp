// Baseline compression of 300 dpi cheques (8.75" x 3.75", 2625 x 1125), gray and colour 4:2:0, quality 75,
// 16-row bands, into memory: this codec beside libjpeg-turbo's fast integer DCT without optimised tables.
// Items are pixels, so the items/s column reads as pixels per second.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "codec/jpeg/jpeg_compressor.h"
#include "codec/jpeg/tests/jpeg_test_support.h"

namespace {

using zc::jpeg::testing::Image;

const Image& Cheque(int channels) {
  static const Image gray = zc::jpeg::testing::MakeCheque(2625, 1125, 1, 1);
  static const Image colour = zc::jpeg::testing::MakeCheque(2625, 1125, 3, 1);
  return channels == 3 ? colour : gray;
}

void BM_Codec(benchmark::State& state, int channels, bool progressive) {
  const Image& image = Cheque(channels);
  zc::jpeg::JpegCompressSettings s = zc::jpeg::testing::SettingsFor(image, 75, channels == 1, progressive);
  std::vector<uint8_t> out;
  out.reserve(4 << 20);
  const char* kernels = "";
  for (auto _ : state) {
    out.clear();
    zc::jpeg::JpegCompressor c;
    c.Start(s, [&out](const uint8_t* d, size_t n) {
      out.insert(out.end(), d, d + n);
      return n;
    });
    const size_t row = static_cast<size_t>(image.width) * image.channels;
    for (int y = 0; y < image.height; y += 16) {
      c.WriteRows(0, y, image.width, std::min(image.height, y + 16), image.pixels.data() + row * y);
    }
    kernels = c.KernelName();
    if (c.Finish() != 0) state.SkipWithError("compression failed");
  }
  state.SetItemsProcessed(state.iterations() * image.width * image.height);
  state.counters["bytes"] = static_cast<double>(out.size());
  state.SetLabel(kernels);
}

void BM_LibjpegTurbo(benchmark::State& state, int channels, bool progressive) {
  const Image& image = Cheque(channels);
  // One output buffer kept across passes, as ours is: the peer writes into it without regrowing.
  std::vector<unsigned char> storage(4 << 20);
  unsigned long size = 0;
  for (auto _ : state) {
    unsigned char* buffer = storage.data();
    size = storage.size();
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.width);
    cinfo.image_height = static_cast<JDIMENSION>(image.height);
    cinfo.input_components = channels;
    cinfo.in_color_space = channels == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    cinfo.dct_method = JDCT_IFAST;
    cinfo.optimize_coding = FALSE;
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const size_t row = static_cast<size_t>(image.width) * channels;
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW rows[16];
      int n = 0;
      for (; n < 16 && cinfo.next_scanline + n < cinfo.image_height; ++n) {
        rows[n] = const_cast<JSAMPLE*>(image.pixels.data() + row * (cinfo.next_scanline + n));
      }
      jpeg_write_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    if (buffer != storage.data()) {
      std::free(buffer);
      state.SkipWithError("the peer outgrew the kept buffer");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * image.width * image.height);
  state.counters["bytes"] = static_cast<double>(size);
}

BENCHMARK_CAPTURE(BM_Codec, gray_300dpi, 1, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibjpegTurbo, gray_300dpi, 1, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Codec, colour_300dpi, 3, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibjpegTurbo, colour_300dpi, 3, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Codec, gray_progressive_300dpi, 1, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibjpegTurbo, gray_progressive_300dpi, 1, true)->Unit(benchmark::kMillisecond);

}  // namespace
