// The magnetic template decoder of method "KR": one context per scanner connection holds the scanner's
// classification (made on its first decode), the work buffers and the results kept for the document
// cycle. Each decode publishes its results as one record under the context's lock, and the copy-out
// takes the same lock, so a copy never mixes two documents.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/micr/char_record.h"
#include "analysis/micr/conditioner.h"
#include "analysis/micr/framer.h"

namespace analysis {
class Services;
}

namespace analysis::micr {

inline constexpr int kLineBuffer = 100;      // bytes of each line and confidence buffer
inline constexpr int kTableBytes = 400;      // 100 little-endian unsigned 32-bit sample positions
inline constexpr int kMaxFromRecords = 80;   // characters taken from records; a gap blank may follow

// The scanner's classes: the sample format of conditioning (model class) and the rate, direction and
// framing thresholds (rate class).
struct ScannerClasses {
  int modelClass = 3;
  int rateClass = 3;
};
// Classifies from the scanner's inquiry, asking `services` as the first decode of a connection does.
ScannerClasses ClassifyScanner(Services& services);

// The results kept from the last document.
struct KeptResults {
  std::array<char, kLineBuffer> peaksLine{};
  std::array<char, kLineBuffer> peaksConf{};
  std::array<uint32_t, kLineBuffer> table{};
  std::array<char, kLineBuffer> signalLine{};
  std::array<char, kLineBuffer> signalConf{};
};

class MagneticDecoder {
 public:
  MagneticDecoder();
  ~MagneticDecoder();
  MagneticDecoder(const MagneticDecoder&) = delete;
  MagneticDecoder& operator=(const MagneticDecoder&) = delete;

  // Decodes one document's samples (`byteCount` bytes of 16-bit words, conditioned in place) into
  // `codeLine` and `confidence` (100 bytes each); returns the line's length, 0 when nothing was read.
  int32_t Decode(uint16_t* samples, int32_t byteCount, char* codeLine, char* confidence);
  // Copies the kept results (100, 100, 400, 100, 100 bytes; a null buffer is skipped); returns the
  // length of the first try's line.
  int32_t CopyResults(char* peaksLine, char* peaksConf, uint8_t* table, char* signalLine, char* signalConf) const;
  KeptResults Results() const;

  bool classified() const;
  ScannerClasses classes() const;

 private:
  struct Work;
  mutable std::mutex decodeMutex_;   // one document at a time; guards the work state
  mutable std::mutex resultsMutex_;  // guards kept_
  std::unique_ptr<Work> work_;
  KeptResults kept_;
};

// A decoder context for one connection; dropping the pointer drops the context.
std::unique_ptr<MagneticDecoder> OpenMagneticDecoder();
// The context used until a back-end opens its own per connection.
MagneticDecoder& DefaultMagneticDecoder();

// Entry points with the document cycle's signatures: on a given context, or on the default one.
int32_t funcDecodeMagneticMICR(MagneticDecoder& decoder, uint16_t* samples, int32_t byteCount, char* codeLine,
                               char* confidence);
int32_t funcDecodeMagneticMICR(uint16_t* samples, int32_t byteCount, char* codeLine, char* confidence);
int32_t funcGetMagneticMICRResults(const MagneticDecoder& decoder, char* peaksLine, char* peaksConf,
                                   uint8_t* characterTable, char* signalLine, char* signalConf);
int32_t funcGetMagneticMICRResults(char* peaksLine, char* peaksConf, uint8_t* characterTable, char* signalLine,
                                   char* signalConf);

// Reads entry `n` of a 400-byte character table.
uint32_t TableEntry(std::span<const uint8_t> table, int n);

}  // namespace analysis::micr
