// The QV63x device side of the document feeder: acquisition and transfer blocks in, status records out.
#include "sim/qv63x_document_feeder.h"

#include <algorithm>

#include "sim/documents/channel_lights.h"
#include "sim/documents/transfer_block.h"

namespace sim {
namespace {

using documents::ColourMode;

uint16_t Clamp16(size_t v) {
  return static_cast<uint16_t>(std::min<size_t>(v, 0xFFFF));
}

FeederOptions FeederOptionsOf(const Qv63xFeederOptions& o) {
  FeederOptions f;
  f.deviceName = o.deviceName;
  f.keptDocuments = o.keptDocuments;
  return f;
}

}  // namespace

ColourMode ColourModeOfAcquisition(std::span<const uint8_t> acquisition) {
  if (acquisition.size() < 3) return ColourMode::kGrey;
  if (acquisition[2] == 3) return ColourMode::kColourAltTiming;
  auto lights = documents::LightsFromAcquisitionBlock(acquisition, 0);
  if (!lights || lights->empty()) return ColourMode::kGrey;
  const auto same = [&](const documents::ChannelLight& l) {
    const documents::ChannelLight& f = lights->front();
    return l.red == f.red && l.green == f.green && l.blue == f.blue;
  };
  return std::all_of(lights->begin(), lights->end(), same) ? ColourMode::kGrey : ColourMode::kColour;
}

Qv63xDocumentFeeder::Qv63xDocumentFeeder(documents::DocumentStack stack, Qv63xFeederOptions options)
    : options_(std::move(options)),
      feeder_(std::move(stack), std::make_shared<ContactSensorFormat>(options_), FeederOptionsOf(options_)) {}

std::optional<FedDocument> Qv63xDocumentFeeder::Feed(uint8_t sequence, std::span<const uint8_t> acquisition) {
  const std::optional<DocumentFeeder::Taken> taken = feeder_.Feed(sequence, ColourModeOfAcquisition(acquisition));
  if (!taken) return std::nullopt;
  FedDocument report;
  DocumentRecord& record = report.record;
  const Qv63xFeederOptions& o = options_;
  record.width = Clamp16(static_cast<size_t>(std::max(o.front.goodPixels, 0)));
  record.lines = Clamp16(static_cast<size_t>(std::max({taken->documentLines[0], taken->documentLines[1], 0})));
  record.firstFront = Clamp16(static_cast<size_t>(std::max(o.frontLeadLines, 0)));
  record.firstRear = Clamp16(static_cast<size_t>(std::max(o.rearLeadLines, 0)));
  const documents::DocumentFaults& faults = taken->faults;
  if (faults.jam || faults.doubleFeed) {
    report.error = true;
    record.word = faults.jam ? kDocJam : kDocDoubleFeed;
    report.sensor = faults.jam ? kSensorJam : kSensorDoubleFeed[0];
  } else {
    record.samples = Clamp16(taken->sampleBytes / 2);  // 16-bit samples
    record.word = kDocFrontReady | kDocRearReady | (record.samples != 0 ? kDocSamplesReady : 0);
  }
  return report;
}

std::vector<uint8_t> Qv63xDocumentFeeder::Samples(uint8_t sequence) {
  return feeder_.Samples(sequence);
}

std::vector<uint8_t> Qv63xDocumentFeeder::Image(std::span<const uint8_t> transfer) {
  const std::optional<documents::TransferBlock> block = documents::ParseTransferBlock(transfer);
  if (!block) return {};
  return feeder_.Image(block->sequence, block->side, block->request);
}

}  // namespace sim
