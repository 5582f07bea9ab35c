// The connection's probe walked without creating a model: the standard series in their order, each through
// its own transport, stopping at the first whose identity matches a model row. Lets the simulated
// scanners be checked against the host's own identification rules and model table.
#pragma once

#include <optional>
#include <string>

#include "sim/catalog.h"

namespace sim::testing {

struct Detection {
  Series series;
  std::string modelClass;
  std::string firmwareKey;  // empty for the first series
};

// Every transport the walk opened is closed again.
std::optional<Detection> RunConnectProbe();

}  // namespace sim::testing
