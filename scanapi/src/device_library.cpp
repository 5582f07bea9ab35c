// Loading the device library and resolving its exports by name.
#include "zarn/device_library.h"

#include "platform/dynlib.h"
#include "zarn/status.h"
#include "zarn/trace.h"

namespace zarn {

DeviceLibrary::~DeviceLibrary() { Unload(); }

int DeviceLibrary::Load(const char* fileName) {
  Unload();
  failure_.clear();
  const std::string name = fileName != nullptr ? fileName : "";
  plat::ModuleHandle module = plat::LoadLibraryA(name.c_str());
  if (module == nullptr) {
    failure_ = "Device library " + name + " missing: " + plat::LastLoadError();
    TraceAt(1, "%s", failure_.c_str());
    return kScannerMissing;
  }
  Qv6Exports resolved;
  bool complete = true;
  // Each pointer takes its export's declared type from the device library's header.
#define ZARN_QV6_RESOLVE(export_name)                                                           \
  if (complete) {                                                                               \
    void* address = plat::GetProcAddress(module, #export_name);                                 \
    if (address == nullptr) {                                                                   \
      failure_ = "Device library " + name + " lacks export " #export_name;                      \
      complete = false;                                                                         \
    } else {                                                                                    \
      resolved.export_name = reinterpret_cast<decltype(resolved.export_name)>(address);         \
    }                                                                                           \
  }
  ZARN_QV6_EXPORTS(ZARN_QV6_RESOLVE)
#undef ZARN_QV6_RESOLVE
  if (!complete) {
    TraceAt(1, "%s", failure_.c_str());
    plat::FreeLibrary(module);
    return kScannerMissing;
  }
  module_ = module;
  exports_ = resolved;
  return 0;
}

void DeviceLibrary::Unload() {
  if (module_ != nullptr) plat::FreeLibrary(static_cast<plat::ModuleHandle>(module_));
  module_ = nullptr;
  exports_ = Qv6Exports{};
}

}  // namespace zarn
