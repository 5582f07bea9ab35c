// JPEG decompression over the codec interface: reads through the codec's stream layer (file or memory
// source), maps the descriptor's window, scale and output modes onto the decoder's request, hands bands to
// the caller's display function and keeps a progressive picture's coefficients in the caller's store
// callbacks (or the decoder's own store when none are given). Decoder errors become iImgError codes here.
#include "codec/jpeg/decoder/jpeg_decomp_format.h"

#include <cstring>
#include <memory>
#include <new>

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"
#include "codec/formats/color_cube.h"
#include "codec/formats/color_map.h"
#include "codec/jpeg/cpu_features.h"
#include "codec/jpeg/decoder/jpeg_decode.h"
#include "codec/jpeg/decoder/jpeg_error.h"
#include "codec/jpeg/decoder/jpeg_markers.h"

namespace zc::codec {
namespace {

using jpegdec::JpegError;

// The descriptor's source from its current position on.
class DescSource final : public jpegdec::ByteSource {
 public:
  explicit DescSource(ImgDecompDesc* desc) : desc_(desc) {}
  size_t Read(uint8_t* dst, size_t count) override {
    int64_t got = funcDecompRead(desc_, dst, count);
    return got > 0 ? static_cast<size_t>(got) : 0;
  }

 private:
  ImgDecompDesc* desc_;
};

// The caller's store callbacks; counts, sizes and indexes are 16-bit by their form.
class CallbackStore final : public jpegdec::CoefStore {
 public:
  CallbackStore(const ImgDecompDesc* desc, uint32_t mcus, uint32_t bytes_per_mcu)
      : get_(desc->mcuGetPtr),
        free_(desc->mcuFree),
        mcus_(static_cast<uint16_t>(mcus)),
        size_(static_cast<uint16_t>(bytes_per_mcu)) {
    handle_ = desc->mcuAlloc(mcus_, size_);
    if (!handle_) jpegdec::Fail(jpegdec::kErrStoreAlloc);
  }
  ~CallbackStore() override {
    // Failure paths release the store too.
    if (handle_) free_(mcus_, size_, handle_);
  }
  CallbackStore(const CallbackStore&) = delete;
  CallbackStore& operator=(const CallbackStore&) = delete;

  int16_t* Mcu(uint32_t index) override {
    if (index >= mcus_) jpegdec::Fail(jpegdec::kErrStorePtr);
    void* p = get_(mcus_, size_, handle_, static_cast<uint16_t>(index));
    if (!p || reinterpret_cast<uintptr_t>(p) % alignof(int16_t) != 0) jpegdec::Fail(jpegdec::kErrStorePtr);
    return static_cast<int16_t*>(p);
  }
  void Finish() override {
    void* h = handle_;
    handle_ = nullptr;
    if (free_(mcus_, size_, h) == 0) jpegdec::Fail(jpegdec::kErrMemory);
  }

 private:
  McuGetPtrFn get_;
  McuFreeFn free_;
  uint16_t mcus_;
  uint16_t size_;
  void* handle_ = nullptr;
};

// Mapped colour output (kinds 0 and 2): the codec's colour map reduces each band's RGB rows to cube
// palette indexes by the descriptor's dither mode. The map is built at the first band, when the window
// width is known, and carries its dither state from band to band.
class CubeMapper final : public jpegdec::BandMapper {
 public:
  CubeMapper(uint8_t dither, int colors, uint8_t* palette)
      : dither_(dither <= 2 ? dither : 0), colors_(colors), palette_(palette) {}
  ~CubeMapper() override { funcFreeColorMap(&map_); }
  CubeMapper(const CubeMapper&) = delete;
  CubeMapper& operator=(const CubeMapper&) = delete;

  void Map(const uint8_t* rgb, int width, int rows, uint8_t* out) override {
    if (!ready_) {
      map_ = ImgColorMap{};
      map_.components = 3;
      map_.ditherMode = dither_;
      map_.colors = static_cast<uint16_t>(colors_);
      map_.palette = palette_;
      map_.lineWidth = width;
      if (funcInitColorMap(&map_) < 0) jpegdec::Fail(iImgError ? iImgError : kImgErrNoMemory);
      ready_ = true;
    }
    mapLines(&map_, rows, rgb, out);
  }

