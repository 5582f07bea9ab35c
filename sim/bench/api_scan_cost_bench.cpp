// Processor time per document through the API against the simulated scanner, split between the
// simulator and the system it stands in front of (the API, the device library and its polling thread,
// the image writers). Every call the device library makes on the scanner's driver device goes through a
// timing wrapper that adds the calling thread's processor time spent inside the simulator; the images
// the harness reads back for each fed document (which the end-to-end tests compare) are the simulator's
// too. The system's share is the rest of the process's processor time over the same iteration, so both
// figures come from the same document. Every scan's result and code line are checked.
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>

#include "driver/device_registry.h"
#include "platform/paths.h"
#include "sim/simulator.h"
#include "testkit/support/scratch_dir.h"
#include "zarn/api_state.h"
#include "zarn/lifecycle.h"
#include "zarn/params.h"
#include "zarn/qv600.h"
#include "zarn/scan.h"
#include "zarn/trace.h"

namespace {

int64_t CpuNanos(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

std::atomic<int64_t> gSimulatorNanos{0};

// Adds the processor time each call spends inside the simulated device.
class TimedDevice : public drv::SimDevice {
 public:
  explicit TimedDevice(std::shared_ptr<drv::SimDevice> inner) : inner_(std::move(inner)) {}
  void OnOpen() override {
    Timed t;
    inner_->OnOpen();
  }
  void OnClose() override {
    Timed t;
    inner_->OnClose();
  }
  drv::Reply Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    Timed t;
    return inner_->Control(code, in, out);
  }
  drv::Reply Read(std::span<uint8_t> out) override {
    Timed t;
    return inner_->Read(out);
  }
  drv::Reply Write(std::span<const uint8_t> data) override {
    Timed t;
    return inner_->Write(data);
  }

 private:
  struct Timed {
    int64_t start = CpuNanos(CLOCK_THREAD_CPUTIME_ID);
    ~Timed() { gSimulatorNanos += CpuNanos(CLOCK_THREAD_CPUTIME_ID) - start; }
  };
  std::shared_ptr<drv::SimDevice> inner_;
};

// One simulated QV630 with an endless stack behind the real device library, and the API over it.
struct Rig {
  zc::testkit::ScratchDir dir{"simscancost"};
  std::unique_ptr<sim::SimulatedScanner> scanner;
  size_t fed = 0;

  Rig() {
    if (::chdir(dir.Path().c_str()) != 0) std::abort();
    for (auto f : {plat::Folder::kWindows, plat::Folder::kSystem, plat::Folder::kTemp}) plat::SetFolder(f, dir.Path());
    plat::SetDriveRoot(dir.Path());
    sim::ScannerSpec spec;
    spec.documents.count = 100000;  // made one by one as they are fed
    spec.documents.seed = 2026;
    spec.firmwareFolder = dir.Path() + "/drivers";
    std::filesystem::create_directories(spec.firmwareFolder);
    std::string error;
    scanner = sim::SimulatedScanner::Attach(spec, &error);
    if (scanner == nullptr) std::abort();
    drv::DeviceRegistry& registry = drv::DeviceRegistry::Instance();
    registry.Attach(scanner->DeviceName(), std::make_shared<TimedDevice>(registry.Find(scanner->DeviceName())));
    std::ofstream("Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    zarn::SetQv6LibraryFile(ZC_REAL_DEVICE_LIBRARY);
    zarn::funcTableSetParamString(135, "NOINI");
    zarn::funcTableSetParamString(158, "200");
    zarn::funcTableSetParamString(159, "KWL");
    if (zarn::ZARNInit() != 1) std::abort();
    zarn::SetApiTraceLevel(0);
  }
  ~Rig() {
    zarn::ZARNExit();
    zarn::UnloadQv6Library();
  }
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

void ScanCost(benchmark::State& state, bool gray) {
  Rig& rig = TheRig();
  char fs[12], rs[12], line[zarn::kScanCodeLineBuffer], len[12];
  int64_t simNanos = 0, systemNanos = 0;
  int64_t documents = 0;
  for (auto _ : state) {
    const int64_t process0 = CpuNanos(CLOCK_PROCESS_CPUTIME_ID);
    const int64_t device0 = gSimulatorNanos.load();
    const int rc = gray ? zarn::ZARNScanGray(7, "front.jpg", fs, "rear.jpg", rs, line, len, 4)
                        : zarn::ZARNScan(7, "front.tif", fs, "rear.tif", rs, line, len);
    const int64_t harness0 = CpuNanos(CLOCK_THREAD_CPUTIME_ID);
    const std::optional<sim::FedDocumentReport> report = rig.scanner->Fed(rig.fed);
    const int64_t harness = CpuNanos(CLOCK_THREAD_CPUTIME_ID) - harness0;
    const int64_t process = CpuNanos(CLOCK_PROCESS_CPUTIME_ID) - process0;
    const int64_t inSimulator = gSimulatorNanos.load() - device0 + harness;
    if (rc != 0 || !report || !report->front || !report->rear || std::atoi(fs) <= 0 || std::atoi(rs) <= 0 ||
        std::atoi(len) <= 0) {
      state.SkipWithError("scan failed");
      break;
    }
    ++rig.fed;
    ++documents;
    simNanos += inSimulator;
    systemNanos += process - inSimulator;
  }
  const double n = static_cast<double>(std::max<int64_t>(documents, 1));
  state.counters["simulator_ms"] = static_cast<double>(simNanos) / 1e6 / n;
  state.counters["system_ms"] = static_cast<double>(systemNanos) / 1e6 / n;
  state.counters["simulator_per_system"] = systemNanos > 0 ? static_cast<double>(simNanos) / systemNanos : 0.0;
}

void BM_ApiScanBwAgainstSimulator(benchmark::State& state) { ScanCost(state, false); }
BENCHMARK(BM_ApiScanBwAgainstSimulator)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(40);

void BM_ApiScanGrayAgainstSimulator(benchmark::State& state) { ScanCost(state, true); }
BENCHMARK(BM_ApiScanGrayAgainstSimulator)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(40);

}  // namespace
