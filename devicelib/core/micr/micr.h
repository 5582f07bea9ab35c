// Entry points of the magnetic decoder as the device library's scanner models
// call them: results as codes, the code line as a pointer into the decoder.
#pragma once

#include <array>
#include <cstdint>

#include "devicelib/core/micr/decoder.h"

namespace qv6 {

class Micr {
 public:
  Micr() = default;
  virtual ~Micr() = default;
  Micr(const Micr&) = delete;
  Micr& operator=(const Micr&) = delete;

  // Chooses the sample format (presets 1, 2, 3, 9, 10; others keep the caller's values and decode
  // nothing). `cutoff` is ignored: the low-pass cut-off is always 0.13. Returns 0, or 1 on failure.
  int Setup(int preset, int mode, int minimum, int maximum, int rate, int direction, double cutoff);

  // Decodes `count` samples (at most 32758 are used); `font` 0 auto, 1 CMC-7, 2 E13B.
  // Note the trim order: the end trim comes before the start trim. Returns 0, or 1 on failure.
  int DecodeSamples(const uint16_t* samples, unsigned count, int font, int trimEnd, int trimStart);

  // The last line formatted (`format` 0, 1, 2), '@' shown as `reject`; valid until the next call.
  // Null on failure.
  const char* GetCodeline(int format, char reject);

  static bool CheckRejects(const char* line, unsigned allowed);

  const micr::Decoder& decoder() const { return decoder_; }

 private:
  micr::Decoder decoder_{micr::PresetTable::kDeviceLibrary};
  std::array<char, micr::kMaxCodelineChars + 1> formatted_{};
};

}  // namespace qv6
