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

// Noise of `n` samples in reading order. `impairments.noise` is the deviation of white noise taken at
// the nominal rate where it enters the reading chain; the chain (the head's response, and the amplifier
// and anti-alias filter that pass the same band) smooths the noise as it smooths the signal, so the
// samples carry that noise through the head's Gaussian of `sigma` samples. Nothing above the chain's
// band reaches the samples, and the noise in the signal's band is the same at every device rate.
std::vector<double> ReadingNoise(std::size_t n, double sigma, double rate, const Impairments& impairments) {
  std::vector<double> noise(n, 0.0);
  if (impairments.noise <= 0 || n == 0) return noise;
  std::mt19937 random(impairments.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  const int reach = std::max(1, static_cast<int>(std::ceil(4 * sigma)));
  std::vector<double> kernel(static_cast<std::size_t>(2 * reach + 1));
  double sum = 0;
  for (int j = -reach; j <= reach; ++j) {
    const double w = sigma > 0 ? std::exp(-0.5 * (j / sigma) * (j / sigma)) : (j == 0 ? 1.0 : 0.0);
    kernel[static_cast<std::size_t>(j + reach)] = w;
    sum += w;
  }
  // White noise of the same power per unit of time at any sample rate.
  const double deviation = impairments.noise * std::sqrt(rate / kNominalRate);
  for (double& w : kernel) w *= deviation / sum;
  std::vector<double> white(n + kernel.size() - 1);
  for (double& x : white) x = gauss(random);
  for (std::size_t k = 0; k < n; ++k) {
    double acc = 0;
    for (std::size_t j = 0; j < kernel.size(); ++j) acc += kernel[j] * white[k + j];
    noise[k] = acc;
  }
  return noise;
}

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
  const std::vector<double> noise =
      ReadingNoise(n, trace.sigma() * format.rate / kNominalRate, format.rate, impairments);
  std::vector<uint16_t> out(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t reading = format.readingOrder ? k : n - 1 - k;
    const double time = static_cast<double>(reading) * kNominalRate / format.rate;
    double signal = trace.At(time) * scale;
    if (format.inverted) signal = -signal;
    double v = half + signal + noise[reading] * half +
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
