// Fuzz entry point for the version-record reader: any bytes read as no record or as one whose text fits its
// field, and the answer does not depend on how the reader cuts the stream into chunks (the first input
// byte picks a small chunk, compared with reading everything at once).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/version_info.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 64 * 1024) return 0;  // records are small; keep the work per input bounded
  const size_t chunk = size_t{data[0]} % 64 + 1;
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::istringstream pieces(bytes);
  std::istringstream whole(bytes);
  const auto cut = plat::version_detail::ReadRecord(pieces, chunk);
  const auto once = plat::version_detail::ReadRecord(whole, bytes.size() + 1);
  Check(cut.has_value() == once.has_value());
  if (cut) {
    Check(cut->text.size() < plat::version_detail::kTextSize);
    Check(cut->text == once->text && cut->Ms() == once->Ms() && cut->Ls() == once->Ls());
  }
  return 0;
}
