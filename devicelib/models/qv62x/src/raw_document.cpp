// Raw document data of the QV62x: counts, the host jam check and the extraction of a side's lines.
#include "qv6/qv62x/raw_document.h"

#include <algorithm>
#include <cstring>

namespace qv6::qv62x {
namespace {

constexpr uint64_t kEntryLine = 60;        // grey lines before the entry test starts
constexpr uint64_t kEntryColourLine = 30;  // colour lines
constexpr int kWindowMargin = 10;

// Pixels of `side` on raw line `line` above their threshold, in the window; channel 0 grey, 1..3 colour.
unsigned PaperPixels(const RawDocument& raw, uint64_t line, int side, const JamSide& s, int channel) {
  std::span<const uint8_t> t = s.thresholds[channel];
  const int64_t limit =
      std::min<int64_t>(static_cast<int64_t>(raw.counts.pixels), static_cast<int64_t>(t.size()));
  const int64_t first = std::max<int64_t>(s.lineStart + kWindowMargin + 1, 0);
  const int64_t end = std::min<int64_t>(s.lineEnd - kWindowMargin, limit);  // exclusive
  unsigned n = 0;
  for (int64_t j = first; j < end; ++j) {
    if (raw.At(line, static_cast<uint64_t>(j), side) > t[static_cast<size_t>(j)]) ++n;
  }
  return n;
}

// Whether either side shows paper on raw line `line` (+ `sideOffset` per side) in any tested channel.
bool ShowsPaper(const RawDocument& raw, int colourMode, uint64_t frontLine, uint64_t rearLine, unsigned trip,
                const JamSide& front, const JamSide& rear) {
  const uint64_t total = raw.counts.TotalLines();
  const int planes = colourMode != 0 ? 3 : 1;
  for (int c = 0; c < planes; ++c) {
    const int channel = colourMode != 0 ? 1 + c : 0;
    if (frontLine + c < total && PaperPixels(raw, frontLine + c, 0, front, channel) > trip) return true;
    if (rearLine + c < total && PaperPixels(raw, rearLine + c, 1, rear, channel) > trip) return true;
  }
  return false;
}

}  // namespace

bool RawCounts::Acceptable() const {
  // Each count is 16 bits from the device, so the product fits 64 bits easily.
  const uint64_t pairs = Pairs();
  return pairs != 0 && pairs <= kMaxRawPairs;
}

uint64_t FirstLine(const RawCounts& counts, bool laterSensor) {
  return counts.leadIn + (laterSensor ? counts.distance : 0);
}

JamResult CheckJam(const RawDocument& raw, int colourMode, unsigned count, unsigned step, unsigned tripPixels,
                   const JamSide& front, const JamSide& rear, JamReason* reason) {
  if (reason != nullptr) *reason = JamReason::kNone;
  const RawCounts& c = raw.counts;
  const bool colour = colourMode != 0;
  // Lines are counted in colour lines of three raw lines each in colour.
  const uint64_t unit = colour ? 3 : 1;
  const uint64_t stride = colour ? step / 2 : step;
  const uint64_t trailing = c.trailing / unit;
  if (step == 0 || c.trailing == 0 || trailing < uint64_t{count} * stride || stride == 0) {
    return JamResult::kNotEnoughData;
  }
  if (!raw.read || raw.bytes.size() < c.Bytes() || c.pixels == 0) return JamResult::kNotEnoughData;

  // Entry: from line 60 (colour line 30) of the document, some line must show paper.
  const uint64_t documentLines = c.lines / unit;
  const uint64_t start = colour ? kEntryColourLine : kEntryLine;
  const uint64_t from = documentLines > start ? start : 0;
  bool entered = false;
  for (uint64_t i = from; i < documentLines && !entered; ++i) {
    entered = ShowsPaper(raw, colourMode, FirstLine(c, front.later) + i * unit,
                         FirstLine(c, rear.later) + i * unit, tripPixels, front, rear);
  }
  if (!entered) {
    if (reason != nullptr) *reason = JamReason::kNotEntered;
    return JamResult::kJam;
  }
  // Exit: the last lines of the trailing empty track must be clear on both sides.
  const uint64_t total = c.TotalLines();
  const uint64_t back = uint64_t{count} * stride * unit;
  for (unsigned k = 0; k < count; ++k) {
    const uint64_t line = total - back + uint64_t{k} * stride * unit;
    if (ShowsPaper(raw, colourMode, line, line, tripPixels, front, rear)) {
      if (reason != nullptr) *reason = JamReason::kNotExited;
      return JamResult::kJam;
    }
  }
  return JamResult::kClear;
}

std::vector<uint8_t> ExtractSide(const RawDocument& raw, int side, int colourMode, bool laterSensor,
                                 int* lineCount) {
  *lineCount = 0;
  const RawCounts& c = raw.counts;
  const uint64_t first = FirstLine(c, laterSensor);
  const uint64_t p = c.pixels;
  if (!raw.read || p == 0 || raw.bytes.size() < c.Bytes() || first + c.lines > c.TotalLines()) return {};
  std::vector<uint8_t> out;
  if (colourMode == 0) {
    out.resize(c.lines * p);
    for (uint64_t i = 0; i < c.lines; ++i) {
      for (uint64_t j = 0; j < p; ++j) out[i * p + j] = raw.At(first + i, j, side);
    }
    *lineCount = static_cast<int>(c.lines);
    return out;
  }
  const uint64_t colourLines = c.lines / 3;
  out.resize(2 * colourLines * 3 * p);
  for (uint64_t i = 0; i < colourLines; ++i) {
    uint8_t* line = out.data() + 2 * i * 3 * p;
    for (uint64_t plane = 0; plane < 3; ++plane) {
      for (uint64_t j = 0; j < p; ++j) line[plane * p + j] = raw.At(first + 3 * i + plane, j, side);
    }
    std::memcpy(line + 3 * p, line, 3 * p);
  }
  *lineCount = static_cast<int>(2 * colourLines);
  return out;
}

}  // namespace qv6::qv62x
