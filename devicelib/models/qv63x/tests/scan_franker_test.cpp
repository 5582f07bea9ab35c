// The franker's smart mode on a scanned document: the code line decoded from the scanner's samples
// decides, against the allowance, whether the document the host works on is franked; the scanner records
// which document got which value.
#include <algorithm>

#include "qv6/qv64x/qv640_model.h"
#include "qv6/qv9120/qv9120_model.h"
#include "scan_fixture.h"
#include "testkit/micr/magnetic_trace.h"
#include "testkit/micr/sample_format.h"

namespace qv6::testing {
namespace {

// The feeder's documents, but their magnetic samples print "50505" with `rejects` of the '0's damaged
// (each then reads as a reject), as many samples as the document's own.
class DamagedSamples : public sim::Qv63xDocumentSource {
 public:
  DamagedSamples(std::shared_ptr<sim::Qv63xDocumentFeeder> feeder, int rejects, bool mirrored)
      : feeder_(std::move(feeder)), rejects_(rejects), mirrored_(mirrored) {}
  std::optional<sim::FedDocument> Feed(uint8_t sequence, std::span<const uint8_t> acquisition) override {
    return feeder_->Feed(sequence, acquisition);
  }
  std::vector<uint8_t> Image(std::span<const uint8_t> transfer) override { return feeder_->Image(transfer); }
  std::vector<uint8_t> Samples(uint8_t sequence) override {
    auto fed = std::make_unique<sim::Qv63xDocumentFeeder::Fed>();
    if (!feeder_->Find(sequence, fed.get())) return {};
    micrkit::MagneticTrace trace = micrkit::E13bTrace("50505", {});
    for (int r = 0; r < rejects_; ++r) trace.ScaleLobe(1 + 2 * r, 2, 0.0);
    std::vector<uint16_t> samples = micrkit::SampleTrace(trace, micrkit::FormatForPreset(3, fed->sampleRate));
    // As many samples as the scanner reported for the document: the head idles after the line.
    const size_t count = fed->document.MagneticSamples(fed->sampleRate).size();
    if (samples.size() < count) samples.resize(count, samples.back());
    samples.resize(count);
    if (mirrored_) std::reverse(samples.begin(), samples.end());
    return micrkit::ToWire(samples, micrkit::WireOrder::kLittleEndian16);
  }

 private:
  std::shared_ptr<sim::Qv63xDocumentFeeder> feeder_;
  int rejects_;
  bool mirrored_;
};

struct FrankCase {
  const char* name;
  sim::Model model;
  const char* keys;
  int rejects;
  const char* codeLine;  // nullptr: none is made
  int value;             // -1: no franker command
};

class SmartFranking : public ScanTest, public ::testing::WithParamInterface<FrankCase> {};

TEST_P(SmartFranking, CodeLineRejectsAgainstTheAllowanceDecide) {
  const FrankCase c = GetParam();
  const bool mirrored = c.model == sim::Model::kQv9120;
  if (mirrored) {
    Use<Qv9120>(c.model, {}, 1, true);
  } else {
    Use<Qv640>(c.model, {}, 1);
  }
  device->SetDocumentSource(std::make_shared<DamagedSamples>(feeder, c.rejects, mirrored));
  Configure(std::string("FrankerSmartModeBadQtyAllowed=1\r\n") + c.keys);

  if (c.codeLine == nullptr) {
    // Without magnetic reading the samples still come, but no code line is made.
    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 4, 5, 2}));
  } else {
    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
    const RecordedEvent* micr = Event(3);
    ASSERT_NE(micr, nullptr);
    EXPECT_EQ(micr->codeLine, c.codeLine);
  }
  const auto frankings = std::static_pointer_cast<sim::Qv63xDevice>(device)->Frankings();
  if (c.value < 0) {
    EXPECT_TRUE(frankings.empty());
  } else {
    EXPECT_EQ(frankings, (std::vector<sim::Qv63xDevice::Franking>{
                             {model->expectedSequence(), static_cast<uint16_t>(c.value)}}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    BothFrankerSeries, SmartFranking,
    ::testing::Values(
        FrankCase{"qv9120SmartOneRejectFranks", sim::Model::kQv9120, "FrankerMode=2\r\n", 1, "5@505", 1},
        FrankCase{"qv9120SmartTwoRejectsDoNot", sim::Model::kQv9120, "FrankerMode=2\r\n", 2, "5@5@5", 0},
        FrankCase{"qv9120SmartCleanLineFranks", sim::Model::kQv9120, "FrankerMode=2\r\n", 0, "50505", 1},
        FrankCase{"qv9120AlwaysLeavesItToTheScanner", sim::Model::kQv9120, "FrankerMode=1\r\n", 1, "5@505",
                  -1},
        FrankCase{"qv9120MagneticReadingOff", sim::Model::kQv9120, "FrankerMode=2\r\nMICR Enable=0\r\n", 1,
                  nullptr, -1},
        FrankCase{"qv640SmartOneRejectFranks", sim::Model::kQv640, "FrankerMode=2\r\n", 1, "5@505", 1},
        FrankCase{"qv640SmartTwoRejectsDoNot", sim::Model::kQv640, "FrankerMode=2\r\n", 2, "5@5@5", 0},
        FrankCase{"qv640AlwaysLeavesItToTheScanner", sim::Model::kQv640, "FrankerMode=1\r\n", 1, "5@505", -1},
        FrankCase{"qv640MagneticReadingOff", sim::Model::kQv640, "FrankerMode=2\r\nMICR Enable=0\r\n", 1,
                  nullptr, -1}),
    [](const ::testing::TestParamInfo<FrankCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace qv6::testing
