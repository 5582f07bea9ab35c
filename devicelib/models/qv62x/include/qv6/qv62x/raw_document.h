// RawDocument: the raw image data a QV62x scanner sends for one document, with the counts it was read
// with. Every line holds P pixel pairs (front byte, rear byte); the document's lines follow L lead-in
// lines, and the side whose sensor lies later on the path sees them D lines later; T trailing lines of
// empty track close the data. In colour each document line is three lines: red, green, blue.
//
// The counts are kept with the bytes they describe, so a later status with other counts never indexes
// into lines that were not read. The jam check and the side extraction are pure functions over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qv6::qv62x {

// Pixel pairs the raw buffer holds at most.
inline constexpr uint64_t kMaxRawPairs = 0x400000 - 255;
// Bulk reads come in whole 512-byte packets.
inline constexpr uint64_t kReadRounding = 512;

struct RawCounts {
  uint64_t pixels = 0;    // P
  uint64_t distance = 0;  // D
  uint64_t leadIn = 0;    // L
  uint64_t lines = 0;     // N
  uint64_t trailing = 0;  // T

  uint64_t TotalLines() const { return distance + leadIn + lines + trailing; }
  uint64_t Pairs() const { return pixels * TotalLines(); }
  // Bytes the read asks for, and the buffer it needs (rounded up to whole packets).
  uint64_t Bytes() const { return 2 * Pairs(); }
  uint64_t BufferBytes() const { return (Bytes() + kReadRounding - 1) / kReadRounding * kReadRounding; }
  // Pairs within (0, kMaxRawPairs].
  bool Acceptable() const;
};

struct RawDocument {
  RawCounts counts;
  std::vector<uint8_t> bytes;  // at least counts.Bytes()
  bool read = false;

  // Byte of pixel `pixel` of side `side` (0 front, 1 rear) on raw line `line`; both inside the counts.
  uint8_t At(uint64_t line, uint64_t pixel, int side) const {
    return bytes[2 * (line * counts.pixels + pixel) + static_cast<uint64_t>(side)];
  }
};

// Where a side's lines start: after the lead-in, plus the sensor distance for the later sensor.
uint64_t FirstLine(const RawCounts& counts, bool laterSensor);

// What the jam check looks at of one side: the pixels strictly inside (start + 10, end - 10) of its line
// window (from FindLineStart/FindLineEnd, 1-based) and its per-pixel photo-out thresholds, one plane per
// channel (grey; red, green, blue).
struct JamSide {
  int lineStart = 1;
  int lineEnd = 0;
  bool later = false;  // the sensor that sees the document D lines later
  std::span<const uint8_t> thresholds[4];
};

enum class JamResult { kNotEnoughData = -1, kJam = 0, kClear = 1 };
enum class JamReason { kNone, kNotEntered, kNotExited };

// count, step: the exit test looks at `count` lines `step` apart before the end (colour: step / 2 colour
// lines apart); tripPixels: more pixels than this above their threshold show paper.
JamResult CheckJam(const RawDocument& raw, int colourMode, unsigned count, unsigned step, unsigned tripPixels,
                   const JamSide& front, const JamSide& rear, JamReason* reason = nullptr);

// One side's lines of the document: grey P bytes per line, N lines; colour 3 * P bytes per line (red,
// green, blue planes), each colour line stored twice (the scanner takes colour at half the line rate).
// Empty when the lines lie outside the data.
std::vector<uint8_t> ExtractSide(const RawDocument& raw, int side, int colourMode, bool laterSensor,
                                 int* lineCount);

}  // namespace qv6::qv62x
