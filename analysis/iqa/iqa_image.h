// The image-quality module's one black-and-white image (`IQAImage`), its bounds-safe pixel access, the
// three loaders that fill it (TIFF G4 file or "MD:" memory image, ImageRecord, packed DIB), the clean-up
// passes and the writer of the result image, the size comparison and the table of standard sizes.
// Module state, one instance, not thread-safe: the callers run one document at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace analysis::iqa {

inline constexpr int kBadArguments = -552;
inline constexpr int kNoDibPixels = -105;
// Bytes allocated beyond the rows; most of it is cleared with them.
inline constexpr size_t kPixelSlack = 36000;
inline constexpr size_t kClearedSlack = 32000;
// Widths and heights from 65529 on would wrap when rounded up to whole bytes in 16 bits.
inline constexpr int64_t kMaxSide = 65528;

struct IQAImage {
  int32_t width = 0;  // multiple of 8
  int32_t height = 0;
  int32_t rowBytes = 0;
  int32_t xDpi = 200;
  int32_t yDpi = 200;
  int32_t compressedSize = -1;  // the loaded strip's bytes, -1 from memory; the written file's after a result
  std::vector<uint8_t> pixels;  // empty: no image held
  bool held() const { return !pixels.empty(); }
  uint8_t* Row(int r) { return pixels.data() + static_cast<size_t>(r) * static_cast<size_t>(rowBytes); }
  const uint8_t* Row(int r) const {
    return pixels.data() + static_cast<size_t>(r) * static_cast<size_t>(rowBytes);
  }
};

namespace detail {
extern IQAImage gImage;  // the module's image; reach it through Image()
}
inline IQAImage& Image() {
  return detail::gImage;
}
void FreeImage();
// Allocates and clears a width x height image (width rounded up to whole bytes): false without memory.
bool AllocateImage(int64_t width, int64_t height);

// Outside the image a pixel reads white; writes outside are ignored.
inline int IQAGetPixel(int column, int row) {
  const IQAImage& im = detail::gImage;
  if (column < 0 || row < 0 || column >= im.width || row >= im.height || !im.held()) return 0;
  return (im.Row(row)[column >> 3] >> (7 - (column & 7))) & 1;
}
inline void IQASetPixel(int column, int row) {
  IQAImage& im = detail::gImage;
  if (column < 0 || row < 0 || column >= im.width || row >= im.height || !im.held()) return;
  im.Row(row)[column >> 3] |= static_cast<uint8_t>(0x80 >> (column & 7));
}
inline void IQAClearPixel(int column, int row) {
  IQAImage& im = detail::gImage;
  if (column < 0 || row < 0 || column >= im.width || row >= im.height || !im.held()) return;
  im.Row(row)[column >> 3] &= static_cast<uint8_t>(~(0x80 >> (column & 7)));
}

struct StandardSize {
  int32_t width = 0;  // tenths of an inch
  int32_t height = 0;
};
struct IQAStandardSizeTable {
  StandardSize entries[32] = {};
  int32_t count = 0;
  int32_t tolerance = 0;
};
IQAStandardSizeTable& StandardSizes();

// 0 loaded; 1 cannot open or memory header unreadable; 2 page header unreadable; 3 resolution, height or
// width refused; 4 no memory; 5 image data damaged (the partly decoded image stays held).
int LoadIQAMemory(const char* name, int page);
// An ImageRecord (8-byte header and rows) in a buffer of record.size() bytes: 0; 3 refused; 4 no memory.
int LoadIQAMemoryFromMem(std::span<const uint8_t> record);
// A packed DIB in a buffer of dib.size() bytes: 0; -105 no pixel data or unusable sides; 4 no memory.
int IQAConvDIBToBW(std::span<const uint8_t> dib);

// 1 when no image is held, else 0; frees the image. `record` receives a 1-bit ImageRecord when not empty,
// `name` a TIFF G4 file when `update` is non-zero. `written` (optional) tells whether the file was written.
int IQAWriteResultImage(std::span<uint8_t> record, const char* name, int update, bool* written = nullptr);
int IQACleanBorders(int mode);
void IQASmoothImage();

// Both records given (spans not empty), or both file names: 0 sizes agree, 1 widths differ, 2 heights
// differ, -552 bad arguments or an unreadable file.
int IQACompareImageSizes(std::span<const uint8_t> recordA, const char* nameA,
                         std::span<const uint8_t> recordB, const char* nameB, int tenths);
int SetStandardCheckSizes(int count, int index, int width, int height, int tolerance);
int SetStandardCheckSizesAll(int count, const int32_t* widths, const int32_t* heights, int tolerance);

// Trace helpers over the installed analysis services.
bool TraceOn(int level);
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogAt(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LocalLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
int32_t Param(int32_t id);

}  // namespace analysis::iqa
