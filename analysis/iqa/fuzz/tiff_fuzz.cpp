// TIFF files and "MD:" memory images into LoadIQAMemory and the full mask.
#include <cstdio>
#include <string>

#include "analysis/iqa/iqa_image.h"
#include "fuzz_common.h"
#include "imaging/image_writers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace analysis::iqa;
  // Pages larger than 4 million pixels only cost time.
  zc::imaging::TiffMemInfo info{};
  if (zc::imaging::funcParseMemTIFFHeader(data, size, &info) == 0 &&
      int64_t{info.width} * int64_t{info.height} > 4'000'000) {
    return 0;
  }
  const std::string md =
      "MD:" + std::to_string(reinterpret_cast<uintptr_t>(data)) + ":" + std::to_string(size);
  if (size > 0) IQAStatusEx(md.c_str(), 1, 0, nullptr, fuzz::FullMask(), nullptr);
  const std::string name = fuzz::InputFile(data, size, ".tif");
  int32_t results[kIqaTableSlots] = {};
  IQAStatusEx(name.c_str(), 1, 0, nullptr, fuzz::FullMask(), results);
  std::remove(name.c_str());
  FreeImage();
  return 0;
}
