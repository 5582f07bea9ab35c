// The merge of two magnetic readings: any two lines give at most 80 characters and consistent counts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "zarn/qv600.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\n');
  const std::string a = input.substr(0, split).c_str();
  const std::string b = split == std::string::npos ? std::string() : std::string(input.substr(split + 1).c_str());
  int repaired = 0, left = 0;
  const std::string merged = zarn::MergeMicrLines(a.c_str(), b.c_str(), &repaired, &left);
  if (merged.size() > 80 || repaired < 0 || left < 0 || repaired + left > 80) __builtin_trap();
  return 0;
}
