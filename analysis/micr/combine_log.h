// What the combination and the "KR" verification share: their log lines, the status mapping, the end
// of a verification, the optical strings' trimming and the optical reader's right edges.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace analysis::micr {

// Parameter 117's bit that sends the verification lines to the local log.
bool VerifyLogOn(int32_t parameter117);
// One formatted line to the local log, and to the API trace.
void LocalLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "%5d %5d %5d %5d %5d %5d": OcrCalls, OcrFailures, SubstitutionRepairs, GapRepairs, NotVerified, flags.
std::string CounterFields();
int VerifyStatus(uint32_t flags);
// Cuts trailing blanks of the optical line and its confidence string at the same length, in place.
void TrimTrailingBlanks(char* optical, char* confidence);
// The end of a merge: not verified or repaired, the API trace and the local log.
void FinishVerification(bool rejectsLeft, const char* optical, const char* confidence, const char* magnetic,
                        const char* result, bool verifyLog);
// The optical reader's right edges of its last reading.
std::span<const int32_t> CurrentRightEdges();

}  // namespace analysis::micr
