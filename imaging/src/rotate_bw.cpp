// 1-bit rotation by 8 x 8 block transposition. A block's eight source bytes are spread bit by bit into
// eight output bytes through a table of 256 entries, each a 64-bit word holding one bit per output byte.
#include "imaging/rotate_bw.h"

#include <array>
#include <cstring>

namespace zc::imaging {
namespace {

constexpr unsigned kMaxRotateBytes = 0x10000;

// Spread[v] has, for every set bit k of v (k = 0 the most significant), byte k of the word (little end
// first) set to 1. Shifting it by the block row's bit position then OR-ing eight of them transposes.
constexpr std::array<uint64_t, 256> MakeSpread() {
  std::array<uint64_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    uint64_t w = 0;
    for (int k = 0; k < 8; ++k)
      if (v & (0x80 >> k)) w |= uint64_t{1} << (8 * k);
    t[v] = w;
  }
  return t;
}
constexpr std::array<uint64_t, 256> kSpread = MakeSpread();

constexpr std::array<uint8_t, 256> MakeReverse() {
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    int r = 0;
    for (int k = 0; k < 8; ++k)
      if (v & (1 << k)) r |= 0x80 >> k;
    t[v] = static_cast<uint8_t>(r);
  }
  return t;
}
constexpr std::array<uint8_t, 256> kReverse = MakeReverse();

// Transposes the block at byte column bc, block row br: output byte k collects, for source row i, the
// bit of pixel k shifted to bit position `shift(i)`.
template <bool Left>
void TurnBlock(const unsigned char* source, unsigned rowBytes, unsigned bc, unsigned br, uint8_t out[8]) {
  uint64_t acc = 0;
  for (unsigned i = 0; i < 8; ++i) {
    const uint8_t v = source[(8 * br + i) * static_cast<size_t>(rowBytes) + bc];
    acc |= kSpread[v] << (Left ? 7 - i : i);
  }
  for (int k = 0; k < 8; ++k) out[k] = static_cast<uint8_t>(acc >> (8 * k));
}

}  // namespace

uint8_t ReverseBits(uint8_t b) {
  return kReverse[b];
}

namespace {

// Left: output byte k of block (bc, br) goes to row width - 1 - (8 bc + k), byte column br. Right: to row
// 8 bc + k, byte column height / 8 - 1 - br.
template <bool Left>
void QuarterTurn(const unsigned char* source, unsigned char* destination, unsigned width, unsigned height) {
  const unsigned srcRow = width / 8;
  const unsigned dstRow = height / 8;
  uint8_t out[8];
  for (unsigned bc = 0; bc < srcRow; ++bc) {
    for (unsigned br = 0; br < dstRow; ++br) {
      TurnBlock<Left>(source, srcRow, bc, br, out);
      const unsigned column = Left ? br : dstRow - 1 - br;
      for (unsigned k = 0; k < 8; ++k) {
        const unsigned row = Left ? width - 1 - (8 * bc + k) : 8 * bc + k;
        destination[row * static_cast<size_t>(dstRow) + column] = out[k];
      }
    }
  }
}

}  // namespace

int funcRotateBW90Left(const unsigned char* source, unsigned char* destination, unsigned width, unsigned height) {
  QuarterTurn<true>(source, destination, width, height);
  return 0;
}

int funcRotateBW90Right(const unsigned char* source, unsigned char* destination, unsigned width, unsigned height) {
  QuarterTurn<false>(source, destination, width, height);
  return 0;
}

int funcRotateBWImage(const unsigned char* source, unsigned char* destination, unsigned width, unsigned height,
                      int code) {
  if (width % 8 != 0) return 1;
  if (height % 8 != 0) return 2;
  const uint64_t bytes = uint64_t{width / 8} * height;
  if (bytes > kMaxRotateBytes) return 5;
  if (code < 0 || code > 3) return 3;
  const size_t n = static_cast<size_t>(bytes);
  switch (code) {
    case 0:
      if (n != 0) std::memcpy(destination, source, n);
      break;
    case 1:
      funcRotateBW90Left(source, destination, width, height);
      break;
    case 2:
      for (size_t k = 0; k < n; ++k) destination[n - 1 - k] = kReverse[source[k]];
      break;
    default:
      funcRotateBW90Right(source, destination, width, height);
      break;
  }
  return 0;
}

}  // namespace zc::imaging
