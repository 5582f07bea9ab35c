// Scalar colour conversion through lookup tables of the products (R x 19595 ...), one addition chain per
// sample; the results equal the closed formulas exactly.
#include "color_convert.h"

namespace zc::jpeg {
namespace {

struct RgbTables {
  int32_t r_y[256], g_y[256], b_y[256];     // Y = (R 19595 + G 38470 + B 7471 + 32768) >> 16
  int32_t r_cb[256], g_cb[256], b_cb[256];  // Cb = (-R 11059 - G 21709 + B 32768 + 8421375) >> 16
  int32_t g_cr[256], b_cr[256];             // Cr = (R 32768 - G 27439 - B 5329 + 8421375) >> 16
};

const RgbTables& Tables() {
  static const RgbTables tables = [] {
    RgbTables t{};
    for (int i = 0; i < 256; ++i) {
      t.r_y[i] = 19595 * i;
      t.g_y[i] = 38470 * i;
      t.b_y[i] = 7471 * i + 32768;
      t.r_cb[i] = -11059 * i;
      t.g_cb[i] = -21709 * i;
      t.b_cb[i] = 32768 * i + 8421375;  // also R x 32768 + offset for Cr
      t.g_cr[i] = -27439 * i;
      t.b_cr[i] = -5329 * i;
    }
    return t;
  }();
  return tables;
}

}  // namespace

uint8_t LumaOf(int r, int g, int b) {
  return static_cast<uint8_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
}
uint8_t CbOf(int r, int g, int b) {
  return static_cast<uint8_t>((-11059 * r - 21709 * g + 32768 * b + 8421375) >> 16);
}
uint8_t CrOf(int r, int g, int b) {
  return static_cast<uint8_t>((32768 * r - 27439 * g - 5329 * b + 8421375) >> 16);
}

PaletteLookup MakePaletteLookup(const uint8_t* palette, int entries) {
  PaletteLookup lut;
  const int n = (entries <= 0 || entries > 256) ? 256 : entries;
  for (int i = 0; i < n; ++i) {
    const int r = palette[3 * i], g = palette[3 * i + 1], b = palette[3 * i + 2];
    lut.y[i] = LumaOf(r, g, b);
    lut.cb[i] = CbOf(r, g, b);
    lut.cr[i] = CrOf(r, g, b);
  }
  return lut;
}

void RgbToYccScalar(const uint8_t* rgb, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr) {
  const RgbTables& t = Tables();
  for (size_t i = 0; i < count; ++i, rgb += 3) {
    const int r = rgb[0], g = rgb[1], b = rgb[2];
    y[i] = static_cast<uint8_t>((t.r_y[r] + t.g_y[g] + t.b_y[b]) >> 16);
    cb[i] = static_cast<uint8_t>((t.r_cb[r] + t.g_cb[g] + t.b_cb[b]) >> 16);
    cr[i] = static_cast<uint8_t>((t.b_cb[r] + t.g_cr[g] + t.b_cr[b]) >> 16);
  }
}

void RgbToYScalar(const uint8_t* rgb, size_t count, uint8_t* y) {
  const RgbTables& t = Tables();
  for (size_t i = 0; i < count; ++i, rgb += 3) {
    y[i] = static_cast<uint8_t>((t.r_y[rgb[0]] + t.g_y[rgb[1]] + t.b_y[rgb[2]]) >> 16);
  }
}

}  // namespace zc::jpeg
