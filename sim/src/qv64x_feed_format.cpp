// The QV64x feed format.
#include "sim/qv64x_feed_format.h"

#include <cstring>

#include "testkit/micr/sample_format.h"

namespace sim {
namespace {

constexpr int kSensorDpi = 300;
constexpr int kSampleRate = 70866;

const micrkit::SeriesFormat& Qv64xSamples() {
  for (const micrkit::SeriesFormat& f : micrkit::SeriesFormats()) {
    if (std::strcmp(f.series, "QV64x") == 0) return f;
  }
  return micrkit::SeriesFormats().front();
}

}  // namespace

Qv63xFeederOptions Qv64xFeederOptions() {
  Qv63xFeederOptions o;
  o.front = {0, 1296, 1536, false, 0};
  o.rear = {0, 1296, 1536, false, 0};
  o.sampleRate = kSampleRate;
  o.sampleRateAltTiming = kSampleRate;
  return o;
}

Qv64xFeedFormat::Qv64xFeedFormat(ContactSensorLayout layout) : ContactSensorFormat(std::move(layout)) {}

std::array<documents::SideScan, 2> Qv64xFeedFormat::Scans(const documents::Document& document,
                                                          documents::ColourMode mode) const {
  std::array<documents::SideScan, 2> scans = ContactSensorFormat::Scans(document, mode);
  for (documents::SideScan& s : scans) s.linesPerInch = kSensorDpi;
  return scans;
}

int Qv64xFeedFormat::SampleRate(documents::ColourMode /*mode*/) const {
  return Qv64xSamples().rate;
}

std::vector<uint8_t> Qv64xFeedFormat::SampleBytes(const documents::Document& document,
                                                  documents::ColourMode /*mode*/) const {
  return document.MagneticBytes(Qv64xSamples(), layout().mirroredSides);
}

documents::HostAssembly Qv64xFeedFormat::HostAssemblyOf(documents::Side side, documents::ColourMode mode,
                                                        int /*dpi*/) const {
  documents::HostAssembly host = ContactSensorFormat::HostAssemblyOf(side, mode, kSensorDpi);
  host.groupRepeat = 3;
  return host;
}

documents::ExpectedImage Qv64xFeedFormat::HostImage(const documents::SideScan& scan,
                                                    const documents::TransferRequest& request,
                                                    documents::Side side, documents::ColourMode mode,
                                                    int dpi) const {
  return documents::ReduceFrom300(documents::AssembleSide(scan, request, HostAssemblyOf(side, mode, dpi)),
                                  dpi);
}

}  // namespace sim
