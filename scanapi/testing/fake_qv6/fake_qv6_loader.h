// Reaching the fake device library's script from a test: the library is loaded by file name (the same
// module the code under test loads) and its control export resolved.
#pragma once

#include "fake_qv6/fake_qv6_control.h"
#include "platform/dynlib.h"

namespace zarn::fake {

// Loads `fileName` into `*module` and returns its control, or null when either is missing.
inline FakeQv6Control* LoadFakeControl(const char* fileName, plat::ModuleHandle* module) {
  *module = plat::LoadLibraryA(fileName);
  if (*module == nullptr) return nullptr;
  auto get = reinterpret_cast<FakeQv6Control* (*)()>(plat::GetProcAddress(*module, "FakeQv6GetControl"));
  return get != nullptr ? get() : nullptr;
}

}  // namespace zarn::fake
