#include "ui/surface.h"

#include <algorithm>

#include "ui/display.h"

namespace ui {
namespace {
bool IsLight(Colour c) {
  return (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3 >= 128;
}
}  // namespace

Surface::Surface(int width, int height, Format format) : format_(format) {
  Resize(width, height);
}

void Surface::Resize(int width, int height) {
  width_ = width < 0 ? 0 : width;
  height_ = height < 0 ? 0 : height;
  if (format_ == Format::Rgb24) {
    rgb_.assign(static_cast<size_t>(width_) * height_, kWhite);
  } else {
    mono_.assign(MonoStride() * height_, 0xFF);
  }
}

void Surface::Fill(Colour c) {
  if (format_ == Format::Rgb24) {
    std::fill(rgb_.begin(), rgb_.end(), c & 0xFFFFFF);
  } else {
    std::fill(mono_.begin(), mono_.end(), IsLight(c) ? 0xFF : 0x00);
  }
}

Colour Surface::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kWhite;
  if (format_ == Format::Rgb24) return Row24(y)[x];
  return ((RowMono(y)[x / 8] >> (7 - x % 8)) & 1) ? kWhite : kBlack;
}

void Surface::SetPixel(int x, int y, Colour c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (format_ == Format::Rgb24) {
    Row24(y)[x] = c & 0xFFFFFF;
    return;
  }
  uint8_t& b = RowMono(y)[x / 8];
  const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
  b = IsLight(c) ? (b | bit) : (b & ~bit);
}

int DisplayInfo::DeviceCaps(int index) const {
  const bool palette = colours == Colours::Palette256;
  switch (index) {
    case HORZRES: return width;
    case VERTRES: return height;
    case BITSPIXEL: return palette ? 8 : 24;
    case NUMCOLORS: return palette ? 20 : -1;
    case LOGPIXELSX: return dpiX;
    case LOGPIXELSY: return dpiY;
    case SIZEPALETTE: return palette ? 256 : 0;
    default: return 0;
  }
}

int DisplayInfo::ColourCount() const {
  const int size = DeviceCaps(SIZEPALETTE);
  if (size != 0) return size;
  const int n = DeviceCaps(NUMCOLORS);
  return n < 0 ? 4096 : n;
}

}  // namespace ui
