// Pieces shared by the sequential and progressive scan decoders: table checks, failure classification at
// the end of data, and the output pass over a coefficient store.
#pragma once

#include "codec/jpeg/decoder/jpeg_bit_reader.h"
#include "codec/jpeg/decoder/jpeg_coef_store.h"
#include "codec/jpeg/decoder/jpeg_headers.h"
#include "codec/jpeg/decoder/jpeg_output.h"

namespace zc::jpegdec {

// A block decoder failure while the reader stands at the end of the data or at EOI becomes 9, at a
// restart marker 23; anything else keeps its code.
[[noreturn]] void RethrowAtMarker(const JpegError& e, const BitReader& br, const InputWindow& win);

// Transforms the stored coefficients MCU row by MCU row and delivers the window.
void OutputFromStore(const JpegHeaders& hdr, const Geometry& geo, BandOutput& out, CoefStore& store);

// Reads markers after a scan up to the next SOS (true) or EOI (false).
bool NextScan(JpegHeaders& hdr, InputWindow& win);

// Sequential decoding of one scan into the store (multi-scan sequential streams).
void DecodeSequentialScanToStore(JpegHeaders& hdr, const Geometry& geo, InputWindow& win, CoefStore& store);

// Sequential single-scan streams: decode and deliver band by band.
void DecodeSequentialStreaming(JpegHeaders& hdr, const Geometry& geo, InputWindow& win, BandOutput& out);

// Progressive streams from the first scan header on, into the store.
void DecodeProgressiveScans(JpegHeaders& hdr, const Geometry& geo, InputWindow& win, CoefStore& store);

}  // namespace zc::jpegdec
