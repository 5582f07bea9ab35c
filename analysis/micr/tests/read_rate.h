// Read rates of the magnetic template decoder beside the device library's decoder on the same samples:
// random E13B lines in every scanner class's format, density and order, clean or with the device
// library's read-rate conditions (per-character ink, amplitude, noise, speed).
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "testkit/micr/line_score.h"
#include "testkit/micr/magnetic_trace.h"

namespace analysis::micr::testing {

struct ScannerClassCase {
  const char* name;
  const char* product;
  const char* serial;
  int32_t frontColour;  // parameter 119
  int deviceRate;
  double samplesPerInch;
  int devicePreset;     // the device library's preset for the same samples
  bool readingOrder;    // QV840 delivers its samples mirrored
};
const std::vector<ScannerClassCase>& ScannerClassCases();

// What went wrong, by printed and read character: "4>:" a substitution, "4>@" a reject, "4>-" a
// deletion, "->4" an insertion.
using ErrorCounts = std::map<std::string, long>;

struct ReadRates {
  micrkit::LineTally merged, peaks, signal, library;
  ErrorCounts mergedErrors, peaksErrors, signalErrors, libraryErrors;
  long substitutionsAtNine = 0;   // merged-line substitutions whose confidence digit is '9'
  long fromPeaks = 0;             // merged-line substitutions the merge took from the peak try
  long fromSignal = 0;            // and from the signal try
  long oursOnly = 0;              // lines the template decoder reads and the device library's rejects
  long libraryOnly = 0;           // the other way round
};

// Where the lines' waveforms come from.
enum class WaveSource {
  // The test kit's glyphs: each ink edge of the printed character gives a lobe of the head's response.
  // The device library's decoder and the optical reader read the same glyphs.
  kGlyphs,
  // The template decoder's own character tables: each character's lobes at the waveform table's peak
  // offsets and levels, each as wide as the peak table's shape windows ask. What this source misreads
  // the decoder misreads on the signal its tables describe.
  kTables,
};

// A line of `printed` E13B symbols drawn from the character tables, laid out like the kit's glyphs
// (right-aligned cells of 1/8 inch, reading from the right, `layout`'s density and lead-in).
micrkit::MagneticTrace TableTrace(std::string_view printed, const micrkit::E13bLayout& layout,
                                  std::span<const double> characterGain = {});

// `lines` random lines cycling through the classes; `noisy` selects the impaired conditions (per
// character ink, amplitude, noise, speed), drawn alike for both sources.
ReadRates MeasureReadRates(int lines, bool noisy, uint32_t seed, WaveSource source = WaveSource::kGlyphs);

std::string FormatReadRates(const char* condition, const ReadRates& r);

}  // namespace analysis::micr::testing
