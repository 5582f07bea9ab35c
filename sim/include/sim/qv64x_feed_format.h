// The QV64x scanner's view of a document: 300 dpi contact sensors of 1536 pixels (1296 good, from pixel 0,
// both bottom-up) whose whole lines the host fetches, 300 raw lines per inch in grey and in colour (where
// each raw line is one plane of a group of three), and magnetic samples in the test kit's "QV64x" format.
// The host assembles a side at 300 dpi, writing each colour group three times, and reduces it to the
// resolution it was asked for; the expected images follow the same steps with the simulator's own
// reduction.
#pragma once

#include "sim/document_feeder.h"
#include "sim/qv63x_document_feeder.h"

namespace sim {

// The QV640's image modules and transport.
Qv63xFeederOptions Qv64xFeederOptions();

class Qv64xFeedFormat : public ContactSensorFormat {
 public:
  explicit Qv64xFeedFormat(ContactSensorLayout layout = Qv64xFeederOptions());

  std::array<documents::SideScan, 2> Scans(const documents::Document& document,
                                           documents::ColourMode mode) const override;
  int SampleRate(documents::ColourMode mode) const override;
  std::vector<uint8_t> SampleBytes(const documents::Document& document,
                                   documents::ColourMode mode) const override;
  documents::HostAssembly HostAssemblyOf(documents::Side side, documents::ColourMode mode,
                                         int dpi) const override;
  documents::ExpectedImage HostImage(const documents::SideScan& scan,
                                     const documents::TransferRequest& request, documents::Side side,
                                     documents::ColourMode mode, int dpi) const override;
};

}  // namespace sim
