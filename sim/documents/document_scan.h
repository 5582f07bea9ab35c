// How a later-series scanner sees each side of a document, and how a host assembles it: the raw-line
// model of a side (which sensor, line order, line setting and channel records) and the matching host
// assembly (the line-order flag of the side's output format, colour mode and resolution). The device
// side and the end-to-end tests build both from here so that they agree.
#pragma once

#include "sim/documents/document.h"
#include "sim/documents/expected_image.h"
#include "sim/documents/sensor_scan.h"

namespace sim::documents {

enum class Side { kFront = 0, kRear = 1 };

// Raw lines per inch of travel: 200 in grey and colour mode 1, 300 in colour mode 2.
int LinesPerInch(ColourMode mode);

// The side's raw-line model. The rear is seen from the other side, so its lines run from its last column;
// a mirrored-sides transport runs the other way round. `lights` defaults to the host's records.
SideScan ScanOf(const Document& document, Side side, const SensorGeometry& sensor, ColourMode mode,
                bool mirroredSides, int leadLines = 0);

// The host's assembly of that side: its line-order flag is set for the rear (output format 1026), or for
// the front on a mirrored-sides model.
HostAssembly HostAssemblyOf(Side side, ColourMode mode, int dpi, bool mirroredSides);

}  // namespace sim::documents
