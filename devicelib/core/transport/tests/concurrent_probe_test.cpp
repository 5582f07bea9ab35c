// Two connections' polling threads probe and transfer at the same time while a test thread plugs and
// unplugs a device: the process-wide tables of both transports stay consistent (run under TSan).
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "driver/device_registry.h"
#include "pattern_device.h"
#include "transport/bulk_layer.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"
#include "transport/scanner_interface.h"

namespace qv6 {
namespace {

using testing::PatternDevice;

TEST(ConcurrentProbeTest, ParallelOpensTransfersAndUnplugs) {
  auto& registry = drv::DeviceRegistry::Instance();
  registry.Reset();
  registry.SetTraceEnabled(false);
  BulkLayer::Reset();
  DriverLayer::Reset();
  registry.Attach("\\\\.\\KScanDrv-0", std::make_shared<PatternDevice>());
  registry.Attach("\\\\.\\QvUsb2-1", std::make_shared<PatternDevice>());

  std::atomic<bool> stop{false};
  std::atomic<int> transfers{0};
  auto poller = [&] {
    for (int round = 0; round < 200; ++round) {
      ScannerQV63xInterface later;
      if (later.Open()) {
        RequestRecord record;
        record.type = kRequestBulkRead;
        record.pipe = 2;
        std::vector<uint8_t> buffer(3000);
        if (later.ReceiveValue(buffer.data(), 3000, record)) ++transfers;
      }
      ScannerInterface first;
      if (first.Open()) {
        const uint8_t command[5] = {15, 1, 0, 0, 0};
        first.SendCommand(command, 5);
      }
    }
  };
  std::thread a(poller), b(poller);
  std::thread plugger([&] {
    for (int i = 0; i < 100 && !stop; ++i) {
      registry.Attach(BulkLayer::kDeviceName, std::make_shared<PatternDevice>());
      registry.Detach("\\\\.\\QvUsb2-1");
      registry.Attach("\\\\.\\QvUsb2-1", std::make_shared<PatternDevice>());
      registry.Detach(BulkLayer::kDeviceName);
    }
  });
  a.join();
  b.join();
  stop = true;
  plugger.join();
  EXPECT_GT(transfers.load(), 0);
  EXPECT_EQ(registry.OpenHandles("\\\\.\\KScanDrv-0"), 0u);
  EXPECT_EQ(registry.OpenHandles(BulkLayer::kDeviceName), 0u);
  registry.Reset();
}

}  // namespace
}  // namespace qv6
