// Main-program entry points over the shared decoder.
#include "devicelib/core/micr/lumivex_micr.h"

#include <span>

namespace lumivex {

int Micr::Setup(int preset, int mode, int minimum, int maximum, int rate, int direction, double /*cutoff*/,
                int /*extra*/) {
  decoder_.Setup(preset, mode, minimum, maximum, rate, direction);
  return 0;
}

int Micr::DecodeSamples(const uint16_t* samples, unsigned count, int font, int trimEnd, int trimStart) {
  decoder_.Decode(micr::SampleRun(samples, count), font, trimEnd, trimStart);
  return 0;
}

int Micr::GetCodeline(int format, char reject, char* buffer, std::size_t capacity) const {
  if (buffer == nullptr || capacity == 0) return 0;
  return static_cast<int>(decoder_.Format(format, reject, std::span<char>(buffer, capacity)));
}

}  // namespace lumivex
