// Test fixtures: a simulated later-series scanner attached behind the driver device, its transport opened,
// a model on it, a scratch folder as current and temporary directory, and a clock whose waits pass at once.
// LaterScannerTest is shared by the later series' tests; SimScannerTest is the QV63x form (a QV630).
#pragma once

#include "../../later/tests/later_scanner_fixture.h"
#include "qv6/qv63x/qv63x_models.h"
#include "sim/qv63x_device.h"
#include "transport/driver_interface.h"

namespace qv6::testing {

using SimScannerTest = LaterScannerTest<sim::Qv63xDevice, ScannerQV63xInterface, ScannerQV63xDeviceTemplate,
                                        Qv630, sim::Model::kQv630>;

}  // namespace qv6::testing
