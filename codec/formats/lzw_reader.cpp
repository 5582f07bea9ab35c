// TIFF LZW strip decoding.
#include "codec/formats/lzw_reader.h"

#include <algorithm>
#include <memory>
#include <new>

#include "codec/core/img_error.h"
#include "codec/formats/band_frame.h"
#include "codec/formats/lzw_decoder.h"
#include "codec/formats/source_reader.h"

namespace zc::codec {
namespace {

class StripSource : public fmt::LzwByteSource {
 public:
  explicit StripSource(fmt::SourceReader& source) : source_(source) {}
  int next() override { return source_.next(); }

 private:
  fmt::SourceReader& source_;
};

}  // namespace

int funcLzwDecode(ImgDecompDesc* desc) {
  if (desc->bitsPerPixel != 8) return imgFail(kImgErrUnsupportedFile);
  if (fmt::prepareWindow(desc) < 0) return -1;
  fmt::SourceReader source(desc);
  if (!source.seek(desc->startOffset)) return imgFail(kImgErrSeek);
  std::unique_ptr<fmt::LzwDecoder> lzw(new (std::nothrow) fmt::LzwDecoder(8, fmt::kTiffLzwRule));
  if (!lzw) return imgFail(kImgErrNoMemory);
  StripSource strip(source);
  fmt::BandDelivery band(desc, 1, 8);
  const int bottom = desc->windowTop + desc->windowHeight;
  for (int row0 = 0; row0 < bottom; row0 += 8) {
    const int n = std::min(8, bottom - row0);
    const size_t want = static_cast<size_t>(n) * desc->width;
    size_t produced = 0;
    const fmt::LzwStatus status = lzw->read(strip, band.row(0), want, &produced);
    if (produced < want) {
      return imgFail(status == fmt::LzwStatus::kBadCode ? kImgErrGifCode : kImgErrUnexpectedEnd);
    }
    if (desc->lzwInverted != 0) {
      uint8_t* rows = band.row(0);
      for (size_t k = 0; k < want; ++k) rows[k] = static_cast<uint8_t>(255 - rows[k]);
    }
    if (band.deliver(row0, n) < 0) return -1;
  }
  return 0;
}

}  // namespace zc::codec
