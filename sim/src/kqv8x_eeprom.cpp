// The simulated KQv8x EEPROM image.
#include "sim/kqv8x_eeprom.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

void PutLe32(std::vector<uint8_t>& v, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) v[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> KQv8xEepromImage(const std::array<KQv8xLitEdges, 2>& lit, const std::string& serial) {
  constexpr size_t kHeader = 140;
  constexpr size_t kRecordHead = 12;
  const auto table = static_cast<size_t>(kKQv8xGoodPixels);
  std::vector<uint8_t> image(kHeader + 2 * (kRecordHead + table), 0);
  PutLe32(image, 0, kHeader);
  PutLe32(image, 4, static_cast<uint32_t>(image.size() - kHeader));
  std::memcpy(image.data() + 8, serial.data(), std::min<size_t>(serial.size(), 63));
  std::memcpy(image.data() + 72, "KQV8", 5);  // the tag and its zero, over the code's first byte
  PutLe32(image, 136, 1);
  size_t at = kHeader;
  for (size_t side = 0; side < 2; ++side) {
    PutLe32(image, at, side == 0 ? 256 : 264);
    PutLe32(image, at + 4, kRecordHead);
    PutLe32(image, at + 8, static_cast<uint32_t>(table));
    for (size_t j = 0; j < table; ++j) {
      const auto pixel = static_cast<int>(j);
      image[at + kRecordHead + j] = pixel >= lit[side].first && pixel <= lit[side].last ? 255 : 0;
    }
    at += kRecordHead + table;
  }
  return image;
}

}  // namespace sim
