// Whole-file replacement through a unique temporary file and a rename.
#include "platform/file_replace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace plat {

bool ReplaceFileContents(const std::string& path, const void* data, size_t size, mode_t mode) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, mode) == 0;
  const auto* bytes = static_cast<const char*>(data);
  size_t done = 0;
  while (ok && done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace plat
