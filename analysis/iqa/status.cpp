// The image-quality entry points and the top-edge check of the document cycle.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "analysis/iqa/iqa_image.h"
#include "analysis/iqa/iqa_status.h"
#include "analysis/iqa/iqa_tests.h"
#include "codec/core/img_desc.h"
#include "codec/core/img_dispatch.h"
#include "imaging/dib_convert.h"
#include "imaging/edge_detect_bw.h"
#include "imaging/image_record.h"
#include "imaging/mcu_callbacks.h"
#include "imaging/packed_dib.h"
#include "platform/paths.h"
#include "zarn/analysis.h"

namespace analysis::iqa {
namespace codec = ::zc::codec;
namespace imaging = ::zc::imaging;
namespace {

int32_t IQAResultTable[kIqaTableSlots] = {};
std::array<uint8_t, 768> gPalette{};
int32_t gHistogram[256] = {};

constexpr uint32_t kNotVerified = 0x1;
constexpr int kOcrVerifyLogParam = 117;
constexpr int kLogGeometry = 0x4;
constexpr size_t kGrayBlockSlack = 8192;
constexpr size_t kLineRoom = 128;

int RunTests(int update, const char* resultName, std::span<uint8_t> record, const IqaTestArgs& a,
             int32_t* results) {
  return TestIQADocument(update, resultName, record, a.mask, a.speckleLimit, a.minMicrQuality, a.cornerLimit,
                         a.codeLine, a.text2, a.confidence, a.endFirst, a.endEnd, a.charHeight, a.minCount,
                         results);
}

// The API's analysis interface: the optical reader and the combination installed there (its placeholder
// until they are built). The interface reports no combination flags of its own; they come from the
// verification's flags source.
class ApiReaders : public TopEdgeReaders {
 public:
  int OcrTiffImage(const char* name, int page, char* line, char* confidence, size_t room) override {
    return zarn::funcOCRTiffImage(name, page, 0, line, confidence, room);
  }
  void CombineMicr(const char* magnetic, const char* optical, const char* confidence, int maxErrors,
                   uint32_t* verifyFlags, int* errors) override {
    char merged[kLineRoom] = {};
    zarn::funcCombineMICR(magnetic, optical, confidence, merged, sizeof merged, maxErrors);
    *verifyFlags = MicrVerifyFlags();
    *errors = 0;
  }
};
ApiReaders gApiReaders;
std::atomic<TopEdgeReaders*> gReaders{nullptr};

TopEdgeReaders& Readers() {
  TopEdgeReaders* r = gReaders.load();
  return r != nullptr ? *r : gApiReaders;
}

// The decoding block of IQAStatusGray: an 8-byte record header, then the rows.
struct GrayBlock {
  std::vector<uint8_t> bytes;
  int width = 0;
  int height = 0;
};

void ContrastAndFocus(const imaging::ConstRecordView& v, int32_t* results) {
  std::fill(std::begin(gHistogram), std::end(gHistogram), 0);
  const int w = v.header.width, h = v.header.height;
  int d = 0;
  if (v.header.bits == 8) {
    for (int y = 0; y + 1 < h; ++y) {
      const uint8_t* row = v.Row(y);
      const uint8_t* below = v.Row(y + 1);
      for (int x = 0; x + 1 < w; ++x) {
        ++gHistogram[row[x]];
        d = std::max({d, std::abs(row[x] - row[x + 1]), std::abs(row[x] - below[x])});
      }
    }
  } else if (v.header.bits == 4) {
    for (int y = 0; y + 1 < h; ++y) {
      const uint8_t* row = v.Row(y);
      const uint8_t* below = v.Row(y + 1);
      for (int x = 0; x + 1 < w; x += 2) {
        const int hi = row[x / 2] & 0xF0;
        ++gHistogram[hi];
        d = std::max({d, std::abs(hi - (below[x / 2] & 0xF0)), std::abs(hi - (row[x / 2] & 0x0F) * 16)});
      }
    }
  }
  const int64_t n = int64_t{w} * h / 100;
  int lo = 0;
  for (int64_t left = n; lo < 256;) {
    left -= gHistogram[lo++];
    if (left <= 0) break;
  }
  int hi = 255;
  for (int64_t left = n; hi >= lo;) {
    left -= gHistogram[hi--];
    if (left <= 0) break;
  }
  int contrast = 0, focus = 0;
  if (lo < hi) {
    contrast = hi - lo;
    focus = static_cast<int>(int64_t{d} * v.header.dpi / (hi - lo));
  }
  results[kSlotContrast] = contrast;
  results[kSlotFocus] = focus;
  LogAt(2, "iContrast %d, iImageFocus %d", contrast, focus);
}

}  // namespace

int IQAStatusEx(const char* name, int page, int update, const char* resultName, const IqaTestArgs& args,
                int32_t* results) {
  if (TraceOn(1)) Log("%s", name != nullptr ? name : "");
  if (LoadIQAMemory(name, page) != 0) return kIqaNotLoadable;
  return RunTests(update != 0 ? 1 : 0, resultName, {}, args, results);
}

int IQAStatusMem(std::span<uint8_t> record, int update, const IqaTestArgs& args, int32_t* results) {
  LogAt(1, "IQAStatusMem");
  if (LoadIQAMemoryFromMem(record) != 0) return kIqaNotLoadable;
  return update != 0 ? RunTests(2, nullptr, record, args, results) : RunTests(0, nullptr, {}, args, results);
}

int IQAStatus(const char* name, int page, int update, const char* resultName, const IqaTestArgs& args) {
  return IQAStatusEx(name, page, update, resultName, args, IQAResultTable);
}

int IQAGetResult(int slot) {
  return slot >= 0 && slot < kIqaTableSlots ? IQAResultTable[slot] : -1;
}

int IQACopyRows(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows,
                uintptr_t userValue) {
  auto* block = reinterpret_cast<GrayBlock*>(userValue);
  if (block == nullptr || rows == nullptr) return 0;
  // Bands span whole rows from column 0; the image width is the stride, and each band must fit the block.
  const int64_t bandWidth = int64_t{endCol} - firstCol;
  if (firstCol != 0 || bandWidth != block->width || firstRow < 0 || endRow > block->height ||
      endRow <= firstRow) {
    return 0;
  }
  const size_t stride = static_cast<size_t>(block->width);
  const size_t at = imaging::kRecordHeaderBytes + static_cast<size_t>(firstRow) * stride;
  const size_t n = static_cast<size_t>(endRow - firstRow) * stride;
  if (at + n > block->bytes.size()) return 0;
  std::memcpy(block->bytes.data() + at, rows, n);
  return 0;
}

int IQAStatusGray(const char* name, std::span<const uint8_t> record, const IqaTestArgs& args,
                  int32_t* results) {
  LogAt(1, "IQAStatusGray");
  int32_t scratch[kIqaTableSlots] = {};
  if (results == nullptr) results = scratch;
  std::fill(results, results + kIqaTableSlots, 0);
  GrayBlock block;
  int64_t fileSize = 0;
  std::span<const uint8_t> source = record;
  if (record.empty()) {
    const int file = name != nullptr ? plat::OpenFileDescriptor(name, O_RDONLY | O_CLOEXEC) : -1;
    if (file < 0) return -1;
    codec::ImgDecompDesc d;
    codec::funcInitDecompDesc(&d);
    d.handle = file;
    d.palette = gPalette.data();
    d.outputColorMode = 1;
    d.fastTransform = 1;
    d.mcuAlloc = imaging::cbMcuAlloc;
    d.mcuGetPtr = imaging::cbMcuGetPtr;
    d.mcuFree = imaging::cbMcuFree;
    if (codec::funcInitDecomp(&d) < 0) {
      Log("Failed funcInitDecomp");
      ::close(file);
      return 3;
    }
    // The record's sides are 16-bit: larger images cannot be described.
    if (d.width < 1 || d.height < 1 || d.width > imaging::kMaxRecordSide ||
        d.height > imaging::kMaxRecordSide) {
      Log("Failed funcDecomp");
      ::close(file);
      return -2;
    }
    block.width = d.width;
    block.height = d.height;
    try {
      block.bytes.assign(static_cast<size_t>(d.width) * d.height + kGrayBlockSlack, 0);
    } catch (const std::bad_alloc&) {
      Log("Failed funcDecomp -  Memory");
      ::close(file);
      return -2;
    }
    d.windowTop = 0;
    d.windowLeft = 0;
    d.windowWidth = d.width;
    d.windowHeight = d.height;
    d.scaleX = d.scaleY = 2048;
    d.display = IQACopyRows;
    d.userValue = reinterpret_cast<uintptr_t>(&block);
    if (codec::funcDecomp(&d) < 0) {
      Log("Failed funcDecomp");
      ::close(file);
      return -2;
    }
    fileSize = ::lseek(file, 0, SEEK_END);
    ::close(file);
    const int dpi = d.xResolution >= 11 ? d.xResolution : (d.height < 433 ? 100 : 200);
    imaging::WriteRecordHeader(block.bytes.data(), {d.width, d.height, 8, dpi});
    source = std::span<const uint8_t>(block.bytes);
  }
  const auto view = imaging::CheckRecord(source);
  int result = 0;
  if ((args.mask & kIqaContrast) != 0 && view) ContrastAndFocus(*view, results);
  if ((args.mask & ~uint32_t{kIqaContrast}) != 0) {
    if (LoadIQAMemoryFromMem(source) != 0) {
      result = kIqaNotLoadable;
    } else {
      result = RunTests(0, nullptr, {}, args, results);
    }
  }
  results[kSlotCompressedSize] = static_cast<int32_t>(std::clamp<int64_t>(fileSize, 0, INT32_MAX));
  return result;
}

int IQAStatusGrayFile(const char* name, int /*page*/, int /*update*/, const char* /*resultName*/,
                      const IqaTestArgs& args) {
  return IQAStatusGray(name, {}, args, IQAResultTable);
}

void SetTopEdgeReaders(TopEdgeReaders* readers) {
  gReaders.store(readers);
}

const char* TopEdgeTempName() {
  static thread_local std::string name;
  char folder[257] = {};
  const uint32_t n = plat::GetTempPathA(sizeof folder, folder);
  std::string path = n > 0 && n < sizeof folder ? std::string(folder, n) : std::string();
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  name = path + "PVNXMICR.tif";
  return name.c_str();
}

int IQAStatusCombTopEdge(std::span<const uint8_t> dib, const char* codeLine) {
  LogAt(1, "IQAStatusCombTopEdge");
  if (IQAConvDIBToBW(dib) != 0) return kIqaNotLoadable;
  int32_t results[kIqaTableSlots] = {};
  TestIQADocument(0, nullptr, {}, kIqaSkew | kIqaCorners | kIqaDoubleTopEdge, 0, 0, 75, nullptr, nullptr,
                  nullptr, 0, 0, 0, 0, results);
  if ((Param(kOcrVerifyLogParam) & kLogGeometry) != 0) {
    LocalLog("Skew %d, Corners (%d,%d,%d,%d), TopEdge %d", results[kSlotSkewAngle], results[kSlotCornerTL],
             results[kSlotCornerTR], results[kSlotCornerBL], results[kSlotCornerBR],
             results[kSlotDoubleTopEdge]);
  }
  const bool cornersOk = std::max({results[kSlotCornerTL], results[kSlotCornerTR], results[kSlotCornerBL],
                                   results[kSlotCornerBR]}) < 76;
  if (!(results[kSlotSkewAngle] < 31 && cornersOk && results[kSlotDoubleTopEdge] < 1)) return 1;
  if (codeLine == nullptr || codeLine[0] == '\0') return 0;

  const char* tempName = TopEdgeTempName();
  // The record is the DIB's own pixels at its depth: size the work buffer from the DIB.
  imaging::PackedDibInfo info{};
  if (imaging::ReadPackedDib(dib, &info) != 0) return 2;
  const int64_t recordBytes = imaging::RecordByteSize({info.width, info.height, info.bitCount, 200});
  if (recordBytes <= 0) return 2;
  std::vector<uint8_t> work;
  try {
    work.assign(static_cast<size_t>(recordBytes), 0);
  } catch (const std::bad_alloc&) {
    return 2;
  }
  // The conversion may write its own optical reading into the code-line buffer: give it a copy.
  char line[kLineRoom] = {};
  std::snprintf(line, sizeof line, "%s", codeLine);
  // The conversion reads the DIB; it takes a writable span only because other callers convert in place.
  const std::span<uint8_t> dibBytes(const_cast<uint8_t*>(dib.data()), dib.size());
  const int size = imaging::funcDIBToImage(dibBytes, work, 0, 0, 0, 0, 200, line, sizeof line);
  if (size < 0) return 2;
  // The name is fixed and the folder shared: replace any previous file by one created here.
  plat::DeleteFile(tempName);
  const int created =
      plat::OpenFileDescriptor(tempName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (created < 0) return 2;
  ::close(created);
  if (imaging::funcEdgeDetectBW(std::span<const uint8_t>(work.data(), static_cast<size_t>(size)), tempName,
                                600, 0x53) < 0) {
    return 2;
  }
  char optical[kLineRoom] = {};
  char confidence[kLineRoom] = {};
  if (Readers().OcrTiffImage(tempName, 1, optical, confidence, kLineRoom) != 0) return 3;
  uint32_t flags = 0;
  int errors = 0;
  Readers().CombineMicr(codeLine, optical, confidence, -3, &flags, &errors);
  if ((flags & kNotVerified) != 0) return 0;
  return errors > 3 ? 5 : 0;
}

}  // namespace analysis::iqa
