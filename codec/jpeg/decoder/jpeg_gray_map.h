// Gray output with fewer than 256 levels: each gray sample becomes the index of its level in an n-level
// gray ramp, directly, with a 4x4 ordered dither, or with Floyd-Steinberg error diffusion. The ramp's level
// j is the value (j * 255 + (n - 1) / 2) / (n - 1); a sample belongs to the first level whose upper limit
// ((2j + 1) * 255 + (n - 1)) / (2 (n - 1)) it does not exceed.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codec/jpeg/decoder/jpeg_output.h"

namespace zc::jpegdec {

// Output value of level j of an n-level ramp.
int GrayLevelValue(int j, int n);

class GrayMapper final : public BandMapper {
 public:
  // `levels` 2..256; `dither` 0 direct, 1 ordered, 2 error diffusion (other values: direct).
  GrayMapper(int levels, int dither, int width);

  // Reads the first byte of each R, G, B triple.
  void Map(const uint8_t* rgb, int width, int rows, uint8_t* out) override;

 private:
  // Index of the level of v, for v in -255..510 (values outside 0..255 take the end levels).
  int Level(int v) const { return index_[static_cast<size_t>(v + 255)]; }

  int levels_;
  int dither_;
  std::array<uint8_t, 766> index_{};   // v = -255..510
  std::array<int16_t, 766> error_{};   // v minus the value of its level
  std::array<int16_t, 16> ordered_{};  // added to the sample, 4 rows of 4
  int row_phase_ = 0;                  // ordered dither row, kept from band to band
  std::vector<int32_t> errors_;        // diffusion: width + 2 accumulated errors, kept from band to band
};

}  // namespace zc::jpegdec
