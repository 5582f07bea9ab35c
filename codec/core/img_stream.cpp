// File and memory streams of the codec descriptors.
#include "codec/core/img_stream.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace zc::codec {
namespace {

int whence(int origin) {
  switch (origin) {
    case 0:
      return SEEK_SET;
    case 1:
      return SEEK_CUR;
    case 2:
      return SEEK_END;
    default:
      return -1;
  }
}

int64_t fileSeek(int handle, int64_t offset, int origin) {
  const int w = whence(origin);
  if (w < 0) return -1;
  const off_t r = ::lseek(handle, static_cast<off_t>(offset), w);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

// A memory seek from the start must land inside [0, size); one from the end may land on the
// end itself, never before the start of the block.
int64_t memorySeek(uint32_t& position, int32_t memSize, int64_t offset, int origin) {
  int64_t target;
  if (origin == 0) {
    if (offset < 0 || offset >= memSize) return -1;
    target = offset;
  } else if (origin == 2) {
    if (offset > 0) return -1;
    target = static_cast<int64_t>(memSize) + offset;
    if (target < 0) return -1;
  } else {
    return -1;
  }
  position = static_cast<uint32_t>(target);
  return target;
}

size_t memoryRoom(uint32_t position, int32_t memSize) {
  if (memSize <= 0 || position >= static_cast<uint32_t>(memSize)) return 0;
  return static_cast<size_t>(memSize) - position;
}

int64_t fileRead(int handle, void* buffer, size_t count) {
  const ssize_t r = ::read(handle, buffer, count);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

}  // namespace

int64_t funcCompSeek(ImgCompDesc* desc, int64_t offset, int origin) {
  if (desc->handle != -1) {
    const int64_t r = fileSeek(desc->handle, offset, origin);
    if (r >= 0) desc->position = static_cast<uint32_t>(r);
    return r;
  }
  return memorySeek(desc->position, desc->memSize, offset, origin);
}

int64_t funcCompWrite(ImgCompDesc* desc, const void* bytes, size_t count) {
  if (desc->handle != -1) {
    desc->position += static_cast<uint32_t>(count);
    const ssize_t r = ::write(desc->handle, bytes, count);
    return r < 0 ? -1 : static_cast<int64_t>(r);
  }
  const size_t n = std::min(count, memoryRoom(desc->position, desc->memSize));
  if (n > 0) std::memcpy(desc->memAddress + desc->position, bytes, n);
  desc->position += static_cast<uint32_t>(n);
  return static_cast<int64_t>(n);
}

int64_t funcDecompSeek(ImgDecompDesc* desc, int64_t offset, int origin) {
  if (desc->handle != -1) {
    const int64_t r = fileSeek(desc->handle, offset, origin);
    if (r >= 0) desc->position = static_cast<uint32_t>(r);
    return r;
  }
  return memorySeek(desc->position, desc->memSize, offset, origin);
}

int64_t funcDecompReadAt(ImgDecompDesc* desc, void* buffer, size_t count) {
  if (desc->handle != -1) {
    const int64_t r = fileRead(desc->handle, buffer, count);
    if (r > 0) desc->position += static_cast<uint32_t>(r);
    return r;
  }
  if (desc->memAddress == nullptr) return 0;
  const size_t n = std::min(count, memoryRoom(desc->position, desc->memSize));
  if (n > 0) std::memcpy(buffer, desc->memAddress + desc->position, n);
  return static_cast<int64_t>(n);
}

int64_t funcDecompRead(ImgDecompDesc* desc, void* buffer, size_t count) {
  const int64_t r = funcDecompReadAt(desc, buffer, count);
  if (desc->handle == -1 && r > 0) desc->position += static_cast<uint32_t>(r);
  return r;
}

int64_t funcFileRead(int handle, void* buffer, size_t count) {
  if (handle == -1) return 0;
  return fileRead(handle, buffer, count);
}

int64_t funcFileSeek(int handle, int64_t offset, int origin) {
  if (handle == -1) return -1;
  return fileSeek(handle, offset, origin);
}

}  // namespace zc::codec
