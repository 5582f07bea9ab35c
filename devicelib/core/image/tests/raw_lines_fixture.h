// Test fixture shared by the two scan-line paths' image-building tests: a loader set up over raw lines the
// test owns, and the built image read back row by row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace qv6 {

// A loader (CLoadScanLines or CPICLoadScanLines) over `lineCount` zeroed raw lines at 200 dpi; flags 2
// (per-pixel correction, forward lines and pixels) unless told.
template <class Loader>
struct RawLinesFixture {
  Loader s;
  std::vector<uint8_t> raw;
  RawLinesFixture(int bits, int pixels, int bytesPerLine, int lineCount, int flags = 2) {
    s.SetFormatFlags(flags);
    s.SetBitsPerPixel(bits);
    s.SetPixelsPerLine(pixels);
    s.SetBytesPerRawLine(bytesPerLine);
    s.SetNumberOfLines(lineCount);
    s.SetResolution(200);
    raw.assign(static_cast<size_t>(bytesPerLine) * lineCount, 0);
    s.SetLineBuffer(raw.data(), raw.size());
  }
  // Replaces the raw lines.
  void Load(std::vector<uint8_t> bytes) {
    raw = std::move(bytes);
    s.SetLineBuffer(raw.data(), raw.size());
  }
  // The used bytes of each image row, top row first.
  std::vector<std::vector<int>> Rows() const {
    std::vector<std::vector<int>> rows(s.GetHeight());
    const int used = (s.GetWidth() * s.GetBitCount() + 7) / 8;
    for (int y = 0; y < s.GetHeight(); ++y)
      for (int b = 0; b < used; ++b) rows[y].push_back(s.GetBits()[y * s.GetBytesPerLine() + b]);
    return rows;
  }
  // Three 8-bit lines of four pixels: line i, pixel q (from 0) holds 10 i + q.
  void FillEightBit() {
    for (int i = 0; i < 3; ++i)
      for (int q = 0; q < 4; ++q) raw[i * 4 + q] = static_cast<uint8_t>(10 * i + q);
  }
};

}  // namespace qv6
