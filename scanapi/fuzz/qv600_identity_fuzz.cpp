// Identity blocks of any content: the texts are read within the block and every match stays in bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "zarn/qv600.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  char block[zarn::kIdentityBlockSize] = {};
  if (size > 0) std::memcpy(block, data, size < sizeof block ? size : sizeof block);
  for (int i = 1; i <= 9; ++i) {
    const std::string text = zarn::IdentityText(block, sizeof block, i);
    if (text.size() > sizeof block) __builtin_trap();
    zarn::funcMatchIdentityString(text.c_str(), "Orvisca Scanner Qv630");
    zarn::funcMatchIdentityString("VEK Corporation", text.c_str());
  }
  return 0;
}
