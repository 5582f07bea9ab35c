// Fuzzes endorsement formats: the input is the format (its first byte the counter) set through the
// endorsement setter and rendered as the verified scan renders it for each endorsed image. Checks that the
// stored format and face end within their fields and that the rendering stays short.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "analysis/vekscan/vekscan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int32_t counter = static_cast<int8_t>(data[0]) * 1000003;
  const std::string format(reinterpret_cast<const char*>(data + 1), size - 1);
  const int32_t values[10] = {};
  using namespace analysis::vekscan;
  if (VEKScanSetVirtualEndorsement(format.c_str(), nullptr, 2, counter, 7, values, format.c_str()) != 1) std::abort();
  const VEKScanEndorsement& rear = EndorsementRecord(1);
  if (std::memchr(rear.format, 0, sizeof rear.format) == nullptr || std::memchr(rear.face, 0, sizeof rear.face) == nullptr)
    std::abort();
  const std::string text = FormatEndorsement(rear.format, rear.counter);
  // One conversion of at most three-digit width and precision adds little to the format.
  if (text.size() > std::strlen(rear.format) + 1000) std::abort();
  VEKScanSetVirtualEndorsement(nullptr, nullptr, 0, 0, 0, nullptr, nullptr);
  return 0;
}
