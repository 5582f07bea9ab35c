// Connection object: dispatch to the connected model, connecting, events and the polling thread's life.
#include "device/qv6_device.h"

#include <mutex>
#include <utility>

#include "app/dll_app.h"
#include "app/log.h"
#include "platform/clock.h"
#include "device/polling_thread.h"

namespace qv6 {
namespace {

// Runs op on the model under the device's mutex; `none` when no model is connected.
template <class R, class Op>
R Dispatch(plat::RecursiveMutex& mutex, const std::unique_ptr<DeviceModel>& model, R none, Op op) {
  std::lock_guard lock(mutex);
  return model ? op(*model) : none;
}

}  // namespace

Qv6Device::Qv6Device() : Qv6Device(SeriesCatalog::CreateProbes()) {}

Qv6Device::Qv6Device(std::vector<std::unique_ptr<SeriesProbe>> probes) : probes_(std::move(probes)) {
  DiagnosticOps ops;
  ops.maintenanceMode = [this](int v) { return MaintenanceMode(v); };
  ops.ejectDocument = [this](int v) { return EjectDocument(v); };
  ops.clearPowerOnFlag = [this] { return ClearPowerOnFlag(); };
  ops.clearErrors = [this] { return ClearErrors(); };
  diag_ = std::make_unique<CDiagnosticPopup>(std::move(ops));
  const DescriptorNames names = DefaultDescriptorNames();
  diag_->ReadDialogMode(names.file, names.section);
}

Qv6Device::~Qv6Device() {
  // The dialog goes first, while the operations its buttons reach still work.
  diag_.reset();
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    if (polling_) StopPolling();
  }
  JoinPollingThreads();
  {
    std::lock_guard lock(mutex_);
    Disconnect();
    DeleteModels();
  }
  ReapParkedPollingThreads();
}

// ---- Model operations ----

int Qv6Device::GetStatus(int* status, int* errors) {
  if (status != nullptr) *status = 0;
  if (errors != nullptr) *errors = 0;
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.GetStatus(status, errors); });
}

int Qv6Device::InitDeviceFromFile(const char* file, const char* section) {
  const int result =
      Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.InitDeviceFromFile(file, section); });
  if (result && file && section) diag_->SetIniFiles(file, section);
  return result;
}

int Qv6Device::SetMechConfig(const char* file, int flag) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.SetMechConfig(file, flag); });
}

int Qv6Device::GetMechConfig(const char* file, int flag) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.GetMechConfig(file, flag); });
}

int Qv6Device::GetCfgData(int type, void* buffer, int length) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.GetCfgData(type, buffer, length); });
}

int Qv6Device::SetCfgData(int type, const void* data, int length) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.SetCfgData(type, data, length); });
}

int Qv6Device::ReadNewImage(const std::array<int, 8>& arguments) {
  std::lock_guard lock(mutex_);
  if (!connected_ || !model_) return 0;
  return model_->ReadNewImage(arguments);
}

const char* Qv6Device::GetMicrCodelinePtr() {
  return Dispatch<const char*>(mutex_, model_, nullptr,
                               [](DeviceModel& m) { return m.GetMicrCodelinePtr(); });
}

void* Qv6Device::GetFrontImageDIBPtr() {
  return Dispatch<void*>(mutex_, model_, nullptr, [](DeviceModel& m) { return m.GetFrontImageDIBPtr(); });
}

void* Qv6Device::GetRearImageDIBPtr() {
  return Dispatch<void*>(mutex_, model_, nullptr, [](DeviceModel& m) { return m.GetRearImageDIBPtr(); });
}

int Qv6Device::EnableScan(int on) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.EnableScan(on); });
}

int Qv6Device::EnablePartialScan(int on, int value) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.EnablePartialScan(on, value); });
}

int Qv6Device::EnableEarlyScan() {
  return Dispatch(mutex_, model_, 0, [](DeviceModel& m) { return m.EnableEarlyScan(); });
}

int Qv6Device::SetDestinationPocket(int pocket) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.SetDestinationPocket(pocket); });
}

int Qv6Device::EjectDocument(int value) {
  // Two separate locked phases: another thread's operation may come in between.
  EnableScan(0);
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.EjectDocument(value); });
}

int Qv6Device::ClearPowerOnFlag() {
  return Dispatch(mutex_, model_, 0, [](DeviceModel& m) { return m.ClearPowerOnFlag(); });
}

int Qv6Device::ClearErrors() {
  return Dispatch(mutex_, model_, 0, [](DeviceModel& m) { return m.ClearErrors(); });
}

int Qv6Device::Rs232Tx(const void* data, int length) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.Rs232Tx(data, length); });
}

