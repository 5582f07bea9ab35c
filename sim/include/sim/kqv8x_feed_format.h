// The KQv8x scanner's view of a document: 300 dpi contact sensors of 2594 pixels (2552 good from pixel 12,
// the rear's pixels top-down) whose whole lines the host fetches; raw lines at the line value of the
// acquisition registers (grey 200 or 300 per inch, colour three plane lines per output line at 300);
// 8-bit magnetic samples in the test kit's "KQv8x" format. Only part of each sensor is lit: its white
// reference table (records 256 and 264 of the EEPROM image) is 255 from the first lit pixel to the last
// and 0 elsewhere, and the host cuts its window between those edges.
//
// The expected images follow the host's steps: the window's rows from the lit edges, the raw lines as
// columns (colour: each whole group of three as one line), then a reference resampling from the sensor's
// 300 dpi and the raw line rate to the asked resolution, written from the resampling table's definitions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/document_feeder.h"
#include "sim/kqv8x_eeprom.h"
#include "sim/qv63x_document_feeder.h"

namespace sim {

struct KQv8xFeederOptions : Qv63xFeederOptions {
  std::array<KQv8xLitEdges, 2> lit = kKQv8xLitEdges;  // front, rear
};

// The KQv8's image modules and transport, lit from the default edges.
KQv8xFeederOptions KQv8xDefaultFeederOptions();

// Resampling of a side assembled at 300 dpi across and `linesPerInch` along to `dpi` (100, 200 or 300),
// grey or colour mode 2 (colour: 100 output lines per inch).
documents::ExpectedImage ResampleKQv8x(const documents::ExpectedImage& image, documents::ColourMode mode,
                                       int dpi);

class KQv8xFeedFormat : public ContactSensorFormat {
 public:
  explicit KQv8xFeedFormat(KQv8xFeederOptions options = KQv8xDefaultFeederOptions());

  int SampleRate(documents::ColourMode mode) const override;
  std::vector<uint8_t> SampleBytes(const documents::Document& document,
                                   documents::ColourMode mode) const override;
  documents::HostAssembly HostAssemblyOf(documents::Side side, documents::ColourMode mode,
                                         int dpi) const override;
  documents::ExpectedImage HostImage(const documents::SideScan& scan,
                                     const documents::TransferRequest& request, documents::Side side,
                                     documents::ColourMode mode, int dpi) const override;

  const KQv8xFeederOptions& options() const { return options_; }

 private:
  KQv8xFeederOptions options_;
};

}  // namespace sim
