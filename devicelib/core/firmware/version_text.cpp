// Version-text reading. The leftmost match of "non-digits, then four dot-separated digit runs" is found by
// trying each digit position in order: every start position leads through its non-digit prefix to the next
// digit, so the first digit position that matches is the leftmost match. Work is linear per try.
#include "firmware/version_text.h"

namespace qv6 {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// One run of decimal digits, as many as possible, accumulated modulo 65536 so long runs cannot overflow.
bool ReadDigitRun(std::string_view text, size_t* pos, uint32_t* value) {
  size_t p = *pos;
  uint32_t v = 0;
  while (p < text.size() && IsDigit(text[p])) {
    v = (v * 10 + static_cast<uint32_t>(text[p] - '0')) & 0xFFFFu;
    ++p;
  }
  if (p == *pos) return false;
  *pos = p;
  *value = v;
  return true;
}

}  // namespace

bool MatchVersionAt(std::string_view text, size_t pos, size_t* end, uint64_t* version) {
  uint32_t parts[4] = {};
  size_t p = pos;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (p >= text.size() || text[p] != '.') return false;
      ++p;
    }
    if (!ReadDigitRun(text, &p, &parts[i])) return false;
  }
  *end = p;
  *version = PackVersion(parts[0], parts[1], parts[2], parts[3]);
  return true;
}

uint64_t ParseVersionText(std::string_view text) {
  for (size_t pos = 0; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) continue;
    size_t end = 0;
    uint64_t version = 0;
    if (MatchVersionAt(text, pos, &end, &version)) return version;
  }
  return 0;
}

}  // namespace qv6
