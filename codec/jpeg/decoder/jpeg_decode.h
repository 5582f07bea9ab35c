// The JPEG decoder's own interface, independent of the codec descriptors: header information and the
// full decode of a stream into bands of the caller's window.
#pragma once

#include <cstdint>

#include "codec/jpeg/decoder/jpeg_coef_store.h"
#include "codec/jpeg/decoder/jpeg_output.h"
#include "codec/jpeg/decoder/jpeg_source.h"

namespace zc::jpegdec {

struct JpegInfo {
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t components = 0;
  bool progressive = false;
  uint16_t density_dpi = 0;
};

// Walks the markers up to the frame header. Throws 20 (scan before frame), 21 (EOI before frame), 22 and
// the parser's other codes.
JpegInfo ReadJpegInfo(ByteSource& source);

// Decodes a baseline or progressive stream. `store` places the coefficient store of progressive and
// multi-scan streams (empty = the decoder's own). Throws JpegError; bands delivered before a failure stay
// delivered.
void DecodeJpeg(ByteSource& source, const OutputRequest& req, BandMapper* mapper, const DisplaySink& sink,
                const StoreFactory& store = {});

}  // namespace zc::jpegdec
