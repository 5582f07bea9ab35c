// Packed DIBs into IQAConvDIBToBW and the top-edge check (without a code line: nothing is written).
#include "analysis/iqa/iqa_image.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace analysis::iqa;
  const std::span<const uint8_t> dib(data, size);
  IQAConvDIBToBW(dib);
  FreeImage();
  IQAStatusCombTopEdge(dib, "");
  FreeImage();
  return 0;
}
