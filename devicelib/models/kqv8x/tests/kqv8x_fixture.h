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

class KQv8ScanTest : public LaterScanTest<KQv8Test, sim::KQv8xDocumentFeeder> {
 protected:
  void Use(int count, bool colourCheques = false) {
    Attach(sim::Model::kKQv8);
    sim::documents::ChequeOptions cheques;
    cheques.dpi = 300;
    cheques.colour = colourCheques;
    sim::documents::DocumentStack stack(7, cheques);
    stack.AddCheques(count);
    Load(std::make_shared<sim::KQv8xDocumentFeeder>(std::move(stack)));
    RecordEvents();
  }
  // The scanner's EEPROM image is read as at connection (correction tables with the lit edges).
  void LoadEeprom() {
    ASSERT_EQ(model->eepromImage().SyncImage(), 1);
    ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
  }
};

}  // namespace qv6::testing
