// The QV63x series' probe: opens the series' transport, reads the identity through the series' command
// set, creates the model whose text the identity names and starts it (firmware, EEPROM image, mechanical
// sections). RegisterQv63xSeries adds it to the series catalogue; loading the library does so too.
#pragma once

#include <memory>

#include "device/series_probe.h"

namespace qv6 {

std::unique_ptr<SeriesProbe> CreateQv63xProbe();
void RegisterQv63xSeries();

}  // namespace qv6
