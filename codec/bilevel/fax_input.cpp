// File and memory reads of the bilevel decoder.
#include "codec/bilevel/fax_input.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "codec/bilevel/bit_ops.h"

namespace zc::codec {
namespace {

int64_t readFully(int handle, uint8_t* destination, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t r = ::read(handle, destination + done, static_cast<size_t>(count - done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (r == 0) break;
    done += r;
  }
  return done;
}

void eolPattern(uint8_t* destination, int64_t room) {
  const int64_t n = std::min<int64_t>(16, room);
  for (int64_t i = 0; i < n; ++i) destination[i] = (i & 1) == 0 ? 0x00 : 0x01;
}

}  // namespace

int64_t funcFaxReadInput(int handle, uint8_t* destination, int64_t count, int reverseBits, int firstRead,
                         uintptr_t offset, int64_t* byteLimit, const uint8_t** memReadAddress) {
  const int64_t asked = count;
  count = std::max<int64_t>(0, std::min(count, *byteLimit));
  *byteLimit -= count;
  int64_t got;
  if (handle == -1) {
    if (firstRead) *memReadAddress = reinterpret_cast<const uint8_t*>(offset);
    if (*memReadAddress == nullptr) return 0;
    std::memcpy(destination, *memReadAddress, static_cast<size_t>(count));
    *memReadAddress += count;
    got = count;
  } else {
    if (firstRead && ::lseek(handle, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset)) {
      return 0;
    }
    got = readFully(handle, destination, count);
    if (got < 0) return -1;
  }
  if (reverseBits) funcReverseBytesBits(destination, static_cast<size_t>(got));
  if (got <= asked - 2) eolPattern(destination + got, asked - got);
  return got;
}

int64_t funcFaxReadStrip(int handle, uint8_t* destination, int64_t count, int reverseBits,
                         FaxStripTable* table, int firstRead) {
  if (table->currentStrip < 0 || table->currentStrip > table->lastStrip) {
    eolPattern(destination, count);
    return std::min<int64_t>(16, count);
  }
  const int strip = table->currentStrip;
  if (firstRead) {
    table->bytesLeft = table->byteCounts[strip];
    if (table->sourceKind == 1) {
      table->memReadAddress = reinterpret_cast<const uint8_t*>(table->offsets[strip]);
    } else if (::lseek(handle, static_cast<off_t>(table->offsets[strip]), SEEK_SET) !=
               static_cast<off_t>(table->offsets[strip])) {
      table->bytesLeft = 0;
    }
  }
  const int64_t n = std::min<int64_t>(count, table->bytesLeft);
  int64_t got;
  if (table->sourceKind == 1) {
    if (table->memReadAddress == nullptr) return 0;
    std::memcpy(destination, table->memReadAddress, static_cast<size_t>(n));
    table->memReadAddress += n;
    got = n;
  } else {
    got = readFully(handle, destination, n);
    if (got < 0) return -1;
  }
  table->bytesLeft -= static_cast<uint32_t>(got);
  if (reverseBits) funcReverseBytesBits(destination, static_cast<size_t>(got));
  return got;
}

}  // namespace zc::codec
