// OutputDebugStringA: stderr on request, plus the test captures.
#include "platform/debug_output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace plat {
namespace {

struct OutputState {
  std::mutex m;
  std::vector<DebugOutputCapture*> captures;
};

OutputState& State() {
  static OutputState state;
  return state;
}

bool StderrWanted() {
  const char* v = std::getenv("ZC_DEBUG_OUTPUT");
  return v != nullptr && std::strcmp(v, "1") == 0;
}

}  // namespace

void OutputDebugStringA(const char* text) {
  if (text == nullptr) return;
  OutputState& s = State();
  std::lock_guard lock(s.m);
  for (DebugOutputCapture* c : s.captures) c->Append(text);
  if (StderrWanted()) {
    std::fputs(text, stderr);
    std::fflush(stderr);
  }
}

DebugOutputCapture::DebugOutputCapture() {
  OutputState& s = State();
  std::lock_guard lock(s.m);
  s.captures.push_back(this);
}

DebugOutputCapture::~DebugOutputCapture() {
  OutputState& s = State();
  std::lock_guard lock(s.m);
  s.captures.erase(std::remove(s.captures.begin(), s.captures.end(), this), s.captures.end());
}

void DebugOutputCapture::Append(const char* text) {
  calls_.emplace_back(text);
}

std::string DebugOutputCapture::Text() const {
  std::lock_guard lock(State().m);
  std::string all;
  for (const std::string& c : calls_) all += c;
  return all;
}

std::vector<std::string> DebugOutputCapture::Calls() const {
  std::lock_guard lock(State().m);
  return calls_;
}

void DebugOutputCapture::Clear() {
  std::lock_guard lock(State().m);
  calls_.clear();
}

}  // namespace plat
