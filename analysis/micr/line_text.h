// Character access for the code-line merges. Every rule looks a few places ahead of or behind its
// position; a place outside the line holds nothing, and nothing equals no character, not even another
// nothing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/micr/combine.h"
#include "analysis/micr/verify_state.h"

namespace analysis::micr {

// One character of a line, or nothing (-1) outside it.
struct Ch {
  int v = -1;
  bool none() const { return v < 0; }
  bool digit() const { return v >= '0' && v <= '9'; }
  bool blankOrReject() const { return v == ' ' || v == '@'; }
  // A real character: neither nothing, nor a blank, nor a reject.
  bool mark() const { return v >= 0 && !blankOrReject(); }
  char c() const { return v < 0 ? '\0' : static_cast<char>(v); }
};
inline bool operator==(Ch a, Ch b) {
  return a.v >= 0 && a.v == b.v;
}
inline bool operator==(Ch a, char c) {
  return a.v >= 0 && a.v == static_cast<unsigned char>(c);
}
// Confidence digits compare as characters; nothing ranks below every digit.
inline bool AtLeast(Ch conf, char digit) {
  return conf.v >= static_cast<unsigned char>(digit);
}
inline bool AtMost(Ch conf, char digit) {
  return conf.v <= static_cast<unsigned char>(digit);
}

inline Ch At(std::string_view s, int64_t i) {
  if (i < 0 || i >= static_cast<int64_t>(s.size())) return Ch{};
  return Ch{static_cast<unsigned char>(s[static_cast<size_t>(i)])};
}

// A line under construction that never grows beyond its buffer's room (the NUL excluded).
class BoundedLine {
 public:
  explicit BoundedLine(size_t capacity) : capacity_(capacity) {}
  void push(char c) {
    if (text_.size() < capacity_) {
      text_.push_back(c);
    } else {
      ++dropped_;
    }
  }
  void push(Ch c) {
    if (!c.none()) push(c.c());
  }
  void assign(std::string_view s) { text_.assign(s.substr(0, std::min(s.size(), capacity_))); }
  void insertFront(char c) {
    if (capacity_ == 0) return;
    if (text_.size() >= capacity_) text_.pop_back();
    text_.insert(text_.begin(), c);
  }
  std::string& str() { return text_; }
  const std::string& str() const { return text_; }
  size_t size() const { return text_.size(); }
  size_t capacity() const { return capacity_; }
  bool full() const { return text_.size() >= capacity_; }
  // Characters refused because the buffer was full.
  size_t dropped() const { return dropped_; }

 private:
  size_t capacity_;
  std::string text_;
  size_t dropped_ = 0;
};

// Copies `s` into a buffer of `room` bytes, cut to fit, NUL-terminated.
inline void StoreLine(char* out, size_t room, std::string_view s) {
  if (out == nullptr || room == 0) return;
  const size_t n = std::min(s.size(), room - 1);
  for (size_t i = 0; i < n; ++i) out[i] = s[i];
  out[n] = '\0';
}

// The best alignment of `opt` from `o` against `mag` from `m`: for shifts -3..+3 the number of equal
// characters among 8 places; a later shift wins only with more, shift 0 also on a tie.
struct Alignment {
  int shift = 0;
  int count = 0;
};
inline Alignment BestShift(std::string_view mag, int64_t m, std::string_view opt, int64_t o) {
  Alignment best{0, -1};
  for (int s = -3; s <= 3; ++s) {
    int count = 0;
    for (int k = 0; k < 8; ++k)
      if (At(opt, o + s + k) == At(mag, m + k)) ++count;
    if (count > best.count || (s == 0 && count >= best.count)) best = {s, count};
  }
  return best;
}

// A transit symbol one reader missed where the two lines start (after their blanks, at `m` and `o`): one the
// magnetic reader missed is taken from the optical line as a gap repair, one the optical reader missed is
// kept; either goes into `out` and moves its line's place past it.
inline void TakeMissedTransit(std::string_view mag, int64_t& m, std::string_view opt, int64_t& o,
                              BoundedLine& out) {
  if (At(opt, o) == ':' && At(opt, o + 1) == At(mag, m) && At(opt, o + 2) == At(mag, m + 1) &&
      At(opt, o + 3) == At(mag, m + 2)) {
    out.push(':');
    MICRVerifyFlags |= kVerifyTransitFromOptical;
    ++MICRVerifyCounters.GapRepairs;
    ++o;
  } else if (At(mag, m) == ':' && At(opt, o) == At(mag, m + 1) && At(opt, o + 1) == At(mag, m + 2) &&
             At(opt, o + 2) == At(mag, m + 3)) {
    out.push(':');
    ++m;
  }
}

}  // namespace analysis::micr
