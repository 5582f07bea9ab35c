// ImageRecord: the capture program's own image form. An 8-byte header of four signed 16-bit
// little-endian fields (width, height, bits per pixel 1/4/8/24, dpi) followed by the rows, top row first,
// with no padding between rows. Every function that takes a record also takes the size of the buffer that
// holds it, and a header whose rows do not fit that buffer is refused rather than trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zc::imaging {

inline constexpr size_t kRecordHeaderBytes = 8;
inline constexpr int kMaxRecordSide = 32767;

struct RecordHeader {
  int width = 0;
  int height = 0;
  int bits = 0;
  int dpi = 0;
};

// Reads or writes the four header fields at p (which holds at least 8 bytes).
RecordHeader ReadRecordHeader(const uint8_t* p);
void WriteRecordHeader(uint8_t* p, const RecordHeader& h);

// Row length in bytes: 1 bit (w + 7) / 8, 4 bit (w + 1) / 2, 8 bit w, 24 bit 3w; -1 for another depth or a
// negative width.
int64_t RecordRowBytes(int64_t width, int bits);

// 8 + height * row length, or -1 when the depth or a side is invalid.
int64_t RecordByteSize(const RecordHeader& h);

// A record whose header was checked against its buffer: a known depth, sides 0..32767 and every row
// inside the buffer. `pixels` points at row 0.
template <typename Byte>
struct BasicRecordView {
  RecordHeader header;
  Byte* pixels = nullptr;
  size_t rowBytes = 0;
  Byte* Row(int y) const { return pixels + static_cast<size_t>(y) * rowBytes; }
  size_t PixelBytes() const { return rowBytes * static_cast<size_t>(header.height); }
};
using RecordView = BasicRecordView<uint8_t>;
using ConstRecordView = BasicRecordView<const uint8_t>;

std::optional<RecordView> CheckRecord(std::span<uint8_t> record);
std::optional<ConstRecordView> CheckRecord(std::span<const uint8_t> record);

// Writes a header for a new record of the given geometry into `buffer` when the whole record fits; the
// view of its (unwritten) rows, or nothing when it would not fit or the geometry is invalid.
std::optional<RecordView> StartRecord(std::span<uint8_t> buffer, const RecordHeader& h);

}  // namespace zc::imaging
