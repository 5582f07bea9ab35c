// Test fixture shared by the later series' tests: a simulated scanner attached behind the driver device, its
// transport opened, a model on it, a scratch folder as current and temporary directory, and a clock whose
// waits pass at once; and what the scanner received, by block type and opcode.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "driver/device_registry.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "sim/catalog.h"
#include "sim/later_series_device.h"
#include "testkit/support/scratch_dir.h"
#include "transport/driver_layer.h"

namespace qv6::testing {

// The blocks of a type the scanner received, payload only.
inline std::vector<std::vector<uint8_t>> BlocksOfType(const sim::LaterSeriesDevice& device, uint16_t type) {
  std::vector<std::vector<uint8_t>> out;
  for (const auto& b : device.BlocksReceived()) {
    if (b.size() >= 4 && ((b[0] << 8) | b[1]) == type) out.emplace_back(b.begin() + 4, b.end());
  }
  return out;
}

// Command packets of an opcode the scanner received.
inline std::vector<std::vector<uint8_t>> CommandsOfOpcode(const sim::LaterSeriesDevice& device,
                                                          uint8_t opcode) {
  std::vector<std::vector<uint8_t>> out;
  for (const auto& c : device.CommandsReceived()) {
    if (c.size() >= 2 && c[1] == opcode) out.push_back(c);
  }
  return out;
}

// Device: the simulated series' class; Transport: the host's; Model: what the tests hold; DefaultModel:
// the class Attach builds (unless MakeModel says otherwise) and SetUp attaches the scanner of kDefault.
template <class Device, class Transport, class Model, class DefaultModel, sim::Model kDefault>
class LaterScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnterScratch();
    Attach(kDefault);
  }
  void TearDown() override {
    model.reset();
    transport.Close();
    drv::DeviceRegistry::Instance().Reset();
    plat::UseRealClock();
    plat::SetFolder(plat::Folder::kTemp, "");
    std::filesystem::current_path(old_);
  }
  // The scratch folder as current and temporary directory, and the virtual clock.
  void EnterScratch() {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    plat::SetFolder(plat::Folder::kTemp, dir_.string());
    plat::UseVirtualClock(0, true);
  }
  // The model Attach builds on the scanner of `which`.
  virtual std::unique_ptr<Model> MakeModel(sim::Model which) {
    (void)which;
    return std::make_unique<DefaultModel>(transport);
  }
  void Attach(sim::Model which, sim::Firmware firmware = sim::Firmware::kRunning) {
    model.reset();
    transport.Close();
    drv::DeviceRegistry::Instance().Reset();
    DriverLayer::Reset();
    device = std::static_pointer_cast<Device>(sim::AttachScanner(which, {}, firmware));
    ASSERT_EQ(transport.Open(), 1);
    model = MakeModel(which);
  }
  std::vector<std::vector<uint8_t>> Received(uint16_t type) const { return BlocksOfType(*device, type); }
  std::vector<std::vector<uint8_t>> Commands(uint8_t opcode) const {
    return CommandsOfOpcode(*device, opcode);
  }
  void WriteFile(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }

  zc::testkit::ScratchDir scratch_{"later"};
  std::filesystem::path dir_ = scratch_.Path();
  std::filesystem::path old_;
  std::shared_ptr<Device> device;
  Transport transport;
  std::unique_ptr<Model> model;
};

}  // namespace qv6::testing
