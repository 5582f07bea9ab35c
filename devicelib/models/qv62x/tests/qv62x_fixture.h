// Test fixture for the QV62x series: a simulated QV602, QV620 or QV702 behind the driver device, its
// transport open, a model of the matching class, a hopper of synthetic cheques with the QV62x raw format,
// an event table that records every event, and a scratch folder as current and temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/event_table.h"
#include "driver/device_registry.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "qv6/qv62x/qv62x_models.h"
#include "sim/catalog.h"
#include "sim/documents/expected_image.h"
#include "sim/qv62x_device.h"
#include "sim/qv62x_document_feeder.h"
#include "testkit/support/scratch_dir.h"
#include "transport/driver_interface.h"
#include "transport/driver_layer.h"

namespace qv6::testing {

struct Qv62xEvent {
  int event;
  intptr_t value;
};

inline std::vector<Qv62xEvent>& Qv62xEvents() {
  static std::vector<Qv62xEvent> events;
  return events;
}

inline void RecordQv62xEvent(int event, intptr_t value) {
  Qv62xEvents().push_back({event, value});
}

// The command packets of an opcode the scanner received.
inline std::vector<std::vector<uint8_t>> Qv62xCommandsOf(const sim::LaterSeriesDevice& device,
                                                         uint8_t opcode) {
  std::vector<std::vector<uint8_t>> out;
  for (const auto& c : device.CommandsReceived()) {
    if (c.size() >= 2 && c[1] == opcode) out.push_back(c);
  }
  return out;
}

inline std::vector<std::vector<uint8_t>> Qv62xBlocksOf(const sim::LaterSeriesDevice& device, uint16_t type) {
  std::vector<std::vector<uint8_t>> out;
  for (const auto& b : device.BlocksReceived()) {
    if (b.size() >= 4 && ((b[0] << 8) | b[1]) == type) out.emplace_back(b.begin() + 4, b.end());
  }
  return out;
}

// The model class of a simulated QV62x model.
inline std::unique_ptr<Qv62xModel> MakeQv62x(sim::Model which, DriverDeviceInterface& transport) {
  switch (which) {
    case sim::Model::kQv620:
      return std::make_unique<Qv620>(transport);
    case sim::Model::kQv702:
      return std::make_unique<Qv702>(transport);
    default:
      return std::make_unique<Qv602>(transport);
  }
}

class Qv62xTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    plat::SetFolder(plat::Folder::kTemp, dir_.string());
    plat::UseVirtualClock(0, true);
  }
  void TearDown() override {
    model.reset();
    transport.Close();
    drv::DeviceRegistry::Instance().Reset();
    plat::UseRealClock();
    plat::SetFolder(plat::Folder::kTemp, "");
    std::filesystem::current_path(old_);
  }

  // Attaches the scanner, opens the transport and builds the model.
  void Attach(sim::Model which, sim::Firmware firmware = sim::Firmware::kRunning) {
    model.reset();
    transport.Close();
    drv::DeviceRegistry::Instance().Reset();
    DriverLayer::Reset();
    which_ = which;
    device = std::static_pointer_cast<sim::Qv62xDevice>(sim::AttachScanner(which, {}, firmware));
    ASSERT_EQ(transport.Open(), 1);
    model = MakeQv62x(which, transport);
  }

  // As Attach, then a hopper of `count` cheques, the mechanical sections sent as at connection, and the
  // events recorded.
  void Use(sim::Model which, int count = 3, sim::documents::ChequeOptions cheques = {}) {
    Attach(which);
    sim::documents::DocumentStack stack(7, cheques);
    stack.AddCheques(count);
    feeder = std::make_shared<sim::Qv62xDocumentFeeder>(
        std::move(stack), sim::Qv62xLayoutOf(which == sim::Model::kQv602 || which == sim::Model::kKwl602,
                                             which == sim::Model::kQv702));
    device->SetDocumentSource(feeder);
    ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
    Qv62xEvents().clear();
    for (int e = 2; e <= 6; ++e) events.Set(e, &RecordQv62xEvent, nullptr);
    events.SetDelivery(1, 0, 0);
    model->BindEvents(&events);
    model->SetEventMode(1);
  }

  void WriteFile(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }

  void Configure(const std::string& keys) {
    WriteFile("scan.ini", "[QV600 CONFIG]\r\n" + keys);
    ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  }

  // A poll tick that settles the last document's states, then the feeder enabled and one poll tick; the
  // events of the document, in order.
  std::vector<int> FeedOne() {
    EXPECT_EQ(model->PollStatus(), 1);
    Qv62xEvents().clear();
    EXPECT_EQ(model->EnableScan(1), 1);
    EXPECT_EQ(model->PollStatus(), 1);
    std::vector<int> order;
    for (const Qv62xEvent& e : Qv62xEvents()) order.push_back(e.event);
    return order;
  }

  zc::testkit::ScratchDir scratch_{"qv62x"};
  std::filesystem::path dir_ = scratch_.Path();
  std::filesystem::path old_;
  sim::Model which_ = sim::Model::kQv620;
  std::shared_ptr<sim::Qv62xDevice> device;
  ScannerQV62xInterface transport;
  std::unique_ptr<Qv62xModel> model;
  EventTable events;
  std::shared_ptr<sim::Qv62xDocumentFeeder> feeder;
};

// An 8-bit image as a 16-level host image holds it: two pixels a byte, the first in the high nibble.
inline sim::documents::ExpectedImage To4Bit(const sim::documents::ExpectedImage& in) {
  sim::documents::ExpectedImage out = in;
  out.bitCount = 4;
  const size_t rowBytes = (static_cast<size_t>(in.width) + 1) / 2;
  out.pixels.assign(rowBytes * static_cast<size_t>(in.height), 0);
  for (int y = 0; y < in.height; ++y) {
    for (int x = 0; x < in.width; ++x) {
      const uint8_t v = in.Row(y)[x] & 0xF0;
      out.pixels[static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x / 2)] |=
          static_cast<uint8_t>(x % 2 == 0 ? v : v >> 4);
    }
  }
  return out;
}

}  // namespace qv6::testing
