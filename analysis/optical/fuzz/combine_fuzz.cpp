// Fuzzes the CMC-7 merge with arbitrary strings: the bytes split at their first two NULs into the magnetic
// line, the optical line and its confidences. Checks that the output ends within its buffer, holds no more
// than the magnetic line, and that the result is 0 or 1.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "analysis/optical/cmc7_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string parts[3];
  size_t k = 0;
  for (size_t i = 0; i < size && k < 3; ++i) {
    if (data[i] == 0) {
      ++k;
      continue;
    }
    parts[k] += static_cast<char>(data[i]);
  }
  char out[100];
  std::memset(out, 0x55, sizeof out);
  const int r = analysis::optical::funcMicrCombine(parts[0].c_str(), parts[1].c_str(), parts[2].c_str(), out,
                                                   sizeof out, 0);
  if (r != 0 && r != 1) std::abort();
  const void* end = std::memchr(out, 0, sizeof out);
  if (end == nullptr || std::strlen(out) > std::min<size_t>(parts[0].size(), sizeof out - 1)) std::abort();
  return 0;
}
