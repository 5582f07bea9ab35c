// Whole-buffer reads and writes at a file offset: false on a short transfer.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace zarn::stats {

template <typename Buffer, typename Transfer>
bool TransferAt(int fd, Buffer* buf, size_t n, int64_t at, Transfer transfer) {
  if (at < 0) return false;
  size_t done = 0;
  while (done < n) {
    const ssize_t r = transfer(fd, buf + done, n - done, static_cast<off_t>(at + static_cast<int64_t>(done)));
    if (r <= 0) return false;
    done += static_cast<size_t>(r);
  }
  return true;
}

inline bool ReadAt(int fd, uint8_t* buf, size_t n, int64_t at) { return TransferAt(fd, buf, n, at, ::pread); }
inline bool WriteAt(int fd, const uint8_t* buf, size_t n, int64_t at) { return TransferAt(fd, buf, n, at, ::pwrite); }

}  // namespace zarn::stats
