// The connect step of one series: transport, identity, model row, model class and start-up.
#include "connect/standard_probe.h"

#include <atomic>

#include "app/log.h"
#include "connect/identification.h"
#include "connect/model_registry.h"
#include "identity/identity_block.h"
#include "platform/ini.h"
#include "transport/driver_interface.h"
#include "transport/scanner_interface.h"

namespace qv6 {
namespace {

std::unique_ptr<DriverDeviceInterface> MakeDriverInterface(SeriesId series) {
  switch (series) {
    case SeriesId::kQv62x:
      return std::make_unique<ScannerQV62xInterface>();
    case SeriesId::kQv63x:
    case SeriesId::kQv9120:
      return std::make_unique<ScannerQV63xInterface>();
    case SeriesId::kQv64x:
      return std::make_unique<ScannerQV64xInterface>();
    case SeriesId::kVekQv5xx:
      return std::make_unique<ScannerVEKQv5xxInterface>();
    case SeriesId::kKQv8x:
      return std::make_unique<ScannerKQv8xInterface>();
    case SeriesId::kFirst:
      break;
  }
  return nullptr;
}

std::atomic<BulkFirmwareUpdate> g_firstSeriesUpdate{nullptr};

template <SeriesId S>
std::unique_ptr<SeriesProbe> MakeProbe() {
  return std::make_unique<StandardProbe>(S);
}

constexpr StandardSeries kStandard[] = {
    {static_cast<int>(SeriesOrder::kFirstSeries), &MakeProbe<SeriesId::kFirst>},
    {static_cast<int>(SeriesOrder::kQv62x), &MakeProbe<SeriesId::kQv62x>},
    {static_cast<int>(SeriesOrder::kQv63x), &MakeProbe<SeriesId::kQv63x>},
    {static_cast<int>(SeriesOrder::kQv64x), &MakeProbe<SeriesId::kQv64x>},
    {static_cast<int>(SeriesOrder::kQv9120), &MakeProbe<SeriesId::kQv9120>},
    {static_cast<int>(SeriesOrder::kVekQv5xx), &MakeProbe<SeriesId::kVekQv5xx>},
    {static_cast<int>(SeriesOrder::kKQv8x), &MakeProbe<SeriesId::kKQv8x>},
};

}  // namespace

std::span<const StandardSeries> StandardSeriesList() {
  return kStandard;
}

StandardProbe::StandardProbe(SeriesId series) : series_(series) {
  if (series == SeriesId::kFirst) {
    bulk_ = std::make_unique<ScannerInterface>();
  } else {
    driver_ = MakeDriverInterface(series);
  }
}

StandardProbe::~StandardProbe() {
  Close();
}

int StandardProbe::Open() {
  return bulk_ ? bulk_->Open() : driver_->Open();
}

void StandardProbe::Close() {
  if (bulk_) bulk_->Close();
  if (driver_) driver_->Close();
}

int StandardProbe::ReadIdentity() {
  identity_.fill(0);
  if (bulk_) return ReadFirstSeriesIdentity(*bulk_, identity_.data(), identity_.size());
  return IdentifyLaterSeries(*driver_, *RulesFor(series_), identity_.data(), identity_.size());
}

void SetFirstSeriesFirmwareUpdate(BulkFirmwareUpdate update) {
  g_firstSeriesUpdate.store(update);
}

int StandardProbe::UpdateFirmware(const uint8_t* image, size_t length) {
  BulkFirmwareUpdate update = g_firstSeriesUpdate.load();
  if (!bulk_ || update == nullptr) return 0;
  return update(*bulk_, image, length);
}

const ModelRow* StandardProbe::Detect() {
  if (!Open()) return nullptr;
  if (ReadIdentity()) {
    // The parse works on its own terminated copy, so a block without a NUL is never overread.
    CQv6Info info(identity_.data(), identity_.size());
    if (const ModelRow* row = MatchModel(series_, info.model())) return row;
  }
  Close();
  return nullptr;
}

std::unique_ptr<DeviceModel> StandardProbe::Probe(const ProbeContext& context) {
  const ModelRow* row = Detect();
  if (row == nullptr) return nullptr;
  // Closes the transport on every way out but success, after any model made on the way is gone.
  struct CloseUnlessKept {
    StandardProbe* probe;
    bool keep = false;
    ~CloseUnlessKept() {
      if (!keep) probe->Close();
    }
  } guard{this};

  g_Log.Write(kLogApi, row->logLine);
  ModelFactory factory = ModelRegistry::Find(row->modelClass);
  if (factory == nullptr) {
    g_Log.WriteFormatted(kLogApi, "No model class %s\n", row->modelClass);
    return nullptr;
  }
  std::unique_ptr<DeviceModel> model = factory(ModelContext{*row, bulk_.get(), driver_.get()});
  if (!model) return nullptr;

  CQv6Info info(identity_.data(), identity_.size());
  ModelStartUp start;
  start.state = info.state();
  start.version = info.version();
  start.manufacturer = info.manufacturer();
  start.firmwareView = context.firmwareView;
  std::array<char, kFirmwareNameSize> file{};
  if (row->firmwareKey != nullptr) {
    plat::GetPrivateProfileStringA(context.descriptorSection.c_str(), row->firmwareKey, row->defaultFile,
                                   file.data(), static_cast<uint32_t>(file.size()),
                                   context.descriptorIni.c_str());
    start.firmwareFile = file.data();
  }
  // A model whose start-up fails is dropped at once, so no operation can reach it through a transport
  // that is closed again.
  if (model->StartUp(start) == 0) return nullptr;
  guard.keep = true;
  return model;
}

}  // namespace qv6
