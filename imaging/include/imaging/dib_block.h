// Owned DIB blocks for the display slots and the endorsement canvas: a 40-byte information header, the
// palette and bottom-up rows padded to 4 bytes, zero-filled, in a block the handle owns. Palettes taken
// from a DIB are plain arrays of at most 256 entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zc::imaging {

class DibBlock {
 public:
  DibBlock() = default;
  explicit DibBlock(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::span<uint8_t> Bytes() { return bytes_; }
  std::span<const uint8_t> Bytes() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
};

// A DIB of the given size with the bit count rounded (below 2 -> 1, below 5 -> 4, below 9 -> 8, below
// 25 -> 24, larger -> 4); the block holds header, palette, stride x height pixel bytes and 1024 spare bytes,
// and only the header is written. Nothing for sides outside 1..32767.
std::optional<DibBlock> funcCreateDIB(int width, int height, int bits);

// Width and height of the header: the 32-bit fields of a 40-byte header, the 16-bit ones of a core header;
// 0 when the block is too short for its header.
int funcDIBGetWidth(std::span<const uint8_t> dib);
int funcDIBGetHeight(std::span<const uint8_t> dib);

struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t flags = 0;
};

struct LogPalette {
  static constexpr uint16_t kVersion = 0x300;
  static constexpr size_t kMaxEntries = 256;
  uint16_t version = kVersion;
  std::vector<PaletteEntry> entries;  // at most kMaxEntries
};

// The DIB's colours as a palette; nothing for a DIB without colours or whose palette lies outside the block.
std::optional<LogPalette> funcMakeDIBLogPalette(std::span<const uint8_t> dib);

}  // namespace zc::imaging
