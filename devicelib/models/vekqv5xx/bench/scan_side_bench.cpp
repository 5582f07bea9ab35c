// Host time per document side of an RM 70, from the image block (37) to the held DIB: the full-width
// window, the copy of the raw lines, the colour groups written three times, the shading correction and the
// assembly into the DIB at 300 dpi. The raw lines of a synthetic cheque are rendered once before timing, so
// the simulated scanner's own cost is not measured; the command set hands the rendered bytes over as the
// bulk read would.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "qv6/vekqv5xx/vekqv500_model.h"
#include "qv6/vekqv5xx/vekqv5xx_blocks.h"
#include "sim/documents/document_scan.h"

namespace {

using namespace qv6;
namespace docs = sim::documents;

// Answers the image transfer from raw lines rendered when the block asks for them the first time.
class RenderedCommands : public VEKQv500Commands {
 public:
  RenderedCommands(DriverDeviceInterface& transport, const docs::SideScan& scan)
      : VEKQv500Commands(transport), scan_(scan) {}
  int SendBlock(const uint8_t* data, size_t length) override {
    if (length < 15 || ((data[0] << 8) | data[1]) != kBlockImageTransfer) return 1;
    docs::TransferRequest r;
    r.firstLine = (data[7] << 8) | data[8];
    r.endLine = (data[9] << 8) | data[10];
    r.endPixel = (data[13] << 8) | data[14];
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

class BenchTemplate : public ScannerVEKQv5xxDeviceTemplate {
 public:
  using ScannerVEKQv5xxDeviceTemplate::ScannerVEKQv5xxDeviceTemplate;

 protected:
  int GetPrintParameter(int, int position2) override { return position2; }
};

// A cheque of 6 inches at 300 raw lines per inch: grey lines, or colour planes three to a group.
void AcquireFront(benchmark::State& state, docs::ColourMode mode) {
  docs::ChequeOptions options;
  options.colour = mode != docs::ColourMode::kGrey;
  options.dpi = 300;
  const docs::Document document = docs::MakeCheque(3, options);
  const docs::SensorGeometry sensor{0, 832, 896, false, 0};
  docs::SideScan scan = docs::ScanOf(document, docs::Side::kFront, sensor, mode, false, 8);
  scan.linesPerInch = 300;

  ScannerVEKQv5xxInterface transport;  // never opened: the command set answers itself
  RenderedCommands commands(transport, scan);
  BenchTemplate host(commands);
  vekqv5xx::FillVEKQv500Defaults(host.blocks());
  const int lines = (scan.DocumentLines() + 1) & ~1;
  host.blocks().Set(kBlockStatus, vekqv5xx::kS0, vekqv5xx::kS0Direction);
  host.blocks().Set(kBlockStatus, vekqv5xx::kWordLinesHeld, lines);
  host.blocks().Set(kBlockStatus, vekqv5xx::kWordDocumentLines, lines);
  host.blocks().Set(kBlockStatus, vekqv5xx::kWordFirstLine, 8);
  host.SetImageType(0);
  host.PrepareLineLoaders();
  const int colourMode = mode == docs::ColourMode::kGrey ? 0 : 2;
  if (!host.AcquireSide(0, 0, colourMode, 300, 2, 0, 2200)) {
    state.SkipWithError("acquisition failed");
    return;
  }
  for (auto _ : state) {
    if (!host.AcquireSide(0, 0, colourMode, 300, 2, 0, 2200)) {
      state.SkipWithError("acquisition failed");
      break;
    }
    benchmark::DoNotOptimize(host.GetImageBuffer(0));
  }
  state.SetLabel(std::to_string(lines) + " raw lines");
}

void BM_GreyAt300(benchmark::State& state) {
  AcquireFront(state, docs::ColourMode::kGrey);
}
void BM_Colour(benchmark::State& state) {
  AcquireFront(state, docs::ColourMode::kColourAltTiming);
}
BENCHMARK(BM_GreyAt300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Colour)->Unit(benchmark::kMillisecond);

}  // namespace
