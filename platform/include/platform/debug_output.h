// OutputDebugStringA stand-in: the debugger channel of the programs.
//
// Text goes to stderr when the environment variable ZC_DEBUG_OUTPUT is "1" (read at each call), and to
// every live DebugOutputCapture, so tests can check the exact text written. Each call's text is passed
// on whole and under one lock, so texts of different threads never mix.
#pragma once

#include <string>
#include <vector>

namespace plat {

// Writes `text` as given (no line end added). A null text writes nothing.
void OutputDebugStringA(const char* text);

// Collects all debug output written while it lives (on any thread). Captures may nest; each sees all text.
class DebugOutputCapture {
 public:
  DebugOutputCapture();
  ~DebugOutputCapture();
  DebugOutputCapture(const DebugOutputCapture&) = delete;
  DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

  // Everything captured so far, concatenated.
  std::string Text() const;
  // The text of each OutputDebugStringA call, in order.
  std::vector<std::string> Calls() const;
  void Clear();

 private:
  friend void OutputDebugStringA(const char* text);
  void Append(const char* text);
  std::vector<std::string> calls_;  // guarded by the output lock
};

}  // namespace plat
