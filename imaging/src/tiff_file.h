// File access shared by the TIFF reader and the tag editor: positioned reads and writes, the header's
// byte order, and the walk along a page chain that never visits a directory twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zc::imaging::tiff {

// Up to `count` bytes of the file from `offset`; the bytes read, 0 on any failure.
size_t ReadAt(int file, int64_t offset, uint8_t* out, size_t count);
// All `count` bytes at `offset`, or false.
bool WriteAt(int file, int64_t offset, const uint8_t* data, size_t count);
int64_t FileSize(int file);
// True when both descriptors name one file (device and inode).
bool SameFile(int a, int b);

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd();
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

// The header's byte order, or 0 when the bytes are no TIFF header (order word, version at least 42).
uint16_t HeaderOrder(const uint8_t* p, size_t bytes);

// A directory read into memory: up to `capacity` bytes from its offset.
struct Directory {
  std::vector<uint8_t> bytes;  // what was read
  uint32_t offset = 0;
  int count = 0;  // entries
  uint32_t next = 0;
  bool hasNext = false;  // the link lies inside what was read
  const uint8_t* Entry(int i) const { return bytes.data() + 2 + 12 * static_cast<size_t>(i); }
};

// Reads the directory at `offset`: false when fewer than 40 bytes come, the entry count lies outside
// [minEntries, maxEntries] or the entries run past the bytes read.
bool ReadDirectory(int file, uint32_t offset, uint16_t order, int minEntries, int maxEntries, size_t capacity,
                   Directory* d);

// Walks from the header's first directory to page `page` (from 1), each directory read as above; false
// when the chain ends, loops back or a directory is unusable on the way.
bool FindPage(int file, uint16_t order, int page, int minEntries, int maxEntries, size_t capacity, Directory* d);

// Bytes of one item of TIFF field types 1 to 5 (BYTE, ASCII, SHORT, LONG, RATIONAL); 0 for others.
size_t TypeSize(int type);

}  // namespace zc::imaging::tiff
