// POSIX file access of the bilevel coder.
#include "codec/bilevel/fax_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace zc::codec {

int funcFaxOpenFile(const char* name, int64_t offset) {
  if (name == nullptr) return -1;
  const std::string path(name, ::strnlen(name, 256));
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
  if (fd < 0) return -1;
  if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) != static_cast<off_t>(offset)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int64_t funcFaxWriteFile(int handle, const void* data, size_t count) {
  const auto* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < count) {
    const ssize_t r = ::write(handle, p + done, count - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? static_cast<int64_t>(done) : -1;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(done);
}

int funcFaxCloseFile(int handle) {
  if (handle == -1) return 0;
  return ::close(handle);
}

void funcFaxSeekFile(int handle, int64_t offset) {
  if (handle >= 0) ::lseek(handle, static_cast<off_t>(offset), SEEK_SET);
}

}  // namespace zc::codec
