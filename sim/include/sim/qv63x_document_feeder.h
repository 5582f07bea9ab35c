// Qv63xDocumentFeeder: a QV63x scanner's hopper of synthetic cheques, the QV63x device side of the
// series-neutral DocumentFeeder. Each start feed takes the next document of the stack; the scanner then
// reports it in its status record with its raw-line count, its first lines on each side and its magnetic
// sample count at the sample rate of the colour timing the host set up (type 34 block), and answers the
// host's transfers (type 37 and 38 blocks) with the document's raw lines and samples. A document's faults
// show as the scanner shows them: a jam or a double feed stops the scanner with its error and sensor bits
// and no data; an unplug takes the scanner off the bus while the document is inside.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sim/document_feeder.h"
#include "sim/qv63x_document_source.h"

namespace sim {

// The QV63x image modules and transport (ContactSensorLayout's defaults), and the scanner's device name.
struct Qv63xFeederOptions : ContactSensorLayout {
  std::string deviceName = "\\\\.\\KScanDrv-0";  // the name an unplug takes off the bus
  size_t keptDocuments = FeederOptions{}.keptDocuments;
};

class Qv63xDocumentFeeder : public Qv63xDocumentSource {
 public:
  using Fed = DocumentFeeder::Fed;

  explicit Qv63xDocumentFeeder(documents::DocumentStack stack, Qv63xFeederOptions options = {});

  std::optional<FedDocument> Feed(uint8_t sequence, std::span<const uint8_t> acquisition) override;
  std::vector<uint8_t> Samples(uint8_t sequence) override;
  std::vector<uint8_t> Image(std::span<const uint8_t> transfer) override;

  // Adds documents to the hopper.
  void Push(documents::Document document) { feeder_.Push(std::move(document)); }
  size_t Waiting() const { return feeder_.Waiting(); }
  // Copies the fed document of `sequence` into `out`; false when its faces are no longer kept.
  bool Find(uint8_t sequence, Fed* out) const { return feeder_.Find(sequence, out); }
  const Qv63xFeederOptions& options() const { return options_; }
  // Every fed document, in feed order, and the images a host should hold for it.
  const DocumentFeeder& feeder() const { return feeder_; }

 private:
  Qv63xFeederOptions options_;
  DocumentFeeder feeder_;
};

// The colour timing an image-acquisition block (type 34 payload) sets up: three channel records are the
// alternative timing; four records lighting one LED each (not all alike) are colour; otherwise grey.
documents::ColourMode ColourModeOfAcquisition(std::span<const uint8_t> acquisition);

}  // namespace sim
