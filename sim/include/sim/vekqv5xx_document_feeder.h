// VekQv5xxDocumentFeeder: an RM 70's hopper of synthetic cheques, the VEKQv5xx device side of the
// series-neutral DocumentFeeder. The scanner's view of a document is the QV64x one at 300 raw lines per
// inch (grey, or one plane of a group of three in colour) with the RM 70's image modules (832 good of 896
// pixels from 0, the rear's pixels top-down) and one first line for both sides; its magnetic samples are
// in the test kit's "VEKQv5xx" format, sent in the order and polarity of the direction it ran: complemented
// when the direction bit is set, reversed when it is clear (the transport then runs the other way round).
// The sensors are lit by the channel records of the host's last acquisition block (type 34), while the
// expected images are read under the records a host sets up (green, blue, red in colour), so a host that
// lights the wrong LEDs shows wrong colours. The host assembles each side at 300 dpi and keeps it so; the
// expected images follow the same steps.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sim/document_feeder.h"
#include "sim/qv64x_feed_format.h"
#include "sim/vekqv5xx_device.h"

namespace sim {

struct VekQv5xxFeederOptions : ContactSensorLayout {
  std::string deviceName = "\\\\.\\KScanDrv-0";
  size_t keptDocuments = FeederOptions{}.keptDocuments;
  bool direction = true;  // s0 b3 of every document
};

// The RM 70's image modules, running with the direction bit set or clear.
VekQv5xxFeederOptions VekQv5xxDefaultFeederOptions(bool direction = true);

class VekQv5xxFeedFormat : public Qv64xFeedFormat {
 public:
  explicit VekQv5xxFeedFormat(VekQv5xxFeederOptions options = VekQv5xxDefaultFeederOptions());

  int SampleRate(documents::ColourMode mode) const override;
  std::vector<uint8_t> SampleBytes(const documents::Document& document,
                                   documents::ColourMode mode) const override;

 private:
  bool direction_;
};

class VekQv5xxDocumentFeeder : public VekQv5xxDocumentSource {
 public:
  using Fed = DocumentFeeder::Fed;

  explicit VekQv5xxDocumentFeeder(documents::DocumentStack stack,
                                  VekQv5xxFeederOptions options = VekQv5xxDefaultFeederOptions());

  std::optional<VekFedDocument> Feed(std::span<const uint8_t> acquisition) override;
  std::vector<uint8_t> Samples() override;
  std::vector<uint8_t> Image(int side, int firstLine, int endLine, int lineBytes) override;
  bool Direction() const override { return options_.direction; }

  void Push(documents::Document document) { feeder_.Push(std::move(document)); }
  // The document fed last, with its faces; false before any.
  bool Last(Fed* out) const { return feeder_.Find(sequence_, out); }
  const VekQv5xxFeederOptions& options() const { return options_; }
  const DocumentFeeder& feeder() const { return feeder_; }

 private:
  VekQv5xxFeederOptions options_;
  DocumentFeeder feeder_;
  uint8_t sequence_ = 0;  // the feeder's key of the last document (the scanner numbers none)
};

}  // namespace sim
