// YCbCr to RGB conversion of decoded sample planes (JFIF 1.02 / ITU-R BT.601 full range).
//
// Table driven: four 256-entry tables give each chroma term as floor((A + B * i) / 65536) with
// A = 32768 - 128 * B, so a neutral chroma sample (128) adds exactly 0. Optional colour offsets (added to
// the tables) and gains (in 1/2048) adjust the output; results are clamped to 0..255.
#pragma once

#include <array>
#include <cstdint>

namespace zc::jpegdec {

// Output colour kinds: 0 mapped colour, 1 gray, 2 mapped colour with Cb/Cr exchanged, 3 RGB,
// 4 RGB with Cb/Cr exchanged.
enum JpegOutputKind : uint8_t {
  kKindMapped = 0,
  kKindGray = 1,
  kKindMappedSwap = 2,
  kKindRgb = 3,
  kKindRgbSwap = 4
};

struct ColorAdjust {
  std::array<int16_t, 4> offset{};  // all channels, red, green, blue; -255..255
  std::array<uint16_t, 4> gain{};   // all channels, red, green, blue; 1/2048, 1..4096, 0 = none
};

class ColorConverter {
 public:
  // Chooses the converter and builds the tables; throws 72 (offset) or 73 (gain) out of range.
  void Setup(JpegOutputKind kind, const ColorAdjust& adjust);

  // Converts `rows` rows of `width` samples from the planes (stride apart) to packed R, G, B.
  // For a gray kind only `y` is read.
  void Convert(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int stride, int width, int rows,
               uint8_t* rgb) const;

  // Converts one row of `width` pixels. With `chroma_h2` the chroma rows hold half as many samples and
  // pixel x takes chroma sample (x + phase) / 2 (phase 0 or 1): 2:1 horizontal up-sampling by
  // replication, done here so that the chroma planes stay at their coded resolution.
  void ConvertRow(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, bool chroma_h2,
                  int phase, uint8_t* rgb) const;

  // Two rows of `width` pixels that share one half-resolution chroma row (2:1 up-sampling both ways), as
  // two calls of ConvertRow with `chroma_h2` would convert them.
  void ConvertRowPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, int width,
                      int phase, uint8_t* rgb0, uint8_t* rgb1) const;

  // Gray output without offset or gain: the samples pass unchanged.
  bool plain_gray() const { return path_ == Path::kGray; }

  // Table entries (for tests).
  const std::array<int16_t, 256>& cr_r() const { return cr_r_; }
  const std::array<int16_t, 256>& cb_b() const { return cb_b_; }
  const std::array<int16_t, 256>& cr_g() const { return cr_g_; }
  const std::array<int16_t, 256>& cb_g() const { return cb_g_; }

 private:
  enum class Path { kPlain, kGain, kGray, kGrayGain };
  Path path_ = Path::kPlain;
  bool swap_ = false;
  std::array<int32_t, 3> gain_{2048, 2048, 2048};
  std::array<int32_t, 3> offsets_{};  // added to Cr->R, Cr->G and Cb->B
  int32_t gray_offset_ = 0;
  int32_t gray_gain_ = 2048;
  std::array<int16_t, 256> cr_r_{}, cb_b_{}, cr_g_{}, cb_g_{};
};

}  // namespace zc::jpegdec
