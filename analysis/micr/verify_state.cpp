// Storage of the verification flags and counters.
#include "analysis/micr/verify_state.h"

namespace analysis {

uint32_t MICRVerifyFlags = 0;
MicrVerifyCounterSet MICRVerifyCounters;

void ResetMicrVerifyStateForTesting() {
  MICRVerifyFlags = 0;
  MICRVerifyCounters = MicrVerifyCounterSet{};
}

}  // namespace analysis
