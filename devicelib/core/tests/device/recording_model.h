// Test doubles of a scanner model and its series probe: the model records every operation it is asked
// for and answers with configurable results; the probe connects it while "attached".
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "device/device_model.h"
#include "device/series_probe.h"

namespace qv6::testing {

// What the model records and answers; shared with the test so it outlives each connect.
struct ModelScript {
  std::mutex mutex;
  std::vector<std::string> calls;  // "Op(args)" in order
  int result = 1;                  // answer of every int operation
  std::atomic<int> linkCheck{1};   // answers of the poll tick
  std::atomic<int> pollStatus{1};
  int status = 0;        // status word GetStatus reports
  std::string identity;  // the identity block ReadIdentity copies
  bool hasFranker = false;
  bool throws = false;              // InitDeviceFromFile throws, as a failing framework call would
  std::atomic<int> pollDelayMs{0};  // a long tick
  std::atomic<bool> inLongPoll{false};

  void Record(std::string call) {
    std::lock_guard lock(mutex);
    calls.push_back(std::move(call));
  }
  std::vector<std::string> Calls() {
    std::lock_guard lock(mutex);
    return calls;
  }
  void Clear() {
    std::lock_guard lock(mutex);
    calls.clear();
  }
};

class RecordingModel : public DeviceModel {
 public:
  explicit RecordingModel(std::shared_ptr<ModelScript> script) : script_(std::move(script)) {}

  int GetStatus(int* status, int* errors) override {
    Record("GetStatus");
    if (status != nullptr) *status = script_->status;
    if (errors != nullptr) *errors = 0;
    return script_->result;
  }
  int InitDeviceFromFile(const char* file, const char* section) override {
    if (script_->throws) throw std::runtime_error("model failure");
    return Record("InitDeviceFromFile(" + Text(file) + "," + Text(section) + ")");
  }
  int SetMechConfig(const char* file, int flag) override {
    return Record("SetMechConfig(" + Text(file) + "," + std::to_string(flag) + ")");
  }
  int GetMechConfig(const char* file, int flag) override {
    return Record("GetMechConfig(" + Text(file) + "," + std::to_string(flag) + ")");
  }
  int GetCfgData(int type, void*, int length) override {
    return Record("GetCfgData(" + std::to_string(type) + "," + std::to_string(length) + ")");
  }
  int SetCfgData(int type, const void*, int length) override {
    return Record("SetCfgData(" + std::to_string(type) + "," + std::to_string(length) + ")");
  }
  int ReadNewImage(const std::array<int, 8>& a) override {
    std::string call = "ReadNewImage(";
    for (int v : a) call += std::to_string(v) + ",";
    return Record(call + ")");
  }
  const char* GetMicrCodelinePtr() override {
    Record("GetMicrCodelinePtr");
    return script_->result ? "<1234<" : nullptr;
  }
  void* GetFrontImageDIBPtr() override {
    Record("GetFrontImageDIBPtr");
    return script_->result ? front_ : nullptr;
  }
  void* GetRearImageDIBPtr() override {
    Record("GetRearImageDIBPtr");
    return script_->result ? rear_ : nullptr;
  }
  int EnableScan(int on) override { return Record("EnableScan(" + std::to_string(on) + ")"); }
  int EjectDocument(int value) override { return Record("EjectDocument(" + std::to_string(value) + ")"); }
  int ClearPowerOnFlag() override { return Record("ClearPowerOnFlag"); }
  int ClearErrors() override { return Record("ClearErrors"); }
  int Rs232Tx(const void*, int length) override { return Record("Rs232Tx(" + std::to_string(length) + ")"); }
  int Rs232Rx(void* buffer, int* count) override {
    // Answers more than the capacity to show the caller's bound holds.
    static const char kReply[] = "serial-reply";
    int n = std::min<int>(*count, sizeof kReply);
    std::memcpy(buffer, kReply, static_cast<size_t>(n));
    *count = sizeof kReply + 10;
    return Record("Rs232Rx");
  }
  int SetBmpToPrint(const void*, int width, int rows, int position1, int position2, int flags) override {
    return Record("SetBmpToPrint(" + std::to_string(width) + "," + std::to_string(rows) + "," +
                  std::to_string(position1) + "," + std::to_string(position2) + "," + std::to_string(flags) +
                  ")");
  }
  int StringToPrint(const char* text, int length, int position1, int position2, int flags) override {
    return Record("StringToPrint(" + std::string(text, static_cast<size_t>(length)) + "," +
                  std::to_string(position1) + "," + std::to_string(position2) + "," + std::to_string(flags) +
                  ")");
  }
  int ReadIdentity(uint8_t* buffer, size_t size) override {
    Record("ReadIdentity");
    std::memcpy(buffer, script_->identity.data(), std::min(size, script_->identity.size()));
    return script_->result;
  }
  int LinkCheck() override { return script_->linkCheck; }
  int PollStatus() override {
    if (int ms = script_->pollDelayMs.load()) {
      script_->inLongPoll = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      script_->inLongPoll = false;
    }
    return script_->pollStatus;
  }
  int Frank(int value) override {
    if (!script_->hasFranker) return DeviceModel::Frank(value);
    return Record("Frank(" + std::to_string(value) + ")");
  }
  int SetEventMode(int mode) override { return Record("SetEventMode(" + std::to_string(mode) + ")"); }

  // Lets a test raise events 2 to 6 as a series would.
  void Raise(int event, intptr_t value) { RaiseEvent(event, value, "Test Event\n"); }

 private:
  int Record(std::string call) {
    script_->Record(std::move(call));
    return script_->result;
  }
  static std::string Text(const char* s) { return s != nullptr ? s : "<null>"; }

  std::shared_ptr<ModelScript> script_;
  char front_[4] = {};
  char rear_[4] = {};
};

// Connects a RecordingModel while attached; counts opens and closes of its "transport".
struct ProbeState {
  std::atomic<bool> attached{true};
  std::atomic<int> probes{0};
  std::atomic<int> closes{0};
  std::atomic<RecordingModel*> lastModel{nullptr};
  std::atomic<int> updates{0};
  int updateResult = 0;
  std::shared_ptr<ModelScript> script = std::make_shared<ModelScript>();
};

class RecordingProbe : public SeriesProbe {
 public:
  explicit RecordingProbe(std::shared_ptr<ProbeState> state) : state_(std::move(state)) {}
  std::unique_ptr<DeviceModel> Probe(const ProbeContext&) override {
    ++state_->probes;
    if (!state_->attached) return nullptr;
    auto model = std::make_unique<RecordingModel>(state_->script);
    state_->lastModel = model.get();
    return model;
  }
  void Close() override { ++state_->closes; }
  int UpdateFirmware(const uint8_t*, size_t) override {
    ++state_->updates;
    return state_->updateResult;
  }

 private:
  std::shared_ptr<ProbeState> state_;
};

inline std::vector<std::unique_ptr<SeriesProbe>> ProbesFor(const std::shared_ptr<ProbeState>& state) {
  std::vector<std::unique_ptr<SeriesProbe>> probes;
  probes.push_back(std::make_unique<RecordingProbe>(state));
  return probes;
}

}  // namespace qv6::testing
