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

// Bits of a QV63x document word (in each status record).
inline constexpr uint16_t kDocStopped = 0x1;
inline constexpr uint16_t kDocFrontReady = 0x04;
inline constexpr uint16_t kDocRearReady = 0x08;
inline constexpr uint16_t kDocSamplesReady = 0x10;
inline constexpr uint16_t kDocDoubleFeed = 0x0400;
inline constexpr uint16_t kDocJam = 0x0800;
inline constexpr uint16_t kDocErrors = 0x1E00;  // every error bit, as a clear-errors command clears them

// Bits of a QV63x sensor word.
inline constexpr uint16_t kSensorDoubleFeed[2] = {0x08, 0x10};  // double-feed sensor 0, sensor 1
inline constexpr uint16_t kSensorJam = 0x40;                    // the jam bit a jammed document sets
inline constexpr uint16_t kSensorJams = 0x60;  // every jam bit, as a clear-errors command clears them

// A document record of the QV63x status block (record A or B).
struct DocumentRecord {
  uint8_t spare = 0;
  uint8_t sequence = 0;
  uint16_t word = 0;  // document word: ready bits, or the error bits of a fault
  uint16_t width = 0;
  uint16_t lines = 0;
  uint16_t firstFront = 0;
  uint16_t firstRear = 0;
  uint16_t samples = 0;
};

// The scanner's report of a fed document (its status record; the scanner fills in the sequence number)
// and what the document did to the scanner.
struct FedDocument {
  DocumentRecord record;
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
