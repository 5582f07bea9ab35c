// Shading-correction table builders.
#include "qv6/image/shading_tables.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace qv6::shading {

void IdentityTables(std::span<uint8_t> tables) {
  const size_t whole = tables.size() / 256 * 256;
  if (whole == 0) return;
  // One table, then copies of what is done, doubling: a loader's megabytes of tables in a few block moves.
  std::iota(tables.begin(), tables.begin() + 256, 0);
  for (size_t done = 256; done < whole; done += std::min(done, whole - done))
    std::memcpy(tables.data() + done, tables.data(), std::min(done, whole - done));
}

void LinearStretch(int black, int white, std::span<uint8_t, 256> table) {
  for (int i = 0; i < 256; ++i) {
    int v;
    if (black < i && i < white)
      v = static_cast<int>(255LL * (i - black) / (int64_t{white} - black));
    else
      v = i > black ? 255 : 0;
    table[i] = static_cast<uint8_t>(v);
  }
  table[0] = 0;
}

void WhiteGain8(int white, std::span<uint8_t, 256> table) {
  const int w = std::clamp(white, 1, 255);
  const int step = 261120 / w;
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i < w ? (i * step) >> 10 : 255);
}

void WhiteGainNibbles(int white, std::span<uint8_t, 16> nibbles) {
  const int w = std::clamp(white, 1, 255);
  const int step = 261120 / w;
  std::fill(nibbles.begin(), nibbles.end(), uint8_t{15});
  for (int k = 0; k < w; ++k) nibbles[k / 16] = static_cast<uint8_t>(((k * step) >> 14) & 15);
}

void PairTable(std::span<const uint8_t, 16> low, std::span<const uint8_t, 16> high,
               std::span<uint8_t, 256> table) {
  for (int h = 0; h < 16; ++h)
    for (int l = 0; l < 16; ++l) table[(h << 4) | l] = static_cast<uint8_t>((high[h] << 4) | low[l]);
}

void SixBitStretch(int black, int white, std::span<uint8_t, 64> table) {
  for (int j = 0; j < 64; ++j) {
    int v;
    if (black / 4 < j && j < white / 4)
      v = static_cast<int>(255LL * (4 * j - black) / (int64_t{white} - black));
    else
      v = j > black / 4 ? 255 : 0;
    table[j] = static_cast<uint8_t>(std::clamp(v, 0, 255));
  }
  table[0] = 0;
}

}  // namespace qv6::shading
