// Stand-in for the scanner manager "FerloScannerDLL.dll": the eleven exports, "Reserved1" giving the
// interface object and the others forwarding to it. Every call is recorded, one line each, for tests.
// Variants: FERLO_STANDIN_MISSING_EXPORT leaves "SetOption" out; FERLO_STANDIN_NULL_OBJECT makes
// "Reserved1" give null.
#include <cstdint>
#include <mutex>
#include <string>

#include "zarn/ferlo.h"

#define FERLO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex g_mutex;
std::string g_calls;

void Record(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_calls += line;
  g_calls += '\n';
}

std::string S(const char* text) { return text != nullptr ? text : "(null)"; }

class Manager final : public zarn::FerloInterface {
 public:
  void Initialize(const char* v, const char* f, const char* m) override {
    Record("Initialize|" + S(v) + "|" + S(f) + "|" + S(m));
  }
  void SetSerialNumber(const char* s) override { Record("SetSerialNumber|" + S(s)); }
  uint8_t GetStatus() override { Record("GetStatus"); return 1; }
  void BeginDocument() override { Record("BeginDocument"); }
  void WriteData(const char* s, const char* k, const char* v) override {
    Record("WriteData|" + S(s) + "|" + S(k) + "|" + S(v));
  }
  void EndDocument() override { Record("EndDocument"); }
  void ShutDown() override { Record("ShutDown"); }
  void Slot7() override { Record("Slot7"); }
  uint8_t Slot8() override { Record("TrackIsIdle"); return 1; }
  void SetOptionsFile(intptr_t v) override { Record("SetOptionsFile|" + std::to_string(v)); }
  void SetOption(intptr_t a, intptr_t b) override {
    Record("SetOption|" + std::to_string(a) + "|" + std::to_string(b));
  }
};

Manager g_manager;

}  // namespace

FERLO_EXPORT zarn::FerloInterface* Reserved1() {
#ifdef FERLO_STANDIN_NULL_OBJECT
  return nullptr;
#else
  return &g_manager;
#endif
}
FERLO_EXPORT void Initialize(const char* v, const char* f, const char* m) { g_manager.Initialize(v, f, m); }
FERLO_EXPORT void SetSerialNumber(const char* s) { g_manager.SetSerialNumber(s); }
FERLO_EXPORT uint8_t GetStatus() { return g_manager.GetStatus(); }
FERLO_EXPORT void BeginDocument() { g_manager.BeginDocument(); }
FERLO_EXPORT void WriteData(const char* s, const char* k, const char* v) { g_manager.WriteData(s, k, v); }
FERLO_EXPORT void EndDocument() { g_manager.EndDocument(); }
FERLO_EXPORT void ShutDown() { g_manager.ShutDown(); }
FERLO_EXPORT uint8_t TrackIsIdle() { return g_manager.Slot8(); }
FERLO_EXPORT void SetOptionsFile(intptr_t v) { g_manager.SetOptionsFile(v); }
#ifndef FERLO_STANDIN_MISSING_EXPORT
FERLO_EXPORT void SetOption(intptr_t a, intptr_t b) { g_manager.SetOption(a, b); }
#endif

// For tests: the calls so far, one per line, and clearing them.
FERLO_EXPORT const char* FerloStandInCalls() {
  std::lock_guard<std::mutex> lock(g_mutex);
  static std::string copy;
  copy = g_calls;
  return copy.c_str();
}
FERLO_EXPORT void FerloStandInClear() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_calls.clear();
}
