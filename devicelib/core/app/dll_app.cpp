// Application object, last-error word and descriptor INI names.
#include "app/dll_app.h"

#include "app/log.h"
#include "device/polling_thread.h"
#include "device/qv6_device.h"
#if QV6_WITH_TRANSPORT
#include "transport/bulk_layer.h"
#include "transport/driver_layer.h"
#endif
#include "api/release_text.h"

namespace qv6 {
namespace {

std::atomic<int> g_lastError{0};

struct Descriptor {
  std::mutex mutex;
  DescriptorNames names;
};

Descriptor& TheDescriptor() {
  static Descriptor descriptor;
  return descriptor;
}

}  // namespace

CQv6DllApp::CQv6DllApp() {
  InitInstance();
}

CQv6DllApp::~CQv6DllApp() {
  ExitInstance();
}

bool CQv6DllApp::InitInstance() {
  connections_.RemoveAll();
#if QV6_WITH_TRANSPORT
  BulkLayer::Reset();
  DriverLayer::Reset();
#endif
  g_Log.LoadSettings(kSetupIni, kLogSection);
  g_Log.WriteFormatted(kLogApi, "START Qv6Dll - Release: %s\n", ReleaseText());
  return true;
}

int CQv6DllApp::ExitInstance() {
  for (auto& device : connections_.RemoveAll()) {
    // No event 1 into a caller that is unloading, and no polling thread left to run the library's code
    // once it is unmapped: the threads end here and the devices go on this thread.
    device->Shutdown();
    device.reset();
  }
  ReapParkedPollingThreads();
  return 0;
}

CQv6DllApp& App() {
  static CQv6DllApp app;
  return app;
}

void SetLastError(int value) {
  g_lastError.store(value);
}
int LastError() {
  return g_lastError.load();
}

DescriptorNames GetDescriptorNames() {
  Descriptor& d = TheDescriptor();
  std::lock_guard lock(d.mutex);
  return d.names;
}

void SetDescriptorNames(const char* file, const char* section) {
  Descriptor& d = TheDescriptor();
  std::lock_guard lock(d.mutex);
  d.names.file = file != nullptr ? file : "";
  d.names.section = section != nullptr ? section : "";
}

DescriptorNames DefaultDescriptorNames() {
  Descriptor& d = TheDescriptor();
  std::lock_guard lock(d.mutex);
  if (d.names.file.empty()) d.names.file = "QV6Descriptors.ini";
  if (d.names.section.empty()) d.names.section = "DEFAULT";
  return d.names;
}

}  // namespace qv6
