// JPEG compression formats over the codec interface: reads the caller's descriptor, keeps the compressor in
// the descriptor's JPEG state, writes through the codec's stream layer (file or memory target) and keeps a
// progressive image's coefficients in the caller's store callbacks, or on the heap when none are given.
#include "codec/jpeg/jpeg_comp_format.h"

#include <memory>
#include <new>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/jpeg/cpu_features.h"
#include "codec/jpeg/jpeg_compressor.h"
#include "codec/jpeg/jpeg_errors.h"

namespace zc::codec {
namespace {

using jpeg::CoefficientStore;
using jpeg::JpegCompressor;
using jpeg::JpegCompressSettings;

// The caller's store callbacks (16-bit counts and sizes, as the image layer's MCU store has them).
class CallbackCoefficientStore final : public CoefficientStore {
 public:
  CallbackCoefficientStore(McuAllocFn alloc, McuGetPtrFn get, McuFreeFn free)
      : alloc_(alloc), get_(get), free_(free) {}
  bool Allocate(uint16_t mcus, uint16_t bytes_per_mcu) override {
    mcus_ = mcus;
    size_ = bytes_per_mcu;
    handle_ = alloc_(mcus, bytes_per_mcu);
    return handle_ != nullptr;
  }
  uint8_t* Mcu(uint16_t index) override {
    return index < mcus_ ? static_cast<uint8_t*>(get_(mcus_, size_, handle_, index)) : nullptr;
  }
  bool Release() override {
    void* handle = handle_;
    handle_ = nullptr;
    return handle == nullptr || free_(mcus_, size_, handle) != 0;
  }

 private:
  McuAllocFn alloc_;
  McuGetPtrFn get_;
  McuFreeFn free_;
  void* handle_ = nullptr;
  uint16_t mcus_ = 0, size_ = 0;
};

JpegCompressor* StateOf(ImgCompDesc* desc) {
  return static_cast<JpegCompressor*>(desc->jpegState);
}

int Start(ImgCompDesc* desc, bool gray, bool progressive) {
  if (desc->handle == 0) return imgFail(kImgErrFileHandle);
  desc->progressive = progressive ? 1 : 0;
  // The processor test replaces the fast transform flag; the kernels do not depend on it.
  if (desc->fastTransform != 0) desc->fastTransform = static_cast<uint8_t>(jpeg::CpuHasMmx());

  // The descriptor was cleared by funcInitCompDesc; a previous run's state is gone with its end.
  auto* compressor = new (std::nothrow) JpegCompressor();
  desc->jpegState = compressor;
  if (compressor == nullptr) return imgFail(kImgErrNoMemory);

  JpegCompressSettings s;
  s.gray = gray;
  s.progressive = progressive;
  s.width = desc->width;
  s.height = desc->height;
  s.bits_per_pixel = desc->bitsPerPixel;
  s.palette = desc->palette;
  s.palette_entries = desc->paletteEntries;
  s.quality = desc->quality;
  s.restart_option = desc->restartOption != 0;
  s.jfif = desc->jfifFlag != 0;
  s.x_density = desc->densityX;
  s.y_density = desc->densityY;
  s.density_units = desc->densityUnits;
  for (const char* const* c = desc->comments; c != nullptr && *c != nullptr; ++c) s.comments.emplace_back(*c);

  std::unique_ptr<CoefficientStore> store;
  if (progressive && desc->mcuAlloc && desc->mcuGetPtr && desc->mcuFree) {
    store = std::make_unique<CallbackCoefficientStore>(desc->mcuAlloc, desc->mcuGetPtr, desc->mcuFree);
  }
  auto sink = [desc](const uint8_t* data, size_t n) -> size_t {
    ImgCurrentCompDesc = desc;
    const int64_t written = funcCompWrite(desc, data, n);
    return written < 0 ? 0 : static_cast<size_t>(written);
  };
  const int rc = compressor->Start(s, sink, std::move(store));
  if (rc != 0) return imgFail(rc);
  ImgCurrentCompDesc = desc;
  desc->lineWriter = progressive ? funcProgCompLines : funcJpegCompLines;
  return 0;
}

int CompLines(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows) {
  ImgCompDesc* desc = ImgCurrentCompDesc;
  if (desc == nullptr || StateOf(desc) == nullptr) {
    iImgError = kImgErrNullPointer;
    return kImgErrNullPointer;
  }
  const int rc = StateOf(desc)->WriteRows(firstCol, firstRow, endCol, endRow, rows);
  if (rc != 0) iImgError = rc;
  return rc;
}

int End(ImgCompDesc* desc) {
  JpegCompressor* compressor = StateOf(desc);
  if (compressor == nullptr) return iImgError == 0 ? 0 : -1;
  const int rc = compressor->Finish();
  delete compressor;
  desc->jpegState = nullptr;
  if (rc != 0) return imgFail(rc);
  return iImgError == 0 ? 0 : -1;
}

constexpr ImgCompFormat kFormats[] = {
    {"JPEGG", funcJpegGrayStartComp, funcJpegEndComp},
    {"JPEG", funcJpegStartComp, funcJpegEndComp},
    {"PROGG", funcProgGrayStartComp, funcProgEndComp},
    {"PROG", funcProgStartComp, funcProgEndComp},
};

}  // namespace

int funcJpegStartComp(ImgCompDesc* desc) {
  return Start(desc, false, false);
}
int funcJpegGrayStartComp(ImgCompDesc* desc) {
  return Start(desc, true, false);
}
int funcProgStartComp(ImgCompDesc* desc) {
  return Start(desc, false, true);
}
int funcProgGrayStartComp(ImgCompDesc* desc) {
  return Start(desc, true, true);
}

int funcJpegCompLines(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows) {
  return CompLines(firstCol, firstRow, endCol, endRow, rows);
}
int funcProgCompLines(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows) {
  return CompLines(firstCol, firstRow, endCol, endRow, rows);
}

int funcJpegEndComp(ImgCompDesc* desc) {
  return End(desc);
}
int funcProgEndComp(ImgCompDesc* desc) {
  return End(desc);
}

std::span<const ImgCompFormat> jpegCompFormats() {
  return kFormats;
}

}  // namespace zc::codec
