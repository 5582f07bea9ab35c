// Test fixture shared by the later series' scan-cycle tests: over a series' scanner fixture, a hopper of
// synthetic cheques in the simulated scanner, the model bound to an event table whose functions record every
// event, and the images the host must hold computed from what the scanner was asked for.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "device/event_table.h"
#include "sim/documents/expected_image.h"

namespace qv6::testing {

struct RecordedEvent {
  int event;
  intptr_t value;
  std::string codeLine;        // event 3
  std::vector<uint8_t> bytes;  // event 6: the samples handed over
};

// Events land here; the model raises them on the calling thread.
inline std::vector<RecordedEvent>& Recorded() {
  static std::vector<RecordedEvent> events;
  return events;
}

inline void RecordEvent(int event, intptr_t value) {
  RecordedEvent r{event, value, {}, {}};
  if (event == 3 && value != 0) r.codeLine = reinterpret_cast<const char*>(value);
  if (event == 6 && value != 0) {
    const auto* s = reinterpret_cast<const QV6MicrSamples*>(value);
    const auto* p = reinterpret_cast<const uint8_t*>(s->samples);
    if (p != nullptr) r.bytes.assign(p, p + s->byteCount);
  }
  Recorded().push_back(std::move(r));
}

// Base: the series' scanner fixture (a LaterScannerTest); Feeder: the series' document feeder.
template <class Base, class Feeder>
class LaterScanTest : public Base {
 protected:
  // The hopper goes into the scanner.
  void Load(std::shared_ptr<Feeder> hopper) {
    feeder = std::move(hopper);
    this->device->SetDocumentSource(feeder);
  }
  // Every event the model raises from now on is recorded (the record starts empty).
  void RecordEvents() {
    Recorded().clear();
    for (int e = 2; e <= 6; ++e) events.Set(e, &RecordEvent, nullptr);
    events.SetDelivery(1, 0, 0);
    this->model->BindEvents(&events);
    this->model->SetEventMode(1);
  }
  void Configure(const std::string& keys) {
    this->WriteFile("scan.ini", "[QV600 CONFIG]\r\n" + keys);
    ASSERT_EQ(this->model->InitDeviceFromFile("scan.ini", nullptr), 1);
  }
  // Starts a feed and runs one poll tick; the events it raised.
  std::vector<int> FeedOne() {
    Recorded().clear();
    EXPECT_EQ(this->model->EnableScan(1), 1);
    EXPECT_EQ(this->model->PollStatus(), 1);
    return RecordedOrder();
  }
  std::vector<int> RecordedOrder() const {
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
  // Both sides' images the host must hold for the document of `sequence`, cut to the larger length.
  std::array<sim::documents::ExpectedImage, 2> Expected(uint8_t sequence, int dpi) const {
    auto fed = std::make_unique<typename Feeder::Fed>();
    EXPECT_TRUE(feeder->Find(sequence, fed.get()));
    // Where the feeder keeps the transfers the scanner was asked for, each side must have had one.
    if constexpr (requires { fed->transfers; }) {
      for (size_t s = 0; s < 2; ++s) EXPECT_TRUE(fed->transfers[s].has_value()) << "side " << s;
    }
    auto images = feeder->feeder().ExpectedImages(fed->index, dpi);
    EXPECT_TRUE(images.has_value());
    return images.value_or(std::array<sim::documents::ExpectedImage, 2>{});
  }

  EventTable events;
  std::shared_ptr<Feeder> feeder;
};

}  // namespace qv6::testing
