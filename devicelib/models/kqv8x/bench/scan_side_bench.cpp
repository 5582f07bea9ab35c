// Host time per document side of a KQv8, from the opening image block (37) to the held, resampled DIB: the
// whole-width window between the lit edges, the copy of the raw lines, the shading correction, the assembly
// into the DIB and the resampling to the asked resolution. The raw lines of a synthetic cheque are rendered
// once before timing, so the simulated scanner's own cost is not measured; the command set hands the
// rendered bytes over as the bulk read would.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "qv6/kqv8x/kqv8_model.h"
#include "qv6/kqv8x/kqv8x_blocks.h"
#include "sim/documents/document_scan.h"
#include "sim/kqv8x_eeprom.h"

namespace {

using namespace qv6;
using namespace qv6::later;
namespace docs = sim::documents;

// Answers the image transfer from raw lines rendered when the opening block asks for them the first time.
class RenderedCommands : public KQv8Commands {
 public:
  RenderedCommands(DriverDeviceInterface& transport, const docs::SideScan& scan)
      : KQv8Commands(transport), scan_(scan) {}
  int SendBlock(const uint8_t* data, size_t length) override {
    if (length < 16 || ((data[0] << 8) | data[1]) != kBlockImageTransfer || data[4] == 0) return 1;
    docs::TransferRequest r;
    r.firstLine = (data[8] << 8) | data[9];
    r.endLine = (data[10] << 8) | data[11];
    r.firstPixel = (data[12] << 8) | data[13];
    r.endPixel = (data[14] << 8) | data[15];
    if (raw_.empty()) raw_ = docs::RenderRawLines(scan_, r);
    return 1;
  }
  int ReadImageData(int /*side*/, uint8_t* buffer, size_t length) override {
    if (raw_.size() < length) return 0;
    std::memcpy(buffer, raw_.data(), length);
    return 1;
  }

 private:
  const docs::SideScan& scan_;
  std::vector<uint8_t> raw_;
};

class BenchTemplate : public ScannerKQv8xDeviceTemplate {
 public:
  using ScannerKQv8xDeviceTemplate::ScannerKQv8xDeviceTemplate;

 protected:
  int GetPrintParameter(int, int position2) override { return position2; }
};

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
  RenderedCommands commands(transport, scan);
  BenchTemplate host(commands);
  kqv8x::FillKQv8Defaults(host.blocks());
  // The lit part of the sensor, as the scanner's white reference table shows it.
  const std::vector<uint8_t> image = sim::KQv8xEepromImage(sim::kKQv8xLitEdges, "");
  host.SetCfgData(1, image.data() + 140 + 12, sim::kKQv8xGoodPixels);
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecSequence, 1);
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecWidth, sensor.totalPixels);
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecLines, scan.DocumentLines());
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecFirstFront, 5);
  host.SetImageType(0);
  host.PrepareLineLoaders();
  const int colourMode = mode == docs::ColourMode::kGrey ? 0 : 2;
  if (!host.AcquireSide(0, 1, colourMode, dpi, 2, 0, 2200)) {
    state.SkipWithError("acquisition failed");
    return;
  }
  for (auto _ : state) {
    host.AcquireSide(0, 1, colourMode, dpi, 2, 0, 2200);
    benchmark::DoNotOptimize(host.GetImageBuffer(0));
  }
  state.SetLabel(std::to_string(scan.DocumentLines()) + " raw lines");
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
