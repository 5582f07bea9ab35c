// Device-library entry points: exceptions stop here and become result codes.
#include "devicelib/core/micr/micr.h"

#include <exception>

namespace qv6 {

int Micr::Setup(int preset, int mode, int minimum, int maximum, int rate, int direction, double /*cutoff*/) {
  try {
    decoder_.Setup(preset, mode, minimum, maximum, rate, direction);
    return 0;
  } catch (const std::exception&) {
    return 1;
  }
}

int Micr::DecodeSamples(const uint16_t* samples, unsigned count, int font, int trimEnd, int trimStart) {
  try {
    decoder_.Decode(micr::SampleRun(samples, count), font, trimEnd, trimStart);
    return 0;
  } catch (const std::exception&) {
    return 1;
  }
}

const char* Micr::GetCodeline(int format, char reject) {
  try {
    decoder_.Format(format, reject, formatted_);
    return formatted_.data();
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool Micr::CheckRejects(const char* line, unsigned allowed) {
  return micr::CheckRejects(line, allowed);
}

}  // namespace qv6
