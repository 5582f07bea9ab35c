#include "ui/canvas.h"

#include <algorithm>
#include <mutex>

#include "platform/byte_order.h"

namespace ui {
namespace {

std::mutex g_fontMutex;
std::shared_ptr<const text::TextRasterizer> g_systemFont;

// The static colours of a palette screen (the 20 reserved entries).
const std::vector<Colour>& DefaultPalette() {
  static const std::vector<Colour> p = {
      0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
      0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  return p;
}

}  // namespace

std::shared_ptr<const text::TextRasterizer> SystemFont() {
  std::lock_guard lock(g_fontMutex);
  if (!g_systemFont) g_systemFont = text::CreateTextRasterizer({"MS Sans Serif", -11});
  return g_systemFont;
}

void ResetSystemFont() {
  std::lock_guard lock(g_fontMutex);
  g_systemFont.reset();
}

Canvas::Canvas(Surface& surface, const DisplayInfo& display, Point origin, Rect clip)
    : surface_(surface), display_(display), origin_(origin),
      clip_(clip.Intersect({0, 0, surface.Width(), surface.Height()})), font_(SystemFont()) {}

Canvas::Canvas(Surface& surface, const DisplayInfo& display)
    : Canvas(surface, display, {0, 0}, {0, 0, surface.Width(), surface.Height()}) {}

Colour Canvas::MapColour(Colour c) const {
  if (display_.colours != DisplayInfo::Colours::Palette256) return c;
  const auto& pal = palette_.empty() ? DefaultPalette() : palette_;
  Colour best = c;
  long bestDist = -1;
  for (Colour p : pal) {
    const long dr = long((p >> 16) & 0xFF) - long((c >> 16) & 0xFF);
    const long dg = long((p >> 8) & 0xFF) - long((c >> 8) & 0xFF);
    const long db = long(p & 0xFF) - long(c & 0xFF);
    const long d = dr * dr + dg * dg + db * db;
    if (bestDist < 0 || d < bestDist) bestDist = d, best = p;
  }
  return best;
}

void Canvas::Put(int x, int y, Colour c) {
  const Point p{x + origin_.x, y + origin_.y};
  if (clip_.Contains(p)) surface_.SetPixel(p.x, p.y, c);
}

void Canvas::FillRect(const Rect& r, Colour c) {
  const Rect s = r.Offset(origin_.x, origin_.y).Intersect(clip_);
  const Colour m = MapColour(c);
  for (int y = s.top; y < s.bottom; ++y)
    for (int x = s.left; x < s.right; ++x) surface_.SetPixel(x, y, m);
}

void Canvas::FrameRect(const Rect& r, Colour c) {
  if (r.Empty()) return;
  FillRect({r.left, r.top, r.right, r.top + 1}, c);
  FillRect({r.left, r.bottom - 1, r.right, r.bottom}, c);
  FillRect({r.left, r.top, r.left + 1, r.bottom}, c);
  FillRect({r.right - 1, r.top, r.right, r.bottom}, c);
}

void Canvas::XorOutline(const Rect& r) {
  if (r.Empty()) return;
  auto invert = [&](int x, int y) {
    const Point p{x + origin_.x, y + origin_.y};
    if (clip_.Contains(p)) surface_.SetPixel(p.x, p.y, ~surface_.Pixel(p.x, p.y) & 0xFFFFFF);
  };
  for (int x = r.left; x < r.right; ++x) {
    invert(x, r.top);
    if (r.Height() > 1) invert(x, r.bottom - 1);
  }
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    invert(r.left, y);
    if (r.Width() > 1) invert(r.right - 1, y);
  }
}

void Canvas::SelectFont(std::shared_ptr<const text::TextRasterizer> font) {
  font_ = font ? std::move(font) : SystemFont();
}

void Canvas::TextOut(int x, int y, std::string_view line, Colour ink, const Colour* background) {
  const text::TextSize size = font_->Measure(line);
  if (background) FillRect({x, y, x + size.width, y + size.height}, *background);
  // Glyphs may reach a little past their advance (italics, overhangs): render with a margin.
  const int margin = size.height / 2 + 2;
  const int w = size.width + 2 * margin, h = size.height;
  if (w <= 0 || h <= 0) return;
  std::vector<uint8_t> bits(static_cast<size_t>((w + 7) / 8) * h);
  text::MonoRows rows{bits.data(), w, h, static_cast<size_t>((w + 7) / 8)};
  font_->Render(line, rows, margin, 0);
  const Colour m = MapColour(ink);
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c)
      if (rows.Get(c, r)) Put(x - margin + c, y + r, m);
}

