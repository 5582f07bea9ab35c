// Each injected fault as the caller of a device-control, read or write call sees it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "driver/device_io.h"
#include "driver/device_registry.h"
#include "echo_device.h"

namespace drv {
namespace {

using testing::EchoDevice;

constexpr const char* kBulkName = "\\\\.\\usbbulk0";

class FaultInjectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeviceRegistry::Instance().Reset();
    device = std::make_shared<EchoDevice>();
    DeviceRegistry::Instance().Attach(kBulkName, device);
    handle = CreateFileA(kBulkName, kGenericRead | kGenericWrite, 0, kOpenExisting, 0);
    ASSERT_NE(handle, kInvalidHandle);
  }
  void TearDown() override { DeviceRegistry::Instance().Reset(); }

  std::shared_ptr<EchoDevice> device;
  Handle handle = kInvalidHandle;
};

struct ControlCase {
  const char* name;
  Fault fault;
  bool ok;
  uint32_t error;
  uint32_t returned;
  int deviceCalls;
};

TEST_F(FaultInjectionTest, ControlCallUnderEachFault) {
  const ControlCase cases[] = {
      {"none", Fault{.kind = FaultKind::kDelay}, true, 0, 8, 1},
      {"fail", Fault{.kind = FaultKind::kFail, .error = 31}, false, 31, 0, 0},
      {"no answer", Fault{.kind = FaultKind::kNoAnswer}, false, kErrorSemTimeout, 0, 0},
      {"empty", Fault{.kind = FaultKind::kZeroBytes}, true, 0, 0, 0},
      {"short", Fault{.kind = FaultKind::kShort, .bytes = 3}, true, 0, 3, 1},
      {"oversize", Fault{.kind = FaultKind::kOversize, .bytes = 100}, true, 0, 16 + 100, 1},
      {"garbage", Fault{.kind = FaultKind::kGarbage}, true, 0, 8, 1},
      {"unplug", Fault{.kind = FaultKind::kUnplug}, false, kErrorDeviceNotConnected, 0, 0},
      {"other code", Fault{.kind = FaultKind::kFail, .code = 0x1234}, true, 0, 8, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    DeviceRegistry::Instance().AddFault(kBulkName, c.fault);
    std::vector<uint8_t> in = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> out(16 + 8, 0xEE);  // 8 guard bytes behind a 16-byte buffer
    uint32_t returned = 12345;
    bool ok = DeviceIoControl(handle, 0x222059, in.data(), 8, out.data(), 16, &returned, nullptr);
    EXPECT_EQ(ok, c.ok);
    if (!ok) {
      EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(returned, c.returned);
    EXPECT_EQ(device->calls, c.deviceCalls);
    for (size_t i = 16; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "guard byte " << i;
    TearDown();
  }
}

TEST_F(FaultInjectionTest, SkipAndCountSelectTheCalls) {
  // Two calls go through, the next two fail, then the device answers again.
  DeviceRegistry::Instance().AddFault(
      kBulkName, Fault{.kind = FaultKind::kFail, .on = CallKind::kRead, .skip = 2, .count = 2});
  uint8_t buffer[4];
  uint32_t n = 0;
  std::vector<bool> results;
  for (int i = 0; i < 5; ++i) results.push_back(ReadFile(handle, buffer, 4, &n, nullptr));
  EXPECT_EQ(results, (std::vector<bool>{true, true, false, false, true}));
  // Writes were never matched by the read fault.
  EXPECT_TRUE(WriteFile(handle, buffer, 4, &n, nullptr));
}

TEST_F(FaultInjectionTest, UnplugInTheMiddleOfATransfer) {
  DeviceRegistry::Instance().AddFault(kBulkName, Fault{.kind = FaultKind::kUnplug, .skip = 2});
  uint8_t piece[8] = {};
  uint32_t n = 0;
  EXPECT_TRUE(WriteFile(handle, piece, 8, &n, nullptr));
  EXPECT_TRUE(WriteFile(handle, piece, 8, &n, nullptr));
  EXPECT_FALSE(WriteFile(handle, piece, 8, &n, nullptr));
  EXPECT_EQ(GetLastError(), kErrorDeviceNotConnected);
  EXPECT_FALSE(DeviceRegistry::Instance().IsAttached(kBulkName));
  EXPECT_FALSE(WriteFile(handle, piece, 8, &n, nullptr));
  EXPECT_EQ(device->written.size(), 16u);
}

TEST_F(FaultInjectionTest, GarbageNeverReachesTheCallersWriteData) {
  DeviceRegistry::Instance().AddFault(kBulkName, Fault{.kind = FaultKind::kGarbage, .on = CallKind::kWrite});
  std::vector<uint8_t> data(32, 0x55);
  uint32_t n = 0;
  EXPECT_TRUE(WriteFile(handle, data.data(), 32, &n, nullptr));
  EXPECT_EQ(data, std::vector<uint8_t>(32, 0x55));
  EXPECT_NE(device->written, data);
}

TEST_F(FaultInjectionTest, OpenFaultsAndDelays) {
  CloseHandle(handle);
  DeviceRegistry::Instance().AddFault(kBulkName,
                                      Fault{.kind = FaultKind::kFail, .on = CallKind::kOpen, .error = 5});
  EXPECT_EQ(CreateFileA(kBulkName, kGenericRead, 0, kOpenExisting, 0), kInvalidHandle);
  EXPECT_EQ(GetLastError(), 5u);
  Handle h = CreateFileA(kBulkName, kGenericRead, 0, kOpenExisting, 0);
  EXPECT_NE(h, kInvalidHandle);
  CloseHandle(h);
}

}  // namespace
}  // namespace drv
