// Host time per document side of a KQv8, from the opening image block (37) to the held, resampled DIB: the
// whole-width window between the lit edges, the copy of the raw lines, the shading correction, the assembly
// into the DIB and the resampling to the asked resolution. The raw lines of a synthetic cheque are rendered
// once before timing, so the simulated scanner's own cost is not measured; the command set hands the
// rendered bytes over as the bulk read would.
#include "../../later/bench/rendered_side.h"
#include "qv6/kqv8x/kqv8_model.h"
#include "qv6/kqv8x/kqv8x_blocks.h"
#include "sim/kqv8x_eeprom.h"

namespace {

using namespace qv6;
using namespace qv6::later;
namespace docs = sim::documents;

// A cheque of 6 inches; grey raw lines at 200 per inch for 100 and 200 dpi, 300 otherwise; colour as
// three plane lines per output line at 300.
void AcquireFront(benchmark::State& state, docs::ColourMode mode, int dpi) {
  docs::ChequeOptions options;
  options.colour = mode != docs::ColourMode::kGrey;
  options.dpi = 300;
  const docs::Document document = docs::MakeCheque(3, options);
  const docs::SensorGeometry sensor{12, sim::kKQv8xGoodPixels, 2594, false, 0};
  docs::SideScan scan = docs::ScanOf(document, docs::Side::kFront, sensor, mode, false, 5);
  scan.linesPerInch = mode == docs::ColourMode::kGrey && dpi != 300 ? 200 : 300;

  ScannerKQv8xInterface transport;  // never opened: the command set answers itself
  bench::RenderedCommands<KQv8Commands> commands(transport, scan, {.halfSize = false, .openingFlag = true});
  bench::BenchTemplate<ScannerKQv8xDeviceTemplate> host(commands);
  kqv8x::FillKQv8Defaults(host.blocks());
  // The lit part of the sensor, as the scanner's white reference table shows it.
  const std::vector<uint8_t> image = sim::KQv8xEepromImage(sim::kKQv8xLitEdges, "");
  host.SetCfgData(1, image.data() + 140 + 12, sim::kKQv8xGoodPixels);
  const int colourMode = mode == docs::ColourMode::kGrey ? 0 : 2;
  bench::TimeFrontSide(state, host, scan, sensor.totalPixels, colourMode, dpi, false);
}

void BM_GreyAt200(benchmark::State& state) {
  AcquireFront(state, docs::ColourMode::kGrey, 200);
}
void BM_GreyAt300(benchmark::State& state) {
  AcquireFront(state, docs::ColourMode::kGrey, 300);
}
void BM_ColourAt200(benchmark::State& state) {
  AcquireFront(state, docs::ColourMode::kColourAltTiming, 200);
}
void BM_ColourAt300(benchmark::State& state) {
  AcquireFront(state, docs::ColourMode::kColourAltTiming, 300);
}
BENCHMARK(BM_GreyAt200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GreyAt300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourAt200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourAt300)->Unit(benchmark::kMillisecond);

}  // namespace
