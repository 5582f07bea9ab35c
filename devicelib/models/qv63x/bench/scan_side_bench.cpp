// Host time per document side of a QV63x or QV640, from the image request (block 37) to the held, cropped
// DIB: the transfer window, the copy of the raw lines, the colour expansion, the shading correction, the
// assembly into the DIB, the QV640's reduction from 300 dpi and the document-length search. The raw lines of
// a synthetic cheque are rendered once before timing, so the simulated scanner's own cost is not measured;
// the command set hands the rendered bytes over as the bulk read would.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "qv6/later/later_blocks.h"
#include "qv6/later/later_device_template.h"
#include "qv6/qv63x/qv63x_defaults.h"
#include "qv6/qv64x/qv640_model.h"
#include "sim/documents/document_scan.h"
#include "transport/driver_interface.h"

namespace {

using namespace qv6;
using namespace qv6::later;
namespace docs = sim::documents;

// Answers the image transfer from raw lines rendered when the block asks for them the first time.
class RenderedCommands : public Qv630Commands {
 public:
  RenderedCommands(DriverDeviceInterface& transport, const docs::SideScan& scan)
      : Qv630Commands(transport), scan_(scan) {}
  int SendBlock(const uint8_t* data, size_t length) override {
    if (length < 16 || ((data[0] << 8) | data[1]) != kBlockImageTransfer) return 1;
    docs::TransferRequest r;
    r.halfSize = data[6] != 0;
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

class BenchTemplate : public ScannerQV63xDeviceTemplate {
 public:
  using ScannerQV63xDeviceTemplate::ScannerQV63xDeviceTemplate;

 protected:
  int GetPrintParameter(int, int position2) override { return position2; }
};

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
  RenderedCommands commands(transport, scan);
  BenchTemplate host(commands, series.traits);
  series.defaults(host.blocks());
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecSequence, 1);
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecWidth, sensor.goodPixels);
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecLines, scan.DocumentLines());
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecFirstFront, 5);
  host.SetImageType(0);
  host.PrepareLineLoaders();
  const int colourMode = static_cast<int>(mode);
  if (!host.AcquireSide(0, 1, colourMode, dpi, 2, 0, 2200)) {
    state.SkipWithError("acquisition failed");
    return;
  }
  for (auto _ : state) {
    host.AcquireSide(0, 1, colourMode, dpi, 2, 0, 2200);
    host.CropFrontImage();
    benchmark::DoNotOptimize(host.GetImageBuffer(0));
  }
  state.SetLabel(std::to_string(scan.DocumentLines()) + " raw lines");
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
