// SeriesId: the seven device series in the order a connection probes them. The QV9120 series is found
// through the QV63x transport, after the QV64x step.
#pragma once

#include <cstddef>

namespace qv6 {

enum class SeriesId : int {
  kFirst,
  kQv62x,
  kQv63x,
  kQv64x,
  kQv9120,
  kVekQv5xx,
  kKQv8x,
};

inline constexpr size_t kSeriesCount = 7;

// "first series", "QV62x", ... for log lines and test traces.
const char* SeriesName(SeriesId series);

}  // namespace qv6
