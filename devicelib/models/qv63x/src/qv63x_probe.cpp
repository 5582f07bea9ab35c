// Finding and starting a QV63x scanner.
#include "qv6/qv63x/qv63x_probe.h"

#include <array>
#include <string>

#include "app/log.h"
#include "identity/identity_block.h"
#include "platform/ini.h"
#include "qv6/later/later_commands.h"
#include "qv6/qv63x/qv63x_models.h"
#include "transport/driver_interface.h"

namespace qv6 {
namespace {

constexpr size_t kIdentitySize = 256;
constexpr uint32_t kFileNameSize = 1000;

class Qv63xProbe : public SeriesProbe {
 public:
  Qv63xProbe() : commands_(transport_) {}

  std::unique_ptr<DeviceModel> Probe(const ProbeContext& context) override {
    if (!transport_.Open()) return nullptr;
    std::array<uint8_t, kIdentitySize> identity{};
    if (!commands_.Identify(identity.data(), identity.size())) {
      Close();
      return nullptr;
    }
    CQv6Info info(identity.data(), identity.size());
    const Qv63xModelEntry* entry = FindQv63xModel(info.model());
    if (entry == nullptr) {
      Close();
      return nullptr;
    }
    g_Log.WriteFormatted(kLogApi, "Device: %s\n", entry->name);
    std::unique_ptr<Qv63xModel> model = entry->create(transport_);
    std::string upper = entry->name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string key = upper + "_Firmw";
    std::string fallback = upper + "Firmware.bin";
    std::string file(kFileNameSize, '\0');
    uint32_t n =
        plat::GetPrivateProfileStringA(context.descriptorSection.c_str(), key.c_str(), fallback.c_str(),
                                       file.data(), kFileNameSize, context.descriptorIni.c_str());
    file.resize(n);
    if (!model->UpdateFirmware(file.c_str(), info.state(), info.version(), info.manufacturer())) {
      Close();
      return nullptr;
    }
    return model;
  }

  void Close() override { transport_.Close(); }

 private:
  ScannerQV63xInterface transport_;
  Qv63xCommands commands_;
};

struct Registrar {
  Registrar() { RegisterQv63xSeries(); }
};
const Registrar kRegistrar;

}  // namespace

std::unique_ptr<SeriesProbe> CreateQv63xProbe() {
  return std::make_unique<Qv63xProbe>();
}

void RegisterQv63xSeries() {
  SeriesCatalog::Register(static_cast<int>(SeriesOrder::kQv63x), &CreateQv63xProbe);
}

}  // namespace qv6
