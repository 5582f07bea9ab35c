// Every simulated model, running its firmware or only its boot loader, behind every device name its
// series can be found under, comes through the probes of the series before its own and is found by its
// own series' step; with nothing attached the probe tries every name once and finds nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "connect_probe.h"
#include "driver/device_registry.h"
#include "sim/catalog.h"
#include "sim/later_series_device.h"
#include "transport/bulk_layer.h"
#include "transport/driver_layer.h"

namespace sim {
namespace {

struct Expected {
  Model model;
  const char* modelClass;
  const char* firmwareKey;
};

const Expected kExpected[] = {
    {Model::kQv600, "Qv600", ""},
    {Model::kQv605, "Qv605", ""},
    {Model::kQv620, "Qv620", "QV620_Firmw"},
    {Model::kQv602, "Qv602", "QV602_Firmw"},
    {Model::kKwl602, "Qv602", "QV602_Firmw"},
    {Model::kQv702, "Qv702", "QV702_Firmw"},
    {Model::kKwl603, "Qv603", "QV603_Firmw"},
    {Model::kQv630, "Qv630", "QV630_Firmw"},
    {Model::kQv840, "Qv840", "QV840_Firmw"},
    {Model::kQv625, "Qv625", "QV625_Firmw"},
    {Model::kQv640, "Qv640", "QV640_Firmw"},
    {Model::kQv9120, "Qv9120", "QV9120_Firmw"},
    {Model::kRm70, "VEKQv500", "RM70_Firmw"},
    {Model::kRm70Kf, "VEKQv500", "RM70KF_Firmw"},
    {Model::kKQv8, "KQv8", "KQV8_Firmw"},
};

std::vector<std::string> DeviceNames(Series series) {
  if (series == Series::kFirst) return {"\\\\.\\usbbulk0"};
  std::vector<std::string> names;
  char name[32];
  for (int number = 0; number < 5; ++number) {
    for (const char* pattern : qv6::DriverLayer::kNamePatterns) {
      std::snprintf(name, sizeof name, pattern, number);
      names.push_back(name);
    }
  }
  return names;
}

class ProbeOrderTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { drv::DeviceRegistry::Instance().Reset(); }
  static void Reset() {
    drv::DeviceRegistry::Instance().Reset();
    drv::DeviceRegistry::Instance().SetTraceEnabled(true);  // the probe order is read from it
    qv6::BulkLayer::Reset();
    qv6::DriverLayer::Reset();
  }
};

TEST_F(ProbeOrderTest, EachModelIsFoundByItsOwnSeriesUnderEveryName) {
  for (const auto& expected : kExpected) {
    const ModelInfo& info = Info(expected.model);
    for (Firmware firmware : {Firmware::kRunning, Firmware::kBootLoader}) {
      if (firmware == Firmware::kBootLoader && !info.boot) continue;
      for (const auto& name : DeviceNames(info.series)) {
        SCOPED_TRACE(std::string(info.modelText) + (firmware == Firmware::kBootLoader ? " (boot) " : " ") +
                     name);
        Reset();
        auto device = AttachScanner(expected.model, name, firmware);
        auto found = testing::RunConnectProbe();
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->series, info.series) << SeriesName(found->series);
        EXPECT_EQ(found->modelClass, expected.modelClass);
        EXPECT_EQ(found->firmwareKey, expected.firmwareKey);
        // Every probe that opened the device closed it again.
        EXPECT_EQ(device->sessionsOpened(), device->sessionsClosed());
        EXPECT_EQ(drv::DeviceRegistry::Instance().OpenHandles(name), 0u);
      }
    }
  }
}

TEST_F(ProbeOrderTest, ProbesOfEarlierSeriesLeaveTheDeviceAlone) {
  // A KQv8 is identified by every later series before its own: each asks for the identification and
  // none of them sends a command, a block or EEPROM data.
  auto device = std::static_pointer_cast<LaterSeriesDevice>(AttachScanner(Model::kKQv8));
  // The KQv8 comes with its image (the lit sensor edges); the probes leave it as it was.
  const std::vector<uint8_t> eeprom = device->Eeprom();
  ASSERT_TRUE(testing::RunConnectProbe().has_value());
  EXPECT_EQ(device->sessionsOpened(), 6);
  EXPECT_TRUE(device->CommandsReceived().empty());
  EXPECT_TRUE(device->BlocksReceived().empty());
  EXPECT_EQ(device->Eeprom(), eeprom);
}

TEST_F(ProbeOrderTest, NothingAttachedTriesEveryNameOnceAndFindsNothing) {
  EXPECT_FALSE(testing::RunConnectProbe().has_value());
  size_t opens = 0;
  for (const auto& record : drv::DeviceRegistry::Instance().Trace()) {
    EXPECT_EQ(record.kind, drv::CallKind::kOpen);
    EXPECT_FALSE(record.ok);
    ++opens;
  }
  EXPECT_EQ(opens, 1u + 6u * 15u);
}

TEST_F(ProbeOrderTest, UnknownBootBoardIsSkippedByEverySeries) {
  // A boot loader with a board code no series knows: the QV63x and QV64x identifications fail, the
  // others answer "no model", and nothing is detected.
  auto device = std::static_pointer_cast<LaterSeriesDevice>(AttachScanner(Model::kQv630));
  device->SetCodes(IdentificationCodes{23, 1, 0x77});
  EXPECT_FALSE(testing::RunConnectProbe().has_value());
  EXPECT_EQ(device->sessionsOpened(), 6);
  EXPECT_EQ(device->sessionsClosed(), 6);
}

struct FaultCase {
  const char* name;
  drv::Fault fault;
  bool found;
};

TEST_F(ProbeOrderTest, ProbeUnderInjectedFaults) {
  const FaultCase cases[] = {
      // Without an identification the series read the identity block and its model text decides.
      {"identification always fails", drv::Fault{.kind = drv::FaultKind::kFail, .code = 0x222004, .count = 0},
       true},
      {"every call late", drv::Fault{.kind = drv::FaultKind::kDelay, .count = 0, .delayMs = 2}, true},
      {"empty identification", drv::Fault{.kind = drv::FaultKind::kZeroBytes, .code = 0x222004, .count = 0},
       false},
      {"garbled identity blocks", drv::Fault{.kind = drv::FaultKind::kGarbage, .code = 0x222059, .count = 0},
       false},
      {"unplugged during the identity read", drv::Fault{.kind = drv::FaultKind::kUnplug, .skip = 2}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    auto device = AttachScanner(Model::kQv630);
    drv::DeviceRegistry::Instance().AddFault(DefaultDeviceName(Series::kQv63x), c.fault);
    auto found = testing::RunConnectProbe();
    EXPECT_EQ(found.has_value(), c.found);
    if (found) {
      EXPECT_EQ(found->modelClass, "Qv630");
    }
    EXPECT_EQ(device->sessionsOpened(), device->sessionsClosed());
  }
}

}  // namespace
}  // namespace sim
