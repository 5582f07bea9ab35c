// Test fixture for the QV62x series: the later series' scanner and scan fixtures over a simulated QV602,
// QV620 or QV702 with a model of the matching class, a hopper of synthetic cheques with the QV62x raw format
// and every event recorded.
#pragma once

#include <memory>
#include <vector>

#include "../../later/tests/later_scan_fixture.h"
#include "../../later/tests/later_scanner_fixture.h"
#include "qv6/qv62x/qv62x_models.h"
#include "sim/qv62x_device.h"
#include "sim/qv62x_document_feeder.h"
#include "transport/driver_interface.h"

namespace qv6::testing {

using Qv62xEvent = RecordedEvent;

inline std::vector<RecordedEvent>& Qv62xEvents() {
  return Recorded();
}

inline std::vector<std::vector<uint8_t>> Qv62xCommandsOf(const sim::LaterSeriesDevice& device, uint8_t opcode) {
  return CommandsOfOpcode(device, opcode);
}

inline std::vector<std::vector<uint8_t>> Qv62xBlocksOf(const sim::LaterSeriesDevice& device, uint16_t type) {
  return BlocksOfType(device, type);
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

using Qv62xScannerTest =
    LaterScannerTest<sim::Qv62xDevice, ScannerQV62xInterface, Qv62xModel, Qv620, sim::Model::kQv620>;

class Qv62xTest : public LaterScanTest<Qv62xScannerTest, sim::Qv62xDocumentFeeder> {
 protected:
  // Each test attaches the model it wants.
  void SetUp() override { EnterScratch(); }
  std::unique_ptr<Qv62xModel> MakeModel(sim::Model which) override { return MakeQv62x(which, transport); }

  // As Attach, then a hopper of `count` cheques, the mechanical sections sent as at connection, and the
  // events recorded.
  void Use(sim::Model which, int count = 3, sim::documents::ChequeOptions cheques = {}) {
    Attach(which);
    sim::documents::DocumentStack stack(7, cheques);
    stack.AddCheques(count);
    Load(std::make_shared<sim::Qv62xDocumentFeeder>(
        std::move(stack), sim::Qv62xLayoutOf(which == sim::Model::kQv602 || which == sim::Model::kKwl602,
                                             which == sim::Model::kQv702)));
    ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
    RecordEvents();
  }
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
