// ImageRecords into LoadIQAMemoryFromMem and IQAStatusMem with the full mask, also writing back.
#include <vector>

#include "analysis/iqa/iqa_image.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace analysis::iqa;
  std::vector<uint8_t> record(data, data + size);
  LoadIQAMemoryFromMem(record);
  int32_t results[kIqaTableSlots] = {};
  IQAStatusMem(record, 0, fuzz::FullMask(), results);
  IQAStatusMem(record, 1, fuzz::FullMask(), results);
  IqaTestArgs contrast = fuzz::FullMask();
  contrast.mask |= kIqaContrast;
  IQAStatusGray(nullptr, std::vector<uint8_t>(data, data + size), contrast, results);
  FreeImage();
  return 0;
}