int Qv6Device::Rs232Rx(void* buffer, int* count) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.Rs232Rx(buffer, count); });
}

int Qv6Device::SelfCalib(int value) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.SelfCalib(value); });
}

int Qv6Device::GetOperatingMode(int* mode) {
  if (mode == nullptr) return 0;
  *mode = 0;
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.GetOperatingMode(mode); });
}

int Qv6Device::MaintenanceMode(int value) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.MaintenanceMode(value); });
}

int Qv6Device::SetConfigMicrGain(int a, int b) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.SetConfig_MicrGain(a, b); });
}

int Qv6Device::SetConfigMicrAgc(int a, int b) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.SetConfig_MicrAgc(a, b); });
}

int Qv6Device::SetConfigScanMode(int mode) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.SetConfig_ScanMode(mode); });
}

int Qv6Device::SetBmpToPrintEX(const void* bits, int width, int rows, int position1, int position2,
                               int flags) {
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) {
    return m.SetBmpToPrint(bits, width, rows, position1, position2, flags);
  });
}

int Qv6Device::StringToPrintEX(const char* text, int length, int position1, int position2, int flags) {
  return Dispatch(mutex_, model_, 0,
                  [&](DeviceModel& m) { return m.StringToPrint(text, length, position1, position2, flags); });
}

int Qv6Device::Frank(int value) {
  g_Log.Write(kLogEvent, "Qv6Device::Frank\n");
  return Dispatch(mutex_, model_, kNoFranker, [&](DeviceModel& m) { return m.Frank(value); });
}

int Qv6Device::GetInfo(uint8_t* buffer, size_t size) {
  if (buffer == nullptr) return 0;
  return Dispatch(mutex_, model_, 0, [&](DeviceModel& m) { return m.ReadIdentity(buffer, size); });
}

// ---- Events ----

int Qv6Device::SetEventFunction(int event, QV6EventCallback fn) {
  QV6EventCallback previous = nullptr;
  if (!events_.Set(event, fn, &previous)) return 0;
  if (event == QV6_EVENT_CONNECTED && connected_ && previous == nullptr && fn != nullptr) fn(0, 0);
  return 1;
}

int Qv6Device::NotifyConnected() {
  g_Log.Write(kLogEvent, "Connected\n");
  return events_.Deliver(QV6_EVENT_CONNECTED, 0) ? 1 : 0;
}

int Qv6Device::NotifyDisconnected() {
  g_Log.Write(kLogEvent, "DisConnected\n");
  return events_.Deliver(QV6_EVENT_DISCONNECTED, 0) ? 1 : 0;
}

int Qv6Device::PassEventTable() {
  if (model_) {
    model_->BindEvents(&events_);
    model_->SetEventMode(events_.mode());
  }
  return NotifyConnected();
}

// ---- Connection life ----

void Qv6Device::SetDescriptor(const std::string& descriptorIni, const std::string& descriptorSection) {
  std::lock_guard lock(mutex_);
  descriptorIni_ = descriptorIni;
  descriptorSection_ = descriptorSection;
}

int Qv6Device::OpenConnection(int mode, uint32_t messageId, uint32_t threadId,
                              const std::string& descriptorIni, const std::string& descriptorSection) {
  SetDescriptor(descriptorIni, descriptorSection);
  std::lock_guard lock(mutex_);
  plat::ThreadId target = 0;
  if (mode == QV6_EVENT_MODE_MESSAGES) target = threadId != 0 ? threadId : plat::GetCurrentThreadId();
  events_.SetDelivery(mode, target, messageId);
  return StartPolling();
}

int Qv6Device::CloseConnection() {
  std::lock_guard lock(mutex_);
  closing_ = true;
  StopPolling();
  ParkOwnPollingThread();
  events_.SetMode(0);
  return 1;
}

void Qv6Device::Shutdown() {
  CloseConnection();
  JoinPollingThreads();
}

int Qv6Device::Connect() {
  std::lock_guard lock(mutex_);
  // The dialog reads its display mode at every attempt; one in view lists the descriptor INI.
  const DescriptorNames names = descriptorIni_.empty() ? DefaultDescriptorNames()
                                                       : DescriptorNames{descriptorIni_, descriptorSection_};
  if (diag_->ReadDialogMode(names.file, names.section)) diag_->AddDescriptorIniRows(names.file, names.section);
  if (!connected_) {
    DeleteModels();
    ProbeContext context{descriptorIni_, descriptorSection_, diag_.get()};
    for (auto& probe : probes_) {
      if (auto model = probe->Probe(context)) {
        model_ = std::move(model);
        connected_ = true;
        break;
      }
    }
    if (!connected_) {
      DeleteModels();
      CloseTransports();
    }
  }
  if (connected_) {
    PassEventTable();
  } else {
    DeleteModels();
  }
  ReportConnect();
  g_Log.WriteFormatted(kLogApi, "Connected: %s\n", connected_ ? "Yes" : "No");
  return connected_ ? 1 : 0;
}

