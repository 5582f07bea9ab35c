// The VEKQv5xx device side of the document feeder.
#include "sim/vekqv5xx_document_feeder.h"

#include <algorithm>
#include <cstring>

#include "sim/documents/channel_lights.h"
#include "testkit/micr/sample_format.h"

namespace sim {
namespace {

using documents::ColourMode;

constexpr size_t kPlanesAt = 3;
constexpr int kLeadLines = 8;

const micrkit::SeriesFormat& VekSamples() {
  for (const micrkit::SeriesFormat& f : micrkit::SeriesFormats()) {
    if (std::strcmp(f.series, "VEKQv5xx") == 0) return f;
  }
  return micrkit::SeriesFormats().front();
}

uint16_t Clamp16(size_t v) {
  return static_cast<uint16_t>(std::min<size_t>(v, 0xFFFF));
}

FeederOptions FeederOptionsOf(const VekQv5xxFeederOptions& o) {
  FeederOptions f;
  f.deviceName = o.deviceName;
  f.keptDocuments = o.keptDocuments;
  return f;
}

}  // namespace

VekQv5xxFeederOptions VekQv5xxDefaultFeederOptions(bool direction) {
  VekQv5xxFeederOptions o;
  o.front = {0, 832, 896, false, 0};
  o.rear = {0, 832, 896, true, 0};
  o.frontLeadLines = kLeadLines;
  o.rearLeadLines = kLeadLines;
  o.sampleRate = VekSamples().rate;
  o.sampleRateAltTiming = VekSamples().rate;
  o.direction = direction;
  // With the direction bit clear the document meets the sensors and the head from its other end.
  o.mirroredSides = !direction;
  return o;
}

VekQv5xxFeedFormat::VekQv5xxFeedFormat(VekQv5xxFeederOptions options)
    : Qv64xFeedFormat(options), direction_(options.direction) {}

int VekQv5xxFeedFormat::SampleRate(ColourMode /*mode*/) const {
  return VekSamples().rate;
}

std::vector<uint8_t> VekQv5xxFeedFormat::SampleBytes(const documents::Document& document,
                                                     ColourMode /*mode*/) const {
  std::vector<uint8_t> bytes = document.MagneticBytes(VekSamples(), layout().mirroredSides);
  if (direction_) {
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(~b);
  }
  return bytes;
}

VekQv5xxDocumentFeeder::VekQv5xxDocumentFeeder(documents::DocumentStack stack, VekQv5xxFeederOptions options)
    : options_(std::move(options)),
      feeder_(std::move(stack), std::make_shared<VekQv5xxFeedFormat>(options_), FeederOptionsOf(options_)) {}

std::optional<VekFedDocument> VekQv5xxDocumentFeeder::Feed(std::span<const uint8_t> acquisition) {
  const bool colour = acquisition.size() > kPlanesAt && acquisition[kPlanesAt] == 3;
  const uint8_t next = sequence_ >= 255 ? 1 : static_cast<uint8_t>(sequence_ + 1);
  // The sensors are lit as the host's channel records say, whatever order it put them in.
  std::array<std::vector<documents::ChannelLight>, 2> lights;
  for (int side = 0; side < 2; ++side) {
    auto lit = documents::LightsFromAcquisitionBlock(acquisition, side, documents::kVekQv5xxChannelRecords);
    if (lit) lights[static_cast<size_t>(side)] = std::move(*lit);
  }
  const std::optional<DocumentFeeder::Taken> taken =
      feeder_.Feed(next, colour ? ColourMode::kColourAltTiming : ColourMode::kGrey, 0, 0, std::move(lights));
  if (!taken) return std::nullopt;
  sequence_ = next;
  VekFedDocument d;
  const int lines = std::max({taken->documentLines[0], taken->documentLines[1], 0});
  d.lines = Clamp16(static_cast<size_t>((lines + 1) & ~1));
  d.firstLine = static_cast<uint16_t>(options_.frontLeadLines);
  d.samples = Clamp16(taken->sampleBytes / 2);
  d.jam = taken->faults.jam || taken->faults.doubleFeed;
  return d;
}

std::vector<uint8_t> VekQv5xxDocumentFeeder::Samples() {
  return feeder_.Samples(sequence_);
}

std::vector<uint8_t> VekQv5xxDocumentFeeder::Image(int side, int firstLine, int endLine, int lineBytes) {
  documents::TransferRequest request;
  request.firstLine = firstLine;
  request.endLine = endLine;
  request.firstPixel = 0;
  request.endPixel = lineBytes;
  return feeder_.Image(sequence_, side, request);
}

}  // namespace sim
