// Finding and framing the characters of the conditioned signal: a character starts where three samples
// rise 26 levels above the baseline, and its frame collects up to twelve lobes (peaks) whose sign,
// position and length the classifiers read.
#pragma once

#include <cstdint>
#include <span>

#include "analysis/micr/char_record.h"

namespace analysis {
class Services;
}

namespace analysis::micr {

inline constexpr int kMaxRecords = 400;
inline constexpr int kRecordLimit = 398;  // character starts beyond this are ignored
inline constexpr int kFrameMargin = 167;  // samples kept clear of the end of the search

struct FramingThresholds {
  int plus;
  int minus;
};

// Frames the character starting at `start` into `record`; returns the index where framing stopped.
int funcMicrFrameCharacter(MicrCharRecord& record, int start, const SignalView& signal, int end,
                           FramingThresholds thresholds);

// Finds the characters of `signal` (which holds the true baseline of the line) into `records`; returns
// how many. `narrowThresholds` selects +-24 instead of +-32 for the framer.
int funcMicrFindCharacters(std::span<MicrCharRecord> records, std::span<const uint16_t> signal,
                           bool narrowThresholds, Services& services);

// The end of the character search: before a disturbance, and 167 samples short of the end.
int SearchEnd(const SignalView& signal);
// Mean of the first min(300, n) levels; 0 for an empty signal.
int LineBaseline(std::span<const uint16_t> signal);

}  // namespace analysis::micr
