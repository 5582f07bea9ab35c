// Code-line formatting (blank handling, reject character) and the reject count
// that franking decisions use.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace micr {

// Blank handling of a formatted code line.
enum class BlankFormat { kDropAll = 0, kCollapseRuns = 1, kKeepAll = 2 };

inline constexpr std::size_t kMaxCodelineChars = 199;

// Formats `line` into `out` (NUL-terminated, bounded by out.size()); returns the length written.
// `format` 0 drops blanks, 1 collapses each run to one, any other value keeps them; trailing blanks go.
std::size_t FormatCodeline(std::string_view line, int format, char reject, std::span<char> out);

// True when `line` is non-empty and holds at most `allowed` (modulo 256) reject characters '@'.
bool CheckRejects(const char* line, unsigned allowed);

}  // namespace micr
