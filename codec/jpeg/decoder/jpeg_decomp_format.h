// The JPEG decompression format of the codec interface: the header reader that funcInitDecomp runs for
// streams beginning 0xFF 0xD8, and the decoders funcDecomp runs for the tag "JPEG" (baseline or
// progressive by the descriptor's progressive flag), over an ImgDecompDesc.
#pragma once

#include "codec/core/img_desc.h"
#include "codec/core/img_formats.h"

namespace zc::codec {

// Header information: tag, size, components, progressive flag, density, palette, fast transform flag.
// 1 on success, -1 with iImgError set.
int funcJpegInfo(ImgDecompDesc* desc);

// Decode the caller's window band by band to its display function; 0, or -1 with iImgError set. Every
// decoder block is freed before they return.
int funcJpegDecodeBaseline(ImgDecompDesc* desc);
int funcJpegDecodeProgressive(ImgDecompDesc* desc);
// The "JPEG" decoder of the format table: progressive or baseline by desc->progressive.
int funcJpegDecomp(ImgDecompDesc* desc);

// Collects the COM texts before the first scan into `buffer` (NUL-terminated, at most `size` bytes with the
// NUL); `dropped` receives the bytes that did not fit. Returns the bytes stored, or -1 with iImgError set
// (3 when the source cannot be positioned). The source is left at the start offset.
int funcJpegReadComments(ImgDecompDesc* desc, char* buffer, uint32_t size, uint16_t* dropped);

// Releases what a decode left in the descriptor; safe to call twice. 0.
int funcJpegFreeDecode(ImgDecompDesc* desc);

// The row for the codec's decompression format table: {"JPEG", 4, funcJpegInfo, funcJpegDecomp}.
const ImgDecompFormat& jpegDecompFormat();

}  // namespace zc::codec