int Qv6Device::Disconnect() {
  std::lock_guard lock(mutex_);
  if (!connected_) return 1;
  DeleteModels();
  CloseTransports();
  connected_ = false;
  if (diag_) {  // gone already when the device is being destroyed
    diag_->SetStatusText("Scanner disconnect");
    diag_->SetConnected(false);
  }
  NotifyDisconnected();
  return 1;
}

// What the diagnostics dialog shows of a connect attempt (under the mutex).
void Qv6Device::ReportConnect() {
  if (!connected_) {
    // Only a dialog in view re-reads its mode on a failed attempt (each poll tick makes one).
    if (diag_->Shown()) {
      diag_->SetStatusText("Not connected");
      const DescriptorNames names = descriptorIni_.empty() ? DefaultDescriptorNames()
                                                           : DescriptorNames{descriptorIni_, descriptorSection_};
      diag_->ReadDialogMode(names.file, names.section);
    }
    return;
  }
  diag_->SetWaitForClose();
  diag_->SetConnected(true);
  if (!diag_->Shown()) return;
  diag_->SetStatusText("Reading scanner info");
  std::array<uint8_t, 256> info{};
  if (GetInfo(info.data(), info.size())) diag_->AddIdentityRows(reinterpret_cast<const char*>(info.data()), info.size());
  plat::Sleep(1000);
  int status = 0, errors = 0;
  GetStatus(&status, &errors);
  diag_->AddStatusRow("Initial Status", static_cast<uint32_t>(status), static_cast<uint32_t>(errors));
  diag_->SetStatusText("Download Done");
}

int Qv6Device::Poll() {
  std::lock_guard lock(mutex_);
  if (closing_) return 0;
  if (connected_) {
    if (model_ && model_->LinkCheck() != 0 && model_->PollStatus() != 0) return 0;
    Disconnect();
    RestartPolling();
    return 1;
  }
  return Connect() ? 2 : 0;
}

int Qv6Device::UpdateFirmw(const uint8_t* image, size_t length) {
  std::lock_guard lock(mutex_);
  for (auto& probe : probes_) {
    if (int result = probe->UpdateFirmware(image, length)) return result;
  }
  return 0;
}

void Qv6Device::DeleteModels() {
  model_.reset();
}

void Qv6Device::CloseTransports() {
  for (auto& probe : probes_) probe->Close();
}

plat::ThreadId Qv6Device::pollingThreadId() const {
  std::lock_guard lock(mutex_);
  return polling_ ? polling_->Id() : 0;
}

int Qv6Device::StartPolling() {
  std::lock_guard lock(mutex_);
  if (closing_) return 0;
  ReapEndedPollingThreads();
  if (!polling_) {
    auto thread = std::make_unique<PollingThread>(weak_from_this());
    if (!thread->Start()) return 0;  // its queue exists once Start returns
    polling_ = std::move(thread);
  }
  auto self = reinterpret_cast<intptr_t>(this);
  polling_->Post(kControlMessage, 1, 0);
  polling_->Post(kControlMessage, 2, self);
  polling_->Post(kControlMessage, 1, 1);
  return 1;
}

int Qv6Device::StopPolling() {
  std::lock_guard lock(mutex_);
  if (polling_) {
    polling_->Post(kControlMessage, 0, 0);
    retired_.push_back(std::move(polling_));
  }
  return 1;
}

int Qv6Device::RestartPolling() {
  StopPolling();
  return StartPolling();
}

void Qv6Device::ReapEndedPollingThreads() {
  plat::ThreadId self = plat::GetCurrentThreadId();
  std::erase_if(retired_, [self](const std::unique_ptr<PollingThread>& t) {
    return t->Id() != self && !t->Running();  // an ended thread joins at once
  });
}

void Qv6Device::ParkOwnPollingThread() {
  const plat::ThreadId self = plat::GetCurrentThreadId();
  for (auto& t : retired_) {
    if (t->Id() == self) ParkPollingThread(std::move(t));
  }
  std::erase(retired_, nullptr);
}

void Qv6Device::JoinPollingThreads() {
  std::vector<std::unique_ptr<PollingThread>> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(retired_);
    if (polling_) threads.push_back(std::move(polling_));
  }
  plat::ThreadId self = plat::GetCurrentThreadId();
  for (auto& t : threads) {
    if (t->Id() == self) {
      ParkPollingThread(std::move(t));  // our own thread: it ends after this tick
    } else {
      t.reset();  // joins
    }
  }
}

}  // namespace qv6
