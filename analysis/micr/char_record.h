// One character found in the conditioned magnetic signal, and the bounded view of that signal that the
// framer and both classifiers read.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace analysis::micr {

inline constexpr int kMaxPeaks = 12;

struct MicrCharRecord {
  char cChar = 0;            // character read: '0'..'9', ':', ';', '<', '=', '@' reject
  uint8_t bChar = 0;         // cChar - '0'
  int32_t iCharWidth = 0;    // samples
  int32_t iCharOffset = 0;   // first sample of the character in the conditioned signal; 0 ends a list
  int32_t iConf = 0;         // 0..9, from the peak classifier
  std::array<int32_t, kMaxPeaks> iPeak{};    // positions from iCharOffset, in order; 0 ends the list
  std::array<int32_t, kMaxPeaks> iWidth{};   // lobe length of each peak, samples
  std::array<int32_t, kMaxPeaks> iHeight{};  // extreme level minus baseline

  int PeakCount() const {
    int n = 0;
    while (n < kMaxPeaks && iPeak[static_cast<std::size_t>(n)] != 0) ++n;
    return n;
  }
};

// Levels of the conditioned signal: the low byte of each word. Indices outside the signal read as the
// baseline, so the windows that reach past the last character never leave the buffer.
class SignalView {
 public:
  SignalView(std::span<const uint16_t> words, int baseline) : words_(words), baseline_(baseline) {}

  int Level(int64_t i) const {
    if (i < 0 || static_cast<uint64_t>(i) >= words_.size()) return baseline_;
    return words_[static_cast<std::size_t>(i)] & 0xFF;
  }
  int64_t size() const { return static_cast<int64_t>(words_.size()); }
  int baseline() const { return baseline_; }
  SignalView WithBaseline(int baseline) const { return SignalView(words_, baseline); }

 private:
  std::span<const uint16_t> words_;
  int baseline_;
};

}  // namespace analysis::micr
