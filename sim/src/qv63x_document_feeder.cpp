// The QV63x hopper of synthetic cheques.
#include "sim/qv63x_document_feeder.h"

#include <algorithm>

#include "driver/device_registry.h"
#include "sim/documents/channel_lights.h"
#include "sim/documents/transfer_block.h"

namespace sim {
namespace {

using documents::ColourMode;

constexpr int kSampleRate = 63200;
constexpr int kSampleRateAltTiming = 94800;
uint16_t Clamp16(size_t v) {
  return static_cast<uint16_t>(std::min<size_t>(v, 0xFFFF));
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
    : stack_(std::move(stack)), options_(std::move(options)) {}

void Qv63xDocumentFeeder::Push(documents::Document document) {
  std::lock_guard lock(mutex_);
  stack_.Push(std::move(document));
}

size_t Qv63xDocumentFeeder::Waiting() const {
  std::lock_guard lock(mutex_);
  return stack_.Size();
}

Qv63xDocumentFeeder::Fed* Qv63xDocumentFeeder::Kept(uint8_t sequence) {
  for (auto it = fed_.rbegin(); it != fed_.rend(); ++it) {
    if ((*it)->sequence == sequence) return it->get();
  }
  return nullptr;
}

bool Qv63xDocumentFeeder::Find(uint8_t sequence, Fed* out) const {
  std::lock_guard lock(mutex_);
  for (auto it = fed_.rbegin(); it != fed_.rend(); ++it) {
    if ((*it)->sequence != sequence) continue;
    *out = **it;
    out->scans[0].image = &out->document.front;
    out->scans[1].image = &out->document.rear;
    return true;
  }
  return false;
}

std::optional<FedDocument> Qv63xDocumentFeeder::Feed(uint8_t sequence, std::span<const uint8_t> acquisition) {
  std::lock_guard lock(mutex_);
  std::optional<documents::Document> next = stack_.Pop();
  if (!next) return std::nullopt;
  auto fed = std::make_unique<Fed>();
  fed->sequence = sequence;
  fed->document = std::move(*next);
  fed->mode = ColourModeOfAcquisition(acquisition);
  fed->sampleRate = fed->mode == ColourMode::kColourAltTiming ? kSampleRateAltTiming : kSampleRate;
  const Qv63xFeederOptions& o = options_;
  fed->scans[0] = documents::ScanOf(fed->document, documents::Side::kFront, o.front, fed->mode,
                                    o.mirroredSides, o.frontLeadLines);
  fed->scans[1] = documents::ScanOf(fed->document, documents::Side::kRear, o.rear, fed->mode, o.mirroredSides,
                                    o.rearLeadLines);

  FedDocument report;
  DocumentRecord& record = report.record;
  const documents::DocumentFaults& faults = fed->document.faults;
  record.width = Clamp16(static_cast<size_t>(std::max(o.front.goodPixels, 0)));
  record.lines =
      Clamp16(static_cast<size_t>(std::max(fed->scans[0].DocumentLines(), fed->scans[1].DocumentLines())));
  record.firstFront = Clamp16(static_cast<size_t>(o.frontLeadLines));
  record.firstRear = Clamp16(static_cast<size_t>(o.rearLeadLines));
  if (faults.jam || faults.doubleFeed) {
    report.error = true;
    record.word = faults.jam ? kDocJam : kDocDoubleFeed;
    report.sensor = faults.jam ? kSensorJam : kSensorDoubleFeed[0];
  } else {
    record.samples = Clamp16(fed->document.MagneticSamples(fed->sampleRate, o.mirroredSides).size());
    record.word = kDocFrontReady | kDocRearReady | (record.samples != 0 ? kDocSamplesReady : 0);
  }
  if (faults.unplugMidDocument) {
    // The next call the host makes finds the scanner gone.
    drv::Fault unplug;
    unplug.kind = drv::FaultKind::kUnplug;
    unplug.on = drv::CallKind::kAnyIo;
    drv::DeviceRegistry::Instance().AddFault(o.deviceName, unplug);
  }
  fed_.push_back(std::move(fed));
  while (fed_.size() > 2) fed_.pop_front();
  return report;
}

std::vector<uint8_t> Qv63xDocumentFeeder::Samples(uint8_t sequence) {
  std::lock_guard lock(mutex_);
  Fed* fed = Kept(sequence);
  if (fed == nullptr) return {};
  ++fed->sampleRequests;
  return fed->document.MagneticBytes(fed->sampleRate, options_.mirroredSides);
}

std::vector<uint8_t> Qv63xDocumentFeeder::Image(std::span<const uint8_t> transfer) {
  std::lock_guard lock(mutex_);
  const std::optional<documents::TransferBlock> block = documents::ParseTransferBlock(transfer);
  if (!block) return {};
  Fed* fed = Kept(block->sequence);
  if (fed == nullptr) return {};
  fed->transfers[block->side] = block->request;
  return documents::RenderRawLines(fed->scans[block->side], block->request);
}

}  // namespace sim
