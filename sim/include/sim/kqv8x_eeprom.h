// The simulated KQv8x scanner's EEPROM contents: the part of each sensor that is lit, and an image (the
// MechImage form, little-endian, tag "KQV8") that holds only the two white reference tables of the first
// channel (records 256 front and 264 rear): 255 from the first lit good pixel to the last, 0 elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct KQv8xLitEdges {
  int first = 0;  // first lit good pixel (from 0, counted from the track)
  int last = 0;   // last lit good pixel
};

inline constexpr int kKQv8xGoodPixels = 2552;
inline constexpr std::array<KQv8xLitEdges, 2> kKQv8xLitEdges = {{{7, 2530}, {10, 2520}}};  // front, rear

// The image for a scanner whose identity carries `serial`; tables of kKQv8xGoodPixels bytes.
std::vector<uint8_t> KQv8xEepromImage(const std::array<KQv8xLitEdges, 2>& lit, const std::string& serial);

}  // namespace sim
