// ExpandEnvironmentStringsA stand-in: "%NAME%" replaced by the value of the environment variable NAME.
// A name that is not set stays as written, with its '%' signs, as on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

std::string ExpandEnvironmentStrings(std::string_view text);

// Writes the expansion into dst when it fits (size counts the NUL) and returns the size needed including
// the NUL; when it does not fit nothing is written. 0 for a null source.
uint32_t ExpandEnvironmentStringsA(const char* src, char* dst, uint32_t size);

}  // namespace plat
