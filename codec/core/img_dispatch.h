// Entry points that start, feed and end a codec run, dispatching by format tag
// (compression) or by the source's signature (decompression). The table-taking forms
// are the same dispatch over an explicit format table.
#pragma once

#include <span>

#include "codec/core/img_desc.h"
#include "codec/core/img_formats.h"

namespace zc::codec {

int funcInitComp(ImgCompDesc* desc);
int funcEndComp(ImgCompDesc* desc);
int funcInitDecomp(ImgDecompDesc* desc);
int funcDecomp(ImgDecompDesc* desc);

int initCompWith(ImgCompDesc* desc, std::span<const ImgCompFormat> formats);
int endCompWith(ImgCompDesc* desc, std::span<const ImgCompFormat> formats);
int initDecompWith(ImgDecompDesc* desc, std::span<const ImgDecompFormat> formats);
int decompWith(ImgDecompDesc* desc, std::span<const ImgDecompFormat> formats);

// Size of the header read buffer: 8192 bytes of data plus room the readers use behind it.
inline constexpr size_t kImgReadBufferSize = 9248;
inline constexpr size_t kImgReadChunk = 8192;

}  // namespace zc::codec
