// Fuzzes the optical E13B reader's TIFF paths: the bytes as a file read by name, and the same bytes as an
// "MD:" memory image at their real address (with and without a size). Checks the documented results and
// that both outputs end within their 128 bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/ocr/codeline_ocr.h"

namespace {

void Check(int result, const char* line, const char* conf) {
  if (result < 0 || result > 6) std::abort();
  if (std::memchr(line, 0, 128) == nullptr || std::memchr(conf, 0, 128) == nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char line[128] = {}, conf[128] = {};
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/ocr_tiff_fuzz_XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd >= 0) {
    const bool written = size == 0 || write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    if (written) Check(analysis::ocr::funcOCRTiffImage(path.c_str(), 1, 0, line, conf), line, conf);
    unlink(path.c_str());
  }
  // A copy of its own, so the reader sees exactly these bytes at a real address.
  std::vector<uint8_t> memory(data, data + size);
  memory.resize(std::max<size_t>(size, 1));
  const std::string address = "MD:" + std::to_string(reinterpret_cast<uintptr_t>(memory.data()));
  Check(analysis::ocr::funcOCRTiffImage((address + ":" + std::to_string(memory.size())).c_str(), 1, 0, line, conf),
        line, conf);
  return 0;
}
