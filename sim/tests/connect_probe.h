// A test-side walk of the connect probe: the seven series in their order, each through its own transport,
// with each series' identification rules and model texts, so the simulated scanners can be checked against
// the host's probe. It stands in for the connection's own probe until the series' command sets exist.
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

// Runs the probe over every series in order; every transport it opened is closed again.
std::optional<Detection> RunConnectProbe();

}  // namespace sim::testing
