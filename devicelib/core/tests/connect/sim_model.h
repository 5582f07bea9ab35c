// A test double for the model classes, registered under a class name the way a series registers its own.
// It is built on the transport the probe hands over, records each start-up, and checks the link by
// reading the identity through that transport, so an unplugged scanner fails the poll tick. Its status
// word carries the "Connected" bit as every series' does.
#pragma once

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "connect/identification.h"
#include "connect/model_registry.h"
#include "device/recording_model.h"
#include "platform/clock.h"
#include "qv6/qv6dll.h"

namespace qv6::testing {

inline constexpr int kConnectedBit = static_cast<int>(QV6_STATUS_CONNECTED);

struct StartRecord {
  std::string modelClass;
  bool hasFile;
  std::string file, state, version, manufacturer;
};

struct SimModelScript {
  std::mutex mutex;
  std::vector<StartRecord> starts;
  std::string failClass;            // this class's start-up fails
  std::atomic<int> live{0};         // models alive now
  std::atomic<int> maxLive{0};      // most models alive at once
  std::atomic<int> tickDelayMs{0};  // platform milliseconds each status poll takes
  std::atomic<bool> inTick{false};
  std::shared_ptr<ModelScript> recording = std::make_shared<ModelScript>();

  void Reset() {
    std::lock_guard lock(mutex);
    starts.clear();
    failClass.clear();
    live = 0;
    maxLive = 0;
    tickDelayMs = 0;
    recording = std::make_shared<ModelScript>();
    recording->status = kConnectedBit;
  }
  std::vector<StartRecord> Starts() {
    std::lock_guard lock(mutex);
    return starts;
  }
};

inline SimModelScript& SimScript() {
  static SimModelScript script;
  return script;
}

class SimModel : public RecordingModel {
 public:
  explicit SimModel(const ModelContext& context)
      : RecordingModel(SimScript().recording),
        row_(context.row),
        bulk_(context.bulk),
        driver_(context.driver) {
    int now = ++SimScript().live;
    int seen = SimScript().maxLive.load();
    while (now > seen && !SimScript().maxLive.compare_exchange_weak(seen, now)) {
    }
  }
  ~SimModel() override { --SimScript().live; }

  int StartUp(const ModelStartUp& start) override {
    SimModelScript& s = SimScript();
    std::lock_guard lock(s.mutex);
    s.starts.push_back(StartRecord{row_.modelClass, start.firmwareFile != nullptr,
                                   start.firmwareFile ? start.firmwareFile : "", start.state, start.version,
                                   start.manufacturer});
    return s.failClass != row_.modelClass;
  }
  int LinkCheck() override {
    uint8_t identity[256];
    if (bulk_ != nullptr) return ReadFirstSeriesIdentity(*bulk_, identity, sizeof identity);
    return IdentifyLaterSeries(*driver_, *RulesFor(row_.series), identity, sizeof identity);
  }
  int PollStatus() override {
    if (int ms = SimScript().tickDelayMs.load()) {
      SimScript().inTick = true;
      plat::Sleep(static_cast<uint32_t>(ms));
      SimScript().inTick = false;
    }
    return 1;
  }

 private:
  const ModelRow& row_;
  ScannerInterface* bulk_;
  DriverDeviceInterface* driver_;
};

inline std::unique_ptr<DeviceModel> MakeSimModel(const ModelContext& context) {
  return std::make_unique<SimModel>(context);
}

// Registers the double under every class name of the model table for one scope.
class SimModelClasses {
 public:
  SimModelClasses() {
    for (const ModelRow& row : ModelTable()) ModelRegistry::Register(row.modelClass, &MakeSimModel);
  }
  ~SimModelClasses() {
    for (const ModelRow& row : ModelTable()) ModelRegistry::Unregister(row.modelClass);
  }
  SimModelClasses(const SimModelClasses&) = delete;
  SimModelClasses& operator=(const SimModelClasses&) = delete;
};

}  // namespace qv6::testing
