// Fuzz target over files given to the TIFF page reader: the first byte picks the page (0 to 3), the rest
// is the file. Every page of it is read and its pages counted; nothing may read outside what exists or
// walk a directory chain for ever.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/tiff_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int page = data[0] % 4;
  const int fd = ::memfd_create("tiff", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size > 1 && ::write(fd, data + 1, size - 1) != static_cast<ssize_t>(size - 1)) {
    ::close(fd);
    return 0;
  }
  zc::codec::ImageView view{};
  zc::imaging::funcReadTIFFInfo(fd, &view, page);
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  zc::imaging::funcGetTIFFPageCount(path.c_str());
  view = {};
  view.windowWidth = 64;
  view.windowHeight = 64;
  zc::imaging::funcOpenImageFile(nullptr, path.c_str(), &view, page);
  ::close(fd);
  return 0;
}
