// Host time per document side of a KQv8, from the opening image block (37) to the held, resampled DIB: the
// whole-width window between the lit edges, the copy of the raw lines, the shading correction, the assembly
// into the DIB and the resampling to the asked resolution. The raw lines of a synthetic cheque are rendered
// once before timing, so the simulated scanner's own cost is not measured; the command set hands the
// rendered bytes over as the bulk read would.
#include <chrono>

#include "../../later/bench/rendered_side.h"
#include "qv6/kqv8x/kqv8_model.h"
#include "qv6/kqv8x/kqv8x_blocks.h"
#include "sim/documents/expected_image.h"
#include "sim/kqv8x_eeprom.h"

namespace {

using namespace qv6;
using namespace qv6::later;
namespace docs = sim::documents;

// A cheque of 6 inches; grey raw lines at 200 per inch for 100 and 200 dpi, 300 otherwise; colour as
// three plane lines per output line at 300. The host's front side answers from its rendered raw lines.
struct FrontSide {
  static docs::Document Cheque(docs::ColourMode mode) {
    docs::ChequeOptions options;
    options.colour = mode != docs::ColourMode::kGrey;
    options.dpi = 300;
    return docs::MakeCheque(3, options);
  }
  static docs::SideScan Scan(const docs::Document& document, docs::ColourMode mode, int dpi) {
    const docs::SensorGeometry sensor{12, sim::kKQv8xGoodPixels, kTotalPixels, false, 0};
    docs::SideScan scan = docs::ScanOf(document, docs::Side::kFront, sensor, mode, false, 5);
    scan.linesPerInch = mode == docs::ColourMode::kGrey && dpi != 300 ? 200 : 300;
    return scan;
  }

  FrontSide(docs::ColourMode mode, int dpi)
      : document(Cheque(mode)),
        scan(Scan(document, mode, dpi)),
        commands(transport, scan, {.halfSize = false, .openingFlag = true}),
        host(commands),
        colourMode(mode == docs::ColourMode::kGrey ? 0 : 2) {
    kqv8x::FillKQv8Defaults(host.blocks());
    // The lit part of the sensor, as the scanner's white reference table shows it.
    const std::vector<uint8_t> image = sim::KQv8xEepromImage(sim::kKQv8xLitEdges, "");
    host.SetCfgData(1, image.data() + 140 + 12, sim::kKQv8xGoodPixels);
  }

  static constexpr int kTotalPixels = 2594;
  const docs::Document document;
  const docs::SideScan scan;
  ScannerKQv8xInterface transport;  // never opened: the command set answers itself
  bench::RenderedCommands<KQv8Commands> commands;
  bench::BenchTemplate<ScannerKQv8xDeviceTemplate> host;
  const int colourMode;
};

void AcquireFront(benchmark::State& state, docs::ColourMode mode, int dpi) {
  FrontSide front(mode, dpi);
  bench::TimeFrontSide(state, front.host, front.scan, FrontSide::kTotalPixels, front.colourMode, dpi, false);
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
// A side whose lookup tables stay from the last document (as the template now keeps them) against one that
// rebuilds them first (as every side did before), paired on the same raw lines in each iteration; both
// must give the same DIB. The iteration time is the kept side's; the counters give both in milliseconds.
void KeptAgainstRebuiltTables(benchmark::State& state, docs::ColourMode mode, int dpi) {
  FrontSide front(mode, dpi);
  auto& host = front.host;
  bench::DescribeFrontSide(host, front.scan, FrontSide::kTotalPixels);
  auto acquire = [&] { return host.AcquireSide(0, 1, front.colourMode, dpi, 2, 0, 2200); };
  if (!acquire()) {
    state.SkipWithError("acquisition failed");
    return;
  }
  using Clock = std::chrono::steady_clock;
  auto timed = [&](bool rebuild, double* ms, std::vector<uint8_t>* pixels) {
    if (rebuild) host.PrepareLineLoaders();  // new calibration lines: the side builds its tables again
    const Clock::time_point t0 = Clock::now();
    const int ok = acquire();
    *ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    *pixels = docs::ReadPackedDib(host.GetImageBuffer(0)).pixels;
    return ok;
  };
  double keptMs = 0;
  double rebuiltMs = 0;
  bool rebuiltFirst = false;
  for (auto _ : state) {
    // The two run in turns first, so neither always finds the caches as the other left them.
    double k = 0;
    double r = 0;
    std::vector<uint8_t> kept;
    std::vector<uint8_t> rebuilt;
    const bool ok = rebuiltFirst ? timed(true, &r, &rebuilt) && timed(false, &k, &kept)
                                 : timed(false, &k, &kept) && timed(true, &r, &rebuilt);
    rebuiltFirst = !rebuiltFirst;
    if (!ok || kept != rebuilt) {
      state.SkipWithError("the two sides differ");
      break;
    }
    keptMs += k;
    rebuiltMs += r;
    state.SetIterationTime(k / 1000);
  }
  state.counters["kept_ms"] = benchmark::Counter(keptMs, benchmark::Counter::kAvgIterations);
  state.counters["rebuilt_ms"] = benchmark::Counter(rebuiltMs, benchmark::Counter::kAvgIterations);
  state.SetLabel(std::to_string(front.scan.DocumentLines()) + " raw lines");
}

void BM_GreyAt300KeptVsRebuiltTables(benchmark::State& state) {
  KeptAgainstRebuiltTables(state, docs::ColourMode::kGrey, 300);
}
void BM_ColourAt300KeptVsRebuiltTables(benchmark::State& state) {
  KeptAgainstRebuiltTables(state, docs::ColourMode::kColourAltTiming, 300);
}

BENCHMARK(BM_GreyAt200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GreyAt300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourAt200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourAt300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GreyAt300KeptVsRebuiltTables)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourAt300KeptVsRebuiltTables)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
