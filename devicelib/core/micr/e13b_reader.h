// E13B magnetic reader: finds each character's leading peak in conditioned
// samples, recognises it at the pitch that fits best and places blanks from the
// distances between characters.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "devicelib/core/micr/e13b_recogniser.h"

namespace micr {

class E13bReader {
 public:
  static constexpr std::size_t kLineSize = 200;

  void Read(std::span<const uint16_t> samples);
  std::string_view line() const { return std::string_view(line_.data() + start_, kLineSize - 1 - start_); }

 private:
  // Results per pitch for the current peak, computed on first use.
  struct PitchResults {
    const E13bWindow* window = nullptr;
    std::array<std::optional<E13bResult>, kMaxPitch + 1> cache;
    const E13bResult& At(int pitch);
  };
  struct Choice {
    bool found = false;
    char symbol = '?';
    int confidence = 0;
  };

  Choice Choose(PitchResults& results);
  Choice BestOf(PitchResults& results, int from, int to);
  Choice Vote(PitchResults& results);
  void Place(char symbol, int peak);

  std::array<char, kLineSize> line_{};
  std::size_t start_ = kLineSize - 1;  // first used cell; the line fills backwards from cell 198
  int pitch_ = 16;
  int placed_ = 0;
  int firstPeak_ = 0;
  int lastPeak_ = 0;
};

}  // namespace micr
