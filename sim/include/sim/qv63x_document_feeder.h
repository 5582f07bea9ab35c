// Qv63xDocumentFeeder: a QV63x scanner's hopper of synthetic cheques. Each start feed takes the next
// document of the stack; the scanner then reports it with its raw-line count, its first lines on each
// side and its magnetic sample count at the sample rate of the colour timing the host set up, and answers
// the host's transfers with the document's raw lines and samples. A document's faults show as the
// scanner shows them: a jam or a double feed stops the scanner with its error and sensor bits and no data;
// an unplug takes the scanner off the bus while the document is inside.
//
// The feeder keeps the last two documents (the host may fetch a side again) together with the side models
// and the transfers the host asked for, so tests can compute the images the host must hold.
#pragma once

#include <array>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "sim/documents/document_scan.h"
#include "sim/documents/document_stack.h"
#include "sim/qv63x_document_source.h"

namespace sim {

struct Qv63xFeederOptions {
  bool mirroredSides = false;  // the QV840's transport
  // The QV63x image modules' defaults: front bottom-up from pixel 16, rear top-down from pixel 32.
  documents::SensorGeometry front{16, 832, 896, false, 0};
  documents::SensorGeometry rear{32, 832, 896, true, 0};
  int frontLeadLines = 5;  // raw lines before the document reaches each side's sensor
  int rearLeadLines = 12;
  std::string deviceName = "\\\\.\\KScanDrv-0";  // the name an unplug takes off the bus
};

class Qv63xDocumentFeeder : public Qv63xDocumentSource {
 public:
  // A document the scanner took in, with what the host asked of it.
  struct Fed {
    uint8_t sequence = 0;
    documents::Document document;
    documents::ColourMode mode = documents::ColourMode::kGrey;
    int sampleRate = 0;
    std::array<documents::SideScan, 2> scans;  // point into `document`
    std::array<std::optional<documents::TransferRequest>, 2> transfers;
    int sampleRequests = 0;
  };

  explicit Qv63xDocumentFeeder(documents::DocumentStack stack, Qv63xFeederOptions options = {});

  std::optional<FedDocument> Feed(uint8_t sequence, std::span<const uint8_t> acquisition) override;
  std::vector<uint8_t> Samples(uint8_t sequence) override;
  std::vector<uint8_t> Image(std::span<const uint8_t> transfer) override;

  // Adds documents to the hopper.
  void Push(documents::Document document);
  size_t Waiting() const;
  // Copies the fed document of `sequence` into `out` (its side models then look at out's document);
  // false when it is no longer kept.
  bool Find(uint8_t sequence, Fed* out) const;
  const Qv63xFeederOptions& options() const { return options_; }

 private:
  Fed* Kept(uint8_t sequence);

  mutable std::mutex mutex_;
  documents::DocumentStack stack_;
  Qv63xFeederOptions options_;
  std::deque<std::unique_ptr<Fed>> fed_;  // newest last, at most two
};

// The colour timing an image-acquisition block (type 34 payload) sets up: three channel records are the
// alternative timing; four records lighting one LED each (not all alike) are colour; otherwise grey.
documents::ColourMode ColourModeOfAcquisition(std::span<const uint8_t> acquisition);

}  // namespace sim
