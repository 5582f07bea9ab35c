// Code-line formatting and the reject check.
#include "devicelib/core/micr/codeline_format.h"

namespace micr {

std::size_t FormatCodeline(std::string_view line, int format, char reject, std::span<char> out) {
  if (out.empty()) return 0;
  const std::size_t room = out.size() - 1;
  if (line.size() > kMaxCodelineChars) line = line.substr(0, kMaxCodelineChars);
  std::size_t length = 0;
  for (const char c : line) {
    if (length >= room) break;
    if (c == ' ') {
      if (format == static_cast<int>(BlankFormat::kDropAll)) continue;
      if (format == static_cast<int>(BlankFormat::kCollapseRuns) && length > 0 && out[length - 1] == ' ')
        continue;
    }
    out[length++] = c == '@' ? reject : c;
  }
  while (length > 0 && out[length - 1] == ' ') --length;
  out[length] = '\0';
  return length;
}

bool CheckRejects(const char* line, unsigned allowed) {
  if (line == nullptr || *line == '\0') return false;
  const unsigned limit = allowed % 256;
  unsigned count = 0;
  for (const char* p = line; *p != '\0'; ++p) {
    if (*p == '@' && ++count > limit) return false;
  }
  return true;
}

}  // namespace micr
