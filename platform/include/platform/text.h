// Comparing names without regard to case, as the system does for file names, INI sections and keys.
#pragma once

#include <cctype>
#include <string_view>

namespace plat {

// True when `a` and `b` are the same apart from the case of ASCII letters.
inline bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace plat
