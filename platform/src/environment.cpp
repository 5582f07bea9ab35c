// Expansion of "%NAME%" references from the process environment.
#include "platform/environment.h"

#include <cstdlib>
#include <cstring>

namespace plat {

std::string ExpandEnvironmentStrings(std::string_view text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find('%', pos);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    const std::string name(text.substr(open + 1, close - open - 1));
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value != nullptr) {
      out += value;
    } else {
      out.append(text.substr(open, close - open + 1));  // not set: kept as written
    }
    pos = close + 1;
  }
  out.append(text.substr(pos));
  return out;
}

uint32_t ExpandEnvironmentStringsA(const char* src, char* dst, uint32_t size) {
  if (src == nullptr) return 0;
  const std::string expanded = ExpandEnvironmentStrings(src);
  const size_t needed = expanded.size() + 1;
  if (needed > UINT32_MAX) return 0;
  if (dst != nullptr && size >= needed) std::memcpy(dst, expanded.c_str(), needed);
  return static_cast<uint32_t>(needed);
}

}  // namespace plat
