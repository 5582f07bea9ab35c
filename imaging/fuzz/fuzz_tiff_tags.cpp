// Fuzz target over files given to the tag editor: the input is the file. Its tags are read and listed,
// the table is loaded from it and written out, its code line read and put, its byte order is swapped, its page is joined to itself,
// and its size as a memory image is taken; nothing may read or write outside what exists.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/image_files.h"
#include "imaging/tiff_tags.h"

namespace {

// An in-memory file holding the input; its /proc name.
std::string MemFile(const uint8_t* data, size_t size, int* fd) {
  *fd = ::memfd_create("tiff", MFD_CLOEXEC);
  if (*fd < 0) return {};
  if (size > 0 && ::write(*fd, data, size) != static_cast<ssize_t>(size)) return {};
  return "/proc/self/fd/" + std::to_string(*fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zc::imaging;
  int fd = -1;
  const std::string path = MemFile(data, size, &fd);
  if (!path.empty()) {
    uint8_t buffer[256];
    for (int tag : {256, 273, 297, 34604}) funcReadTIFFTag(path.c_str(), 1 + tag % 2, tag, buffer, sizeof buffer);
    int count = 0;
    uint16_t list[64];
    funcListTIFFTags(path.c_str(), 1, &count, list, sizeof list);
    if (funcLoadTIFFTagsFromHandle(fd, 1) == 0) {
      funcAddTIFFTag(297, 3, 2, 0x00020001, nullptr);
      int out = -1;
      const std::string written = MemFile(nullptr, 0, &out);
      if (!written.empty()) funcWriteTIFFTags(written.c_str());
      if (out >= 0) ::close(out);
    }
    char line[80];
    ZARNGetMICRTag(path.c_str(), 1, line, sizeof line);
    ZARNPutMICRTextInHeader(path.c_str(), "T123456789T", 11);
    funcSwapTIFFByteOrder(path.c_str());
    ZARNCombineTIFFS(path.c_str(), path.c_str());
  }
  if (fd >= 0) ::close(fd);
  // A size of 0 stands for a memory image of unknown length, which the call reads as its header says; an
  // empty input is no such image.
  if (size > 0) funcGetMemImageSize(data, size);
  funcLoadTIFFTags(nullptr, 1);  // empties the table
  return 0;
}
