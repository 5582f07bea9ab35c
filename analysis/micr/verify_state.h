// The verification flags of the last code-line combination and the running counters of optical readings
// and repairs. Process-wide, as every reader and the combination write them; nothing clears the counters
// except the test-only reset.
#pragma once

#include <cstdint>

namespace analysis {

struct MicrVerifyCounterSet {
  int32_t OcrCalls = 0;
  int32_t OcrFailures = 0;
  int32_t RepairedDocuments = 0;
  int32_t SubstitutionRepairs = 0;
  int32_t GapRepairs = 0;
  int32_t NotVerified = 0;
  int32_t VerifyEvents = 0;
};

extern uint32_t MICRVerifyFlags;
extern MicrVerifyCounterSet MICRVerifyCounters;

// Zeroes the flags and counters; for tests only.
void ResetMicrVerifyStateForTesting();

}  // namespace analysis
