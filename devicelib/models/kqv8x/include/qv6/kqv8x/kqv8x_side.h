// How a KQv8x side becomes the image the host hands out: the status words of the series' status block,
// and the resampling of the sensor's 300 dpi side (grey at 200 or 300 lines per inch, colour at 100) to
// the asked resolution.
#pragma once

#include "qv6/image/scan_lines.h"
#include "qv6/later/status_words.h"

namespace qv6::kqv8x {

// KQv8x state, sensor and document word bits where they differ from the QV63x ones.
enum SensorBit : uint16_t {
  kSensorInkJet = 0x1,
  kSensorFeed = 0x6,
  kSensorSync = 0x18,
  kSensorDoubleFeed = 0x20,
  kSensorExitJam = 0x40,
  kSensorCoverOff = 0x100,
};
enum DocumentBit : uint16_t {
  kDocStopped = 0x1,
  kDocFrontReady = 0x8,
  kDocRearReady = 0x10,
  kDocSamplesReady = 0x20,
  kDocInsertError = 0x200,
  kDocDoubleFeed = 0x400,
  kDocJam = 0x800,
  kDocReadTrack = 0x1000,
};

later::StatusWords ComposeStatusWords(const later::StatusInputs& in);

// The side resampled by colour mode (0 grey, 1, 2) and resolution (100, 200, 300); the resolution the
// image then has, or 0 when the resampling failed.
int ResampleSide(CLoadScanLines& image, int colourMode, int resolution);

}  // namespace qv6::kqv8x
