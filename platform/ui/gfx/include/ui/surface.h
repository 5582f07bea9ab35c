// A plain offscreen surface: the window layer's framebuffers and the imaging code's "device bitmaps".
//
// Two forms: 24-bit colour (one 0x00RRGGBB word per pixel, rows top-down) and 1-bit (rows of
// (width + 7) / 8 bytes, leftmost pixel in the high bit, 0 = black and 1 = white as in a monochrome device
// bitmap). A new surface is white.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui {

// A colour as 0x00RRGGBB.
using Colour = uint32_t;
inline constexpr Colour kBlack = 0x000000, kWhite = 0xFFFFFF, kLightGray = 0xC0C0C0, kGray = 0x808080,
                        kDarkGray = 0x404040;
constexpr Colour Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return (Colour{r} << 16) | (Colour{g} << 8) | b;
}

class Surface {
 public:
  enum class Format { Rgb24, Mono1 };

  Surface() = default;
  Surface(int width, int height, Format format = Format::Rgb24);

  int Width() const { return width_; }
  int Height() const { return height_; }
  Format GetFormat() const { return format_; }
  // Bytes per row of a 1-bit surface.
  size_t MonoStride() const { return (static_cast<size_t>(width_) + 7) / 8; }

  // Pixels outside the surface read as white and are not written. A 1-bit surface stores a colour as
  // white when its mean component is at least 128.
  Colour Pixel(int x, int y) const;
  void SetPixel(int x, int y, Colour c);

  // Direct row access (no bounds checks beyond the row index).
  Colour* Row24(int y) { return rgb_.data() + static_cast<size_t>(y) * width_; }
  const Colour* Row24(int y) const { return rgb_.data() + static_cast<size_t>(y) * width_; }
  uint8_t* RowMono(int y) { return mono_.data() + static_cast<size_t>(y) * MonoStride(); }
  const uint8_t* RowMono(int y) const { return mono_.data() + static_cast<size_t>(y) * MonoStride(); }

  // New size; the content is white again.
  void Resize(int width, int height);
  void Fill(Colour c);
  bool operator==(const Surface& o) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  Format format_ = Format::Rgb24;
  std::vector<Colour> rgb_;
  std::vector<uint8_t> mono_;
};

}  // namespace ui
