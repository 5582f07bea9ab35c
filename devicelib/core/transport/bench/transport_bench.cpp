// Timings of the transport paths that run on every poll tick or carry images: a connect-probe round of
// opens with nothing attached (91 names) and a 10 MB pipe read through the driver-device stand-in.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "driver/device_registry.h"
#include "transport/bulk_layer.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"

namespace {

class StreamDevice : public drv::SimDevice {
 public:
  drv::Reply Control(uint32_t, std::span<const uint8_t>, std::span<uint8_t> out) override {
    std::fill(out.begin(), out.end(), uint8_t{0x5A});
    return drv::Reply::Done(out.size());
  }
};

void Reset() {
  drv::DeviceRegistry::Instance().Reset();
  drv::DeviceRegistry::Instance().SetTraceEnabled(false);
  qv6::BulkLayer::Reset();
  qv6::DriverLayer::Reset();
}

void BM_ProbeOpensWithNothingAttached(benchmark::State& state) {
  Reset();
  for (auto _ : state) {
    drv::Handle first = qv6::BulkLayer::OpenDevice(1);
    benchmark::DoNotOptimize(first);
    for (int series = 0; series < 6; ++series) {
      qv6::ScannerQV63xInterface iface;
      benchmark::DoNotOptimize(iface.Open());
    }
  }
}
BENCHMARK(BM_ProbeOpensWithNothingAttached);

void BM_PipeRead10MB(benchmark::State& state) {
  Reset();
  drv::DeviceRegistry::Instance().Attach("\\\\.\\KScanDrv-0", std::make_shared<StreamDevice>());
  qv6::ScannerQV63xInterface iface;
  iface.Open();
  qv6::RequestRecord record;
  record.type = qv6::kRequestBulkRead;
  record.pipe = 0;
  constexpr uint32_t kBytes = 10u << 20;
  std::vector<uint8_t> buffer(kBytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(iface.ReceiveValue(buffer.data(), kBytes, record));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBytes);
  iface.Close();
  Reset();
}
BENCHMARK(BM_PipeRead10MB)->Unit(benchmark::kMillisecond);

}  // namespace
