// Sampling a trace into device formats, and wire encodings.
#include "testkit/micr/sample_format.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace micrkit {

namespace {
constexpr double kNominalRate = 50000;

constexpr SeriesFormat kSeries[] = {
    {"QV600, QV605", 50000, 2, WireOrder::kBigEndian16, 1280},
    {"QV62x colour", 47400, 3, WireOrder::kLittleEndian16, 1200},
    {"QV62x", 63200, 3, WireOrder::kLittleEndian16, 1600},
    {"QV63x, QV9120", 63200, 3, WireOrder::kLittleEndian16, 1600},
    {"QV63x, QV9120 fast", 94800, 3, WireOrder::kLittleEndian16, 2400},
    {"QV64x", 70866, 3, WireOrder::kLittleEndian16, 1794},
    {"VEKQv5xx", 70919, 3, WireOrder::kLittleEndian16, 1795},
    {"KQv8x", 50000, 3, WireOrder::kHighByte8, 50000 / kDocumentInchesPerSecond},
};
}  // namespace

SampleFormat FormatForPreset(int preset, int rate) {
  switch (preset) {
    case 1:
      return {1, 50000, 8, true, false};
    case 9:
      return {9, 50000, 8, false, true};
    case 2:
      return {2, 50000, 10, false, false};
    case 10:
      return {10, 50000, 10, true, true};
    case 11:
      return {11, rate, 16, true, true};
    default:
      return {3, rate, 16, false, false};
  }
}

std::span<const SeriesFormat> SeriesFormats() {
  return kSeries;
}

std::vector<uint16_t> SampleTrace(const MagneticTrace& trace, const SampleFormat& format,
                                  const Impairments& impairments) {
  const double half = std::ldexp(1.0, format.bits - 1);
  const double top = 2 * half - 1;
  const auto n = static_cast<std::size_t>(std::ceil(trace.duration() * format.rate / kNominalRate));
  const double scale = trace.peak() > 0 ? impairments.amplitude * half / trace.peak() : 0;
  std::mt19937 random(impairments.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<uint16_t> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t reading = format.readingOrder ? k : n - 1 - k;
    const double time = static_cast<double>(reading) * kNominalRate / format.rate;
    double signal = trace.At(time) * scale;
    if (format.inverted) signal = -signal;
    double v = half + signal + impairments.noise * half * gauss(random) +
               impairments.baselineDrift * half * static_cast<double>(k) / static_cast<double>(n);
    out[k] = static_cast<uint16_t>(std::clamp(std::lround(v), 0L, static_cast<long>(top)));
  }
  for (const double time : impairments.spikes) {
    const auto reading = static_cast<long>(time * format.rate / kNominalRate);
    for (long j = 0; j < 6; ++j) {
      const long r = reading + j;
      if (r < 0 || r >= static_cast<long>(n)) continue;
      const std::size_t k = format.readingOrder ? static_cast<std::size_t>(r) : n - 1 - static_cast<std::size_t>(r);
      out[k] = static_cast<uint16_t>(j % 2 == 0 ? top : 0);
    }
  }
  return out;
}

std::vector<uint8_t> ToWire(std::span<const uint16_t> samples, WireOrder order) {
  std::vector<uint8_t> bytes;
  bytes.reserve(samples.size() * 2);
  for (const uint16_t s : samples) {
    switch (order) {
      case WireOrder::kBigEndian16:
        bytes.push_back(static_cast<uint8_t>(s >> 8));
        bytes.push_back(static_cast<uint8_t>(s & 0xFF));
        break;
      case WireOrder::kLittleEndian16:
        bytes.push_back(static_cast<uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<uint8_t>(s >> 8));
        break;
      case WireOrder::kHighByte8:
        bytes.push_back(static_cast<uint8_t>(s >> 8));
        break;
    }
  }
  return bytes;
}

std::vector<uint16_t> FromWire(std::span<const uint8_t> bytes, WireOrder order) {
  std::vector<uint16_t> samples;
  if (order == WireOrder::kHighByte8) {
    for (const uint8_t b : bytes) samples.push_back(static_cast<uint16_t>(b << 8));
    return samples;
  }
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const uint16_t hi = order == WireOrder::kBigEndian16 ? bytes[i] : bytes[i + 1];
    const uint16_t lo = order == WireOrder::kBigEndian16 ? bytes[i + 1] : bytes[i];
    samples.push_back(static_cast<uint16_t>(hi << 8 | lo));
  }
  return samples;
}

}  // namespace micrkit
