#include "platform/diagnostics_host.h"

#include <atomic>

namespace plat {
namespace {
std::atomic<DiagnosticsHost*> g_host{nullptr};
}  // namespace

void SetDiagnosticsHost(DiagnosticsHost* host) {
  g_host.store(host);
}

DiagnosticsHost* GetDiagnosticsHost() {
  return g_host.load();
}

}  // namespace plat
