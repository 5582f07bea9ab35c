// Test fixture for the QV63x scan cycle: the simulated scanner fed from a hopper of synthetic cheques,
// a model of the wanted class bound to an event table whose functions record every event, and the images
// the host must hold computed from what the scanner was asked for.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "device/event_table.h"
#include "sim/documents/expected_image.h"
#include "sim/qv63x_document_feeder.h"
#include "sim/qv64x_feed_format.h"
#include "sim_scanner.h"

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

// An image as the host holds it: the packed DIB's pixel rows, padding dropped.
using HeldImage = sim::documents::ExpectedImage;
using sim::documents::ReadPackedDib;

class ScanTest : public SimScannerTest {
 protected:
  template <class Model>
  void Use(sim::Model which, sim::documents::ChequeOptions cheques = {}, int count = 3,
           bool mirrored = false) {
    Attach(which);
    model = std::make_unique<Model>(transport);
    // The QV640's 300 dpi full-width sensors; the QV63x image modules otherwise.
    const bool qv64x = which == sim::Model::kQv640;
    sim::Qv63xFeederOptions options = qv64x ? sim::Qv64xFeederOptions() : sim::Qv63xFeederOptions{};
    options.mirroredSides = mirrored;
    if (qv64x) cheques.dpi = 300;
    sim::documents::DocumentStack stack(7, cheques);
    stack.AddCheques(count);
    feeder = std::make_shared<sim::Qv63xDocumentFeeder>(
        std::move(stack), options, qv64x ? std::make_shared<sim::Qv64xFeedFormat>(options) : nullptr);
    device->SetDocumentSource(feeder);
    Recorded().clear();
    for (int e = 2; e <= 6; ++e) events.Set(e, &RecordEvent, nullptr);
    events.SetDelivery(1, 0, 0);
    model->BindEvents(&events);
    model->SetEventMode(1);
  }
  void Configure(const std::string& keys) {
    WriteFile("scan.ini", "[QV600 CONFIG]\r\n" + keys);
    ASSERT_EQ(model->InitDeviceFromFile("scan.ini", nullptr), 1);
  }
  // Starts a feed and runs one poll tick; the events it raised.
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
  // Both sides' images the host must hold for the document of `sequence`, cut to the larger length.
  std::array<sim::documents::ExpectedImage, 2> Expected(uint8_t sequence, int dpi) const {
    auto fed = std::make_unique<sim::Qv63xDocumentFeeder::Fed>();
    EXPECT_TRUE(feeder->Find(sequence, fed.get()));
    for (size_t s = 0; s < 2; ++s) EXPECT_TRUE(fed->transfers[s].has_value()) << "side " << s;
    auto images = feeder->feeder().ExpectedImages(fed->index, dpi);
    EXPECT_TRUE(images.has_value());
    return images.value_or(std::array<sim::documents::ExpectedImage, 2>{});
  }

  EventTable events;
  std::shared_ptr<sim::Qv63xDocumentFeeder> feeder;
};

inline void ExpectSameImage(const HeldImage& got, const sim::documents::ExpectedImage& want,
                            const char* what) {
  ASSERT_EQ(got.width, want.width) << what;
  ASSERT_EQ(got.height, want.height) << what;
  ASSERT_EQ(got.bitCount, want.bitCount) << what;
  EXPECT_TRUE(got.pixels == want.pixels) << what;
}

}  // namespace qv6::testing
