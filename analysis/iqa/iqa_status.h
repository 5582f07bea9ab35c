// The image-quality entry points: each loads the IQA image from one kind of source and runs
// TestIQADocument on it; two keep their results in the module's own table, fetched slot by slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace analysis::iqa {

inline constexpr int kIqaNotLoadable = -103;

// TestIQADocument's arguments from the test mask on.
struct IqaTestArgs {
  uint32_t mask = 0;
  int speckleLimit = 0;
  int minMicrQuality = 0;
  int cornerLimit = 0;
  const char* codeLine = nullptr;
  const char* text2 = nullptr;
  const char* confidence = nullptr;
  int endFirst = 0;
  int endEnd = 0;
  int charHeight = 0;
  int minCount = 0;
};

int IQAStatusEx(const char* name, int page, int update, const char* resultName, const IqaTestArgs& args,
                int32_t* results);
// The record is analysed, and with `update` non-zero replaced in its own buffer by the cleaned 1-bit image.
int IQAStatusMem(std::span<uint8_t> record, int update, const IqaTestArgs& args, int32_t* results);
int IQAStatus(const char* name, int page, int update, const char* resultName, const IqaTestArgs& args);
int IQAGetResult(int slot);
// A compressed file decoded to gray (`record` empty), or a caller's 4- or 8-bit record; `results` has 32
// slots.
int IQAStatusGray(const char* name, std::span<const uint8_t> record, const IqaTestArgs& args,
                  int32_t* results);
int IQAStatusGrayFile(const char* name, int page, int update, const char* resultName,
                      const IqaTestArgs& args);
// The codec's display callback of IQAStatusGray; `userValue` is its decoding block.
int IQACopyRows(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows, uintptr_t userValue);

// What the top-edge check needs of the optical reader and the code-line combination.
class TopEdgeReaders {
 public:
  virtual ~TopEdgeReaders() = default;
  // Reads the code line of a 1-bit TIFF page: 0 read, else the reader's error.
  virtual int OcrTiffImage(const char* name, int page, char* line, char* confidence, size_t room) = 0;
  // Merges the optical line into the magnetic one; reports the combination's flags and error count.
  virtual void CombineMicr(const char* magnetic, const char* optical, const char* confidence, int maxErrors,
                           uint32_t* verifyFlags, int* errors) = 0;
};
// Null restores the default, which calls the API's analysis interface.
void SetTopEdgeReaders(TopEdgeReaders* readers);

// The top-edge check of a scanned front PackedDIB against its magnetic code line: -103 not loadable; 0
// passed; 1 skew, corner or top edge failed; 2 no memory or the conversion failed; 3 the line could not be
// read optically; 5 the optical line differs from the magnetic one.
int IQAStatusCombTopEdge(std::span<const uint8_t> dib, const char* codeLine);

// The temporary TIFF the top-edge check reads the line from.
const char* TopEdgeTempName();

}  // namespace analysis::iqa
