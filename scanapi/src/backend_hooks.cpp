// The unbound defaults of the back-end hooks and their install point.
#include "zarn/backend_hooks.h"

#include <atomic>

#include "zarn/status.h"

namespace zarn {

int BackendHooks::RewriteQv600DriverFile() { return 0; }
int BackendHooks::Qv600SetMicrConfig(int, int) { return 0; }
int BackendHooks::Qv600Disable() { return 0; }
void BackendHooks::Qv600Restart() {}
int BackendHooks::Qv600StatusCheck() { return kScannerMissing; }
int BackendHooks::Qv800Init(const char*, const char*, int, int) { return kQv800NotInitialised; }
int BackendHooks::Qv800ClearErrors() { return kQv800NotInitialised; }
int BackendHooks::Qv800SetConfig(int) { return kQv800NotInitialised; }
int BackendHooks::Qv800GetScsiInfo(uint8_t*, uint8_t*) { return kQv800NotInitialised; }
int BackendHooks::Qv800SetPrint(int, int, const char*) { return kQv800NotInitialised; }

namespace {
BackendHooks g_unbound;
std::atomic<BackendHooks*> g_hooks{&g_unbound};
}  // namespace

BackendHooks& Backend() { return *g_hooks.load(); }
void InstallBackendHooks(BackendHooks* hooks) { g_hooks.store(hooks != nullptr ? hooks : &g_unbound); }

}  // namespace zarn
