// The first series' model classes and its firmware update, made known to the connections.
#include "connect/model_registry.h"
#include "connect/standard_probe.h"
#include "qv6/qv60x/qv60x_models.h"

namespace qv6 {
namespace {

template <class Model>
std::unique_ptr<DeviceModel> CreateBulkModel(const ModelContext& context) {
  if (context.bulk == nullptr) return nullptr;
  return std::make_unique<Model>(*context.bulk);
}

struct FirstSeriesRegistration {
  FirstSeriesRegistration() { SetFirstSeriesFirmwareUpdate(&UpdateFirstSeriesFirmware); }
  ~FirstSeriesRegistration() { SetFirstSeriesFirmwareUpdate(nullptr); }
};

const ModelRegistration kQv600("Qv600", &CreateBulkModel<Qv600>);
const ModelRegistration kQv605("Qv605", &CreateBulkModel<Qv605>);
const FirstSeriesRegistration kFirmware;

}  // namespace
}  // namespace qv6
