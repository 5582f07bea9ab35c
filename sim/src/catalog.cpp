// The model table of the simulated scanners and their factory.
#include "sim/catalog.h"

#include <array>
#include <stdexcept>

#include "driver/device_registry.h"
#include "platform/text.h"
#include "sim/kqv8x_device.h"
#include "sim/qv60x_device.h"
#include "sim/qv62x_device.h"
#include "sim/qv63x_device.h"
#include "sim/qv64x_device.h"
#include "sim/qv9120_device.h"
#include "sim/vekqv5xx_device.h"

namespace sim {
namespace {

constexpr const char* kVek = "VEK Corporation";
constexpr const char* kKwl = "KWL Ltd - Norda";

// Identification codes: product, device, board. Boot-loader codes are those whose canned identity names
// the model; running codes are those for which the series reads the identity block.
const std::array<ModelInfo, 15> kModels = {{
    // The QV600 came under another maker's name than its successors; hosts tell it by that name.
    {Model::kQv600, Series::kFirst, "Orvisca Scanner Qv600", kKwl, {}, std::nullopt, "QV600", nullptr},
    {Model::kQv605, Series::kFirst, "Orvisca Scanner Qv605", kVek, {}, std::nullopt, "QV605", nullptr},
    {Model::kQv620, Series::kQv62x, "Orvisca Scanner Qv620", kVek, {9, 1, 0}, std::nullopt, "QV620", "QV620Firmware.bin"},
    {Model::kQv602, Series::kQv62x, "Orvisca Scanner Qv602", kVek, {8, 1, 0}, std::nullopt, "QV602", "QV602Firmware.bin"},
    {Model::kKwl602, Series::kQv62x, "KWL Scanner 602", kKwl, {0x21, 1, 0}, IdentificationCodes{28, 1, 0}, "KWL602", "QV602Firmware.bin"},
    {Model::kQv702, Series::kQv62x, "KWL Scanner 702", kKwl, {0x22, 1, 0}, IdentificationCodes{29, 1, 0}, "QV702", "QV702Firmware.bin"},
    {Model::kKwl603, Series::kQv63x, "KWL Scanner 603", kKwl, {35, 1, 0}, IdentificationCodes{23, 1, 0x23}, "KWL603", "QV603Firmware.bin"},
    {Model::kQv630,
     Series::kQv63x,
     "Orvisca Scanner Qv630",
     kVek,
     {19, 1, 0},
     IdentificationCodes{23, 1, 0x13}, "QV630", "QV630Firmware.bin"},
    {Model::kQv840,
     Series::kQv63x,
     "Orvisca Scanner Qv840",
     kVek,
     {20, 1, 0},
     IdentificationCodes{30, 1, 0x14}, "QV840", "QV840Firmware.bin"},
    {Model::kQv625,
     Series::kQv63x,
     "Orvisca Scanner Qv625",
     kVek,
     {32, 1, 0},
     IdentificationCodes{22, 1, 0x20}, "QV625", "QV625Firmware.bin"},
    {Model::kQv640,
     Series::kQv64x,
     "Orvisca Scanner Qv640",
     kVek,
     {25, 1, 0},
     IdentificationCodes{23, 1, 0x19}, "QV640", "QV640Firmware.bin"},
    {Model::kQv9120,
     Series::kQv9120,
     "Orvisca Scanner Qv9120",
     kVek,
     {19, 1, 0},
     IdentificationCodes{23, 1, 0x0D}, "QV9120", "QV9120Firmware.bin"},
    {Model::kRm70,
     Series::kVekQv5xx,
     "Orvisca Scanner RM 70",
     "VEK Corp.",
     {21, 1, 0},
     IdentificationCodes{24, 1, 21}, "RM70", "RM70Firmware.bin"},
    {Model::kRm70Kf,
     Series::kVekQv5xx,
     "Orvisca Scanner RM 70 KF",
     "VEK Corp.",
     {32, 1, 0},
     IdentificationCodes{24, 1, 32}, "RM70KF", "RM70KfFirmware.bin"},
    {Model::kKQv8,
     Series::kKQv8x,
     "KWL Scanner KQv8",
     "KWL - Norda",
     {36, 1, 0},
     IdentificationCodes{31, 1, 36}, "KQV8", "KQv8Firmware.bin"},
}};

}  // namespace

std::span<const ModelInfo> AllModels() {
  return kModels;
}

const ModelInfo& Info(Model model) {
  for (const auto& info : kModels) {
    if (info.model == model) return info;
  }
  throw std::invalid_argument("unknown simulated model");
}

std::optional<Model> ModelNamed(std::string_view name) {
  for (const auto& info : kModels) {
    if (plat::EqualNoCase(info.name, name)) return info.model;
  }
  return std::nullopt;
}

const char* SeriesName(Series series) {
  switch (series) {
    case Series::kFirst:
      return "first series";
    case Series::kQv62x:
      return "QV62x";
    case Series::kQv63x:
      return "QV63x";
    case Series::kQv64x:
      return "QV64x";
    case Series::kQv9120:
      return "QV9120";
    case Series::kVekQv5xx:
      return "VEKQv5xx";
    case Series::kKQv8x:
      return "KQv8x";
  }
  return "?";
}

std::string DefaultDeviceName(Series series) {
  return series == Series::kFirst ? "\\\\.\\usbbulk0" : "\\\\.\\KScanDrv-0";
}

std::shared_ptr<ScannerDevice> MakeScanner(Model model, Firmware firmware) {
  const ModelInfo& info = Info(model);
  Identity identity;
  identity.manufacturer = info.manufacturer;
  identity.model = info.modelText;
  IdentificationCodes codes = info.running;
  if (firmware == Firmware::kBootLoader && info.boot) {
    codes = *info.boot;
    identity.version = "0.0.0.0";
    identity.state = "BOOT";
  }
  switch (info.series) {
    case Series::kFirst:
      return std::make_shared<Qv60xDevice>(identity);
    case Series::kQv62x:
      return std::make_shared<Qv62xDevice>(identity, codes);
    case Series::kQv63x:
      return std::make_shared<Qv63xDevice>(identity, codes);
    case Series::kQv64x:
      return std::make_shared<Qv64xDevice>(identity, codes);
    case Series::kQv9120:
      return std::make_shared<Qv9120Device>(identity, codes);
    case Series::kVekQv5xx:
      return std::make_shared<VekQv5xxDevice>(identity, codes);
    case Series::kKQv8x:
      return std::make_shared<KQv8xDevice>(identity, codes);
  }
  return nullptr;
}

std::shared_ptr<ScannerDevice> AttachScanner(Model model, const std::string& name, Firmware firmware) {
  auto device = MakeScanner(model, firmware);
  drv::DeviceRegistry::Instance().Attach(name.empty() ? DefaultDeviceName(Info(model).series) : name, device);
  return device;
}

}  // namespace sim
