// Band checks and writes shared by the raster writers.
#include "codec/formats/writer_common.h"

#include "codec/core/img_error.h"
#include "codec/core/img_stream.h"

namespace zc::codec::fmt {

bool bandFitsImage(const ImgCompDesc* desc, int firstCol, int firstRow, int endCol, int endRow,
                   const uint8_t* rows) {
  return desc != nullptr && rows != nullptr && firstCol == 0 && endCol == desc->width && firstRow >= 0 &&
         endRow >= firstRow && endRow <= desc->height;
}

int writeAll(ImgCompDesc* desc, const uint8_t* bytes, size_t count) {
  if (count == 0) return 0;
  if (funcCompWrite(desc, bytes, count) != static_cast<int64_t>(count)) {
    iImgError = kImgErrWrite;
    return kImgErrWrite;
  }
  return 0;
}

}  // namespace zc::codec::fmt
