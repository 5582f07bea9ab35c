// The simulator component: a scanner of the catalogue, its firmware package and its document feeder.
#include "sim/simulator.h"

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
  return DocumentFault::kNone;
}

void AddFault(documents::DocumentFaults& faults, DocumentFault fault) {
  faults.jam |= fault == DocumentFault::kJam;
  faults.doubleFeed |= fault == DocumentFault::kDoubleFeed;
  faults.unplugMidDocument |= fault == DocumentFault::kUnplug;
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

}  // namespace

HostImage ReadHostImage(const void* packedDib) {
  return HostImageOf(documents::ReadPackedDib(packedDib));
}

struct SimulatedScanner::State {
  Model model = Model::kQv630;
  int hostResolution = 200;
  std::string deviceName;
  std::string packagePath;
  std::shared_ptr<ScannerDevice> device;
  std::shared_ptr<Qv63xDocumentSource> source;       // the QV63x device side's source (QV63x, KQv8x)
  std::shared_ptr<Qv62xDocumentFeeder> qv62xFeeder;  // the QV62x device side's feeder
  std::shared_ptr<Qv60xDocumentFeeder> qv60xFeeder;  // the first series' device side's feeder
  const DocumentFeeder* feeder = nullptr;            // the hopper behind either; null for a model that feeds none
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
  const bool feeds = info.series == Series::kQv63x || info.series == Series::kQv62x ||
                     info.series == Series::kKQv8x || info.series == Series::kFirst;
  if (stackSpec.count < 0 || (stackSpec.count > 0 && !feeds)) {
    Fail(error, std::string("no document feeder for the ") + SeriesName(info.series) + " series");
    return nullptr;
  }
  for (const ScheduledFault& f : stackSpec.faults) {
    if (f.document < 0 || f.document >= stackSpec.count) {
      Fail(error, "a fault is scheduled for document " + std::to_string(f.document) + " of " +
                      std::to_string(stackSpec.count));
      return nullptr;
    }
  }
  const bool sensor300 = info.series == Series::kKQv8x;
  if (spec.hostResolution != 100 && spec.hostResolution != 200 &&
      !(sensor300 && spec.hostResolution == 300)) {
    Fail(error, sensor300 ? "the host resolution is 100, 200 or 300" : "the host resolution is 100 or 200");
    return nullptr;
  }

  auto state = std::make_unique<State>();
  state->model = *model;
  state->hostResolution = spec.hostResolution;
  state->deviceName = spec.deviceName.empty() ? DefaultDeviceName(info.series) : spec.deviceName;
  if (!WriteFirmwarePackage(info, MakeScanner(*model)->identity(), spec, &state->packagePath, error))
    return nullptr;
  state->device = MakeScanner(*model, spec.bootLoaderOnly ? Firmware::kBootLoader : Firmware::kRunning);

  if (feeds) {
    documents::ChequeOptions cheques;
    if (sensor300) cheques.dpi = 300;
    cheques.colour = stackSpec.colour;
    cheques.font = stackSpec.font == CodeLineFont::kCmc7 ? documents::MicrFont::kCmc7 : documents::MicrFont::kE13b;
    documents::DocumentStack stack(stackSpec.seed, cheques);
    std::vector<documents::DocumentFaults> faults(static_cast<size_t>(stackSpec.count));
    for (const ScheduledFault& f : stackSpec.faults) AddFault(faults[static_cast<size_t>(f.document)], f.fault);
    for (const documents::DocumentFaults& f : faults) stack.AddCheque(f);
    if (info.series == Series::kFirst) {
      FeederOptions options;
      options.deviceName = state->deviceName;
      state->qv60xFeeder = std::make_shared<Qv60xDocumentFeeder>(
          std::move(stack), Qv60xLayout{*model == Model::kQv605}, options);
      state->feeder = &state->qv60xFeeder->feeder();
      std::static_pointer_cast<Qv60xDevice>(state->device)->SetDocumentSource(state->qv60xFeeder);
    } else if (info.series == Series::kQv62x) {
      const bool qv602 = *model == Model::kQv602 || *model == Model::kKwl602;
      FeederOptions options;
      options.deviceName = state->deviceName;
      state->qv62xFeeder = std::make_shared<Qv62xDocumentFeeder>(
          std::move(stack), Qv62xLayoutOf(qv602, *model == Model::kQv702), options);
      state->feeder = &state->qv62xFeeder->feeder();
      std::static_pointer_cast<Qv62xDevice>(state->device)->SetDocumentSource(state->qv62xFeeder);
    } else {
      if (info.series == Series::kKQv8x) {
        KQv8xFeederOptions options = KQv8xDefaultFeederOptions();
        options.deviceName = state->deviceName;
        auto feeder = std::make_shared<KQv8xDocumentFeeder>(std::move(stack), options);
        state->feeder = &feeder->feeder();
        state->source = std::move(feeder);
      } else {
        Qv63xFeederOptions options;
        options.mirroredSides = *model == Model::kQv840;
        options.deviceName = state->deviceName;
        auto feeder = std::make_shared<Qv63xDocumentFeeder>(std::move(stack), options);
        state->feeder = &feeder->feeder();
        state->source = std::move(feeder);
      }
      std::static_pointer_cast<Qv63xDevice>(state->device)->SetDocumentSource(state->source);
    }
  }
  drv::DeviceRegistry::Instance().Attach(state->deviceName, state->device);
  return std::unique_ptr<SimulatedScanner>(new SimulatedScanner(std::move(state)));
}

void SimulatedScanner::Detach() {
  // Only this scanner: another device attached under the name since is left alone.
  auto& registry = drv::DeviceRegistry::Instance();
  if (registry.Find(state_->deviceName) == state_->device) registry.Detach(state_->deviceName);
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
  return state_->feeder != nullptr ? state_->feeder->Waiting() : 0;
}

size_t SimulatedScanner::FedCount() const {
  return state_->feeder != nullptr ? state_->feeder->FedCount() : 0;
}

std::optional<FedDocumentReport> SimulatedScanner::Fed(size_t index) const {
  if (state_->feeder == nullptr) return std::nullopt;
  const DocumentFeeder& feeder = *state_->feeder;
  const std::optional<DocumentFeeder::Record> record = feeder.RecordOf(index);
  if (!record) return std::nullopt;
  FedDocumentReport report;
  report.index = record->index;
  report.codeLine = record->codeLine;
  report.fault = FaultOf(record->faults);
  // A QV62x sends a jammed document's data for the host to judge; the host holds no image of it.
  const bool imageless = record->faults.jam || record->faults.doubleFeed;
  if (auto images = imageless ? std::nullopt : feeder.ExpectedImages(index, state_->hostResolution)) {
    report.front = HostImageOf(std::move((*images)[0]));
    report.rear = HostImageOf(std::move((*images)[1]));
  }
  return report;
}

}  // namespace sim
