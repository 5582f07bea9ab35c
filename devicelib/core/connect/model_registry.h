// ModelRegistry: the model classes a connection can create, keyed by the class name of the model table
// ("Qv630", "VEKQv500", ...). Each series registers the factories of its model classes; a model text
// whose class is not registered is treated as no model of that series.
#pragma once

#include <memory>
#include <string>

#include "connect/model_table.h"
#include "device/device_model.h"

namespace qv6 {

class DriverDeviceInterface;
class ScannerInterface;

// What a model is built on: the row that matched and the transport of its series, open and identified.
// Exactly one of the two transports is set: `bulk` for the first series, `driver` for the others.
struct ModelContext {
  const ModelRow& row;
  ScannerInterface* bulk;
  DriverDeviceInterface* driver;
};

using ModelFactory = std::unique_ptr<DeviceModel> (*)(const ModelContext& context);

class ModelRegistry {
 public:
  // Registers (or replaces) the factory of a model class.
  static void Register(const std::string& modelClass, ModelFactory factory);
  static void Unregister(const std::string& modelClass);
  // nullptr when the class is not registered.
  static ModelFactory Find(const std::string& modelClass);
};

// The factory of a model class built on its series' driver-device transport.
template <class Model>
std::unique_ptr<DeviceModel> CreateDriverModel(const ModelContext& context) {
  if (context.driver == nullptr) return nullptr;
  return std::make_unique<Model>(*context.driver);
}

// Registers a factory for as long as the object lives; a series keeps one per model class as a
// namespace-scope object (its library must then be linked whole into the shared library).
class ModelRegistration {
 public:
  ModelRegistration(const char* modelClass, ModelFactory factory) : modelClass_(modelClass) {
    ModelRegistry::Register(modelClass_, factory);
  }
  ~ModelRegistration() { ModelRegistry::Unregister(modelClass_); }
  ModelRegistration(const ModelRegistration&) = delete;
  ModelRegistration& operator=(const ModelRegistration&) = delete;

 private:
  std::string modelClass_;
};

}  // namespace qv6
