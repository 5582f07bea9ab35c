// KQv8xDocumentFeeder: a KQv8x scanner's hopper of synthetic cheques, the KQv8x device side of the
// series-neutral DocumentFeeder. A start feed takes the next document at the colour code and line value of
// the acquisition registers (type 34) the host sent last; the scanner reports it in its one status record
// with the whole sensor line as its width, its raw-line count, its first lines on each side and its count
// of 8-bit magnetic samples. A jam or a double feed stops the scanner with its error and sensor bits (the
// one double-feed sensor) and no data; an unplug takes the scanner off the bus while the document is inside.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/document_feeder.h"
#include "sim/kqv8x_feed_format.h"
#include "sim/qv63x_document_source.h"

namespace sim {

// KQv8x document word and sensor bits the feeder reports.
inline constexpr uint16_t kKQv8xDocFrontReady = 0x08;
inline constexpr uint16_t kKQv8xDocRearReady = 0x10;
inline constexpr uint16_t kKQv8xDocSamplesReady = 0x20;
inline constexpr uint16_t kKQv8xDocDoubleFeed = 0x400;
inline constexpr uint16_t kKQv8xDocJam = 0x800;
inline constexpr uint16_t kKQv8xSensorDoubleFeed = 0x20;
inline constexpr uint16_t kKQv8xSensorJam = 0x40;

class KQv8xDocumentFeeder : public Qv63xDocumentSource {
 public:
  using Fed = DocumentFeeder::Fed;

  explicit KQv8xDocumentFeeder(documents::DocumentStack stack,
                               KQv8xFeederOptions options = KQv8xDefaultFeederOptions());

  std::optional<FedDocument> Feed(uint8_t sequence, std::span<const uint8_t> registers) override;
  std::vector<uint8_t> Samples(uint8_t sequence) override;
  std::vector<uint8_t> Image(std::span<const uint8_t> transfer) override;

  void Push(documents::Document document) { feeder_.Push(std::move(document)); }
  bool Find(uint8_t sequence, Fed* out) const { return feeder_.Find(sequence, out); }
  const KQv8xFeederOptions& options() const { return options_; }
  const DocumentFeeder& feeder() const { return feeder_; }

 private:
  KQv8xFeederOptions options_;
  DocumentFeeder feeder_;
};

}  // namespace sim
