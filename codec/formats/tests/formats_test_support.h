// Helpers for the raster format tests: deterministic pictures, PNM files of them, and codec runs over
// memory through this library's format rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/core/img_desc.h"

namespace zc::codec::test {

struct Picture {
  int width = 0;
  int height = 0;
  int channels = 1;  // 1 (index or gray) or 3 (R, G, B)
  std::vector<uint8_t> pixels;
  bool operator==(const Picture&) const = default;
};

// Noise, gradients and strokes, values below 2^bits (channels 1) or full RGB (channels 3).
Picture makePicture(int width, int height, int channels, int bits, uint32_t seed = 1);
// 256 entries R, G, B, all different.
std::vector<uint8_t> makePalette();
inline const std::vector<uint8_t> kPalette = makePalette();

// PGM (P5) for one channel, PPM (P6) for three; PBM (P4) read as 0/1 with 1 = black.
bool writePnm(const std::string& path, const Picture& picture);
bool readPnm(const std::string& path, Picture* picture);

// Index picture -> RGB through a palette.
Picture expand(const Picture& indexes, const std::vector<uint8_t>& palette);

// Compression into memory through the raster formats. Empty on failure (the error in iImgError).
std::vector<uint8_t> encode(const char* tag, const Picture& picture, int bits, const uint8_t* palette,
                            int rowsPerBand = 16, uint16_t dpi = 0);

struct Band {
  int firstRow;
  int endRow;
  int endCol;
};

struct DecodeResult {
  int initResult = 0;
  int decodeResult = 0;
  int error = 0;
  std::string tag;
  int width = 0;
  int height = 0;
  int bits = 0;
  Picture picture;  // the window as delivered (channels from the output mode)
  std::vector<Band> bands;
  std::vector<uint8_t> palette;  // 768 bytes as the readers left them
  bool paletteFilled = false;
};

struct DecodeOptions {
  bool palette = true;
  uint8_t outputColorMode = 0;
  uint8_t ditherMode = 0;
  uint16_t top = 0, left = 0, width = 0, height = 0;
  uint16_t tiffPage = 0;
  int16_t colors = 0;
  uint8_t paletteFill = 0xAA;  // initial content of the palette buffer
  bool refuseDisplay = false;  // the display function returns 1
};

// funcInitDecomp and funcDecomp over a memory source, with the descriptor's format rows.
DecodeResult decode(const std::vector<uint8_t>& bytes, const DecodeOptions& options = {});
// The same from a file descriptor.
DecodeResult decodeFile(const std::string& path, const DecodeOptions& options = {});

}  // namespace zc::codec::test
