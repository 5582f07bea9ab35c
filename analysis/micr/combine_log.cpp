// Log lines, status mapping and the shared end of the code-line merges.
#include "analysis/micr/combine_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "analysis/micr/combine.h"
#include "analysis/micr/verify_state.h"
#include "analysis/ocr/ocr_state.h"
#include "analysis/services.h"

namespace analysis::micr {
namespace {

std::string Format(const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

}  // namespace

// The readers of this subsystem test the verification-log parameter as the value 2.
bool VerifyLogOn(int32_t parameter117) {
  return (parameter117 & 2) != 0;
}

void LocalLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = Format(format, args);
  va_end(args);
  CurrentServices().funcWriteLocalApiLog(text);
}

void TraceLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = Format(format, args);
  va_end(args);
  CurrentServices().funcLogMessage(text);
}

std::string CounterFields() {
  const MicrVerifyCounterSet& c = MICRVerifyCounters;
  char text[96];
  std::snprintf(text, sizeof text, "%5d %5d %5d %5d %5d %5d", c.OcrCalls, c.OcrFailures, c.SubstitutionRepairs,
                c.GapRepairs, c.NotVerified, static_cast<int>(MICRVerifyFlags));
  return text;
}

int VerifyStatus(uint32_t flags) {
  if ((flags & kVerifyNotVerified) != 0) return 0;
  if ((flags & kVerifySingleDifference) != 0) return 1;
  if ((flags & (kVerifyTransitFromOptical | kVerifyGapFilled | kVerifyCorrected)) != 0 || flags == 0) return 2;
  if ((flags & kVerifySame) != 0) return 3;
  return 0;
}

void TrimTrailingBlanks(char* optical, char* confidence) {
  size_t n = std::strlen(optical);
  while (n > 0 && optical[n - 1] == ' ') --n;
  optical[n] = '\0';
  if (std::strlen(confidence) > n) confidence[n] = '\0';
}

void FinishVerification(bool rejectsLeft, const char* optical, const char* confidence, const char* magnetic,
                        const char* result, bool verifyLog) {
  constexpr uint32_t kRepairs = kVerifyNotVerified | kVerifyTransitFromOptical | kVerifyGapFilled | kVerifyCorrected;
  if (rejectsLeft) {
    MICRVerifyFlags |= kVerifyNotVerified;
    ++MICRVerifyCounters.NotVerified;
  } else if ((MICRVerifyFlags & kRepairs) != 0) {
    ++MICRVerifyCounters.RepairedDocuments;
  }
  Services& sv = CurrentServices();
  if (sv.iApiTraceLevel() != 0) {
    const int status = VerifyStatus(MICRVerifyFlags);
    TraceLog("MICR Verify Status %d", status);
    if (status < 3) {
      TraceLog("%s", optical);
      TraceLog("%s", confidence);
      TraceLog("%s", magnetic);
    }
    TraceLog("MICR Results [%s]", result);
  }
  if (verifyLog) {
    LocalLog("%s", result);
    LocalLog("%s%s", CounterFields().c_str(), (MICRVerifyFlags & 0x1F) != 0 ? " -- MICR VerEvent" : "");
  }
}

std::span<const int32_t> CurrentRightEdges() {
  return {ocr::OCRCharRightEdges.data(), ocr::OCRCharRightEdges.size()};
}

}  // namespace analysis::micr
