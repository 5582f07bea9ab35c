// Host time per document side of a QV62x, from the raw buffer of front/rear pairs to the held, cropped
// DIB: the side's lines taken out of the pairs (colour lines stored twice), the shading correction, the
// assembly into the DIB, the height window and the document-length search. The raw data of a synthetic
// cheque is rendered and read once before timing, so neither the simulated scanner nor the transfer is
// measured.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "qv6/qv62x/qv62x_template.h"
#include "sim/qv62x_document_feeder.h"
#include "transport/driver_interface.h"

namespace {

using namespace qv6;

// Hands the rendered raw data over as the bulk read would; everything else succeeds unsent.
class RenderedCommands : public Qv62xCommands {
 public:
  RenderedCommands(DriverDeviceInterface& transport, std::vector<uint8_t> raw)
      : Qv62xCommands(transport), raw_(std::move(raw)) {}
  int ReadImageData(int /*side*/, uint8_t* buffer, size_t length) override {
    if (raw_.size() < length) return 0;
    std::memcpy(buffer, raw_.data(), length);
    return 1;
  }
  int SendBlock(const uint8_t*, size_t) override { return 1; }
  int SendCommand(const DeviceCommandRequest&) override { return 1; }

 private:
  std::vector<uint8_t> raw_;
};

class BenchTemplate : public ScannerQV62xDeviceTemplate {
 public:
  using ScannerQV62xDeviceTemplate::ScannerQV62xDeviceTemplate;

 protected:
  int GetPrintParameter(int, int position2) override { return position2; }
};

void AcquireSide(benchmark::State& state, bool colour, int side) {
  sim::documents::ChequeOptions options;
  options.colour = colour;
  sim::documents::DocumentStack stack(3, options);
  stack.AddCheques(1);
  sim::Qv62xDocumentFeeder feeder(std::move(stack), sim::Qv62xLayoutOf(false, false));
  const auto fed = feeder.Feed(colour);
  if (!fed) {
    state.SkipWithError("no document");
    return;
  }
  ScannerQV62xInterface transport;  // never opened: the command set answers itself
  RenderedCommands commands(transport, feeder.Raw(false));
  BenchTemplate host(commands, qv62x::Model::kQv620);
  host.blocks().Set(kBlockStatus, qv62x::kStLines, fed->lines);
  host.blocks().Set(kBlockStatus, qv62x::kStDistance, fed->distance);
  host.blocks().Set(kBlockStatus, qv62x::kStLeadIn, fed->leadIn);
  host.blocks().Set(kBlockStatus, qv62x::kStTrailing, fed->trailing);
  host.SetImageType(0);
  host.SetImageType(1);
  host.PrepareLineLoaders();
  const int mode = colour ? 1 : 0;
  if (!host.ReadRawImageData() || !host.AcquireLines(side, mode, 200, 2, 0, 2200)) {
    state.SkipWithError("acquisition failed");
    return;
  }
  for (auto _ : state) {
    if (!host.AcquireLines(side, mode, 200, 2, 0, 2200)) {
      state.SkipWithError("acquisition failed");
      break;
    }
    side == 0 ? host.CropFrontImage() : host.CropRearImage();
    benchmark::DoNotOptimize(host.GetImageBuffer(side));
  }
  state.SetLabel(std::to_string(fed->lines) + " raw lines of 864 pairs");
}

void BM_FrontGrey(benchmark::State& state) {
  AcquireSide(state, false, 0);
}
void BM_RearGrey(benchmark::State& state) {
  AcquireSide(state, false, 1);
}
void BM_FrontColour(benchmark::State& state) {
  AcquireSide(state, true, 0);
}
void BM_RearColour(benchmark::State& state) {
  AcquireSide(state, true, 1);
}
BENCHMARK(BM_FrontGrey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RearGrey)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrontColour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RearColour)->Unit(benchmark::kMillisecond);

}  // namespace
