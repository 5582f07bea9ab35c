// The series-neutral hopper of the simulated scanners, and the contact-sensor feed format.
#include "sim/document_feeder.h"

#include <algorithm>

#include "driver/device_registry.h"

namespace sim {

using documents::ColourMode;
using documents::Side;

documents::ExpectedImage FeedFormat::HostImage(const documents::SideScan& scan,
                                              const documents::TransferRequest& request, Side side,
                                              ColourMode mode, int dpi) const {
  return documents::AssembleSide(scan, request, HostAssemblyOf(side, mode, dpi));
}

documents::ExpectedImage FeedFormat::HostImageAtDepth(const documents::SideScan& scan,
                                                     const documents::TransferRequest& request, Side side,
                                                     ColourMode mode, int dpi, int /*depthBits*/) const {
  return HostImage(scan, request, side, mode, dpi);
}

std::array<documents::SideScan, 2> ContactSensorFormat::Scans(const documents::Document& document,
                                                              ColourMode mode) const {
  const ContactSensorLayout& o = layout_;
  return {documents::ScanOf(document, Side::kFront, o.front, mode, o.mirroredSides, o.frontLeadLines),
          documents::ScanOf(document, Side::kRear, o.rear, mode, o.mirroredSides, o.rearLeadLines)};
}

std::vector<uint8_t> ContactSensorFormat::RawLines(const documents::SideScan& scan,
                                                   const documents::TransferRequest& request) const {
  return documents::RenderRawLines(scan, request);
}

int ContactSensorFormat::SampleRate(ColourMode mode) const {
  return mode == ColourMode::kColourAltTiming ? layout_.sampleRateAltTiming : layout_.sampleRate;
}

std::vector<uint8_t> ContactSensorFormat::SampleBytes(const documents::Document& document,
                                                      ColourMode mode) const {
  return document.MagneticBytes(SampleRate(mode), layout_.mirroredSides);
}

documents::HostAssembly ContactSensorFormat::HostAssemblyOf(Side side, ColourMode mode, int dpi) const {
  return documents::HostAssemblyOf(side, mode, dpi, layout_.mirroredSides);
}

DocumentFeeder::DocumentFeeder(documents::DocumentStack stack, std::shared_ptr<const FeedFormat> format,
                               FeederOptions options)
    : stack_(std::move(stack)), format_(std::move(format)), options_(std::move(options)) {
  options_.keptDocuments = std::max<size_t>(options_.keptDocuments, 1);
  options_.keptRecords = std::max(options_.keptRecords, options_.keptDocuments);
}

void DocumentFeeder::Push(documents::Document document) {
  std::lock_guard lock(mutex_);
  stack_.Push(std::move(document));
}

size_t DocumentFeeder::Waiting() const {
  std::lock_guard lock(mutex_);
  return stack_.Size();
}

size_t DocumentFeeder::FedCount() const {
  std::lock_guard lock(mutex_);
  return dropped_ + fed_.size();
}

DocumentFeeder::Entry* DocumentFeeder::Newest(uint8_t sequence) {
  // Only the newest documents keep their faces; an older one with the same sequence number is not it.
  const size_t look = std::min(fed_.size(), options_.keptDocuments);
  for (size_t i = 0; i < look; ++i) {
    Entry& e = fed_[fed_.size() - 1 - i];
    if (e.record.sequence == sequence) return e.document ? &e : nullptr;
  }
  return nullptr;
}

const DocumentFeeder::Entry* DocumentFeeder::At(size_t index) const {
  if (index < dropped_ || index - dropped_ >= fed_.size()) return nullptr;
  return &fed_[index - dropped_];
}

std::array<documents::SideScan, 2> DocumentFeeder::ScansOf(const documents::Document& document,
                                                           const Record& record) const {
  std::array<documents::SideScan, 2> scans = format_->Scans(document, record.mode);
  if (record.linesPerInch > 0) {
    for (documents::SideScan& scan : scans) scan.linesPerInch = record.linesPerInch;
  }
  return scans;
}

std::optional<DocumentFeeder::Taken> DocumentFeeder::Feed(uint8_t sequence, ColourMode mode,
                                                          int linesPerInch, int depthBits,
                                                          std::array<std::vector<documents::ChannelLight>, 2> hostLights) {
  std::lock_guard lock(mutex_);
  std::optional<documents::Document> next = stack_.Pop();
  if (!next) return std::nullopt;
  Entry entry;
  Record& r = entry.record;
  r.index = dropped_ + fed_.size();
  r.sequence = sequence;
  r.codeLine = next->codeLine;
  r.font = next->font;
  r.faults = next->faults;
  r.mode = mode;
  r.sampleRate = format_->SampleRate(mode);
  r.linesPerInch = linesPerInch;
  r.depthBits = depthBits;
  r.hostLights = std::move(hostLights);
  entry.seed = next->seed;
  entry.cheque = next->cheque;
  entry.document = std::make_shared<const documents::Document>(std::move(*next));

  Taken taken;
  taken.index = r.index;
  taken.faults = r.faults;
  const std::array<documents::SideScan, 2> scans = ScansOf(*entry.document, r);
  for (size_t s = 0; s < 2; ++s) taken.documentLines[s] = scans[s].DocumentLines();
  if (!r.faults.jam && !r.faults.doubleFeed) {
    entry.samples = format_->SampleBytes(*entry.document, mode);
    taken.sampleBytes = entry.samples.size();
  }
  if (r.faults.unplugMidDocument) {
    // The next call the host makes finds the scanner gone.
    drv::Fault unplug;
    unplug.kind = drv::FaultKind::kUnplug;
    unplug.on = drv::CallKind::kAnyIo;
    drv::DeviceRegistry::Instance().AddFault(options_.deviceName, unplug);
  }

  fed_.push_back(std::move(entry));
  if (fed_.size() > options_.keptDocuments) {
    Entry& old = fed_[fed_.size() - 1 - options_.keptDocuments];
    old.document.reset();
    old.samples = {};
  }
  while (fed_.size() > options_.keptRecords) {
    fed_.pop_front();
    ++dropped_;
  }
  return taken;
}

std::vector<uint8_t> DocumentFeeder::Samples(uint8_t sequence) {
  std::lock_guard lock(mutex_);
  Entry* e = Newest(sequence);
  if (e == nullptr) return {};
  ++e->record.sampleRequests;
  // Made at the feed, but for a document that jams or double-feeds.
  if (e->samples.empty()) e->samples = format_->SampleBytes(*e->document, e->record.mode);
  return e->samples;
}

std::vector<uint8_t> DocumentFeeder::Image(uint8_t sequence, int side, const documents::TransferRequest& request) {
  std::lock_guard lock(mutex_);
  if (side != 0 && side != 1) return {};
  Entry* e = Newest(sequence);
  if (e == nullptr) return {};
  e->record.transfers[static_cast<size_t>(side)] = request;
  if (side == 0 && e->record.faults.frontTransferFails && !e->record.frontTransferFailed) {
    // The host's next call is the fetch of these lines: the driver fails it.
    e->record.frontTransferFailed = true;
    drv::Fault failure;
    failure.kind = drv::FaultKind::kFail;
    failure.on = drv::CallKind::kAnyIo;
    drv::DeviceRegistry::Instance().AddFault(options_.deviceName, failure);
  }
  documents::SideScan scan = ScansOf(*e->document, e->record)[static_cast<size_t>(side)];
  const std::vector<documents::ChannelLight>& lit = e->record.hostLights[static_cast<size_t>(side)];
  if (!lit.empty()) scan.lights = lit;
  return format_->RawLines(scan, request);
}

std::optional<DocumentFeeder::Record> DocumentFeeder::RecordOf(size_t index) const {
  std::lock_guard lock(mutex_);
  const Entry* e = At(index);
  if (e == nullptr) return std::nullopt;
  return e->record;
}

bool DocumentFeeder::Find(uint8_t sequence, Fed* out) const {
  std::lock_guard lock(mutex_);
  Entry* e = const_cast<DocumentFeeder*>(this)->Newest(sequence);
  if (e == nullptr) return false;
  static_cast<Record&>(*out) = e->record;
  out->document = *e->document;
  out->scans = ScansOf(out->document, e->record);
  return true;
}

std::optional<std::array<documents::ExpectedImage, 2>> DocumentFeeder::ExpectedImages(size_t index,
                                                                                        int dpi) const {
  Record record;
  std::shared_ptr<const documents::Document> document;
  uint32_t seed = 0;
  std::optional<documents::ChequeOptions> cheque;
  {
    std::lock_guard lock(mutex_);
    const Entry* e = At(index);
    if (e == nullptr) return std::nullopt;
    record = e->record;
    document = e->document;
    seed = e->seed;
    cheque = e->cheque;
  }
  // A synthetic cheque whose faces were dropped is made again from its seed.
  if (!document && cheque) document = std::make_shared<const documents::Document>(documents::MakeCheque(seed, *cheque));
  if (!document || !record.transfers[0] || !record.transfers[1]) return std::nullopt;
  const std::array<documents::SideScan, 2> scans = ScansOf(*document, record);
  std::array<documents::ExpectedImage, 2> out;
  for (size_t s = 0; s < 2; ++s) {
    out[s] = format_->HostImageAtDepth(scans[s], *record.transfers[s], static_cast<documents::Side>(s), record.mode,
                                       dpi, record.depthBits);
  }
  documents::CutBothToLarger(out[0], out[1]);
  return out;
}

}  // namespace sim
