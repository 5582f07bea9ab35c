// A simulated first-series scanner behind "\\.\usbbulk0" with the bulk transport open on it, and the
// platform clock in virtual time so the transport's and the download's pauses pass at once.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "driver/device_registry.h"
#include "platform/clock.h"
#include "sim/catalog.h"
#include "sim/qv60x_device.h"
#include "transport/bulk_layer.h"
#include "transport/scanner_interface.h"

namespace qv6::testing {

class SimBulkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::UseVirtualClock(0, true);
    drv::DeviceRegistry::Instance().Reset();
    BulkLayer::Reset();
  }
  void TearDown() override {
    transport_.Close();
    drv::DeviceRegistry::Instance().Reset();
    BulkLayer::Reset();
    plat::UseRealClock();
  }
  std::shared_ptr<sim::Qv60xDevice> Attach(sim::Model model = sim::Model::kQv600, bool open = true) {
    device_ = std::static_pointer_cast<sim::Qv60xDevice>(sim::AttachScanner(model));
    if (open) EXPECT_EQ(transport_.Open(), 1);
    return device_;
  }
  // The command blocks the device received since the last call.
  std::vector<std::vector<uint8_t>> NewCommands() {
    auto all = device_->Commands();
    std::vector<std::vector<uint8_t>> fresh(all.begin() + static_cast<std::ptrdiff_t>(std::min(seen_, all.size())),
                                            all.end());
    seen_ = all.size();
    return fresh;
  }

  ScannerInterface transport_;
  std::shared_ptr<sim::Qv60xDevice> device_;
  size_t seen_ = 0;
};

}  // namespace qv6::testing
