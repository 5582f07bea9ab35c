// Raw magnetic samples as each scanner series delivers them: sample rate,
// significant bits, order and polarity relative to reading time, and the bytes
// on the wire. Adds the noise and amplitude variation of real documents.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "testkit/micr/magnetic_trace.h"

namespace micrkit {

struct SampleFormat {
  int preset;         // decoder preset that reads this format
  int rate;           // samples per second
  int bits;           // significant bits: 8, 10 or 16
  bool readingOrder;  // true: first sample = start of reading; false: reversed
  bool inverted;      // values fall where the reading signal rises
};

// The format that decoder `preset` (1, 2, 3, 9, 10, 11) expects; `rate` matters for 3 and 11.
SampleFormat FormatForPreset(int preset, int rate = 50000);

enum class WireOrder { kBigEndian16, kLittleEndian16, kHighByte8 };

struct SeriesFormat {
  const char* series;
  int rate;
  int preset;
  WireOrder wire;
  double samplesPerInch = 0;  // the device's density along the line
};
// Every series and rate a device model uses.
std::span<const SeriesFormat> SeriesFormats();

struct Impairments {
  double amplitude = 0.5;    // peak of the signal, as a fraction of the half range
  // Gaussian noise entering the reading chain: its deviation per sample at the nominal 50000 per second,
  // as a fraction of the half range. The samples carry it smoothed by the head's response, as the
  // signal is (at the head's 4-sample sigma about a quarter of this deviation is left per sample), and
  // the same at every device rate.
  double noise = 0;
  double baselineDrift = 0;  // linear drift over the run, fraction of the half range
  uint32_t seed = 1;
  // Disturbances: at each reading time (nominal samples) six samples swing between the ends of the range.
  std::vector<double> spikes;
};

// Samples `trace` in `format`; values stay within the format's range.
std::vector<uint16_t> SampleTrace(const MagneticTrace& trace, const SampleFormat& format,
                                  const Impairments& impairments = {});

// Bytes as the device sends them, and host samples as the library reads them back.
std::vector<uint8_t> ToWire(std::span<const uint16_t> samples, WireOrder order);
std::vector<uint16_t> FromWire(std::span<const uint8_t> bytes, WireOrder order);

}  // namespace micrkit
