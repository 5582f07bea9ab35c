// Fuzz entry for the whole JPEG decoder (marker parsing, baseline and progressive scans, transform, scaled
// stores, colour conversion). The last two input bytes choose the output request (scale, colour kind,
// window); the rest is the stream. Every band must lie inside the window at the window's width, and every
// failure must be a decoder error code. Pictures are capped at 4 Mpx so that a run stays short.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codec/jpeg/decoder/jpeg_decode.h"
#include "codec/jpeg/decoder/jpeg_error.h"

namespace {

using namespace zc::jpegdec;

// The rows are read in full, so ASan sees any band shorter than stated.
int CheckBand(int c0, int r0, int c1, int r1, const uint8_t* rows, int bytes_per_pixel) {
  if (c0 != 0 || c1 <= 0 || r1 <= r0 || r0 < 0) __builtin_trap();
  unsigned sum = 0;
  for (size_t i = 0, n = static_cast<size_t>(c1) * (r1 - r0) * bytes_per_pixel; i < n; ++i) sum += rows[i];
  return sum == 0xFFFFFFFFu;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t opt = data[size - 1];
  const uint8_t win = data[size - 2];
  size -= 2;
  JpegInfo info;
  try {
    MemorySource src(data, size);
    info = ReadJpegInfo(src);
  } catch (const JpegError&) {
    return 0;
  }
  if (static_cast<uint32_t>(info.width) * info.height > (1u << 22)) return 0;

  static const uint16_t kScales[] = {2048, 1024, 512, 256, 4096, 8192, 1000, 1500};
  OutputRequest req;
  req.xscale = kScales[opt & 7];
  req.yscale = kScales[(opt >> 3) & 7];
  req.kind = static_cast<uint8_t>((opt >> 6) == 0 ? kKindGray : ((opt >> 6) == 1 ? kKindRgb : kKindRgbSwap));
  if (win & 1) {
    req.top = static_cast<uint16_t>((win >> 1) & 7) * 8;
    req.left = static_cast<uint16_t>((win >> 4) & 7) * 8;
    req.width = static_cast<uint16_t>(win * 3);
    req.height = static_cast<uint16_t>(win * 2);
  }
  if (win & 2) {
    req.colors = static_cast<uint16_t>(2 + win % 200);
    req.dither = static_cast<uint8_t>((win >> 2) & 3);
  }
  const int bpp = info.components > 1 && req.kind != kKindGray ? 3 : 1;
  int next_row = 0;
  int width = -1;
  DisplaySink sink = [&](int c0, int r0, int c1, int r1, const uint8_t* rows) -> int {
    // Bands arrive top first, each at the window's one width.
    if (r0 != next_row || (width >= 0 && c1 != width)) __builtin_trap();
    if (req.width && c1 > req.width) __builtin_trap();
    next_row = r1;
    width = c1;
    return CheckBand(c0, r0, c1, r1, rows, bpp);
  };
  MemorySource src(data, size);
  try {
    DecodeJpeg(src, req, nullptr, sink);
  } catch (const JpegError& e) {
    if (e.code < 1 || e.code > 73) __builtin_trap();
  }
  return 0;
}
