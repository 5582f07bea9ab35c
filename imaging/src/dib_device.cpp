#include "imaging/dib_device.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "imaging/packed_dib.h"

namespace zc::imaging {
namespace {

constexpr size_t kInfoHeaderBytes = 40;

// The 20 static colours of the default palette: ten at the start, ten at the end of a 256-entry palette.
constexpr std::array<PaletteEntry, 20> kStaticColours = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},   {0, 0, 128, 0},
    {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0}, {192, 220, 192, 0}, {166, 202, 240, 0},
    {255, 251, 240, 0}, {160, 160, 164, 0}, {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},
    {255, 255, 0, 0},   {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

// The 16 colours of a 4-bit screen.
constexpr std::array<PaletteEntry, 16> kSixteenColours = {{
    {0, 0, 0, 0},     {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0}, {0, 0, 128, 0},   {128, 0, 128, 0},
    {0, 128, 128, 0}, {192, 192, 192, 0}, {128, 128, 128, 0}, {255, 0, 0, 0}, {0, 255, 0, 0},   {255, 255, 0, 0},
    {0, 0, 255, 0},   {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0},
}};

std::vector<PaletteEntry> DefaultPalette(int bits) {
  if (bits == 1) return {{0, 0, 0, 0}, {255, 255, 255, 0}};
  if (bits == 4) return {kSixteenColours.begin(), kSixteenColours.end()};
  std::vector<PaletteEntry> p(256);
  for (size_t i = 0; i < 10; ++i) {
    p[i] = kStaticColours[i];
    p[246 + i] = kStaticColours[10 + i];
  }
  return p;
}


// Index of the entry nearest to the colour; the first of equals.
class NearestEntry {
 public:
  explicit NearestEntry(std::vector<PaletteEntry> entries) : entries_(std::move(entries)) {}
  int operator()(ui::Colour c) {
    if (c == lastColour_ && lastIndex_ >= 0) return lastIndex_;
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < entries_.size() && bestDistance > 0; ++i) {
      const int dr = r - entries_[i].red, dg = g - entries_[i].green, db = b - entries_[i].blue;
      const int d = dr * dr + dg * dg + db * db;
      if (d < bestDistance) {
        bestDistance = d;
        best = static_cast<int>(i);
      }
    }
    lastColour_ = c;
    lastIndex_ = best;
    return best;
  }

 private:
  std::vector<PaletteEntry> entries_;
  ui::Colour lastColour_ = 0;
  int lastIndex_ = -1;
};

}  // namespace

std::optional<DeviceBitmap> funcDIBHandleToDeviceBitmap(const DibBlock& dib, const LogPalette*) {
  PackedDibInfo info;
  if (ReadPackedDib(dib.Bytes(), &info) != 0) return std::nullopt;
  const int bits = info.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return std::nullopt;
  const uint8_t* base = dib.Bytes().data();
  std::vector<ui::Colour> colours;
  const size_t entryBytes = info.coreHeader ? 3 : 4;
  for (int i = 0; i < info.colors; ++i) {
    const uint8_t* q = base + info.headerSize + i * entryBytes;  // blue, green, red
    colours.push_back(ui::Rgb(q[2], q[1], q[0]));
  }
  DeviceBitmap s(info.width, info.height, ui::Surface::Format::Rgb24);
  const uint8_t* pixels = base + info.pixelOffset;
  for (int y = 0; y < info.height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(info.height - 1 - y) * info.stride;
    ui::Colour* out = s.Row24(y);
    for (int x = 0; x < info.width; ++x) {
      if (bits == 24) {
        out[x] = ui::Rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        continue;
      }
      int index = 0;
      if (bits == 1) index = (row[x / 8] >> (7 - x % 8)) & 1;
      if (bits == 4) index = (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
      if (bits == 8) index = row[x];
      out[x] = index < static_cast<int>(colours.size()) ? colours[index] : ui::kBlack;
    }
  }
  return s;
}

std::optional<DibBlock> funcConvertBitmapDepth(const DeviceBitmap& bitmap, int bits, int compression,
                                               const LogPalette* palette) {
  if (compression != 0 || bitmap.Width() < 1 || bitmap.Height() < 1) return std::nullopt;
  auto dib = funcCreateDIB(bitmap.Width(), bitmap.Height(), bits);
  if (!dib) return std::nullopt;
  const int b = dib->Bytes()[14];  // the bit count as the block was made
  std::vector<PaletteEntry> entries;
  if (b != 24) {
    const size_t n = size_t{1} << b;
    if (palette) {
      if (palette->entries.empty()) return std::nullopt;
      entries.assign(palette->entries.begin(), palette->entries.begin() + std::min(n, palette->entries.size()));
    } else {
      entries = DefaultPalette(b);
    }
    entries.resize(n);  // unused entries are black
  }
  uint8_t* base = dib->Bytes().data();
  for (size_t i = 0; i < entries.size(); ++i) {
    uint8_t* q = base + kInfoHeaderBytes + 4 * i;
    q[0] = entries[i].blue;
    q[1] = entries[i].green;
    q[2] = entries[i].red;
  }
  NearestEntry nearest(entries);
  const size_t stride = ((static_cast<size_t>(b) * bitmap.Width() + 31) / 32) * 4;
  uint8_t* pixels = base + kInfoHeaderBytes + 4 * entries.size();
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = pixels + static_cast<size_t>(bitmap.Height() - 1 - y) * stride;
    for (int x = 0; x < bitmap.Width(); ++x) {
      const ui::Colour c = bitmap.Pixel(x, y);
      if (b == 24) {
        row[3 * x] = c & 0xFF;
        row[3 * x + 1] = (c >> 8) & 0xFF;
        row[3 * x + 2] = (c >> 16) & 0xFF;
        continue;
      }
      const int index = nearest(c);
      if (b == 1) row[x / 8] |= static_cast<uint8_t>(index << (7 - x % 8));
      if (b == 4) row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
      if (b == 8) row[x] = static_cast<uint8_t>(index);
    }
  }
  return dib;
}

std::optional<DibBlock> funcDeviceBitmapToDIBHandle(const DeviceBitmap& bitmap, const LogPalette* palette) {
  const bool mono = bitmap.GetFormat() == ui::Surface::Format::Mono1;
  // A monochrome bitmap reads back as black and white whatever palette is selected.
  return funcConvertBitmapDepth(bitmap, mono ? 1 : 24, 0, mono ? nullptr : palette);
}

std::optional<DibBlock> funcConvertDIBDepth(const DibBlock& dib, int bits, int compression) {
  const auto surface = funcDIBHandleToDeviceBitmap(dib, nullptr);
  if (!surface) return std::nullopt;
  const auto palette = funcMakeDIBLogPalette(dib.Bytes());
  return funcConvertBitmapDepth(*surface, bits, compression, palette ? &*palette : nullptr);
}

std::optional<DibBlock> funcAllocDIBFromBitmap(int bitCount, int compression, const DeviceBitmap& bitmap) {
  return funcConvertBitmapDepth(bitmap, bitCount, compression, nullptr);
}

int funcDeviceColorCount(const ui::DisplayInfo& display) {
  return display.ColourCount();
}

LogPalette funcSnapshotSystemPalette(const ui::DisplayInfo& display) {
  LogPalette p;
  if (display.DeviceCaps(ui::SIZEPALETTE) == 256) p.entries = DefaultPalette(8);
  return p;
}

}  // namespace zc::imaging
