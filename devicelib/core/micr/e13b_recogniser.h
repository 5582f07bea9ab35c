// E13B character recognition at one pitch: segment measures of the 234-sample
// analysis window, the lobe pattern table and the template correlation.
#pragma once

#include <array>
#include <cstdint>

namespace micr {

inline constexpr int kE13bWindow = 234;  // analysis window; the character's first peak at kE13bPeakAt
inline constexpr int kE13bPeakAt = 49;
inline constexpr int kMinPitch = 14;
inline constexpr int kMaxPitch = 17;

using E13bWindow = std::array<int, kE13bWindow>;

struct E13bResult {
  bool found = false;  // false: nothing that looks like a character at this peak
  char symbol = '?';   // '?' for a reject
  int confidence = 0;
  int spread = 0;  // spread of the lobe positions; breaks ties between pitches
};

// Recognises the character whose first peak lies at kE13bPeakAt, with `pitch` samples per segment.
E13bResult RecogniseE13b(const E13bWindow& window, int pitch);

// Smooths the window (32-tap low-pass) over positions 16..217, for a second try after a reject.
E13bWindow RefilterE13b(const E13bWindow& window);

}  // namespace micr
