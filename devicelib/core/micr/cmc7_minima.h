// Bar finder of the CMC-7 reader: the troughs of the low-passed signal that
// have the rise, width and left flank of a printed bar, optionally confirmed by
// the equaliser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "devicelib/core/micr/equaliser.h"

namespace micr {

struct Minimum {
  int position = 0;  // refined position of the bar, in samples
  int depth = 0;     // low-passed sample value at the trough (0..143)
};

// Confirmation by the equaliser; absent when the equaliser is not trained or the pass skips it.
struct EqualiserCheck {
  const Equaliser* equaliser = nullptr;
  std::span<const uint16_t> output;  // Equaliser::Apply over the same samples
};

// Finds the bars of `s`; writes at most out.size() minima and returns how many.
std::size_t FindMinima(std::span<const uint16_t> s, const EqualiserCheck& check, std::span<Minimum> out);

}  // namespace micr
