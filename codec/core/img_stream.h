// Stream layer shared by every format: one set of seek/read/write calls over either an
// open file descriptor or a caller's memory block (handle -1). The memory size is a hard
// bound: positions never leave [0, size).
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/core/img_desc.h"

namespace zc::codec {

// origin 0 = from the start, 2 = from the end (memory: offset 0 or negative).
int64_t funcCompSeek(ImgCompDesc* desc, int64_t offset, int origin);
// Bytes written; a memory target stores what fits and returns the short count.
int64_t funcCompWrite(ImgCompDesc* desc, const void* bytes, size_t count);

int64_t funcDecompSeek(ImgDecompDesc* desc, int64_t offset, int origin);
int64_t funcDecompRead(ImgDecompDesc* desc, void* buffer, size_t count);
// As funcDecompRead, but a memory source keeps its position.
int64_t funcDecompReadAt(ImgDecompDesc* desc, void* buffer, size_t count);

int64_t funcFileRead(int handle, void* buffer, size_t count);
int64_t funcFileSeek(int handle, int64_t offset, int origin);

}  // namespace zc::codec
