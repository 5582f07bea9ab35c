// What the API, its QV600 back-end, the image records and the demonstration use of document analysis:
// the template-matching magnetic decoder, the optical code-line readers, the merge of magnetic and optical
// lines, the image-quality check, the expected-document lookup and the verified scan.
//
// The analysis subsystem implements `AnalysisServices` and installs it once at start-up; until then a
// placeholder answers that decodes and finds nothing. The call sites use the free functions below, which
// forward to the installed services. Magnetic decoding is per connection: each connection opens its own
// `AnalysisState` (decoder set-up and buffers) and drops it when it closes; each decoded document's results
// are published whole under the state's lock, so a reader on another thread never sees two documents mixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace zarn {

inline constexpr size_t kCodeLineRoom = 100;           // magnetic line and confidence buffers
inline constexpr size_t kMicrCharacterPositions = 100;  // character table: positions in the sample stream
inline constexpr size_t kIqaResultsCount = 32;          // IQAResults entries at least

// One document's results of the magnetic decoder. Texts are NUL-terminated, at most 99 characters.
struct MagneticMicrResults {
  char line[kCodeLineRoom] = {};              // '@' rejects, blanks for gaps
  char confidence[kCodeLineRoom] = {};        // one digit per character
  int32_t positions[kMicrCharacterPositions] = {};
  char secondLine[kCodeLineRoom] = {};
  char secondConfidence[kCodeLineRoom] = {};
};

// A connection's magnetic decoder: set-up and buffers of its own.
class MagneticDecoder {
 public:
  virtual ~MagneticDecoder() = default;
  // Decodes one document's 16-bit samples into `out` (cleared by the caller).
  virtual void Decode(const uint16_t* samples, size_t byteCount, MagneticMicrResults& out) = 0;
};

// The verified scan's arguments; null names write no such image, a null status record is allowed. The last
// argument is the document status record the verified scan fills (32 slots), not a record of settings: its
// settings always come from the API parameters (options 156, contrasts 147 to 149), and no layout for such
// a record exists to choose them otherwise.
struct VEKScanRequest {
  const char* frontBwTiff = nullptr;
  const char* rearBwTiff = nullptr;
  const char* frontImage = nullptr;  // gray or colour
  const char* rearImage = nullptr;
  char* codeLine = nullptr;  // out, `codeLineSize` bytes of room
  size_t codeLineSize = 0;
  int32_t* iqaStatus = nullptr;           // out
  int32_t* contrast = nullptr;            // out
  int32_t* documentStatus = nullptr;      // out, 32 slots, may be null
};

class AnalysisServices {
 public:
  virtual ~AnalysisServices() = default;

  virtual std::unique_ptr<MagneticDecoder> OpenMagneticDecoder() = 0;
  // Index into the expected-document list of the first entry matching the code line, -1 for none.
  virtual int ExpectFind(const char* codeLine) = 0;
  // Image-quality and optical check of the front PackedDIB against the code line: 0 when both pass.
  virtual int StatusCombTopEdge(const void* frontDib, const char* codeLine) = 0;
  // Frees what the verified scan keeps between documents; harmless when nothing is held.
  virtual void ReleaseMemory() = 0;
  // The verification status of the last combination, 0 to 3.
  virtual int MicrVerifyStatus() = 0;
  // Optical E13B reading of a 1-bit image record (`recordSize` bytes with its 8-byte header): 0 on success.
  virtual int OcrRawImage(const uint8_t* record, size_t recordSize, char* line, char* confidence,
                          size_t room) = 0;
  // The same on a 1-bit TIFF page, by file name or "MD:" reference: 0 read, 1 cannot open, 2 not a usable
  // TIFF, 3 resolution or height out of range, 4 no memory, 5 decode error, 6 too few characters.
  virtual int OcrTiffImage(const char* name, int page, int decoderOption, char* line, char* confidence,
                           size_t room) = 0;
  // Merges the optical reading into the magnetic line (max errors -4: the simple merge): 1 on bad input,
  // else 0.
  virtual int CombineMicr(const char* magnetic, const char* optical, const char* opticalConfidence,
                          char* merged, size_t room, int maxErrors) = 0;
  // The verified scan: 0 or more on success, a negative status code on failure.
  virtual int Scan(const VEKScanRequest& request) = 0;
};

// Installs the analysis subsystem; null restores the placeholder. Install before connections open.
void InstallAnalysisServices(AnalysisServices* services);
AnalysisServices& Analysis();
// The answers given while nothing is installed, for an installed subsystem to fall back on for the calls
// it does not implement yet.
AnalysisServices& PlaceholderAnalysis();

// A connection's analysis state: its magnetic decoder and the last published document's results.
class AnalysisState {
 public:
  explicit AnalysisState(std::unique_ptr<MagneticDecoder> decoder);
  // Decodes and publishes one document; copies its line and confidence to the caller's 100-byte buffers
  // (either may be null).
  void Decode(const uint16_t* samples, size_t byteCount, char* line, char* confidence);
  // A copy of the last published document's results.
  MagneticMicrResults Results() const;

 private:
  std::mutex decodeMutex_;
  std::unique_ptr<MagneticDecoder> decoder_;
  mutable std::mutex resultsMutex_;
  MagneticMicrResults published_;
};

// Opens a connection's analysis state from the installed services; dropping the pointer drops the state.
std::unique_ptr<AnalysisState> OpenAnalysisState();

// ---- The call sites' names ----------------------------------------------------------------------------
void funcDecodeMagneticMICR(AnalysisState& state, const uint16_t* samples, int byteCount, char* line,
                            char* confidence);
// Copies the last results (character table: 100 positions); returns the first line's length.
int funcGetMagneticMICRResults(const AnalysisState& state, char* line, char* confidence, int32_t* positions,
                               char* secondLine, char* secondConfidence);
int VEKScanExpectFind(const char* codeLine);
int IQAStatusCombTopEdge(const void* frontDib, const char* codeLine);
void VEKScanReleaseMemory();
int funcGetMICRVerifyStatus();
int funcOCRRawImage(const uint8_t* record, size_t recordSize, char* line, char* confidence, size_t room);
int funcOCRTiffImage(const char* name, int page, int decoderOption, char* line, char* confidence, size_t room);
int funcCombineMICR(const char* magnetic, const char* optical, const char* opticalConfidence, char* merged,
                    size_t room, int maxErrors);
int VEKScan(const VEKScanRequest& request);

}  // namespace zarn
