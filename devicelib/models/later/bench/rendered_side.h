// What the later series' side benchmarks share: a command set that answers the image transfer from the raw
// lines of a synthetic cheque rendered once, when the transfer block asks for them the first time (so the
// simulated scanner's own cost is not measured; the command set hands the rendered bytes over as the bulk
// read would), a host template that prints nothing, and the timed acquisition of the front side.
#pragma once

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "qv6/later/later_blocks.h"
#include "sim/documents/document_scan.h"
#include "transport/driver_interface.h"

namespace qv6::bench {

// How a series' image-transfer block (37) reads.
struct TransferBlockForm {
  bool halfSize;     // byte 6 asks for half-size lines
  bool openingFlag;  // only the block whose byte 4 is set opens the transfer
};

template <class Commands>
class RenderedCommands : public Commands {
 public:
  RenderedCommands(DriverDeviceInterface& transport, const sim::documents::SideScan& scan, TransferBlockForm form)
      : Commands(transport), scan_(scan), form_(form) {}
  int SendBlock(const uint8_t* data, size_t length) override {
    if (length < 16 || ((data[0] << 8) | data[1]) != kBlockImageTransfer) return 1;
    if (form_.openingFlag && data[4] == 0) return 1;
    sim::documents::TransferRequest r;
    if (form_.halfSize) r.halfSize = data[6] != 0;
    r.firstLine = (data[8] << 8) | data[9];
    r.endLine = (data[10] << 8) | data[11];
    r.firstPixel = (data[12] << 8) | data[13];
    r.endPixel = (data[14] << 8) | data[15];
    if (raw_.empty()) raw_ = sim::documents::RenderRawLines(scan_, r);
    return 1;
  }
  int ReadImageData(int /*side*/, uint8_t* buffer, size_t length) override {
    if (raw_.size() < length) return 0;
    std::memcpy(buffer, raw_.data(), length);
    return 1;
  }

 private:
  const sim::documents::SideScan& scan_;
  TransferBlockForm form_;
  std::vector<uint8_t> raw_;
};

template <class Template>
class BenchTemplate : public Template {
 public:
  using Template::Template;

 protected:
  int GetPrintParameter(int, int position2) override { return position2; }
};

// Record A describes the scanned document (`width` pixels wide) with sequence number 1; the front's image
// type and loaders are set up.
template <class Host>
void DescribeFrontSide(Host& host, const sim::documents::SideScan& scan, int width) {
  using namespace later;
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecSequence, 1);
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecWidth, width);
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecLines, scan.DocumentLines());
  host.blocks().Set(kBlockStatus, size_t{kRecordA} + kRecFirstFront, 5);
  host.SetImageType(0);
  host.PrepareLineLoaders();
}

// The described front side is acquired once untimed and again each iteration, cropped too where `crop`.
template <class Host>
void TimeFrontSide(benchmark::State& state, Host& host, const sim::documents::SideScan& scan, int width,
                   int colourMode, int dpi, bool crop) {
  DescribeFrontSide(host, scan, width);
  if (!host.AcquireSide(0, 1, colourMode, dpi, 2, 0, 2200)) {
    state.SkipWithError("acquisition failed");
    return;
  }
  for (auto _ : state) {
    if (!host.AcquireSide(0, 1, colourMode, dpi, 2, 0, 2200)) {
      state.SkipWithError("acquisition failed");
      break;
    }
    if (crop) host.CropFrontImage();
    benchmark::DoNotOptimize(host.GetImageBuffer(0));
  }
  state.SetLabel(std::to_string(scan.DocumentLines()) + " raw lines");
}

}  // namespace qv6::bench
