// Nearest-neighbour line scaling by factors in 1/2048 (2048 = 1:1). A column map chosen once gives
// each output column its source pixel; a vertical accumulator that carries across calls decides
// which input rows are kept or repeated, so an image scaled band by band matches one scaled whole.
#pragma once

#include <cstdint>

namespace zc::codec {

struct ImgScaler {
  uint16_t sourceWidth;       // pixels per input row, also the input row stride in pixels
  uint16_t sourceHeight;      // input rows
  uint16_t xFactor;           // output/input width in 1/2048
  uint16_t yFactor;           // output/input height in 1/2048
  uint16_t yStart;            // first input row used
  uint16_t xStart;            // first input column used
  uint16_t outputWidth;       // requested output width, 0 = computed; also the output row stride
  uint16_t outputHeight;      // requested output height, 0 = computed
  const uint8_t* sourceRows;  // input rows of the current call
  uint8_t* outputRows;        // output buffer of the current call
  uint16_t accumulator;       // vertical position between input rows in 1/2048
  uint32_t* columnMap;        // per output column: byte offset of its source pixel in an input row
  uint16_t usedWidth;         // output columns produced
  uint16_t usedHeight;        // output rows the whole image yields
};

// Pixel kind 3 or 4 = three bytes a pixel, anything else one byte. 0, or -1 with error 2.
int funcScaleInit(ImgScaler* scaler, int pixelKind);
int funcScaleFree(ImgScaler* scaler);
// Scale `rows` input rows from sourceRows into outputRows; the result is the output rows written.
int funcScaleLines8(ImgScaler* scaler, int rows);
int funcScaleLineRGB(ImgScaler* scaler, int rows);
// The same with the row pointers passed in, for callers that keep them outside the scaler.
int funcScaleLines8(const uint8_t* in, uint8_t* out, ImgScaler* scaler, int rows);
int funcScaleLineRGB(const uint8_t* in, uint8_t* out, ImgScaler* scaler, int rows);

}  // namespace zc::codec
