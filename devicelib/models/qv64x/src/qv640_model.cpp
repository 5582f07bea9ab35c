// The QV640 model, its EEPROM image and its registration.
#include "qv6/qv64x/qv640_model.h"

#include "app/dll_app.h"
#include "connect/model_registry.h"
#include "platform/ini.h"
#include "qv6/later/firmware_update.h"
#include "qv6/later/later_blocks.h"

namespace qv6 {

void Qv64xMechFile::GetDefaultSection(int tag, uint8_t* buffer, size_t length) {
  CopyDefaultSection(tag, buffer, length, later::Qv64xBlockTable(), &qv64x::FillQv640Defaults);
}

Qv640::Qv640(DriverDeviceInterface& transport)
    : Qv640Parts(transport), ScannerQV63xDeviceTemplate(Qv640Parts::commands, Qv64xSeriesTraits()) {
  SetMechFile(&(this->Qv640Parts::mechFile));
  // Until the scanner's image is read, the model works with its defaults.
  qv64x::FillQv640Defaults(blocks());
}

FirmwareOutcome Qv640::EnsureFirmware(const char* firmwareFile, const char* state, const char* version,
                                      const char* manufacturer) {
  const DescriptorNames names = DefaultDescriptorNames();
  const int mode = plat::GetPrivateProfileIntA(names.section.c_str(), "FIRMW_LOAD_MODE", kDefaultLoadMode,
                                               names.file.c_str());
  FirmwareUpdateOptions options;
  options.rule = [mode](const FirmwareFacts& facts) { return Qv64xFirmwareRule(mode, facts); };
  options.view = firmwareView();
  return RunLaterFirmwareUpdate(ScannerQV63xDeviceTemplate::commands(), firmwareFile, state, version,
                                manufacturer, options);
}

namespace {

constexpr const char* kClasses[] = {"Qv640"};

const ModelRegistration kQv640Class(kClasses[0], &CreateDriverModel<Qv640>);

}  // namespace

std::span<const char* const> Qv64xModelClasses() {
  return kClasses;
}

}  // namespace qv6
