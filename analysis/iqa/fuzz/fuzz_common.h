// Shared pieces of the IQA fuzz targets: the full test mask and a scratch file for inputs that the entry
// points read by name.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/iqa/iqa_status.h"
#include "analysis/iqa/iqa_tests.h"

namespace analysis::iqa::fuzz {

inline IqaTestArgs FullMask() {
  IqaTestArgs a;
  a.mask = 0x27FFFFF & ~uint32_t{kIqaContrast};
  a.speckleLimit = 100;
  a.minMicrQuality = 5;
  a.cornerLimit = 75;
  a.codeLine = "T123456789T 12345U";
  a.text2 = "";
  a.confidence = "999999999999999999";
  a.endFirst = 100;
  a.endEnd = 400;
  a.charHeight = 21;
  a.minCount = 8;
  return a;
}

// Writes the input to a file of this process's own and returns its name.
inline std::string InputFile(const uint8_t* data, size_t size, const char* suffix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string name =
      std::string(tmp != nullptr ? tmp : "/tmp") + "/iqa_fuzz_" + std::to_string(::getpid()) + suffix;
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f != nullptr) {
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  return name;
}

}  // namespace analysis::iqa::fuzz
