// Colour conversion of the compressor's input rows into sample planes: R, G, B to Y, Cb, Cr with the JFIF
// weights of ITU-R BT.601 in 16-bit fixed point, and palette indices through per-index lookups.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zc::jpeg {

// Y, Cb, Cr of each palette index; indices from the entry count up are 0 in all three.
struct PaletteLookup {
  std::array<uint8_t, 256> y{}, cb{}, cr{};
};

// palette: 256 entries of R, G, B; entries: valid entries, 0 meaning 256.
PaletteLookup MakePaletteLookup(const uint8_t* palette, int entries);

// The exact formulas, for one pixel (the reference of every conversion kernel).
uint8_t LumaOf(int r, int g, int b);
uint8_t CbOf(int r, int g, int b);
uint8_t CrOf(int r, int g, int b);

void RgbToYccScalar(const uint8_t* rgb, size_t count, uint8_t* y, uint8_t* cb, uint8_t* cr);
void RgbToYScalar(const uint8_t* rgb, size_t count, uint8_t* y);

}  // namespace zc::jpeg
