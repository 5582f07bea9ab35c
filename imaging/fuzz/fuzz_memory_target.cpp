// Fuzz target over "MD:" memory target names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/memory_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  if (const auto t = zc::imaging::ParseMemoryTarget(name.c_str())) {
    zc::imaging::OutputLimit(*t);
    zc::imaging::DescriptorMemorySize(*t);
  }
  return 0;
}
