// The QV9120 model and its registration.
#include "qv6/qv9120/qv9120_model.h"

#include "connect/model_registry.h"
#include "qv6/later/later_blocks.h"

namespace qv6 {

Qv9120::Qv9120(DriverDeviceInterface& transport)
    : Qv63xModel(transport, {true, false, true, qv63x::DefaultSet::kQv840}, Qv9120SeriesTraits()) {}

later::StatusWords Qv9120::ComposeStatus() const {
  later::StatusWords w = ScannerQV63xDeviceTemplate::ComposeStatus();
  const auto sensor = static_cast<uint16_t>(blocks().Get(kBlockStatus, later::kSensor));
  if (sensor & later::kSensorPocket0Full) w.status |= QV6_STATUS_POCKET0_FULL;
  if (sensor & later::kSensorPocket1Full) w.status |= QV6_STATUS_POCKET1_FULL;
  return w;
}

namespace {

constexpr const char* kClasses[] = {"Qv9120"};

const ModelRegistration kQv9120Class(kClasses[0], &CreateDriverModel<Qv9120>);

}  // namespace

std::span<const char* const> Qv9120ModelClasses() {
  return kClasses;
}

}  // namespace qv6
