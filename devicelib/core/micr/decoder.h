// The magnetic waveform decoder: one object per scanner connection, holding
// its own sample format and working buffers. Conditions a raw run, cuts the
// decode window and runs the CMC-7 and/or E13B reader on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "devicelib/core/micr/cmc7_reader.h"
#include "devicelib/core/micr/codeline_format.h"
#include "devicelib/core/micr/conditioner.h"
#include "devicelib/core/micr/e13b_reader.h"
#include "devicelib/core/micr/fir.h"
#include "devicelib/core/micr/setup_record.h"

namespace micr {

// Reader choice of a decode.
enum class Font { kAuto = 0, kCmc7 = 1, kE13b = 2 };

// Decoder font for the scan configuration's "MICR Font" value (0 CMC-7, 1 E13B, 2 automatic).
int DecoderFontFromSetting(int micrFontSetting);

// The samples an entry point was handed as a pointer and a count; a null pointer is an empty run.
inline std::span<const uint16_t> SampleRun(const uint16_t* samples, unsigned count) {
  return samples == nullptr ? std::span<const uint16_t>() : std::span<const uint16_t>(samples, count);
}

class Decoder {
 public:
  static constexpr std::size_t kMaxSamples = 32758;

  explicit Decoder(PresetTable presets = PresetTable::kDeviceLibrary);

  // Stores the sample format; see MakeSetupRecord. Throws std::invalid_argument on a bad rate.
  void Setup(int preset, int mode, int minimum, int maximum, int rate, int direction);

  // Decodes at most kMaxSamples samples with `font` (0 auto, 1 CMC-7, 2 E13B). Trims, in 1/10000 s,
  // shorten the window: trimEnd keeps the window from ending in the last trimEnd; trimStart keeps only
  // the last trimStart of the run. Zero means no trim; negative trims count as zero.
  void Decode(std::span<const uint16_t> samples, int font, int trimEnd, int trimStart);

  // The last decoded line, unformatted ('@' rejects, blanks kept); empty before any decode.
  std::string_view Line() const;
  // Formats the last line into `out`; returns its length.
  std::size_t Format(int format, char reject, std::span<char> out) const;

  const SetupRecord& setup() const { return setup_; }
  const SetupRecord& active() const { return active_; }
  // The conditioned samples of the last decode (after the readers worked on them).
  std::span<const uint16_t> conditioned() const {
    return std::span<const uint16_t>(conditioned_).first(count_);
  }
  int last_reader() const { return static_cast<int>(lastReader_); }
  const Cmc7Reader& cmc7() const { return cmc7_; }

 private:
  enum class Reader { kNone = 0, kCmc7 = 1, kE13b = 2 };

  PresetTable presets_;
  SetupRecord setup_;
  SetupRecord active_;
  Conditioner conditioner_;
  Fir lowPass_;
  std::vector<uint16_t> conditioned_;
  std::vector<uint16_t> second_;  // resampled run, then the equaliser's output
  std::size_t count_ = 0;
  Cmc7Reader cmc7_;
  E13bReader e13b_;
  Reader lastReader_ = Reader::kNone;
};

}  // namespace micr
