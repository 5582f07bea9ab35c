// CMC-7 magnetic reader: reads the two-out-of-six interval code of the bars
// (seven bars per character, short and long gaps) from conditioned samples.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "devicelib/core/micr/cmc7_minima.h"
#include "devicelib/core/micr/equaliser.h"
#include "devicelib/core/micr/fir.h"

namespace micr {

// Bounded code-line text of one reader: at most kMaxChars characters.
class LineBuffer {
 public:
  static constexpr std::size_t kMaxChars = 199;
  void Clear() { size_ = 0; }
  bool Full() const { return size_ >= kMaxChars; }
  void Push(char c) {
    if (!Full()) chars_[size_++] = c;
  }
  std::string_view View() const { return std::string_view(chars_.data(), size_); }
  void Reverse();
  std::size_t Rejects() const;

 private:
  std::array<char, kMaxChars> chars_{};
  std::size_t size_ = 0;
};

class Cmc7Reader {
 public:
  static constexpr std::size_t kMaxMinima = 600;

  // Reads `window` (filtered and possibly inverted in place; `equalised` is scratch of the same size).
  // With `structureCheck`, returns -1 when the bar intervals do not look like CMC-7; else 0.
  int Read(std::span<uint16_t> window, std::span<uint16_t> equalised, const Fir& lowPass,
           bool structureCheck);

  std::string_view line() const { return line_.View(); }
  int passes() const { return passes_; }  // passes the last read ran (1 to 3)
  const Equaliser& equaliser() const { return equaliser_; }

 private:
  struct Thresholds {
    int ths = 0, thl = 0, thb = 0, thc = 0, thcMax = 0, pitch = 0, blank = 0;
  };

  // One pass: bars, interval statistics, characters. False when the structure check rejects.
  bool Pass(std::span<const uint16_t> s, const EqualiserCheck& check, const char* table, bool structureCheck,
            LineBuffer& line);
  bool Measure(bool structureCheck, Thresholds& t) const;
  void Assemble(const Thresholds& t, const char* table, LineBuffer& line);
  int Interval(std::size_t i) const { return minima_[i + 1].position - minima_[i].position; }
  void Erase(std::size_t i);

  Equaliser equaliser_;
  std::array<Minimum, kMaxMinima> minima_{};
  std::size_t count_ = 0;
  LineBuffer line_;
  LineBuffer candidate_;
  int passes_ = 0;
};

}  // namespace micr
