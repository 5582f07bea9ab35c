// Test fixture for the KQv8: the simulated KQv8x scanner behind its driver device, a KQv8 on it, and (for
// the scan tests) a hopper of synthetic cheques whose expected images the simulator computes, with every
// event the model raises recorded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "qv6/kqv8x/kqv8_model.h"
#include "scan_fixture.h"
#include "sim/kqv8x_device.h"
#include "sim/kqv8x_document_feeder.h"

namespace qv6::testing {

using KQv8Test = LaterScannerTest<sim::KQv8xDevice, ScannerKQv8xInterface, KQv8, KQv8, sim::Model::kKQv8>;

class KQv8ScanTest : public KQv8Test {
 protected:
  void Use(int count, bool colourCheques = false) {
    Attach(sim::Model::kKQv8);
    sim::documents::ChequeOptions cheques;
    cheques.dpi = 300;
    cheques.colour = colourCheques;
    sim::documents::DocumentStack stack(7, cheques);
    stack.AddCheques(count);
    feeder = std::make_shared<sim::KQv8xDocumentFeeder>(std::move(stack));
    device->SetDocumentSource(feeder);
    Recorded().clear();
    for (int e = 2; e <= 6; ++e) events.Set(e, &RecordEvent, nullptr);
    events.SetDelivery(1, 0, 0);
    model->BindEvents(&events);
    model->SetEventMode(1);
  }
  // The scanner's EEPROM image is read as at connection (correction tables with the lit edges).
  void LoadEeprom() {
    ASSERT_EQ(model->eepromImage().SyncImage(), 1);
    ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
  }
  void Configure(const std::string& keys) {
    WriteFile("scan.ini", "[QV600 CONFIG]\r\n" + keys);
    ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  }
  std::vector<int> FeedOne() {
    Recorded().clear();
    EXPECT_EQ(model->EnableScan(1), 1);
    EXPECT_EQ(model->PollStatus(), 1);
    std::vector<int> order;
    for (const RecordedEvent& r : Recorded()) order.push_back(r.event);
    return order;
  }
  const RecordedEvent* Event(int event) const {
    for (const RecordedEvent& r : Recorded()) {
      if (r.event == event) return &r;
    }
    return nullptr;
  }
  std::array<sim::documents::ExpectedImage, 2> Expected(uint8_t sequence, int dpi) const {
    auto fed = std::make_unique<sim::KQv8xDocumentFeeder::Fed>();
    EXPECT_TRUE(feeder->Find(sequence, fed.get()));
    auto images = feeder->feeder().ExpectedImages(fed->index, dpi);
    EXPECT_TRUE(images.has_value());
    return images.value_or(std::array<sim::documents::ExpectedImage, 2>{});
  }

  EventTable events;
  std::shared_ptr<sim::KQv8xDocumentFeeder> feeder;
};

}  // namespace qv6::testing
