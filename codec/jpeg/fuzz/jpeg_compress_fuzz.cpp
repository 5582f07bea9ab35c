// Fuzz entry for the JPEG compressor: the first bytes choose the size (up to 300 x 120), the tag's form
// (gray, colour, progressive), input depth, palette size, quality, restart option, band height, band
// columns and a comment; the rest are the pixels, repeated as needed. The compressor must end with a code
// or a stream framed by SOI and EOI, without touching memory outside its buffers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "codec/jpeg/jpeg_compressor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  zc::jpeg::JpegCompressSettings s;
  s.width = static_cast<uint16_t>(1 + (data[0] | (data[1] << 8)) % 300);
  s.height = static_cast<uint16_t>(1 + data[2] % 120);
  s.gray = data[3] & 1;
  s.progressive = (data[3] >> 1) & 1;
  s.restart_option = (data[3] >> 2) & 1;
  const int depth_choice = data[4] % 4;
  s.bits_per_pixel = depth_choice == 0 ? 24 : depth_choice == 1 ? 8 : depth_choice == 2 ? 4 : 2;
  s.palette_entries = data[5];
  s.quality = data[6];
  const int band = 1 + data[7] % 20;
  const int cut_columns = data[8] % 3;  // 0: whole rows, 1: one column short, 2: one column too many
  std::string comment(data[9] % 64, 'c');
  if (!comment.empty()) s.comments.push_back(comment);
  std::vector<uint8_t> palette(768);
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = data[(10 + i) % size];
  s.palette = (data[3] & 8) ? nullptr : palette.data();

  const int bpp = s.bits_per_pixel == 24 ? 3 : 1;
  std::vector<uint8_t> pixels(static_cast<size_t>(s.width) * s.height * bpp);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = data[10 + i % (size - 10)];

  std::vector<uint8_t> out;
  zc::jpeg::JpegCompressor c;
  int rc = c.Start(s, [&out](const uint8_t* d, size_t n) {
    out.insert(out.end(), d, d + n);
    return n;
  });
  const int end_col = s.width - (cut_columns == 1 ? 1 : 0) + (cut_columns == 2 ? 1 : 0);
  const size_t row = static_cast<size_t>(s.width) * bpp;
  for (int y = 0; rc == 0 && y < s.height; y += band) {
    const int end = y + band < s.height ? y + band : s.height;
    rc = c.WriteRows(0, y, end_col, end, pixels.data() + row * y);
  }
  const int end_rc = c.Finish();
  if (rc == 0 && end_rc == 0) {
    if (out.size() < 4 || out[0] != 0xFF || out[1] != 0xD8 || out[out.size() - 2] != 0xFF ||
        out[out.size() - 1] != 0xD9) {
      std::abort();
    }
  }
  return 0;
}
