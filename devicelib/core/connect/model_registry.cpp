// The registry of model classes.
#include "connect/model_registry.h"

#include <map>
#include <mutex>

namespace qv6 {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, ModelFactory, std::less<>> factories;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void ModelRegistry::Register(const std::string& modelClass, ModelFactory factory) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  if (factory == nullptr) {
    r.factories.erase(modelClass);
  } else {
    r.factories[modelClass] = factory;
  }
}

void ModelRegistry::Unregister(const std::string& modelClass) {
  Register(modelClass, nullptr);
}

ModelFactory ModelRegistry::Find(const std::string& modelClass) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  auto it = r.factories.find(modelClass);
  return it != r.factories.end() ? it->second : nullptr;
}

}  // namespace qv6
