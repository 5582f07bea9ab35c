// Fuzzes the choice between two passes with any two lines of up to 255 bytes: the result stays within
// its 80 bytes, terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "analysis/micr/combine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const size_t cut = all.find('\0');
  const std::string first = all.substr(0, std::min<size_t>(cut, 255));
  const std::string second = cut == std::string::npos ? std::string() : all.substr(cut + 1, 255);
  char result[88];
  std::memset(result, 'G', sizeof result);
  const int rc = analysis::micr::funcChooseMICRPass(first.c_str(), second.c_str(), result);
  if (rc < 0 || rc > 2 || std::memchr(result, '\0', 80) == nullptr) std::abort();
  for (size_t i = 80; i < sizeof result; ++i)
    if (result[i] != 'G') std::abort();
  return 0;
}
