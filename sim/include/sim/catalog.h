// The catalogue of simulated scanner models: each model's series, model text and identification codes,
// running its firmware or only its boot loader, and the factory that builds and attaches one.
//
// Running codes make the model's own series read the identity block (the model text decides); boot-loader
// codes make its series build a canned identity. Every other series' identification answers "no model"
// (or fails) for these codes, so a probe that walks the series in order finds the model in its own step.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/identity.h"
#include "sim/scanner_device.h"

namespace sim {

enum class Series { kFirst, kQv62x, kQv63x, kQv64x, kQv9120, kVekQv5xx, kKQv8x };

enum class Model {
  kQv600,
  kQv605,
  kQv620,
  kQv602,
  kKwl602,
  kQv702,
  kKwl603,
  kQv630,
  kQv840,
  kQv625,
  kQv640,
  kQv9120,
  kRm70,
  kRm70Kf,
  kKQv8,
};

enum class Firmware { kRunning, kBootLoader };

struct ModelInfo {
  Model model;
  Series series;
  const char* modelText;
  const char* manufacturer;
  IdentificationCodes running;
  std::optional<IdentificationCodes> boot;  // absent: the series has no canned identity for the model
  const char* name;             // the short name callers pick the model by ("QV630")
  const char* firmwarePackage;  // the package file the host looks for; null for the first series
};

std::span<const ModelInfo> AllModels();
const ModelInfo& Info(Model model);
// The model of a short name, compared without regard to case; nullopt for an unknown name.
std::optional<Model> ModelNamed(std::string_view name);
const char* SeriesName(Series series);

// "\\.\usbbulk0" for the first series, "\\.\KScanDrv-0" for the others.
std::string DefaultDeviceName(Series series);

// A device of the model with its identity and codes (boot-loader codes when asked and the model has them).
std::shared_ptr<ScannerDevice> MakeScanner(Model model, Firmware firmware = Firmware::kRunning);
// Builds the device and attaches it to the driver-device registry under `name` (empty: the default name).
std::shared_ptr<ScannerDevice> AttachScanner(Model model, const std::string& name = {},
                                             Firmware firmware = Firmware::kRunning);

}  // namespace sim
