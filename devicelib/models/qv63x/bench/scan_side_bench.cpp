// Host time per document side of a QV63x or QV640, from the image request (block 37) to the held, cropped
// DIB: the transfer window, the copy of the raw lines, the colour expansion, the shading correction, the
// assembly into the DIB, the QV640's reduction from 300 dpi and the document-length search. The raw lines of
// a synthetic cheque are rendered once before timing, so the simulated scanner's own cost is not measured;
// the command set hands the rendered bytes over as the bulk read would.
#include "../../later/bench/rendered_side.h"
#include "qv6/later/later_device_template.h"
#include "qv6/qv63x/qv63x_defaults.h"
#include "qv6/qv64x/qv640_model.h"

namespace {

using namespace qv6;
using namespace qv6::later;
namespace docs = sim::documents;

// What differs between the two series' sides.
struct SeriesSide {
  const LaterSeriesTraits& traits;
  void (*defaults)(BlockValues&);
  docs::SensorGeometry sensor;
  int dpi;             // the image module's
  double widthInches;  // the document's length
};

void Qv630Defaults(BlockValues& v) {
  qv63x::FillMechDefaults(v, qv63x::DefaultSet::kBase);
}

const SeriesSide kQv630{Qv63xSeriesTraits(), &Qv630Defaults, {16, 832, 896, false, 0}, 200, 6.0};
// A 230 mm document: about 2720 raw lines at 300 per inch.
const SeriesSide kQv640{Qv64xSeriesTraits(), &qv64x::FillQv640Defaults, {0, 1296, 1536, false, 0}, 300, 9.06};

void AcquireFront(benchmark::State& state, const SeriesSide& series, docs::ColourMode mode, int dpi) {
  docs::ChequeOptions options;
  options.colour = mode != docs::ColourMode::kGrey;
  options.dpi = series.dpi;
  options.widthInches = series.widthInches;
  const docs::Document document = docs::MakeCheque(3, options);
  const docs::SensorGeometry sensor = series.sensor;
  docs::SideScan scan = docs::ScanOf(document, docs::Side::kFront, sensor, mode, false, 5);
  if (series.traits.fullWidthTransfer) scan.linesPerInch = series.traits.sensorDpi;

  ScannerQV63xInterface transport;  // never opened: the command set answers itself
  bench::RenderedCommands<Qv630Commands> commands(transport, scan, {.halfSize = true, .openingFlag = false});
  bench::BenchTemplate<ScannerQV63xDeviceTemplate> host(commands, series.traits);
  series.defaults(host.blocks());
  bench::TimeFrontSide(state, host, scan, sensor.goodPixels, static_cast<int>(mode), dpi, true);
}

void BM_GreyAt200(benchmark::State& state) {
  AcquireFront(state, kQv630, docs::ColourMode::kGrey, 200);
}
void BM_ColourMode1At200(benchmark::State& state) {
  AcquireFront(state, kQv630, docs::ColourMode::kColour, 200);
}
void BM_ColourMode2At200(benchmark::State& state) {
  AcquireFront(state, kQv630, docs::ColourMode::kColourAltTiming, 200);
}
void BM_Qv640GreyFrom300To200(benchmark::State& state) {
  AcquireFront(state, kQv640, docs::ColourMode::kGrey, 200);
}
void BM_Qv640ColourAt300(benchmark::State& state) {
  AcquireFront(state, kQv640, docs::ColourMode::kColourAltTiming, 300);
}
BENCHMARK(BM_GreyAt200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourMode1At200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourMode2At200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Qv640GreyFrom300To200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Qv640ColourAt300)->Unit(benchmark::kMillisecond);

}  // namespace
