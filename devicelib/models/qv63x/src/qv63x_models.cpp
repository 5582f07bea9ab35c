// The QV63x models and their registration as model classes.
#include "qv6/qv63x/qv63x_models.h"

#include "connect/model_registry.h"

namespace qv6 {

Qv63xModel::Qv63xModel(DriverDeviceInterface& transport, const Qv63xModelFlags& flags,
                       const LaterSeriesTraits& traits)
    : Qv63xModelParts(transport, flags.defaults),
      ScannerQV63xDeviceTemplate(Qv63xModelParts::commands, traits),
      flags_(flags) {
  SetMechFile(&(this->Qv63xModelParts::mechFile));
  // Until the scanner's image is read, the model works with its defaults.
  qv63x::FillMechDefaults(blocks(), flags.defaults);
}

int Qv63xModel::GetPrintParameter(int position1, int position2) {
  return flags_.firstPrintPosition ? position1 : position2;
}

namespace {

template <class Model>
std::unique_ptr<DeviceModel> Create(const ModelContext& context) {
  if (context.driver == nullptr) return nullptr;
  return std::make_unique<Model>(*context.driver);
}

constexpr const char* kClasses[] = {"Qv603", "Qv625", "Qv630", "Qv840"};

const ModelRegistration kQv603Class(kClasses[0], &Create<Qv603>);
const ModelRegistration kQv625Class(kClasses[1], &Create<Qv625>);
const ModelRegistration kQv630Class(kClasses[2], &Create<Qv630>);
const ModelRegistration kQv840Class(kClasses[3], &Create<Qv840>);

}  // namespace

std::span<const char* const> Qv63xModelClasses() {
  return kClasses;
}

}  // namespace qv6
