// Final formatting of the code line and the reject test.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "zarn/optical_codeline.h"
#include "zarn/params.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {
namespace {

constexpr int kParamMicrFormat = 107;
constexpr int kParamMicrMethod = 159;
constexpr size_t kWalkSourceMax = 66;
constexpr size_t kShortenedMax = 65;
constexpr int kFirstPitchCharacters = 80;

// Mean distance between neighbouring character positions that look like one character pitch (121 to 249
// sample steps), over the first 80 characters while positions are above 0; 200 when there are none.
int CharacterPitch(const int32_t* p) {
  int64_t sum = 0;
  int count = 0;
  for (int n = 0; n + 1 < kFirstPitchCharacters && p[n] > 0 && p[n + 1] > 0; ++n) {
    const int d = p[n + 1] - p[n];
    if (d >= 121 && d <= 249) {
      sum += d;
      ++count;
    }
  }
  return count == 0 ? 200 : static_cast<int>(sum / count);
}

// A text whose terminating NUL compares as itself and every position beyond it as a character that
// matches nothing, so the look-ahead comparisons of the walk never read past a line.
class Text {
 public:
  Text(const char* s, size_t n, int noMatch) : s_(s), n_(n), noMatch_(noMatch) {}
  int operator[](size_t i) const {
    if (i < n_) return static_cast<unsigned char>(s_[i]);
    return i == n_ ? 0 : noMatch_;
  }
  size_t size() const { return n_; }

 private:
  const char* s_;
  size_t n_;
  int noMatch_;
};

// Drops a blank followed by two more blanks while the line is longer than 65 characters, then ends it
// after at most 65.
std::string Shorten(const std::string& line) {
  std::string out;
  size_t length = line.size();
  for (size_t i = 0; i < line.size(); ++i) {
    if (length > kShortenedMax && line[i] == ' ' && i + 2 < line.size() && line[i + 1] == ' ' && line[i + 2] == ' ') {
      --length;
      continue;
    }
    out.push_back(line[i]);
  }
  if (out.size() > kShortenedMax) out.resize(kShortenedMax);
  return out;
}

void Store(char* codeLine, size_t room, const std::string& text) {
  const size_t n = std::min(text.size(), room - 1);
  std::memcpy(codeLine, text.data(), n);
  codeLine[n] = '\0';
}

}  // namespace

void RespaceCodeLine(char* codeLine, size_t room, const MagneticMicrResults& magnetic) {
  if (codeLine == nullptr || room == 0) return;
  const std::string source(codeLine, strnlen(codeLine, room));
  const Text S(source.data(), source.size(), -1);
  const Text M(magnetic.line, strnlen(magnetic.line, sizeof magnetic.line), -2);
  const int32_t* P = magnetic.positions;
  const int pitch = CharacterPitch(P);
  const size_t outMax = std::min(kAssembledLineMax, room - 1);
  if (ApiTraceLevel() >= 3) {
    TraceAt(3, "MICR [%s]", magnetic.line);
    TraceAt(3, "MICR [%s]", magnetic.secondLine);
  }

  int64_t E = (P[1] - P[0] < 1) ? int64_t{P[0]} + pitch : int64_t{P[0]} - pitch;
  size_t i = 0, j = 0;
  std::string out;
  auto put = [&](int c) {
    if (out.size() < outMax) out.push_back(static_cast<char>(c));
  };
  while (j < kWalkSourceMax && j < S.size() && out.size() < outMax) {
    // Past the position table nothing can be matched any more.
    if (i >= kMicrCharacterPositions) return;
    int64_t d = std::llabs(int64_t{P[i]} - E);
    TraceAt(3, "iIndex1 %d, iIndexSrc %d  (%c, %c), iCharOffset %d, iCharSize %d", static_cast<int>(i),
            static_cast<int>(j), S[j] > 0 ? S[j] : ' ', M[i] > 0 ? M[i] : ' ', static_cast<int>(E), pitch);
    if (d < pitch + pitch / 2) {
      if (S[j] != M[i] && S[j] == ' ') {
        put(' ');
        ++j;
      } else if (S[j] != M[i] && M[i] == ' ') {
        E = P[i];
        ++i;
        if (i >= kMicrCharacterPositions) return;
      }
      if (S[j] == M[i] || (S[j + 1] == M[i + 1] && S[j + 2] == M[i + 2])) {
        put(S[j]);
        ++j;
        E = P[i];
        ++i;
      } else if (j == 0 && S[0] == ':' && S[0] == M[i + 1] && S.size() >= 2) {
        put(S[0]);
        put(S[1]);
        j = 2;
        E = P[i];
        ++i;
      } else {
        return;  // hopeless: the caller's line stays as it was
      }
    } else {
      while (d >= pitch / 2 && out.size() < outMax) {
        put(' ');
        d -= pitch;
        if (P[i] <= E) {
          E -= pitch;
          if (P[i] - E < pitch) E = int64_t{P[i]} + pitch;
        } else {
          E += pitch;
          if (P[i] - E < pitch) E = int64_t{P[i]} - pitch;
        }
      }
      while (j < S.size() && S[j] == ' ') ++j;
      while (i < kMicrCharacterPositions && M[i] == ' ') {
        E = P[i];
        ++i;
      }
    }
  }
  Store(codeLine, room, out.size() >= kWalkSourceMax ? Shorten(out) : out);
}

int funcAssembleMICR(char* codeLine, size_t room, const AnalysisState* magnetic) {
  if (codeLine == nullptr || room == 0) return 0;
  const int format = funcTableGetParam(kParamMicrFormat);
  if (format == 1) {
    std::string line(codeLine, strnlen(codeLine, room));
    line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
    Store(codeLine, room, line);
  } else if (format == 3) {
    const char* method = funcTableGetParamString(kParamMicrMethod);
    if (method == nullptr || std::strcmp(method, "KWL") != 0)
      RespaceCodeLine(codeLine, room, magnetic != nullptr ? magnetic->Results() : MagneticMicrResults{});
  }
  if (ApiTraceLevel() >= 3) TraceAt(3, "Final MICR [%.*s]", static_cast<int>(strnlen(codeLine, room)), codeLine);
  return 0;
}

int funcCheckCodelineRejects(const char* codeLine, int length) {
  if (codeLine == nullptr || length < 2) return kBadMicr;
  for (int i = 0; i < length && codeLine[i] != '\0'; ++i)
    if (codeLine[i] == '@') return kBadMicr;
  return 0;
}

}  // namespace zarn
