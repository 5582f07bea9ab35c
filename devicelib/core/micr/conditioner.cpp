// Conditioning of eight-, ten- and sixteen-bit runs, with the segment-wise
// automatic gain of ten-bit runs.
#include "devicelib/core/micr/conditioner.h"

#include <algorithm>
#include <array>

namespace micr {

namespace {

// A segment needs more than this many consecutive samples outside the quiet band to start.
constexpr int kActiveRun = 10;
// ... and ends after more than this many consecutive samples strictly inside it,
constexpr int kQuietRun = 100;
// ... backed off by this many samples.
constexpr int kSegmentTail = 50;

struct Segment {
  std::size_t end = 0;
  int smallest = -1;  // -1: no sample outside the band below the baseline
  int largest = -1;   // -1: none above it
};

Segment FindSegment(std::span<const uint16_t> x, std::size_t start, int baseline, int band) {
  const std::size_t n = x.size();
  auto outside = [&](std::size_t i) { return x[i] < baseline - band || x[i] > baseline + band; };
  auto strictlyInside = [&](std::size_t i) { return x[i] > baseline - band && x[i] < baseline + band; };

  std::size_t i = start;
  int run = 0;
  for (; i < n; ++i) {
    run = outside(i) ? run + 1 : 0;
    if (run > kActiveRun) break;
  }
  Segment segment;
  if (i >= n) {
    segment.end = n;
    return segment;
  }
  std::size_t j = i + 1 - static_cast<std::size_t>(run);  // first sample of the active run
  int quiet = 0;
  for (; j < n; ++j) {
    const int v = x[j];
    if (outside(j)) {
      if (v < baseline) segment.smallest = segment.smallest < 0 ? v : std::min(segment.smallest, v);
      if (v > baseline) segment.largest = std::max(segment.largest, v);
    }
    quiet = strictlyInside(j) ? quiet + 1 : 0;
    if (quiet > kQuietRun) break;
  }
  segment.end = j >= n ? n : j - kSegmentTail;
  return segment;
}

void ScaleSegment(std::span<const uint16_t> x, std::span<uint16_t> out, const Segment& segment,
                  std::size_t start, int baseline) {
  const bool clipped =
      (segment.smallest >= 0 && segment.smallest < 16) || (segment.largest >= 0 && segment.largest >= 1008);
  if (clipped) {
    const int limit = baseline * 1023 / 512;
    for (std::size_t i = start; i < segment.end; ++i) {
      out[i] = static_cast<uint16_t>(x[i] < limit ? x[i] * 128 / baseline : 255);
    }
    return;
  }
  // A side without any sample outside the band contributes the floor of 1.
  const double low =
      segment.smallest >= 0 && segment.smallest < baseline ? 512.0 / (baseline - segment.smallest) : 1;
  const double high = segment.largest > baseline ? 512.0 / (segment.largest - baseline) : 1;
  const double gain = std::min(4.0, std::max(std::max(low, 1.0), std::max(high, 1.0)) * 0.95);
  for (std::size_t i = start; i < segment.end; ++i) {
    const int v = static_cast<int>((x[i] - baseline) * gain + 512);
    out[i] = static_cast<uint16_t>(std::clamp(v, 0, 1023) >> 2);
  }
}

}  // namespace

int FindBaseline(std::span<const uint16_t> samples, int minimum, int maximum) {
  const int low = (minimum + maximum) / 2 - 128;
  std::array<int, 256> histogram{};
  for (const uint16_t v : samples) {
    const int bin = v - low;
    if (bin >= 0 && bin < 256) ++histogram[bin];
  }
  const auto fullest = std::max_element(histogram.begin(), histogram.end());  // first of equals
  return low + static_cast<int>(fullest - histogram.begin());
}

std::size_t Conditioner::Condition(std::span<const uint16_t> raw, SetupRecord& record,
                                   std::span<uint16_t> scratch, std::span<uint16_t> out) const {
  switch (record.kind) {
    case SampleKind::kEightBit: {
      const std::size_t n = std::min(raw.size(), out.size());
      for (std::size_t i = 0; i < n; ++i) {
        out[i] = record.direction == 1 ? raw[i] & 0xFF : 255 - (raw[n - 1 - i] & 0xFF);
      }
      return n;
    }
    case SampleKind::kSixteenBit: {
      const std::size_t m = resampler_.Resample(raw, record.rate, kNominalRate, scratch);
      for (std::size_t i = 0; i < m; ++i) scratch[i] = static_cast<uint16_t>(scratch[i] >> 6);
      record.kind = SampleKind::kTenBit;
      record.minimum = 0;
      record.maximum = 1023;
      record.rate = kNominalRate;
      record.cutoff = kCutoff;
      return ConditionTenBit(scratch.first(m), record, out);
    }
    case SampleKind::kTenBit:
      return ConditionTenBit(raw, record, out);
    case SampleKind::kNone:
      break;
  }
  return 0;
}

std::size_t Conditioner::ConditionTenBit(std::span<const uint16_t> raw, const SetupRecord& record,
                                         std::span<uint16_t> out) const {
  const std::size_t n = std::min(raw.size(), out.size());
  // Put the run in reading order first; `out` then holds the reordered raw values until scaled.
  for (std::size_t i = 0; i < n; ++i) out[i] = record.direction == 1 ? raw[i] : raw[n - 1 - i];
  const std::span<const uint16_t> x(out.data(), n);
  const int baseline = FindBaseline(x, record.minimum, record.maximum);
  const int band = (record.maximum - record.minimum) * 5 / 100;
  // Every sample is scaled, the last few included, so no raw value reaches the readers.
  for (std::size_t start = 0; start < n;) {
    const Segment segment = FindSegment(x, start, baseline, band);
    ScaleSegment(x, out, segment, start, baseline);
    start = segment.end;
  }
  if (record.direction == 1) {
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint16_t>(255 - out[i]);
  }
  return n;
}

}  // namespace micr
