// Sample format of a magnetic decoder: the set-up record and the presets that
// the scanner families choose from. Each decoder object keeps its own record.
#pragma once

namespace micr {

// How the raw samples are laid out; decides the conditioning path.
enum class SampleKind { kNone = 0, kEightBit = 1, kTenBit = 2, kSixteenBit = 3 };

// The rate every reader works at, in samples per second.
inline constexpr int kNominalRate = 50000;
// Low-pass cut-off as a fraction of the nominal rate; fixed whatever a caller asks.
inline constexpr double kCutoff = 0.13;

struct SetupRecord {
  SampleKind kind = SampleKind::kNone;
  int mode = 0;  // stored for callers, never read by the decoder
  int minimum = 0;
  int maximum = 0;
  int rate = kNominalRate;  // samples per second
  int direction = 0;        // 0: the run starts at the end of the code line; see the conditioner
  double cutoff = kCutoff;
};

// Which set of presets a build knows; the main program's build adds preset 11.
enum class PresetTable { kDeviceLibrary, kMainProgram };

// Fills a record for `preset`. Unknown presets keep the caller's values with kind kNone.
// Throws std::invalid_argument for sixteen-bit samples at a non-positive rate.
SetupRecord MakeSetupRecord(PresetTable table, int preset, int mode, int minimum, int maximum, int rate,
                            int direction);

}  // namespace micr
