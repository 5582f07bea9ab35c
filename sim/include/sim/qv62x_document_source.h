// Qv62xDocumentSource: where a simulated QV62x scanner's documents come from. An enable takes the next
// document in; the scanner reports its counts and answers the host's sample and raw-image requests from
// it. Without a source the scanner only reports what a test sets.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

// What the scanner reports of a fed document.
struct Qv62xFed {
  uint16_t lines = 0;     // N
  uint16_t distance = 0;  // D
  uint16_t leadIn = 0;    // L
  uint16_t trailing = 0;  // T
  uint16_t samples = 0;   // 16-bit samples
  bool jam = false;       // the sheet still lies under the sensors when the data ends
  bool doubleFeed = false;
  bool unplug = false;    // the scanner leaves the bus with it inside
};

class Qv62xDocumentSource {
 public:
  virtual ~Qv62xDocumentSource() = default;
  // The next document, fed in colour or grey; nullopt while the hopper is empty.
  virtual std::optional<Qv62xFed> Feed(bool colour) = 0;
  // The last fed document's sample bytes and raw pairs (with no paper from its line 60 on for an entry jam).
  virtual std::vector<uint8_t> Samples() = 0;
  virtual std::vector<uint8_t> Raw(bool entryJam) = 0;
};

}  // namespace sim
