// The record-file trim and the device library version reader on outside bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "zarn/record_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // An exact-size copy, so a read past the end is caught.
  auto copy = std::make_unique<uint8_t[]>(size - 1);
  for (size_t i = 1; i < size; ++i) copy[i - 1] = data[i];
  const std::string_view tail(reinterpret_cast<const char*>(copy.get()), size - 1);
  const std::string_view kept = zarn::RecordTrimKeep(tail, (data[0] & 1) != 0);
  if (!kept.empty() && (kept.front() != 'I' || kept.data() + kept.size() != tail.data() + tail.size())) std::abort();
  const int version = zarn::Qv6VersionFromBytes(copy.get(), size - 1);
  if (version < 0 || version > 99909) std::abort();
  return 0;
}
