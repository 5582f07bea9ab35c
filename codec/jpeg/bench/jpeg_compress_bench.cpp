// Compression of 300 dpi cheques (8.75" x 3.75", 2625 x 1125), gray and colour 4:2:0, quality 75,
// 16-row bands, into memory: this codec paired with libjpeg-turbo (fast integer DCT; baseline without
// optimised tables, progressive with its simple script, which optimises them as ours does). Each
// iteration runs both (bench/paired_timing.h); "speed" is the median of peer time / our time. Every call
// is checked: ours must succeed and write the first pass's bytes again, the peer must stay in its buffer
// and write as many bytes as in its first pass.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/paired_timing.h"
#include "codec/jpeg/jpeg_compressor.h"
#include "codec/jpeg/tests/jpeg_test_support.h"

namespace {

using zc::jpeg::testing::Image;

const Image& Cheque(int channels) {
  static const Image gray = zc::jpeg::testing::MakeCheque(2625, 1125, 1, 1);
  static const Image colour = zc::jpeg::testing::MakeCheque(2625, 1125, 3, 1);
  return channels == 3 ? colour : gray;
}

// Ours into `out`; the compressor's result.
int OursEncode(const Image& image, const zc::jpeg::JpegCompressSettings& s, std::vector<uint8_t>& out,
               const char** kernels) {
  out.clear();
  zc::jpeg::JpegCompressor c;
  int rc = c.Start(s, [&out](const uint8_t* d, size_t n) {
    out.insert(out.end(), d, d + n);
    return n;
  });
  const size_t row = static_cast<size_t>(image.width) * image.channels;
  for (int y = 0; rc == 0 && y < image.height; y += 16) {
    rc = c.WriteRows(0, y, image.width, std::min(image.height, y + 16), image.pixels.data() + row * y);
  }
  *kernels = c.KernelName();
  const int end = c.Finish();
  return rc != 0 ? rc : end;
}

// The peer into `storage`; the bytes written, or 0 when it left the buffer.
unsigned long PeerEncode(const Image& image, bool progressive, std::vector<unsigned char>& storage) {
  unsigned char* buffer = storage.data();
  unsigned long size = storage.size();
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = image.channels;
  cinfo.in_color_space = image.channels == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 75, TRUE);
  cinfo.dct_method = JDCT_IFAST;
  cinfo.optimize_coding = FALSE;
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const size_t row = static_cast<size_t>(image.width) * image.channels;
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
    return 0;
  }
  return size;
}

void BM_Paired(benchmark::State& state, int channels, bool progressive) {
  const Image& image = Cheque(channels);
  const zc::jpeg::JpegCompressSettings s =
      zc::jpeg::testing::SettingsFor(image, 75, channels == 1, progressive);
  std::vector<uint8_t> out, first;
  out.reserve(4 << 20);
  // One output buffer kept across passes, as ours is: the peer writes into it without regrowing.
  std::vector<unsigned char> storage(4 << 20);
  const char* kernels = "";
  if (OursEncode(image, s, first, &kernels) != 0) {
    state.SkipWithError("compression failed");
    return;
  }
  const unsigned long peer_bytes = PeerEncode(image, progressive, storage);
  int rc = 0;
  unsigned long size = 0;
  zc::bench::RunPaired(
      state, [&] { rc = OursEncode(image, s, out, &kernels); }, [&] { return rc == 0 && out == first; },
      [&] { size = PeerEncode(image, progressive, storage); },
      [&] { return size != 0 && size == peer_bytes; });
  state.SetItemsProcessed(state.iterations() * image.width * image.height);
  state.counters["bytes"] = static_cast<double>(first.size());
  state.counters["peer_bytes"] = static_cast<double>(peer_bytes);
  state.SetLabel(kernels);
}

BENCHMARK_CAPTURE(BM_Paired, gray_baseline_300dpi, 1, false)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(BM_Paired, colour_baseline_300dpi, 3, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_Paired, gray_progressive_300dpi, 1, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();
BENCHMARK_CAPTURE(BM_Paired, colour_progressive_300dpi, 3, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
