// The first series' view of a document: two 832-pixel sensors at 200 dpi from pixel 0, whose track lies
// at the end of the sensor that the host's assembly stores first (the QV600's front and the QV605's rear
// at the high end, the other sides at pixel 0), raw lines at 200 per inch from the document's first
// line. A colour scan lights one LED at a time and sends each line as a red, a green and a blue run of
// the window's pixels. Samples come in the test kit's "QV600, QV605" format.
//
// The expected images follow the host's steps on what the scanner sends: the window's raw lines, padded
// to 64 bytes, as columns (the rear's last line first); rows from the window's first pixel, the QV600's
// front and the QV605's rear read backwards from the padded line's end; 16 levels keep each pixel's
// high nibble; colour comes at 100 lines per inch, every line twice at 200 dpi.
#pragma once

#include <memory>

#include "sim/document_feeder.h"
#include "sim/qv60x_document_source.h"

namespace sim {

struct Qv60xLayout {
  bool qv605 = false;
};

class Qv60xFeedFormat : public FeedFormat {
 public:
  static constexpr int kPixels = 832;

  explicit Qv60xFeedFormat(Qv60xLayout layout = {}) : layout_(layout) {}

  std::array<documents::SideScan, 2> Scans(const documents::Document& document,
                                           documents::ColourMode mode) const override;
  std::vector<uint8_t> RawLines(const documents::SideScan& scan,
                                const documents::TransferRequest& request) const override;
  int SampleRate(documents::ColourMode mode) const override;
  std::vector<uint8_t> SampleBytes(const documents::Document& document,
                                   documents::ColourMode mode) const override;
  documents::HostAssembly HostAssemblyOf(documents::Side side, documents::ColourMode mode,
                                         int dpi) const override;
  documents::ExpectedImage HostImage(const documents::SideScan& scan,
                                     const documents::TransferRequest& request, documents::Side side,
                                     documents::ColourMode mode, int dpi) const override;
  documents::ExpectedImage HostImageAtDepth(const documents::SideScan& scan,
                                            const documents::TransferRequest& request, documents::Side side,
                                            documents::ColourMode mode, int dpi, int depthBits) const override;

  const Qv60xLayout& layout() const { return layout_; }

 private:
  Qv60xLayout layout_;
};

// A first-series scanner's hopper of synthetic cheques: the device side of the series-neutral feeder.
class Qv60xDocumentFeeder : public Qv60xDocumentSource {
 public:
  Qv60xDocumentFeeder(documents::DocumentStack stack, Qv60xLayout layout, FeederOptions options = {});

  std::optional<Qv60xFed> Feed(bool colour, int bits) override;
  std::vector<uint8_t> Image(int side, const Qv60xWindow& window) override;

  void Push(documents::Document document) { feeder_.Push(std::move(document)); }
  const DocumentFeeder& feeder() const { return feeder_; }

 private:
  DocumentFeeder feeder_;
  uint8_t sequence_ = 0;
};

}  // namespace sim
