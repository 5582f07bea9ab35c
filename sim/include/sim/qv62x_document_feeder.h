// Qv62xDocumentFeeder: a QV62x scanner's hopper of synthetic cheques, the QV62x device side of the
// series-neutral DocumentFeeder with the QV62x feed format. Each enable takes the next document; its raw
// data is both sides' raw lines interleaved as (front byte, rear byte) pairs. A jammed document leaves
// paper in the trailing lines; an entry jam clears the document from its line 60 on.
#pragma once

#include <memory>

#include "sim/document_feeder.h"
#include "sim/qv62x_document_source.h"
#include "sim/qv62x_feed_format.h"

namespace sim {

class Qv62xDocumentFeeder : public Qv62xDocumentSource {
 public:
  static constexpr uint8_t kPaper = 200;

  Qv62xDocumentFeeder(documents::DocumentStack stack, Qv62xLayout layout, FeederOptions options = {});

  std::optional<Qv62xFed> Feed(bool colour) override;
  std::vector<uint8_t> Samples() override;
  std::vector<uint8_t> Raw(bool entryJam) override;

  void Push(documents::Document document) { feeder_.Push(std::move(document)); }
  const DocumentFeeder& feeder() const { return feeder_; }
  const Qv62xFeedFormat& format() const { return *format_; }

 private:
  std::shared_ptr<const Qv62xFeedFormat> format_;
  DocumentFeeder feeder_;
  uint8_t sequence_ = 0;
  uint16_t lines_ = 0;
  bool jam_ = false;
};

// The QV62x layout of a simulated model: its rear sensor direction and transport direction.
Qv62xLayout Qv62xLayoutOf(bool qv602, bool qv702);

}  // namespace sim
