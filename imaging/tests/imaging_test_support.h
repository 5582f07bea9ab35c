// Builders of records and packed DIBs for the image record tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "imaging/image_record.h"
#include "qv6/image/dib_format.h"

namespace zc::imaging::test {

// A record of the given geometry with its rows filled from `pixels` (zero-padded), in a buffer with
// `spare` extra bytes.
inline std::vector<uint8_t> MakeRecord(int width, int height, int bits, int dpi, std::vector<uint8_t> pixels = {},
                                       size_t spare = 0) {
  const RecordHeader h{width, height, bits, dpi};
  std::vector<uint8_t> r(static_cast<size_t>(RecordByteSize(h)) + spare, 0);
  WriteRecordHeader(r.data(), h);
  for (size_t i = 0; i < pixels.size() && kRecordHeaderBytes + i < r.size(); ++i) r[kRecordHeaderBytes + i] = pixels[i];
  return r;
}

inline RecordHeader HeaderOf(std::span<const uint8_t> r) {
  return ReadRecordHeader(r.data());
}

inline std::vector<uint8_t> PixelsOf(std::span<const uint8_t> r) {
  const int64_t size = RecordByteSize(ReadRecordHeader(r.data()));
  return {r.begin() + kRecordHeaderBytes, r.begin() + size};
}

// A packed DIB with a 40-byte header, a gray palette for 4 and 8 bits, and zeroed bottom-up rows.
struct TestDib {
  std::vector<uint8_t> block;
  size_t pixelOffset = 0;
  size_t stride = 0;
  uint8_t* Row(int storageRow) { return block.data() + pixelOffset + static_cast<size_t>(storageRow) * stride; }
  std::span<uint8_t> Span() { return block; }
};

inline TestDib MakeDib(int width, int height, int bits, uint8_t fill = 0) {
  TestDib d;
  const int colors = bits == 4 ? 16 : bits == 8 ? 256 : bits == 1 ? 2 : 0;
  d.stride = static_cast<size_t>(qv6::DibBytesPerLine(width, bits));
  d.pixelOffset = qv6::kInfoHeaderSize + static_cast<size_t>(colors) * 4;
  d.block.assign(d.pixelOffset + d.stride * static_cast<size_t>(height), fill);
  qv6::BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = static_cast<uint16_t>(bits);
  qv6::WriteInfoHeader(d.block.data(), h);
  for (int i = 0; i < colors; ++i) {
    const uint8_t v = static_cast<uint8_t>(bits == 4 ? i * 17 : bits == 1 ? i * 255 : i);
    uint8_t* e = d.block.data() + qv6::kInfoHeaderSize + 4 * i;
    e[0] = e[1] = e[2] = v;
    e[3] = 0;
  }
  return d;
}

// The rows of a record as a netpbm file of the same kind, as the netpbm tools print it: P4 for 1 bit, P5 for
// 4 and 8 bits (4-bit levels times 17, as bmptopnm scales them), P6 for 24 bits.
inline std::string RecordAsPnm(std::span<const uint8_t> record) {
  const RecordHeader h = ReadRecordHeader(record.data());
  const int64_t rowBytes = RecordRowBytes(h.width, h.bits);
  std::string out = std::string(h.bits == 1 ? "P4" : h.bits == 24 ? "P6" : "P5") + "\n" + std::to_string(h.width) +
                    " " + std::to_string(h.height) + "\n" + (h.bits == 1 ? "" : "255\n");
  for (int y = 0; y < h.height; ++y) {
    const uint8_t* row = record.data() + kRecordHeaderBytes + y * rowBytes;
    if (h.bits == 4) {
      for (int x = 0; x < h.width; ++x) out += static_cast<char>(((x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2]) & 15) * 17);
    } else {
      out.append(reinterpret_cast<const char*>(row), static_cast<size_t>(rowBytes));
    }
  }
  return out;
}

}  // namespace zc::imaging::test