 private:
  ImgColorMap map_{};
  bool ready_ = false;
  uint8_t dither_;
  int colors_;
  uint8_t* palette_;
};

int Decode(ImgDecompDesc* desc) {
  iImgError = 0;
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  if (funcDecompSeek(desc, desc->startOffset, 0) < 0) return imgFail(kImgErrSeek);
  jpegdec::OutputRequest req;
  req.top = desc->windowTop;
  req.left = desc->windowLeft;
  req.width = desc->windowWidth;
  req.height = desc->windowHeight;
  req.xscale = desc->scaleX;
  req.yscale = desc->scaleY;
  req.kind = desc->outputColorMode;
  req.dither = desc->ditherMode;
  req.colors = static_cast<uint16_t>(desc->colors > 0 && desc->colors < 256 ? desc->colors : 256);
  for (int i = 0; i < 4; ++i) {
    req.adjust.offset[i] = desc->colorOffsets[i];
    req.adjust.gain[i] = desc->colorGains[i];
  }
  jpegdec::DisplaySink sink = [desc](int c0, int r0, int c1, int r1, const uint8_t* rows) -> int {
    if (desc->display == nullptr) return 0;
    int result = desc->display(c0, r0, c1, r1, rows, desc->userValue);
    desc->displayResult = static_cast<uint32_t>(result);
    desc->currentRow = static_cast<uint16_t>(r1);
    return result;
  };
  jpegdec::StoreFactory store;
  if (desc->mcuAlloc && desc->mcuGetPtr && desc->mcuFree) {
    store = [desc](uint32_t mcus, uint32_t bytes) -> std::unique_ptr<jpegdec::CoefStore> {
      return std::make_unique<CallbackStore>(desc, mcus, bytes);
    };
  }
  DescSource source(desc);
  try {
    std::unique_ptr<CubeMapper> cube;
    const uint8_t kind = desc->outputColorMode > jpegdec::kKindRgbSwap ? 0 : desc->outputColorMode;
    if (kind == jpegdec::kKindMapped || kind == jpegdec::kKindMappedSwap) {
      cube = std::make_unique<CubeMapper>(desc->ditherMode, desc->colors > 0 ? desc->colors : 256,
                                          desc->palette);
    }
    jpegdec::DecodeJpeg(source, req, cube.get(), sink, store);
  } catch (const JpegError& e) {
    funcJpegFreeDecode(desc);
    return imgFail(e.code);
  } catch (const std::bad_alloc&) {
    funcJpegFreeDecode(desc);
    return imgFail(kImgErrNoMemory);
  }
  funcJpegFreeDecode(desc);
  return 0;
}

}  // namespace

int funcJpegInfo(ImgDecompDesc* desc) {
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  std::memset(desc->tag, 0, sizeof(desc->tag));
  std::memcpy(desc->tag, "JPEG", 4);
  const uint32_t entry_position = desc->position;
  if (funcDecompSeek(desc, desc->startOffset, 0) < 0) return imgFail(kImgErrSeek);
  jpegdec::JpegInfo info;
  DescSource source(desc);
  try {
    info = jpegdec::ReadJpegInfo(source);
  } catch (const JpegError& e) {
    funcDecompSeek(desc, entry_position, 0);
    return imgFail(e.code);
  } catch (const std::bad_alloc&) {
    funcDecompSeek(desc, entry_position, 0);
    return imgFail(kImgErrNoMemory);
  }
  funcDecompSeek(desc, entry_position, 0);
  desc->width = info.width;
  desc->height = info.height;
  desc->components = info.components;
  desc->progressive = info.progressive ? 1 : 0;
  desc->xResolution = info.density_dpi;
  desc->bitsPerPixel = info.components == 1 ? 8 : 24;
  if (desc->palette != nullptr) {
    if (desc->reductionComponents == 0) desc->reductionComponents = 3;
    if (desc->colors == 0) desc->colors = 256;
    // A gray picture, or gray output, gets the gray ramp; mapped colour output the colour cube.
    if (info.components == 1 || desc->outputColorMode == 1) {
      if (desc->colors < 2 || desc->colors > 256) return imgFail(jpegdec::kErrColors);
      funcGrayRamp(1, desc->colors, nullptr, desc->palette);
    } else {
      uint16_t colors = static_cast<uint16_t>(desc->colors < 0 ? 0 : desc->colors);
      if (funcColorCube(desc->reductionComponents, &colors, nullptr, desc->palette) < 0) return -1;
      desc->colors = static_cast<int16_t>(colors);
    }
    desc->paletteFilled = 1;
  }
  if (desc->fastTransform != 0) desc->fastTransform = static_cast<uint8_t>(jpeg::CpuHasMmx());
  return 1;
}

int funcJpegReadComments(ImgDecompDesc* desc, char* buffer, uint32_t size, uint16_t* dropped) {
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  if (funcDecompSeek(desc, desc->startOffset, 0) < 0) return imgFail(kImgErrSeek);
  size_t stored = 0;
  try {
    DescSource source(desc);
    jpegdec::InputWindow win(source, 9216);
    stored = jpegdec::ReadComments(win, buffer, buffer ? size : 0, dropped);
  } catch (const std::bad_alloc&) {
    funcDecompSeek(desc, desc->startOffset, 0);
    return imgFail(kImgErrNoMemory);
  }
  funcDecompSeek(desc, desc->startOffset, 0);
  return static_cast<int>(stored);
}

int funcJpegDecodeBaseline(ImgDecompDesc* desc) {
  return Decode(desc);
}
int funcJpegDecodeProgressive(ImgDecompDesc* desc) {
  return Decode(desc);
}

int funcJpegDecomp(ImgDecompDesc* desc) {
  if (desc == nullptr) return imgFail(kImgErrNullPointer);
  return desc->progressive ? funcJpegDecodeProgressive(desc) : funcJpegDecodeBaseline(desc);
}

int funcJpegFreeDecode(ImgDecompDesc* desc) {
  // The decoder keeps its blocks for the length of one call and releases them itself; nothing of it
  // stays in the descriptor.
  (void)desc;
  return 0;
}

const ImgDecompFormat& jpegDecompFormat() {
  static const ImgDecompFormat format{"JPEG", 4, funcJpegInfo, funcJpegDecomp};
  return format;
}

}  // namespace zc::codec
