// The QV62x device side of the document feeder.
#include "sim/qv62x_document_feeder.h"

#include <algorithm>

namespace sim {
namespace {

constexpr int kEntryLine = 60;

}  // namespace

Qv62xLayout Qv62xLayoutOf(bool qv602, bool qv702) {
  Qv62xLayout layout;
  layout.rearTopDown = !qv602;
  layout.reversedTransport = qv702;
  return layout;
}

Qv62xDocumentFeeder::Qv62xDocumentFeeder(documents::DocumentStack stack, Qv62xLayout layout,
                                         FeederOptions options)
    : format_(std::make_shared<Qv62xFeedFormat>(layout)),
      feeder_(std::move(stack), format_, std::move(options)) {}

std::optional<Qv62xFed> Qv62xDocumentFeeder::Feed(bool colour) {
  const auto mode = colour ? documents::ColourMode::kColour : documents::ColourMode::kGrey;
  auto taken = feeder_.Feed(++sequence_, mode);
  if (!taken) return std::nullopt;
  Qv62xFed fed;
  fed.jam = taken->faults.jam;
  fed.doubleFeed = taken->faults.doubleFeed;
  fed.unplug = taken->faults.unplugMidDocument;
  DocumentFeeder::Fed document;
  if (!feeder_.Find(sequence_, &document)) return fed;
  const Qv62xLayout& o = format_->layout();
  lines_ = static_cast<uint16_t>(format_->ImageLines(document.scans, mode));
  jam_ = fed.jam;
  fed.lines = lines_;
  fed.distance = static_cast<uint16_t>(o.distance);
  fed.leadIn = static_cast<uint16_t>(o.leadIn);
  fed.trailing = static_cast<uint16_t>(o.trailing);
  // A jammed sheet's samples still come (the host reads them); only a double feed has no data.
  fed.samples = static_cast<uint16_t>(
      std::min<size_t>(format_->SampleBytes(document.document, mode).size() / 2, 0xFFFF));
  return fed;
}

std::vector<uint8_t> Qv62xDocumentFeeder::Samples() {
  return feeder_.Samples(sequence_);
}

std::vector<uint8_t> Qv62xDocumentFeeder::Raw(bool entryJam) {
  if (lines_ == 0) return {};
  const documents::TransferRequest whole = format_->WholeTransfer(lines_);
  const std::vector<uint8_t> front = feeder_.Image(sequence_, 0, whole);
  const std::vector<uint8_t> rear = feeder_.Image(sequence_, 1, whole);
  const Qv62xLayout& o = format_->layout();
  const size_t p = static_cast<size_t>(o.pixels);
  const size_t total = static_cast<size_t>(whole.endLine);
  if (front.size() < total * p || rear.size() < total * p) return {};
  std::vector<uint8_t> pairs(2 * total * p);
  for (size_t i = 0; i < total * p; ++i) {
    pairs[2 * i] = front[i];
    pairs[2 * i + 1] = rear[i];
  }
  auto fill = [&](size_t from, uint8_t value) {
    for (size_t line = from; line < total; ++line) {
      std::fill_n(pairs.begin() + static_cast<std::ptrdiff_t>(2 * line * p), 2 * p, value);
    }
  };
  // A jammed sheet still lies under the sensors when the data ends.
  if (jam_) fill(total - static_cast<size_t>(o.trailing), kPaper);
  // An entry jam: nothing reaches the sensors from the document's line 60 on.
  if (entryJam) fill(static_cast<size_t>(o.leadIn + kEntryLine), documents::kBackground);
  return pairs;
}

}  // namespace sim
