// The registry of resource modules: handles are indexes + 1, never reused.
#include <deque>
#include <mutex>

#include "platform/text.h"
#include "ui/resources.h"

namespace ui {
namespace {

std::mutex g_mutex;
std::deque<ResourceModule> g_modules;  // a deque keeps references stable as modules are added

const ResourceModule* Module(HINSTANCE h) {
  const auto index = reinterpret_cast<uintptr_t>(h);
  std::lock_guard lock(g_mutex);
  return index >= 1 && index <= g_modules.size() ? &g_modules[index - 1] : nullptr;
}

template <class T>
const T* ByName(const std::vector<T>& list, std::string_view name) {
  for (const T& t : list)
    if (plat::EqualNoCase(t.name, name)) return &t;
  return nullptr;
}

}  // namespace

HINSTANCE RegisterResourceModule(ResourceModule module) {
  std::lock_guard lock(g_mutex);
  g_modules.push_back(std::move(module));
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(g_modules.size()));
}

const DialogTemplate* FindDialog(HINSTANCE module, std::string_view name) {
  const ResourceModule* m = Module(module);
  return m ? ByName(m->dialogs, name) : nullptr;
}
const MenuTemplate* FindMenu(HINSTANCE module, std::string_view name) {
  const ResourceModule* m = Module(module);
  return m ? ByName(m->menus, name) : nullptr;
}
const AcceleratorTable* FindAccelerators(HINSTANCE module, std::string_view name) {
  const ResourceModule* m = Module(module);
  return m ? ByName(m->accelerators, name) : nullptr;
}

}  // namespace ui
