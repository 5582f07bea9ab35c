// A device context over a surface: drawing clipped to a rectangle and shifted to a window's client origin.
// The window layer paints windows with it, and the imaging code draws into offscreen surfaces with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "text/text_rasterizer.h"
#include "ui/display.h"
#include "ui/geometry.h"
#include "ui/surface.h"

namespace ui {

// The font controls and TextOut use unless another is selected: "MS Sans Serif" 8 pt at 96 dpi.
std::shared_ptr<const text::TextRasterizer> SystemFont();
// Drops the cached system font, so a change of text backend takes effect.
void ResetSystemFont();

class Canvas {
 public:
  // `origin`: where (0, 0) of the caller's coordinates lies on the surface; `clip`: surface rectangle
  // outside which nothing is drawn.
  Canvas(Surface& surface, const DisplayInfo& display, Point origin, Rect clip);
  explicit Canvas(Surface& surface, const DisplayInfo& display = {});

  const DisplayInfo& Display() const { return display_; }
  int DeviceCaps(int index) const { return display_.DeviceCaps(index); }
  int Dpi() const { return display_.dpiX; }
  int ColourCount() const { return display_.ColourCount(); }

  void FillRect(const Rect& r, Colour c);
  // A one-pixel frame inside `r`.
  void FrameRect(const Rect& r, Colour c);
  // Inverts the pixels of a one-pixel outline (drawing it twice restores the picture).
  void XorOutline(const Rect& r);

  void SelectFont(std::shared_ptr<const text::TextRasterizer> font);
  const text::TextRasterizer& Font() const { return *font_; }
  // Draws the ink of one line with its cell's top-left corner at (x, y); with `background` the cell is
  // first filled (the opaque background mode).
  void TextOut(int x, int y, std::string_view line, Colour ink = kBlack, const Colour* background = nullptr);

  // A monochrome bitmap (rows of `stride` bytes, high bit leftmost): 0 bits draw black, 1 bits white.
  void BlitMono(const uint8_t* bits, int width, int height, size_t stride, int x, int y);
  // Copies a surface's pixels to (x, y).
  void BlitSurface(const Surface& src, int x, int y);

  // A packed DIB (40- or 12-byte header, colour table, rows bottom-up padded to 4 bytes; 1, 4, 8 or 24
  // bits) to the device: the w x h block whose lower-left corner is (srcX, srcY) counted from the DIB's
  // bottom-left lands at (x, y). Returns the number of rows drawn; 0 for a block that is too short for its
  // header, colour table or rows, or of another depth.
  int SetDIBitsToDevice(int x, int y, int w, int h, int srcX, int srcY, const uint8_t* dib, size_t dibSize);

  // A 256-colour screen shows only the colours of the selected palette (nearest match); an empty palette
  // is the default one. A true-colour screen ignores the palette.
  void SelectPalette(std::vector<Colour> palette);

 private:
  void Put(int x, int y, Colour c);
  Colour MapColour(Colour c) const;

  Surface& surface_;
  DisplayInfo display_;
  Point origin_;
  Rect clip_;
  std::shared_ptr<const text::TextRasterizer> font_;
  std::vector<Colour> palette_;
};

}  // namespace ui
