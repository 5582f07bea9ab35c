#include "tiff_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "imaging/tiff_read.h"

namespace zc::imaging::tiff {

size_t ReadAt(int file, int64_t offset, uint8_t* out, size_t count) {
  if (file < 0 || offset < 0) return 0;
  size_t got = 0;
  while (got < count) {
    const ssize_t n = ::pread(file, out + got, count - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

bool WriteAt(int file, int64_t offset, const uint8_t* data, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(file, data + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

int64_t FileSize(int file) {
  struct stat st {};
  return ::fstat(file, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
}

bool SameFile(int a, int b) {
  struct stat sa {}, sb {};
  return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

Fd::~Fd() {
  if (fd >= 0) ::close(fd);
}

uint16_t HeaderOrder(const uint8_t* p, size_t bytes) {
  if (bytes < 8) return 0;
  const uint16_t order = static_cast<uint16_t>(p[0] | p[1] << 8);
  if (order != kTiffLittleEndian && order != kTiffBigEndian) return 0;
  return funcTiffGet16(p + 2, order) >= 42 ? order : 0;
}

bool ReadDirectory(int file, uint32_t offset, uint16_t order, int minEntries, int maxEntries, size_t capacity,
                   Directory* d) {
  d->bytes.assign(capacity, 0);
  const size_t got = ReadAt(file, offset, d->bytes.data(), capacity);
  d->bytes.resize(got);
  d->offset = offset;
  if (got < 40) return false;
  d->count = funcTiffGet16(d->bytes.data(), order);
  const size_t end = 2 + 12 * static_cast<size_t>(d->count);
  if (d->count < minEntries || d->count > maxEntries || end > got) return false;
  d->hasNext = end + 4 <= got;
  d->next = d->hasNext ? funcTiffGet32(d->bytes.data() + end, order) : 0;
  return true;
}

bool FindPage(int file, uint16_t order, int page, int minEntries, int maxEntries, size_t capacity, Directory* d) {
  uint8_t header[8];
  if (ReadAt(file, 0, header, 8) != 8) return false;
  uint32_t offset = funcTiffGet32(header + 4, order);
  std::set<uint32_t> visited;
  for (int p = 1;; ++p) {
    if (offset == 0 || !visited.insert(offset).second) return false;
    if (!ReadDirectory(file, offset, order, minEntries, maxEntries, capacity, d)) return false;
    if (p >= page) return true;
    if (!d->hasNext) return false;
    offset = d->next;
  }
}

size_t TypeSize(int type) {
  switch (type) {
    case 1:
    case 2: return 1;
    case 3: return 2;
    case 4: return 4;
    case 5: return 8;
    default: return 0;
  }
}

}  // namespace zc::imaging::tiff
