// RawLineSource: the raw scan lines of one image side as a device family hands them over (geometry, the
// line buffer and the format flags), shared by both scan-line paths. Every size here comes from a device,
// so each use checks the geometry against the buffer before a byte is read or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace qv6 {

// Format flag bits shared by the scan-line paths.
inline constexpr int kCorrectionModeMask = 0x3;   // 2: per-pixel tables
inline constexpr int kFlagSwapNibbles = 0x100;    // second path: swap the two pixels of a 4-bit byte
inline constexpr int kFlagReverseLines = 0x400;   // line order
inline constexpr int kFlagReversePixels = 0x800;  // pixel order within a line

// The window kept from each line: pixels first..last, counted from 1.
struct PixelWindow {
  int first = 1;
  int last = 0;
  int Count() const { return last - first + 1; }
};

class RawLineSource {
 public:
  void SetFormatFlags(int flags) { flags_ = flags; }
  void SetPixelsPerLine(int pixels) { pixelsPerLine_ = pixels; }
  void SetBitsPerPixel(int bits) { bitsPerPixel_ = bits; }
  void SetResolution(int dpi) { resolution_ = dpi; }
  void SetBytesPerRawLine(int bytes) { bytesPerLine_ = bytes; }
  void SetNumberOfLines(int lines) { numberOfLines_ = lines; }
  // The raw lines, owned by the caller; capacity is the number of bytes the buffer holds.
  void SetLineBuffer(uint8_t* lines, size_t capacity) {
    lines_ = lines;
    capacity_ = capacity;
  }
  void SetScanType(uint8_t type) { scanType_ = type; }
  void SetCalibratedPixels(int pixels) { calibratedPixels_ = pixels; }

  int GetFormatFlags() const { return flags_; }
  int GetPixelsPerLine() const { return pixelsPerLine_; }
  int GetBitsPerPixel() const { return bitsPerPixel_; }
  int GetResolution() const { return resolution_; }
  int GetBytesPerRawLine() const { return bytesPerLine_; }
  int GetNumberOfLines() const { return numberOfLines_; }
  uint8_t GetScanType() const { return scanType_; }
  int GetCalibratedPixels() const { return calibratedPixels_; }

 protected:
  RawLineSource() = default;
  ~RawLineSource() = default;

  int CorrectionMode() const { return flags_ & kCorrectionModeMask; }

  // At least one line of at least one byte, a buffer that holds them all, and the pixels of a line inside
  // its bytes at the given depth (24 bits: each of the three planes holds the line's pixels).
  bool GeometryFits() const;
  // The window [first, last] (last 0: the whole line) when it lies inside the line.
  std::optional<PixelWindow> ResolveWindow(int firstPixel, int lastPixel) const;
  // True when table indices first, first + step, ..., first + step * (count - 1) all lie in [0, limit).
  static bool IndicesFit(int64_t first, int64_t step, int64_t count, int64_t limit);

  uint8_t* Line(int i) const { return lines_ + static_cast<size_t>(i) * static_cast<size_t>(bytesPerLine_); }

  int flags_ = 2;
  int pixelsPerLine_ = 0;
  int bitsPerPixel_ = 0;
  int resolution_ = 0;
  int bytesPerLine_ = 0;
  int numberOfLines_ = 0;
  uint8_t* lines_ = nullptr;
  size_t capacity_ = 0;
  uint8_t scanType_ = 0;
  int calibratedPixels_ = 0;
};

}  // namespace qv6
