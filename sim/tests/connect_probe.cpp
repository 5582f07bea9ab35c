// Detection through the library's standard probes.
#include "connect_probe.h"

#include "connect/standard_probe.h"

namespace sim::testing {

std::optional<Detection> RunConnectProbe() {
  // Both lists follow the probing order.
  static constexpr Series kSeries[] = {Series::kFirst,  Series::kQv62x,    Series::kQv63x, Series::kQv64x,
                                       Series::kQv9120, Series::kVekQv5xx, Series::kKQv8x};
  for (const auto& standard : qv6::StandardSeriesList()) {
    auto probe = standard.factory();
    auto& series = static_cast<qv6::StandardProbe&>(*probe);
    if (const qv6::ModelRow* row = series.Detect()) {
      series.Close();
      return Detection{kSeries[static_cast<size_t>(series.series())], row->modelClass,
                       row->firmwareKey != nullptr ? row->firmwareKey : ""};
    }
  }
  return std::nullopt;
}

}  // namespace sim::testing
