// Reduction of decoded RGB rows to one byte a pixel for the readers' indexed and gray outputs:
// a colour map over the colour cube, or over gray levels (luminance, 0.299 R + 0.587 G + 0.114 B)
// when the reduction has one component.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/core/img_desc.h"
#include "codec/formats/color_map.h"

namespace zc::codec::fmt {

class RgbReducer {
 public:
  RgbReducer() = default;
  RgbReducer(const RgbReducer&) = delete;
  RgbReducer& operator=(const RgbReducer&) = delete;
  ~RgbReducer() { funcFreeColorMap(&map_); }

  // Builds the map for lines of `lineWidth` pixels from the descriptor's reduction components,
  // colours, palette and dither mode. 0, or -1 with 31 or 2.
  int init(ImgDecompDesc* desc, int lineWidth);
  // Maps `rows` packed RGB lines to index bytes.
  void reduce(const uint8_t* rgb, int rows, uint8_t* out);

 private:
  ImgColorMap map_{};
  std::vector<uint8_t> gray_;
};

// Luminance of an RGB pixel with the weights 0.299, 0.587, 0.114 (each rounded per channel).
uint8_t luminance(uint8_t r, uint8_t g, uint8_t b);

}  // namespace zc::codec::fmt
