// The KQv8x device side of the document feeder.
#include "sim/kqv8x_document_feeder.h"

#include <algorithm>

#include "sim/documents/transfer_block.h"

namespace sim {
namespace {

using documents::ColourMode;

constexpr uint8_t kColourCodePlanes = 3;
constexpr uint8_t kColourCodeFour = 4;

uint16_t Clamp16(size_t v) {
  return static_cast<uint16_t>(std::min<size_t>(v, 0xFFFF));
}

FeederOptions FeederOptionsOf(const KQv8xFeederOptions& o) {
  FeederOptions f;
  f.deviceName = o.deviceName;
  f.keptDocuments = o.keptDocuments;
  return f;
}

}  // namespace

KQv8xDocumentFeeder::KQv8xDocumentFeeder(documents::DocumentStack stack, KQv8xFeederOptions options)
    : options_(std::move(options)),
      feeder_(std::move(stack), std::make_shared<KQv8xFeedFormat>(options_), FeederOptionsOf(options_)) {}

std::optional<FedDocument> KQv8xDocumentFeeder::Feed(uint8_t sequence, std::span<const uint8_t> registers) {
  // Colour code at byte 4, the line value (raw lines per inch) at bytes 2 and 3.
  const uint8_t code = registers.size() > 4 ? registers[4] : 1;
  const ColourMode mode = code == kColourCodePlanes ? ColourMode::kColourAltTiming
                          : code == kColourCodeFour ? ColourMode::kColour
                                                    : ColourMode::kGrey;
  const int line = registers.size() > 3 ? (registers[2] << 8 | registers[3]) : 0;
  const std::optional<DocumentFeeder::Taken> taken = feeder_.Feed(sequence, mode, line > 0 ? line : 0);
  if (!taken) return std::nullopt;
  FedDocument report;
  DocumentRecord& record = report.record;
  record.width = Clamp16(static_cast<size_t>(std::max(options_.front.totalPixels, 0)));
  record.lines =
      Clamp16(static_cast<size_t>(std::max({taken->documentLines[0], taken->documentLines[1], 0})));
  record.firstFront = Clamp16(static_cast<size_t>(std::max(options_.frontLeadLines, 0)));
  record.firstRear = Clamp16(static_cast<size_t>(std::max(options_.rearLeadLines, 0)));
  const documents::DocumentFaults& faults = taken->faults;
  if (faults.jam || faults.doubleFeed) {
    report.error = true;
    record.word = faults.jam ? kKQv8xDocJam : kKQv8xDocDoubleFeed;
    report.sensor = faults.jam ? kKQv8xSensorJam : kKQv8xSensorDoubleFeed;
  } else {
    record.samples = Clamp16(taken->sampleBytes);  // one byte a sample
    record.word =
        kKQv8xDocFrontReady | kKQv8xDocRearReady | (record.samples != 0 ? kKQv8xDocSamplesReady : 0);
  }
  return report;
}

std::vector<uint8_t> KQv8xDocumentFeeder::Samples(uint8_t sequence) {
  return feeder_.Samples(sequence);
}

std::vector<uint8_t> KQv8xDocumentFeeder::Image(std::span<const uint8_t> transfer) {
  const std::optional<documents::TransferBlock> block = documents::ParseTransferBlock(transfer);
  if (!block) return {};
  return feeder_.Image(block->sequence, block->side, block->request);
}

}  // namespace sim
