#include "endorsement_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/endorsement.h"
#include "imaging_trace.h"
#include "platform/text.h"

namespace zc::imaging {
namespace {

constexpr size_t kMaxTextChars = 255;
// Larger fonts are not made: no endorsement needs them, and their rasters would not fit in memory.
constexpr int kMaxFontHeight = 1024;

bool FontAvailable(const text::FontSpec& font) {
  if (font.height >= -kMaxFontHeight && font.height <= kMaxFontHeight) return true;
  TraceAt(1, "endorsement font %s height %d not available", font.face.c_str(), font.height);
  return false;
}

int RoundUp(int v, int m) {
  return (v + m - 1) / m * m;
}

bool InkAt(const std::vector<uint8_t>& bits, size_t stride, int r, int c) {
  return (bits[r * stride + c / 8] >> (7 - c % 8)) & 1;
}
void SetInk(uint8_t* bits, size_t stride, int r, int c) {
  bits[r * stride + c / 8] |= static_cast<uint8_t>(0x80 >> (c % 8));
}

// Sets the first `t` pixels of every run of ink along a line of `n` pixels, and its last `t` pixels when
// the run ends inside the line. `ink(i)` reads the original, `set(i)` writes the result.
template <typename Ink, typename Set>
void OutlineLine(int n, int t, Ink ink, Set set) {
  int i = 0;
  while (i < n) {
    if (!ink(i)) {
      ++i;
      continue;
    }
    int end = i;
    while (end + 1 < n && ink(end + 1)) ++end;
    for (int k = i; k <= std::min(i + t - 1, end); ++k) set(k);
    if (end < n - 1)
      for (int k = std::max(end - t + 1, i); k <= end; ++k) set(k);
    i = end + 1;
  }
}

// A text too long for the room from `pos` to `limit` is moved back inside (with `fit`) or cut.
void FitExtent(int& pos, int& extent, int limit, bool fit) {
  if (extent <= limit - pos) return;
  if (fit) {
    pos = std::max(0, limit - extent);
    extent = std::min(extent, limit);
  } else {
    extent = limit - pos;
  }
}

}  // namespace

std::vector<std::string_view> SplitEndorsementLines(std::string_view text) {
  text = text.substr(0, std::min(text.size(), kMaxTextChars));
  std::vector<std::string_view> lines;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) ++i;
    if (i == text.size()) break;
    size_t end = i;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(i, end - i));
    i = end;
  }
  return lines;
}

text::FontSpec EndorsementFont(int height, int bold, int italic, const char* face) {
  text::FontSpec f;
  f.height = height;
  f.weight = 400 + 300 * bold;
  f.italic = italic != 0;
  if (face) {
    f.face = face;
    // Faces named "cour..." or "ms ..." (any case) are asked for with a fixed pitch.
    const std::string_view name(face);
    f.fixedPitch =
        plat::EqualNoCase(name.substr(0, 4), "cour") || plat::EqualNoCase(name.substr(0, 3), "ms ");
  }
  return f;
}

TextExtent funcMeasureEndorsementText(const text::FontSpec& font, std::string_view text) {
  if (!FontAvailable(font)) return {-1, 0};
  const auto raster = text::CreateTextRasterizer(font);
  const auto lines = SplitEndorsementLines(text);
  TextExtent e;
  for (std::string_view line : lines) e.width = std::max(e.width, raster->Measure(line).width);
  e.height = static_cast<int>(lines.size()) * std::abs(font.height);
  return e;
}

int funcDrawEndorsementText(const MonoRaster& target, int x, int y, const text::FontSpec& font,
                            std::string_view text, bool topClip, bool fit, int style) {
  if (x < 0 || x >= target.width || y >= target.rows) return -1;
  if (y < 0 && topClip) return -1;
  if (!fit && target.width - x < 8) return -1;
  if (!FontAvailable(font)) return -1;
  const auto raster = text::CreateTextRasterizer(font);
  const auto lines = SplitEndorsementLines(text);
  const int lineHeight = std::abs(font.height);
  int w = 0;
  for (std::string_view line : lines) w = std::max(w, raster->Measure(line).width);
  int h = static_cast<int>(lines.size()) * lineHeight;
  FitExtent(x, w, target.width, fit);
  FitExtent(y, h, target.rows, fit);
  if (w <= 0 || h <= 0) return w;

  // The text is drawn x mod 8 pixels into its bitmap, so the bitmap and the bytes copied are widened by
  // that much: otherwise the last glyph columns of a text not starting on a byte would be lost.
  const int offset = x % 8;
  const int bitmapWidth = RoundUp(w + offset, 16);
  const int bitmapRows = RoundUp(h, 16);
  const size_t stride = static_cast<size_t>(bitmapWidth) / 8;
  std::vector<uint8_t> bitmap(stride * bitmapRows, 0);
  text::MonoRows rows{bitmap.data(), bitmapWidth, bitmapRows, stride};
  for (size_t i = 0; i < lines.size(); ++i) raster->Render(lines[i], rows, offset, static_cast<int>(i) * lineHeight);
  ApplyEndorsementStyle(bitmap.data(), stride, bitmapRows, style);

  const size_t targetStride = static_cast<size_t>(target.width) / 8;
  const size_t firstByte = static_cast<size_t>(x) / 8;
  const size_t bytes = std::min(static_cast<size_t>(w + offset + 7) / 8, targetStride - firstByte);
  for (int r = 0; r < h; ++r) {
    const int ty = y + r;
    if (ty < 0) continue;
    if (ty >= target.rows) break;
    uint8_t* d = target.bits + static_cast<size_t>(ty) * targetStride + firstByte;
    const uint8_t* s = bitmap.data() + static_cast<size_t>(r) * stride;
    for (size_t b = 0; b < bytes; ++b) d[b] |= s[b];
  }
  return w;
}

void ApplyEndorsementStyle(uint8_t* bits, size_t stride, int rows, int style) {
  if (style < 1) return;
  const size_t n = stride * static_cast<size_t>(rows);
  std::vector<uint8_t> original;
  if (style >= 8) original.assign(bits, bits + n);
  static constexpr uint8_t kThirds[3] = {0x92, 0x49, 0x24};
  for (int r = 0; r < rows; ++r) {
    uint8_t* row = bits + static_cast<size_t>(r) * stride;
    for (size_t k = 0; k < stride; ++k) {
      switch (style % 8) {
        case 1: row[k] &= (r % 2) ? 0x55 : 0xAA; break;
        case 2: row[k] &= (r % 2) ? 0x00 : 0xAA; break;
        case 3: row[k] &= (r % 3) ? 0x00 : kThirds[k % 3]; break;
        case 4: row[k] &= (r % 4) ? 0x00 : 0x88; break;
        default: row[k] = 0; break;
      }
    }
  }
  if (style < 8) return;
  const int t = style / 8;
  const int width = static_cast<int>(stride * 8);
  for (int r = 0; r < rows; ++r)
    OutlineLine(width, t, [&](int c) { return InkAt(original, stride, r, c); },
                [&](int c) { SetInk(bits, stride, r, c); });
  for (int c = 0; c < width; ++c)
    OutlineLine(rows, t, [&](int r) { return InkAt(original, stride, r, c); },
                [&](int r) { SetInk(bits, stride, r, c); });
}

}  // namespace zc::imaging