void Canvas::BlitMono(const uint8_t* bits, int width, int height, size_t stride, int x, int y) {
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c)
      Put(x + c, y + r, ((bits[r * stride + c / 8] >> (7 - c % 8)) & 1) ? MapColour(kWhite) : MapColour(kBlack));
}

void Canvas::BlitSurface(const Surface& src, int x, int y) {
  for (int r = 0; r < src.Height(); ++r)
    for (int c = 0; c < src.Width(); ++c) Put(x + c, y + r, MapColour(src.Pixel(c, r)));
}

void Canvas::SelectPalette(std::vector<Colour> palette) {
  palette_ = std::move(palette);
}

int Canvas::SetDIBitsToDevice(int x, int y, int w, int h, int srcX, int srcY, const uint8_t* dib,
                              size_t dibSize) {
  using plat::bytes::GetLe16;
  using plat::bytes::GetLe32;
  if (!dib || dibSize < 12 || w <= 0 || h <= 0 || srcX < 0 || srcY < 0) return 0;
  const uint32_t headerSize = GetLe32(dib);
  int64_t width = 0, height = 0;
  int bits = 0;
  uint32_t used = 0;
  size_t entrySize = 4;
  if (headerSize == 12) {
    width = GetLe16(dib + 4);
    height = GetLe16(dib + 6);
    bits = GetLe16(dib + 10);
    entrySize = 3;
  } else if (headerSize >= 40 && dibSize >= headerSize) {
    width = static_cast<int32_t>(GetLe32(dib + 4));
    height = static_cast<int32_t>(GetLe32(dib + 8));
    bits = GetLe16(dib + 14);
    if (GetLe32(dib + 16) != 0) return 0;  // compressed
    used = GetLe32(dib + 32);
  } else {
    return 0;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return 0;
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return 0;
  const size_t colours = bits == 24 ? 0 : (used != 0 && used <= (1u << bits) ? used : (1u << bits));
  const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  const size_t paletteOffset = headerSize;
  const size_t pixelsOffset = paletteOffset + colours * entrySize;
  if (dibSize < pixelsOffset || (dibSize - pixelsOffset) / stride < static_cast<size_t>(height)) return 0;
  std::vector<Colour> table(colours);
  for (size_t i = 0; i < colours; ++i) {
    const uint8_t* e = dib + paletteOffset + i * entrySize;
    table[i] = Rgb(e[2], e[1], e[0]);
  }
  const uint8_t* pixels = dib + pixelsOffset;
  int drawn = 0;
  for (int j = 0; j < h; ++j) {
    const int64_t fromBottom = srcY + (h - 1 - j);
    if (fromBottom >= height) continue;
    const int64_t stored = topDown ? height - 1 - fromBottom : fromBottom;
    const uint8_t* row = pixels + static_cast<size_t>(stored) * stride;
    for (int i = 0; i < w; ++i) {
      const int64_t sx = srcX + i;
      if (sx >= width) break;
      Colour c;
      if (bits == 24) {
        const uint8_t* p = row + sx * 3;
        c = Rgb(p[2], p[1], p[0]);
      } else {
        const int perByte = 8 / bits;
        const uint8_t byte = row[sx / perByte];
        const int shift = 8 - bits * (1 + static_cast<int>(sx % perByte));
        const size_t index = (byte >> shift) & ((1u << bits) - 1);
        c = index < table.size() ? table[index] : kBlack;
      }
      Put(x + i, y + j, MapColour(c));
    }
    ++drawn;
  }
  return drawn;
}

}  // namespace ui
