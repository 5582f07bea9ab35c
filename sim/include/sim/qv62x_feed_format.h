// The QV62x scanner's view of a document: two 200 dpi contact sensors of 864 good pixels from pixel 0 (the
// QV620 and QV702 rear sensor counts from the top), the rear one lying D lines behind the front one. The
// scanner sends one buffer per document in which every line holds a (front byte, rear byte) pair per
// pixel: L lead-in lines, the document, and T trailing lines of empty track. In colour it takes 100
// document lines per inch, each as three raw lines lit red, green and blue. Samples come in the test
// kit's "QV62x" formats, reversed on the QV702's reversed transport.
//
// The host takes N lines from each side's first document line, stores every colour line twice and halves
// the side for 100 dpi; the expected images follow the same steps.
#pragma once

#include "sim/document_feeder.h"

namespace sim {

struct Qv62xLayout {
  int pixels = 864;  // P: good pixels of both sensors
  bool rearTopDown = true;
  bool reversedTransport = false;  // the QV702
  int leadIn = 12;                 // L
  int distance = 67;               // D: the rear sensor's lag
  int trailing = 48;               // T: at least the host's exit test (32 grey lines, 16 colour lines)
};

class Qv62xFeedFormat : public FeedFormat {
 public:
  explicit Qv62xFeedFormat(Qv62xLayout layout = {}) : layout_(layout) {}

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

  // N: the document's raw lines as the status block reports them (a multiple of 3 in colour).
  int ImageLines(const std::array<documents::SideScan, 2>& scans, documents::ColourMode mode) const;
  // The whole raw transfer of one side: every line from the first lead-in line to the last trailing one.
  documents::TransferRequest WholeTransfer(int imageLines) const;

  const Qv62xLayout& layout() const { return layout_; }

 private:
  Qv62xLayout layout_;
};

// The 2 x 2 box mean the host halves a side with (truncated), per channel.
documents::ExpectedImage HalveImage(const documents::ExpectedImage& image);

}  // namespace sim
