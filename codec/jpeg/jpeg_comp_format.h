// The JPEG compression formats of the codec interface: "JPEG" and "JPEGG" (sequential, colour and gray) and
// "PROG" and "PROGG" (progressive), their starts, band writers and ends over an ImgCompDesc.
#pragma once

#include <span>

#include "codec/core/img_desc.h"
#include "codec/core/img_formats.h"

namespace zc::codec {

// Starts: write the stream header and install the band writer; 0, or -1 with iImgError set.
int funcJpegStartComp(ImgCompDesc* desc);      // "JPEG"
int funcJpegGrayStartComp(ImgCompDesc* desc);  // "JPEGG"
int funcProgStartComp(ImgCompDesc* desc);      // "PROG"
int funcProgGrayStartComp(ImgCompDesc* desc);  // "PROGG"

// Band writers of the sequential and progressive tags (they find their descriptor in
// ImgCurrentCompDesc); 0 or the error code.
int funcJpegCompLines(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows);
int funcProgCompLines(int firstCol, int firstRow, int endCol, int endRow, const uint8_t* rows);

// Ends: code the rest, write EOI, free everything; 0, or -1 when any failure was recorded.
int funcJpegEndComp(ImgCompDesc* desc);  // "JPEG", "JPEGG"
int funcProgEndComp(ImgCompDesc* desc);  // "PROG", "PROGG"

// The four rows for the codec's compression format table.
std::span<const ImgCompFormat> jpegCompFormats();

}  // namespace zc::codec
