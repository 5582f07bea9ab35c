// The optical CMC-7 line with its confidence digits, and its merge into the magnetic line.
#include <cstdio>
#include <cstring>
#include <string>

#include "analysis/optical/cmc7_reader.h"
#include "analysis/services.h"

namespace analysis::optical {
namespace {

constexpr size_t kLineCap = 79;
constexpr int kBlankJump = 68;
constexpr int32_t kParamVerifyLog = 117;
int32_t gCombineCount = 0;

bool Good(char c, char digit) { return c != ' ' && c != '?' && c != '@' && digit >= '2'; }

}  // namespace

char OcrConfidenceDigit(const OcrCharRecord& r) {
  if (r.cChar == '@') return '0';
  if (r.Mask == kMaskAll) return '4';
  if (r.Mask == 29 || r.Mask == 27) return '3';
  if ((r.Mask & kMaskWidth) != 0 && (r.Mask & kMaskSevenPeaks) != 0) return '2';
  return '1';
}

int funcOcrReadCodeLine(const uint8_t* record, size_t recordSize, char* codeLine, char* confidence, size_t room) {
  if (codeLine == nullptr || confidence == nullptr || room == 0) return 0;
  std::memset(codeLine, 0, std::min<size_t>(room, 80));
  std::memset(confidence, 0, std::min<size_t>(room, 80));
  const int count = funcOcrFindCharacters(record, recordSize);
  const size_t cap = std::min(kLineCap, room - 1);
  size_t n = 0;
  for (int i = 0; i < count && i < 79 && n < cap; ++i) {
    OcrCharRecord& r = OcrCharRecords[static_cast<size_t>(i)];
    r.third = '?';
    r.thirdMask = 0;
    if (i > 0 && r.xStart - OcrCharRecords[static_cast<size_t>(i - 1)].xStart > kBlankJump) {
      codeLine[n] = ' ';
      confidence[n] = '3';
      if (++n >= cap) break;
    }
    codeLine[n] = r.cChar;
    confidence[n] = OcrConfidenceDigit(r);
    ++n;
  }
  codeLine[n] = 0;
  confidence[n] = 0;
  return 0;
}

int funcMicrCombine(const char* magnetic, const char* optical, const char* opticalConfidence, char* out, size_t room,
                    int /*unused*/) {
  if (magnetic == nullptr || optical == nullptr || opticalConfidence == nullptr || out == nullptr || room == 0) {
    return 0;
  }
  const size_t lm = std::strlen(magnetic), lo = std::strlen(optical);
  const size_t lc = std::strlen(opticalConfidence);
  auto conf = [&](size_t j) { return j < lc ? opticalConfidence[j] : '0'; };
  int good = 0;
  for (size_t j = 0; j < lo; ++j) good += Good(optical[j], conf(j));
  int errors = 0;
  for (size_t i = 0; i < lm; ++i) errors += magnetic[i] == '@';
  gCombineCount = good;
  int diffs = 0, fixes = 0;
  size_t i = 0, j = 0, n = 0;
  const size_t cap = room - 1;
  auto put = [&](char c) {
    if (n < cap) out[n++] = c;
  };
  auto at = [](const char* s, size_t len, size_t k) { return k < len ? s[k] : '\0'; };
  while (i < lm && j < lo) {
    const char a = magnetic[i], b = optical[j];
    if (a == b) {
      put(a), ++i, ++j;
    } else if (a == ' ') {
      put(' '), ++i;
    } else if (b == ' ') {
      ++j;
    } else if (a != '@' && b == '@') {
      put(a), ++i, ++j;
    } else if (a == '@' && conf(j) >= '2' && at(magnetic, lm, i + 1) != '\0' &&
               at(magnetic, lm, i + 1) == at(optical, lo, j + 1)) {
      put(b), ++fixes, ++i, ++j;
    } else {
      put(a), ++diffs, ++i, ++j;
    }
  }
  // The rest of the magnetic line is kept when the optical one runs out first.
  while (i < lm) put(magnetic[i++]);
  out[n] = 0;
  ++gCombineCount;
  if ((CurrentServices().ZARNGetParam(kParamVerifyLog) & 2) != 0) {
    Services& s = CurrentServices();
    s.funcWriteLocalApiLog(magnetic);
    s.funcWriteLocalApiLog(optical);
    s.funcWriteLocalApiLog(opticalConfidence);
    s.funcWriteLocalApiLog(out);
    char line[96];
    std::snprintf(line, sizeof line, "iCount %3d, iDiffs %03d, iErrors %03d, iFix %03d  %c", gCombineCount, diffs,
                  errors, fixes, (diffs != 0 || errors != 0 || fixes != 0) ? '$' : ' ');
    s.funcWriteLocalApiLog(line);
  }
  return good >= 11 ? 1 : 0;
}

}  // namespace analysis::optical
