#include "imaging/dib_block.h"

#include <algorithm>

#include "imaging/packed_dib.h"

namespace zc::imaging {
namespace {

constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kCoreHeaderBytes = 12;
constexpr size_t kSpareBytes = 1024;

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

int RoundBits(int bits) {
  if (bits < 2) return 1;
  if (bits < 5) return 4;
  if (bits < 9) return 8;
  if (bits < 25) return 24;
  return 4;
}

bool IsCore(std::span<const uint8_t> dib) {
  return dib.size() >= 4 && Le32(dib.data()) != kInfoHeaderBytes;
}

}  // namespace

std::optional<DibBlock> funcCreateDIB(int width, int height, int bits) {
  if (width < 1 || height < 1 || width > 32767 || height > 32767) return std::nullopt;
  const int b = RoundBits(bits);
  const size_t colors = b == 24 ? 0 : size_t{1} << b;
  const size_t stride = ((static_cast<size_t>(b) * width + 31) / 32) * 4;
  std::vector<uint8_t> block(kInfoHeaderBytes + colors * 4 + stride * height + kSpareBytes, 0);
  uint8_t* h = block.data();
  Put32(h, kInfoHeaderBytes);
  Put32(h + 4, static_cast<uint32_t>(width));
  Put32(h + 8, static_cast<uint32_t>(height));
  Put16(h + 12, 1);
  Put16(h + 14, static_cast<uint16_t>(b));
  return DibBlock(std::move(block));
}

int funcDIBGetWidth(std::span<const uint8_t> dib) {
  if (IsCore(dib)) return dib.size() >= kCoreHeaderBytes ? Le16(dib.data() + 4) : 0;
  return dib.size() >= kInfoHeaderBytes ? static_cast<int32_t>(Le32(dib.data() + 4)) : 0;
}

int funcDIBGetHeight(std::span<const uint8_t> dib) {
  if (IsCore(dib)) return dib.size() >= kCoreHeaderBytes ? Le16(dib.data() + 6) : 0;
  return dib.size() >= kInfoHeaderBytes ? static_cast<int32_t>(Le32(dib.data() + 8)) : 0;
}

std::optional<LogPalette> funcMakeDIBLogPalette(std::span<const uint8_t> dib) {
  const int colors = funcDIBGetColorCount(dib);
  if (colors <= 0 || dib.size() < 4) return std::nullopt;
  const bool core = IsCore(dib);
  const size_t headerBytes = core ? kCoreHeaderBytes : Le32(dib.data());
  const size_t entryBytes = core ? 3 : 4;
  const size_t count = std::min<size_t>(static_cast<size_t>(colors), LogPalette::kMaxEntries);
  if (headerBytes > dib.size() || count * entryBytes > dib.size() - headerBytes) return std::nullopt;
  LogPalette pal;
  pal.entries.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* q = dib.data() + headerBytes + i * entryBytes;  // blue, green, red
    pal.entries.push_back({q[2], q[1], q[0], 0});
  }
  return pal;
}

}  // namespace zc::imaging
