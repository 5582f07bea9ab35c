// Opening driver devices by name, exclusive access, unplugging, overlapped waits and the transcript.
#include "driver/device_io.h"

#include <gtest/gtest.h>

#include <memory>

#include "driver/device_registry.h"
#include "echo_device.h"
#include "platform/clock.h"

namespace drv {
namespace {

using testing::EchoDevice;

constexpr const char* kName = "\\\\.\\KScanDrv-0";

class DeviceIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeviceRegistry::Instance().Reset();
    DeviceRegistry::Instance().SetTraceEnabled(true);  // the transcript test reads it
    device = std::make_shared<EchoDevice>();
    DeviceRegistry::Instance().Attach(kName, device);
  }
  void TearDown() override { DeviceRegistry::Instance().Reset(); }

  static Handle Open(const char* name, uint32_t share = 0) {
    return CreateFileA(name, kGenericRead | kGenericWrite, share, kOpenExisting, 0);
  }

  std::shared_ptr<EchoDevice> device;
};

TEST_F(DeviceIoTest, OpensByNameWithoutRegardToCaseAndExclusively) {
  EXPECT_EQ(Open("\\\\.\\kscandrv-1"), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);

  Handle h = Open("\\\\.\\KSCANDRV-0");
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(device->opens, 1);
  EXPECT_EQ(Open(kName), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorSharingViolation);

  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_EQ(device->closes, 1);
  EXPECT_EQ(DeviceRegistry::Instance().OpenCount(kName), 1u);
  EXPECT_EQ(DeviceRegistry::Instance().CloseCount(kName), 1u);
}

TEST_F(DeviceIoTest, UnplugFailsOpenHandlesUntilReattached) {
  Handle h = Open(kName);
  ASSERT_NE(h, kInvalidHandle);
  uint8_t in[3] = {1, 2, 3}, out[8] = {};
  uint32_t returned = 99;
  ASSERT_TRUE(DeviceIoControl(h, 0x222059, in, 3, out, 8, &returned, nullptr));
  EXPECT_EQ(returned, 3u);

  EXPECT_TRUE(DeviceRegistry::Instance().Detach(kName));
  EXPECT_FALSE(DeviceIoControl(h, 0x222059, in, 3, out, 8, &returned, nullptr));
  EXPECT_EQ(GetLastError(), kErrorDeviceNotConnected);
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(Open(kName), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_TRUE(CloseHandle(h));

  auto fresh = std::make_shared<EchoDevice>();
  DeviceRegistry::Instance().Attach(kName, fresh);
  Handle again = Open(kName);
  ASSERT_NE(again, kInvalidHandle);
  EXPECT_NE(again, h);
  EXPECT_TRUE(DeviceIoControl(again, 0x222059, in, 3, out, 8, &returned, nullptr));
  EXPECT_EQ(fresh->calls, 1);
  CloseHandle(again);
}

TEST_F(DeviceIoTest, DelayedOverlappedCallCompletesOnThePlatformClock) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{1000, true});
  DeviceRegistry::Instance().AddFault(
      kName, Fault{.kind = FaultKind::kDelay, .on = CallKind::kRead, .delayMs = 300});
  Handle h = Open(kName);
  uint8_t buffer[16];
  uint32_t read = 0;
  Overlapped ov{};
  EXPECT_FALSE(ReadFile(h, buffer, sizeof buffer, &read, &ov));
  EXPECT_EQ(GetLastError(), kErrorIoPending);
  EXPECT_FALSE(GetOverlappedResult(h, &ov, &read, false));
  EXPECT_EQ(GetLastError(), kErrorIoIncomplete);
  EXPECT_EQ(WaitForOverlapped(&ov, 100), kWaitTimeout);
  EXPECT_EQ(WaitForOverlapped(&ov, 1000), kWaitObject0);
  EXPECT_EQ(plat::NowMs(), 1300u);
  EXPECT_TRUE(GetOverlappedResult(h, &ov, &read, false));
  EXPECT_EQ(read, 16u);
  EXPECT_EQ(buffer[15], 15);
  CloseHandle(h);
}

TEST_F(DeviceIoTest, StalledOverlappedCallTimesOut) {
  plat::ScopedClock clock(plat::ScopedClock::Virtual{0, true});
  DeviceRegistry::Instance().AddFault(kName, Fault{.kind = FaultKind::kNoAnswer});
  Handle h = Open(kName);
  uint8_t data[4] = {};
  Overlapped ov{};
  EXPECT_FALSE(WriteFile(h, data, 4, nullptr, &ov));
  EXPECT_EQ(GetLastError(), kErrorIoPending);
  EXPECT_EQ(WaitForOverlapped(&ov, 10000), kWaitTimeout);
  EXPECT_EQ(plat::NowMs(), 10000u);
  EXPECT_EQ(WaitForOverlapped(&ov, kInfinite), kWaitFailed);
  EXPECT_TRUE(device->written.empty());
  CloseHandle(h);
}

TEST_F(DeviceIoTest, TranscriptListsEveryCall) {
  Handle h = Open(kName);
  uint8_t in[2] = {0xAB, 0xCD}, out[4] = {};
  uint32_t n = 0;
  DeviceIoControl(h, 0x222004, in, 2, out, 4, &n, nullptr);
  WriteFile(h, in, 2, &n, nullptr);
  CloseHandle(h);
  Open("\\\\.\\QvUsb2-0");
  EXPECT_EQ(DeviceRegistry::Instance().Transcript(),
            "open \\\\.\\KScanDrv-0\n"
            "ioctl \\\\.\\KScanDrv-0 0x00222004 in=abcd cap=4 -> ok 2 out=abcd #e3a027a5\n"
            "write \\\\.\\KScanDrv-0 in=abcd cap=2 -> ok 2\n"
            "close \\\\.\\KScanDrv-0\n"
            "open \\\\.\\QvUsb2-0 -> fail 2\n");
}

TEST_F(DeviceIoTest, TraceIsOptInAndKeepsOnlyTheNewestRecords) {
  DeviceRegistry& registry = DeviceRegistry::Instance();
  registry.Reset();  // a reset turns tracing off rather than back on
  EXPECT_FALSE(registry.TraceEnabled());
  registry.Attach(kName, device);
  CloseHandle(Open(kName));
  EXPECT_TRUE(registry.Trace().empty());

  registry.SetTraceEnabled(true, 3);
  for (int i = 0; i < 4; ++i) CloseHandle(Open(kName));  // eight records
  Open("\\\\.\\QvUsb2-0");
  const std::vector<TraceRecord> trace = registry.Trace();
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[0].kind, CallKind::kOpen);
  EXPECT_EQ(trace[1].kind, CallKind::kClose);
  EXPECT_EQ(trace[2].device, "\\\\.\\QvUsb2-0");

  registry.SetTraceEnabled(false);  // what was recorded stays readable
  CloseHandle(Open(kName));
  EXPECT_EQ(registry.Trace().size(), 3u);
}

}  // namespace
}  // namespace drv
