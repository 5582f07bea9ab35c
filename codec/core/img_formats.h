// Format registry: the variation points through which each format stage plugs into the
// codec's dispatch. A compression format names its tag and its start and end; a
// decompression format names its tag, how many of its letters identify it, its header
// reader and its decoder. Signatures are tested in the fixed order of kImgSignatures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "codec/core/img_desc.h"

namespace zc::codec {

struct ImgCompFormat {
  const char* tag;                  // matched exactly, terminating NUL included
  int (*start)(ImgCompDesc* desc);  // writes the head, allocates, installs the line writer
  int (*end)(ImgCompDesc* desc);    // flushes, writes the trailer, frees
};

struct ImgDecompFormat {
  const char* tag;    // the tag funcInitDecomp writes
  size_t tagLetters;  // letters funcDecomp compares
  int (*readHeader)(ImgDecompDesc* desc);
  int (*decode)(ImgDecompDesc* desc);
};

struct ImgSignature {
  const char* tag;
  bool (*matches)(const uint8_t* bytes, size_t count);
};

// Signature tests in the order funcInitDecomp applies them.
std::span<const ImgSignature> imgSignatures();
// The formats built into this library (format_table.cpp).
std::span<const ImgCompFormat> imgCompFormats();
std::span<const ImgDecompFormat> imgDecompFormats();

// Tag of the first signature that matches, or null.
const char* imgDetectSignature(const uint8_t* bytes, size_t count);

}  // namespace zc::codec
