// The simulator component: a scanner of the catalogue, its firmware package and its document feeder.
#include "sim/simulator.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "driver/device_registry.h"
#include "sim/catalog.h"
#include "sim/firmware_package_builder.h"
#include "sim/kqv8x_document_feeder.h"
#include "sim/qv63x_device.h"
#include "sim/qv62x_device.h"
#include "sim/qv62x_document_feeder.h"
#include "sim/qv63x_document_feeder.h"
#include "sim/qv60x_device.h"
#include "sim/qv60x_feed_format.h"
#include "sim/qv64x_feed_format.h"
#include "sim/vekqv5xx_document_feeder.h"

namespace sim {
namespace {

void Fail(std::string* error, std::string reason) {
  if (error != nullptr) *error = std::move(reason);
}

HostImage HostImageOf(documents::ExpectedImage image) {
  HostImage h;
  h.width = image.width;
  h.height = image.height;
  h.bitCount = image.bitCount;
  h.dpi = image.dpi;
  h.pixels = std::move(image.pixels);
  return h;
}

DocumentFault FaultOf(const documents::DocumentFaults& faults) {
  if (faults.jam) return DocumentFault::kJam;
  if (faults.doubleFeed) return DocumentFault::kDoubleFeed;
  if (faults.unplugMidDocument) return DocumentFault::kUnplug;
  if (faults.frontTransferFails) return DocumentFault::kDriverFailure;
  return DocumentFault::kNone;
}

void AddFault(documents::DocumentFaults& faults, DocumentFault fault) {
  faults.jam |= fault == DocumentFault::kJam;
  faults.doubleFeed |= fault == DocumentFault::kDoubleFeed;
  faults.unplugMidDocument |= fault == DocumentFault::kUnplug;
  faults.frontTransferFails |= fault == DocumentFault::kDriverFailure;
}

// Writes the model's package, holding firmware whose texts are those the running scanner reports, so a
// host connecting a running scanner finds it up to date and one running its boot loader downloads it.
bool WriteFirmwarePackage(const ModelInfo& info, const Identity& running, const ScannerSpec& spec,
                          std::string* path, std::string* error) {
  if (info.firmwarePackage == nullptr) return true;
  std::error_code ec;
  const std::filesystem::path folder =
      spec.firmwareFolder.empty() ? std::filesystem::current_path(ec) : std::filesystem::path(spec.firmwareFolder);
  const std::filesystem::path file = folder / info.firmwarePackage;
  if (ec || !WritePackage(file, StandardPackage(running.manufacturer, running.version))) {
    Fail(error, "cannot write the firmware package " + file.string());
    return false;
  }
  *path = file.string();
  return true;
}

// The resolutions a host of the series can be set to scan at: the 300 dpi sensors of the QV64x, VEKQv5xx
// and KQv8x series are reduced to 200 or 100 dpi on request (but by the VEKQv5xx host).
std::vector<int> HostResolutions(Series series) {
  switch (series) {
    case Series::kQv64x:
    case Series::kVekQv5xx:
    case Series::kKQv8x:
      return {100, 200, 300};
    default:
      return {100, 200};
  }
}

// The resolution of the images the host then holds: the VEKQv5xx host keeps its sensors' 300 dpi
// whatever it is set to.
int HeldResolution(Series series, int hostResolution) {
  return series == Series::kVekQv5xx ? 300 : hostResolution;
}

bool Sensor300(Series series) {
  return series == Series::kQv64x || series == Series::kVekQv5xx || series == Series::kKQv8x;
}

// A series' hopper attached to its device: the object that answers the device (kept alive by `owner`)
// and the series-neutral feeder behind it.
struct Hopper {
  std::shared_ptr<const void> owner;
  const DocumentFeeder* feeder = nullptr;
};

// Builds the model's device side over the shared hopper and hands it to the device. The series differ
// only in their device side and feed format: the QV63x image modules (QV63x, QV9120; the QV840's and the
// QV9120's transports running the other way round), the QV64x full-width sensors, the VEKQv5xx modules and sample format, the KQv8x,
// QV62x and first-series formats.
Hopper AttachHopper(Model model, Series series, ScannerDevice& device, documents::DocumentStack stack,
                    const std::string& deviceName) {
  Hopper h;
  switch (series) {
    case Series::kFirst: {
      FeederOptions options;
      options.deviceName = deviceName;
      auto feeder = std::make_shared<Qv60xDocumentFeeder>(std::move(stack), Qv60xLayout{model == Model::kQv605},
                                                          options);
      h.feeder = &feeder->feeder();
      static_cast<Qv60xDevice&>(device).SetDocumentSource(feeder);
      h.owner = std::move(feeder);
      return h;
    }
    case Series::kQv62x: {
      const bool qv602 = model == Model::kQv602 || model == Model::kKwl602;
      FeederOptions options;
      options.deviceName = deviceName;
      auto feeder = std::make_shared<Qv62xDocumentFeeder>(std::move(stack),
                                                          Qv62xLayoutOf(qv602, model == Model::kQv702), options);
      h.feeder = &feeder->feeder();
      static_cast<Qv62xDevice&>(device).SetDocumentSource(feeder);
      h.owner = std::move(feeder);
      return h;
    }
    case Series::kVekQv5xx: {
      VekQv5xxFeederOptions options = VekQv5xxDefaultFeederOptions();
      options.deviceName = deviceName;
      auto feeder = std::make_shared<VekQv5xxDocumentFeeder>(std::move(stack), options);
      h.feeder = &feeder->feeder();
      static_cast<VekQv5xxDevice&>(device).SetDocumentSource(feeder);
      h.owner = std::move(feeder);
      return h;
    }
    case Series::kKQv8x: {
      KQv8xFeederOptions options = KQv8xDefaultFeederOptions();
      options.deviceName = deviceName;
      auto feeder = std::make_shared<KQv8xDocumentFeeder>(std::move(stack), options);
      h.feeder = &feeder->feeder();
      static_cast<Qv63xDevice&>(device).SetDocumentSource(feeder);
      h.owner = std::move(feeder);
      return h;
    }
    case Series::kQv64x: {
      Qv63xFeederOptions options = Qv64xFeederOptions();
      options.deviceName = deviceName;
      auto feeder = std::make_shared<Qv63xDocumentFeeder>(std::move(stack), options,
                                                          std::make_shared<Qv64xFeedFormat>(options));
      h.feeder = &feeder->feeder();
      static_cast<Qv63xDevice&>(device).SetDocumentSource(feeder);
      h.owner = std::move(feeder);
      return h;
    }
    case Series::kQv63x:
    case Series::kQv9120: {
      Qv63xFeederOptions options;
      options.mirroredSides = model == Model::kQv840 || model == Model::kQv9120;
      options.deviceName = deviceName;
      auto feeder = std::make_shared<Qv63xDocumentFeeder>(std::move(stack), options);
      h.feeder = &feeder->feeder();
      static_cast<Qv63xDevice&>(device).SetDocumentSource(feeder);
      h.owner = std::move(feeder);
      return h;
    }
  }
  return h;
}

}  // namespace

std::vector<std::string> ModelNames() {
  std::vector<std::string> names;
  for (const ModelInfo& info : AllModels()) names.emplace_back(info.name);
  return names;
}

HostImage ReadHostImage(const void* packedDib) {
  return HostImageOf(documents::ReadPackedDib(packedDib));
}

struct SimulatedScanner::State {
  Model model = Model::kQv630;
  int hostResolution = 200;
  std::string deviceName;
  std::string packagePath;
  std::shared_ptr<ScannerDevice> device;
  Hopper hopper;  // no feeder when the stack is empty
};

SimulatedScanner::SimulatedScanner(std::unique_ptr<State> state) : state_(std::move(state)) {}

SimulatedScanner::~SimulatedScanner() {
  Detach();
}

std::unique_ptr<SimulatedScanner> SimulatedScanner::Attach(const ScannerSpec& spec, std::string* error) {
  const std::optional<Model> model = ModelNamed(spec.model);
  if (!model) {
    Fail(error, "unknown scanner model \"" + spec.model + "\"");
    return nullptr;
  }
  const ModelInfo& info = Info(*model);
  const DocumentStackSpec& stackSpec = spec.documents;
  if (stackSpec.count < 0) {
    Fail(error, "a stack of " + std::to_string(stackSpec.count) + " documents");
    return nullptr;
  }
  for (const ScheduledFault& f : stackSpec.faults) {
    if (f.document < 0 || f.document >= stackSpec.count) {
      Fail(error, "a fault is scheduled for document " + std::to_string(f.document) + " of " +
                      std::to_string(stackSpec.count));
      return nullptr;
    }
  }
  const std::vector<int> resolutions = HostResolutions(info.series);
  if (std::find(resolutions.begin(), resolutions.end(), spec.hostResolution) == resolutions.end()) {
    std::string list;
    for (size_t i = 0; i < resolutions.size(); ++i) {
      list += (i == 0 ? "" : i + 1 == resolutions.size() ? " or " : ", ") + std::to_string(resolutions[i]);
    }
    Fail(error, std::string("the host resolution of the ") + SeriesName(info.series) + " series is " + list);
    return nullptr;
  }

  auto state = std::make_unique<State>();
  state->model = *model;
  state->hostResolution = HeldResolution(info.series, spec.hostResolution);
  state->deviceName = spec.deviceName.empty() ? DefaultDeviceName(info.series) : spec.deviceName;
  if (!WriteFirmwarePackage(info, MakeScanner(*model)->identity(), spec, &state->packagePath, error))
    return nullptr;
  state->device = MakeScanner(*model, spec.bootLoaderOnly ? Firmware::kBootLoader : Firmware::kRunning);

  if (stackSpec.count > 0) {
    documents::ChequeOptions cheques;
    if (Sensor300(info.series)) cheques.dpi = 300;
    cheques.colour = stackSpec.colour;
    cheques.font = stackSpec.font == CodeLineFont::kCmc7 ? documents::MicrFont::kCmc7 : documents::MicrFont::kE13b;
    documents::DocumentStack stack(stackSpec.seed, cheques);
    std::vector<documents::DocumentFaults> faults(static_cast<size_t>(stackSpec.count));
    for (const ScheduledFault& f : stackSpec.faults) AddFault(faults[static_cast<size_t>(f.document)], f.fault);
    for (const documents::DocumentFaults& f : faults) stack.AddCheque(f);
    state->hopper = AttachHopper(*model, info.series, *state->device, std::move(stack), state->deviceName);
  }
  drv::DeviceRegistry::Instance().Attach(state->deviceName, state->device);
  return std::unique_ptr<SimulatedScanner>(new SimulatedScanner(std::move(state)));
}

void SimulatedScanner::Detach() {
  // Only this scanner: another device attached under the name since is left alone.
  auto& registry = drv::DeviceRegistry::Instance();
  if (registry.Find(state_->deviceName) == state_->device) registry.Detach(state_->deviceName);
}

void SimulatedScanner::Replug() {
  if (!Attached()) drv::DeviceRegistry::Instance().Attach(state_->deviceName, state_->device);
}

bool SimulatedScanner::Attached() const {
  return drv::DeviceRegistry::Instance().Find(state_->deviceName) == state_->device;
}

const std::string& SimulatedScanner::DeviceName() const {
  return state_->deviceName;
}

const std::string& SimulatedScanner::FirmwarePackagePath() const {
  return state_->packagePath;
}

size_t SimulatedScanner::Waiting() const {
  return state_->hopper.feeder != nullptr ? state_->hopper.feeder->Waiting() : 0;
}

size_t SimulatedScanner::FedCount() const {
  return state_->hopper.feeder != nullptr ? state_->hopper.feeder->FedCount() : 0;
}

std::optional<FedDocumentReport> SimulatedScanner::Fed(size_t index, bool images) const {
  if (state_->hopper.feeder == nullptr) return std::nullopt;
  const DocumentFeeder& feeder = *state_->hopper.feeder;
  const std::optional<DocumentFeeder::Record> record = feeder.RecordOf(index);
  if (!record) return std::nullopt;
  FedDocumentReport report;
  report.index = record->index;
  report.codeLine = record->codeLine;
  report.fault = FaultOf(record->faults);
  // A QV62x sends a jammed document's data for the host to judge; the host holds no image of it.
  const bool imageless = !images || record->faults.jam || record->faults.doubleFeed;
  if (auto expected = imageless ? std::nullopt : feeder.ExpectedImages(index, state_->hostResolution)) {
    report.front = HostImageOf(std::move((*expected)[0]));
    report.rear = HostImageOf(std::move((*expected)[1]));
  }
  return report;
}

}  // namespace sim
