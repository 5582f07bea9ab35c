// Qv63xDocumentSource: where a simulated QV63x scanner's documents come from. At each start feed the
// scanner asks it for the next document, and it answers the host's requests for that document's magnetic
// samples (block 38) and image lines (block 37). Without a source the scanner only reports the records a
// test queues or sets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

// The scanner's report of a fed document (its status record, without the sequence number) and what the
// document did to the scanner.
struct FedDocument {
  uint16_t word = 0;  // document word: ready bits, or the error bits of a fault
  uint16_t width = 0;
  uint16_t lines = 0;
  uint16_t firstFront = 0;
  uint16_t firstRear = 0;
  uint16_t samples = 0;
  uint16_t sensor = 0;  // sensor bits the document leaves set (double feed, jam)
  bool error = false;   // the scanner stops with its error bit
};

class Qv63xDocumentSource {
 public:
  virtual ~Qv63xDocumentSource() = default;
  // The document a start feed with `sequence` takes in, given the image-acquisition block (type 34
  // payload) the host sent last; nullopt while the hopper is empty.
  virtual std::optional<FedDocument> Feed(uint8_t sequence, std::span<const uint8_t> acquisition) = 0;
  // The magnetic sample bytes of the document fed with `sequence` (empty for an unknown one).
  virtual std::vector<uint8_t> Samples(uint8_t sequence) = 0;
  // The raw lines an image-transfer block (type 37 payload) asks for (empty when refused).
  virtual std::vector<uint8_t> Image(std::span<const uint8_t> transfer) = 0;
};

}  // namespace sim
