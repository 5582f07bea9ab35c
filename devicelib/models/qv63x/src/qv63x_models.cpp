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

constexpr const char* kClasses[] = {"Qv603", "Qv625", "Qv630", "Qv840"};

const ModelRegistration kQv603Class(kClasses[0], &CreateDriverModel<Qv603>);
const ModelRegistration kQv625Class(kClasses[1], &CreateDriverModel<Qv625>);
const ModelRegistration kQv630Class(kClasses[2], &CreateDriverModel<Qv630>);
const ModelRegistration kQv840Class(kClasses[3], &CreateDriverModel<Qv840>);

}  // namespace

std::span<const char* const> Qv63xModelClasses() {
  return kClasses;
}

}  // namespace qv6
