// Merging the magnetic code line with an optical reading of the same line: the combination of a magnetic
// line with the optical reader's line and confidences, its condensed verification status, the running
// counters, the verification that also weighs both template-decoder tries and the waveform decoder's
// line ("KR" method), and the choice between two scans of one document made at two gains.
//
// Every line is NUL-terminated. The bounded forms take the room of each buffer the routine writes; the
// plain forms take the rooms their callers guarantee: the magnetic buffer holds its own line, the result
// buffer the magnetic line's length plus 3 bytes, the chosen pass 80 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace analysis::micr {

// The flags word of the last combination.
inline constexpr uint32_t kVerifyNotVerified = 0x1;
inline constexpr uint32_t kVerifyTransitFromOptical = 0x2;
inline constexpr uint32_t kVerifyGapFilled = 0x4;
inline constexpr uint32_t kVerifyCorrected = 0x8;
inline constexpr uint32_t kVerifySingleDifference = 0x10;
inline constexpr uint32_t kVerifyOpticalShort = 0x20;
inline constexpr uint32_t kVerifySame = 0x100;

// The caller's buffers of one combination with the room of each buffer that is written.
struct CodeLineBuffers {
  char* magnetic = nullptr;  // rewritten by the "KR" verification
  size_t magneticRoom = 0;
  char* optical = nullptr;  // trailing blanks are cut in place, with the confidences
  char* opticalConfidence = nullptr;
  char* result = nullptr;
  size_t resultRoom = 0;
};

// 1 for a missing buffer or an optical line and confidence string of different lengths (flags cleared,
// result untouched); otherwise 0, or the verification's result when the "KR" method takes the call.
int funcCombineMICR(char* magnetic, char* optical, char* opticalConfidence, char* result, int maxErrors);
int CombineMicr(const CodeLineBuffers& buffers, int maxErrors);

// 0 not verified, 1 one doubtful difference, 2 repaired or nothing verified, 3 verified same.
int funcGetMICRVerifyStatus();
// OcrCalls, OcrFailures, RepairedDocuments, SubstitutionRepairs, GapRepairs, NotVerified and the flags
// word, in that order; a null pointer is skipped. 0.
int funcGetMICRCounters(int32_t* ocrCalls, int32_t* ocrFailures, int32_t* repairedDocuments,
                        int32_t* substitutionRepairs, int32_t* gapRepairs, int32_t* notVerified, int32_t* flags);

// The "KR" verification: 0 (1 only for a missing buffer). The magnetic buffer receives the line built
// from the two tries, the optical strings are trimmed, the result is formatted by the API. The plain form
// reads the optical reader's character right edges; the bounded form takes them (in working pixels).
int funcVerifyMICRWithOCR(char* magnetic, char* optical, char* opticalConfidence, char* result, int maxErrors);
int VerifyMicrWithOcr(const CodeLineBuffers& buffers, int maxErrors, std::span<const int32_t> rightEdges);

// 0 the first line, 1 the second line, 2 a merge of both, written to `result` (80 bytes, cleared first).
int funcChooseMICRPass(const char* first, const char* second, char* result);

}  // namespace analysis::micr
