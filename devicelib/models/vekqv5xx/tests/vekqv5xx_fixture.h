// Test fixture for the VEKQv500: the simulated RM 70 (or RM 70 KF) behind its driver device, a VEKQv500 on
// it, and a hopper of synthetic cheques running in the chosen direction, with every event recorded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "qv6/vekqv5xx/vekqv500_model.h"
#include "scan_fixture.h"
#include "sim/vekqv5xx_device.h"
#include "sim/vekqv5xx_document_feeder.h"

namespace qv6::testing {

using VEKQv500Test =
    LaterScannerTest<sim::VekQv5xxDevice, ScannerVEKQv5xxInterface, VEKQv500, VEKQv500, sim::Model::kRm70>;

class VEKQv500ScanTest : public VEKQv500Test {
 protected:
  void Use(int count, bool direction = true, bool colourCheques = false, sim::Model which = sim::Model::kRm70) {
    Attach(which);
    sim::documents::ChequeOptions cheques;
    cheques.dpi = 300;
    cheques.colour = colourCheques;
    sim::documents::DocumentStack stack(7, cheques);
    stack.AddCheques(count);
    feeder = std::make_shared<sim::VekQv5xxDocumentFeeder>(std::move(stack),
                                                           sim::VekQv5xxDefaultFeederOptions(direction));
    device->SetDocumentSource(feeder);
    Recorded().clear();
    for (int e = 2; e <= 6; ++e) events.Set(e, &RecordEvent, nullptr);
    events.SetDelivery(1, 0, 0);
    model->BindEvents(&events);
    model->SetEventMode(1);
    ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
  }
  void Configure(const std::string& keys) {
    WriteFile("scan.ini", "[QV600 CONFIG]\r\n" + keys);
    ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  }
  std::vector<int> Poll() {
    Recorded().clear();
    EXPECT_EQ(model->PollStatus(), 1);
    std::vector<int> order;
    for (const RecordedEvent& r : Recorded()) order.push_back(r.event);
    return order;
  }
  std::vector<int> FeedOne() {
    Recorded().clear();
    EXPECT_EQ(model->EnableScan(1), 1);
    return Poll();
  }
  const RecordedEvent* Event(int event) const {
    for (const RecordedEvent& r : Recorded()) {
      if (r.event == event) return &r;
    }
    return nullptr;
  }
  std::array<sim::documents::ExpectedImage, 2> Expected() const {
    auto fed = std::make_unique<sim::VekQv5xxDocumentFeeder::Fed>();
    EXPECT_TRUE(feeder->Last(fed.get()));
    auto images = feeder->feeder().ExpectedImages(fed->index, 300);
    EXPECT_TRUE(images.has_value());
    return images.value_or(std::array<sim::documents::ExpectedImage, 2>{});
  }
  std::string CodeLine() const {
    auto fed = std::make_unique<sim::VekQv5xxDocumentFeeder::Fed>();
    EXPECT_TRUE(feeder->Last(fed.get()));
    std::string s = fed->document.codeLine;
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }

  EventTable events;
  std::shared_ptr<sim::VekQv5xxDocumentFeeder> feeder;
};

}  // namespace qv6::testing
