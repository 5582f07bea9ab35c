// Side models of a document for the later-series scanners.
#include "sim/documents/document_scan.h"

namespace sim::documents {

int LinesPerInch(ColourMode mode) {
  return mode == ColourMode::kColourAltTiming ? 300 : 200;
}

SideScan ScanOf(const Document& document, Side side, const SensorGeometry& sensor, ColourMode mode,
                bool mirroredSides, int leadLines) {
  SideScan scan;
  scan.image = side == Side::kFront ? &document.front : &document.rear;
  scan.sensor = sensor;
  scan.columnsReversed = (side == Side::kRear) != mirroredSides;
  scan.linesPerInch = LinesPerInch(mode);
  scan.leadLines = leadLines;
  scan.lights = HostLights(mode);
  return scan;
}

HostAssembly HostAssemblyOf(Side side, ColourMode mode, int dpi, bool mirroredSides) {
  HostAssembly host;
  host.mode = mode;
  host.dpi = dpi;
  host.reverseColumns = (side == Side::kRear) != mirroredSides;
  return host;
}

}  // namespace sim::documents
