// Fuzz entry for the identity-block parser: any bytes a scanner may send as its identity, parsed as a
// whole and field by field, with the version text read as the models read it. The build path gets the
// parsed texts back, so a parse and build round trip is checked too.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "identity/identity_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Copy so that a read past the input is a read past this exact-size heap block.
  std::vector<uint8_t> block(data, data + size);
  const uint8_t* bytes = block.empty() ? nullptr : block.data();
  qv6::CQv6Info info(bytes, block.size());
  for (int n = 0; n < 10; ++n) {
    (void)qv6::CQv6Info::FindField(bytes, n, block.size());
    (void)qv6::CQv6Info::GetNumber(bytes, n, block.size());
  }
  (void)qv6::CQv6Info::ParseVersion(info.version());

  qv6::CQv6Info rebuilt;
  int length = 0;
  const uint8_t* built = rebuilt.Build(&length, info.manufacturer(), info.model(), info.version(),
                                       info.serial(), info.documents(), info.minutes(), info.state());
  if (built != nullptr) {
    if (std::strcmp(rebuilt.model(), info.model()) != 0 || std::strcmp(rebuilt.state(), info.state()) != 0 ||
        rebuilt.documents() != info.documents() || rebuilt.minutes() != info.minutes()) {
      __builtin_trap();
    }
  }
  return 0;
}
