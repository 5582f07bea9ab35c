// RGB reduction for the readers.
#include "codec/formats/reduce_rgb.h"

#include <algorithm>

namespace zc::codec::fmt {

uint8_t luminance(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint8_t>((299 * r + 500) / 1000 + (587 * g + 500) / 1000 + (114 * b + 500) / 1000);
}

int RgbReducer::init(ImgDecompDesc* desc, int lineWidth) {
  map_ = ImgColorMap{};
  map_.components = desc->reductionComponents == 1 ? 1 : 3;
  map_.ditherMode = desc->ditherMode;
  map_.colors = static_cast<uint16_t>(desc->colors > 0 ? desc->colors : 256);
  // A one-component cube would write single bytes: the gray palette is the readers' business.
  map_.palette = map_.components == 3 ? desc->palette : nullptr;
  map_.lineWidth = lineWidth;
  if (funcInitColorMap(&map_) < 0) return -1;
  if (map_.components == 1) gray_.resize(static_cast<size_t>(lineWidth) * 8);
  return 0;
}

void RgbReducer::reduce(const uint8_t* rgb, int rows, uint8_t* out) {
  if (map_.components == 3) {
    mapLines(&map_, rows, rgb, out);
    return;
  }
  const size_t pixels = static_cast<size_t>(rows) * map_.lineWidth;
  if (gray_.size() < pixels) gray_.resize(pixels);
  for (size_t i = 0; i < pixels; ++i) gray_[i] = luminance(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
  mapLines(&map_, rows, gray_.data(), out);
}

}  // namespace zc::codec::fmt
