// Test fixture for the QV63x scan cycle: the later series' scan fixture over a simulated QV63x or QV640 fed
// from a hopper of synthetic cheques, with a model of the wanted class.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../../later/tests/later_scan_fixture.h"
#include "sim/documents/expected_image.h"
#include "sim/qv63x_document_feeder.h"
#include "sim/qv64x_feed_format.h"
#include "sim_scanner.h"

namespace qv6::testing {

// An image as the host holds it: the packed DIB's pixel rows, padding dropped.
using HeldImage = sim::documents::ExpectedImage;
using sim::documents::ReadPackedDib;

class ScanTest : public LaterScanTest<SimScannerTest, sim::Qv63xDocumentFeeder> {
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
    Load(std::make_shared<sim::Qv63xDocumentFeeder>(
        std::move(stack), options, qv64x ? std::make_shared<sim::Qv64xFeedFormat>(options) : nullptr));
    RecordEvents();
  }
};

inline void ExpectSameImage(const HeldImage& got, const sim::documents::ExpectedImage& want,
                            const char* what) {
  ASSERT_EQ(got.width, want.width) << what;
  ASSERT_EQ(got.height, want.height) << what;
  ASSERT_EQ(got.bitCount, want.bitCount) << what;
  EXPECT_TRUE(got.pixels == want.pixels) << what;
}

}  // namespace qv6::testing
