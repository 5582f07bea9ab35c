// Entry points of the magnetic decoder as the main program builds it in: one
// more preset (11), an eight-value set-up, and the code line copied into the
// caller's buffer. Errors propagate as exceptions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devicelib/core/micr/decoder.h"

namespace lumivex {

class Micr {
 public:
  Micr() = default;
  virtual ~Micr() = default;
  Micr(const Micr&) = delete;
  Micr& operator=(const Micr&) = delete;

  // Presets as the device library's decoder, plus 11: sixteen-bit samples at `rate`, run in reading
  // order. `cutoff` and `extra` are ignored. Returns 0; throws std::invalid_argument on a bad rate.
  int Setup(int preset, int mode, int minimum, int maximum, int rate, int direction, double cutoff,
            int extra);

  // As the device library's decoder (end trim before start trim); returns 0.
  int DecodeSamples(const uint16_t* samples, unsigned count, int font, int trimEnd, int trimStart);

  // Copies the last line, formatted, into `buffer` (NUL-terminated, at most capacity - 1 characters);
  // returns the number of characters copied.
  int GetCodeline(int format, char reject, char* buffer, std::size_t capacity) const;

  const micr::Decoder& decoder() const { return decoder_; }

 private:
  micr::Decoder decoder_{micr::PresetTable::kMainProgram};
};

}  // namespace lumivex
