// The QV63x models and their model texts.
#include "qv6/qv63x/qv63x_models.h"

namespace qv6 {

Qv63xModel::Qv63xModel(DriverDeviceInterface& transport, const Qv63xModelFlags& flags)
    : Qv63xModelParts(transport, flags.defaults),
      ScannerQV63xDeviceTemplate(Qv63xModelParts::commands, Qv63xSeriesTraits()),
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
std::unique_ptr<Qv63xModel> Create(DriverDeviceInterface& transport) {
  return std::make_unique<Model>(transport);
}

constexpr Qv63xModelEntry kModels[] = {
    {"KWL Scanner 603", "Qv603", &Create<Qv603>},
    {"Orvisca Scanner Qv630", "Qv630", &Create<Qv630>},
    {"Orvisca Scanner Qv840", "Qv840", &Create<Qv840>},
    {"Orvisca Scanner Qv625", "Qv625", &Create<Qv625>},
};

}  // namespace

const Qv63xModelEntry* FindQv63xModel(std::string_view model) {
  for (const Qv63xModelEntry& entry : kModels) {
    if (model.starts_with(entry.text)) return &entry;
  }
  return nullptr;
}

}  // namespace qv6
