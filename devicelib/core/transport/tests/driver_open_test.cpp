// Opening the later series' driver device: the order of the fifteen names, the five-handle table, the
// ready flag that every transfer waits for, and closing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/device_registry.h"
#include "pattern_device.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"

namespace qv6 {
namespace {

using drv::CallKind;
using testing::Calls;
using testing::PatternDevice;

class DriverOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    drv::DeviceRegistry::Instance().Reset();
    drv::DeviceRegistry::Instance().SetTraceEnabled(true);  // open attempts are read from it
    DriverLayer::Reset();
  }
  void TearDown() override { drv::DeviceRegistry::Instance().Reset(); }

  static std::vector<std::string> OpenAttempts() {
    std::vector<std::string> names;
    for (const auto& call : Calls(CallKind::kOpen)) names.push_back(call.device);
    return names;
  }
};

TEST_F(DriverOpenTest, NamesAreTriedPerNumberInTheirOrder) {
  drv::DeviceRegistry::Instance().Attach("\\\\.\\QvUsb2-0", std::make_shared<PatternDevice>());
  drv::DeviceRegistry::Instance().Attach("\\\\.\\KScanDrv-1", std::make_shared<PatternDevice>());
  ScannerQV62xInterface first;
  ASSERT_EQ(first.Open(), 1);
  EXPECT_EQ(OpenAttempts(), (std::vector<std::string>{"\\\\.\\KScanDrv-0", "\\\\.\\QvUsb2-0"}));

  // The device held by the first interface is busy, so the second gets the next name that opens.
  drv::DeviceRegistry::Instance().ClearTrace();
  ScannerKQv8xInterface second;
  ASSERT_EQ(second.Open(), 1);
  EXPECT_EQ(OpenAttempts(), (std::vector<std::string>{"\\\\.\\KScanDrv-0", "\\\\.\\QvUsb2-0",
                                                      "\\\\.\\Kusb2-0", "\\\\.\\KScanDrv-1"}));

  drv::DeviceRegistry::Instance().ClearTrace();
  ScannerQV63xInterface third;
  EXPECT_EQ(third.Open(), 0);
  EXPECT_EQ(third.error(), DriverDeviceInterface::kErrorOpen);
  EXPECT_EQ(OpenAttempts().size(), 15u);
  EXPECT_EQ(OpenAttempts().back(), "\\\\.\\Kusb2-4");
}

TEST_F(DriverOpenTest, TransfersWaitForTheFirstOpenAndTheTableHoldsFive) {
  uint8_t buffer[8];
  EXPECT_EQ(DriverLayer::Transfer(0x1000, kRequestControl42, nullptr, 0, nullptr, 0, nullptr, 0, 2048), 0);
  EXPECT_TRUE(Calls(CallKind::kControl).empty());
  EXPECT_EQ(DriverLayer::Open(2), drv::kInvalidHandle);

  for (int n = 0; n < 6; ++n) {
    drv::DeviceRegistry::Instance().Attach("\\\\.\\Kusb2-" + std::to_string(n % 5),
                                           std::make_shared<PatternDevice>());
    drv::DeviceRegistry::Instance().Attach("\\\\.\\QvUsb2-" + std::to_string(n % 5),
                                           std::make_shared<PatternDevice>());
  }
  std::vector<drv::Handle> handles;
  for (int n = 0; n < 5; ++n) handles.push_back(DriverLayer::Open(1));
  for (drv::Handle h : handles) EXPECT_NE(h, drv::kInvalidHandle);
  EXPECT_TRUE(DriverLayer::Ready());
  drv::DeviceRegistry::Instance().ClearTrace();
  EXPECT_EQ(DriverLayer::Open(1), drv::kInvalidHandle);  // table full: no name is even tried
  EXPECT_TRUE(OpenAttempts().empty());

  RequestRecord record;
  record.type = kRequestSerialIn;
  EXPECT_EQ(DriverLayer::Transfer(handles[0], kRequestSerialIn, buffer, 8, nullptr, 0, &record, 0, 2048), 1);

  EXPECT_EQ(DriverLayer::Close(handles[0]), 1);
  EXPECT_EQ(DriverLayer::Close(handles[0]), 1);  // a second close finds nothing to close
  EXPECT_EQ(Calls(CallKind::kClose).size(), 1u);
  EXPECT_NE(DriverLayer::Open(1), drv::kInvalidHandle);
  for (size_t i = 1; i < handles.size(); ++i) DriverLayer::Close(handles[i]);
}

}  // namespace
}  // namespace qv6
