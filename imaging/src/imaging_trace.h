// Trace lines of the image record operations, written through the API trace log when the trace level is
// at least the given level.
#pragma once

#include <cstdio>

namespace zc::imaging {

void TraceText(int level, const char* text);

template <typename... Args>
void TraceAt(int level, const char* format, Args... args) {
  char line[400];
  std::snprintf(line, sizeof line, format, args...);
  TraceText(level, line);
}

template <typename... Args>
void TraceLevel1(const char* format, Args... args) {
  TraceAt(1, format, args...);
}

}  // namespace zc::imaging
