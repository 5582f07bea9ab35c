// The series-neutral document feeder: feed order and records, faces kept for only the newest documents,
// expected images of older synthetic cheques made again, the record bound, and a series' own format.
#include <gtest/gtest.h>

#include <memory>

#include "sim/document_feeder.h"

namespace sim {
namespace {

using documents::ColourMode;

// Feeds one document and asks for both whole sides, as a host does; the document's feed index.
size_t FeedAndFetch(DocumentFeeder& feeder, uint8_t sequence) {
  auto taken = feeder.Feed(sequence, ColourMode::kGrey);
  EXPECT_TRUE(taken.has_value());
  DocumentFeeder::Fed fed;
  EXPECT_TRUE(feeder.Find(sequence, &fed));
  for (int side = 0; side < 2; ++side) {
    EXPECT_FALSE(feeder.Image(sequence, side, documents::WholeDocument(fed.scans[side], false)).empty());
  }
  return taken ? taken->index : 0;
}

TEST(DocumentFeeder, OlderChequesLoseTheirFacesButKeepRecordsAndExpectedImages) {
  documents::DocumentStack stack(4);
  stack.AddCheques(5);
  FeederOptions options;
  options.keptDocuments = 2;
  DocumentFeeder feeder(std::move(stack), std::make_shared<ContactSensorFormat>(), options);

  const auto first = FeedAndFetch(feeder, 1);
  const auto whileKept = feeder.ExpectedImages(first, 200);
  ASSERT_TRUE(whileKept.has_value());
  for (uint8_t seq = 2; seq <= 5; ++seq) FeedAndFetch(feeder, seq);

  EXPECT_EQ(feeder.FedCount(), 5u);
  EXPECT_EQ(feeder.Waiting(), 0u);
  DocumentFeeder::Fed fed;
  EXPECT_FALSE(feeder.Find(1, &fed));  // faces dropped: the host can no longer fetch it
  EXPECT_TRUE(feeder.Image(1, 0, documents::TransferRequest{0, 10, 0, 64, false}).empty());
  EXPECT_TRUE(feeder.Find(5, &fed));
  EXPECT_EQ(fed.index, 4u);

  const auto record = feeder.RecordOf(first);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->sequence, 1);
  EXPECT_FALSE(record->codeLine.empty());
  const auto remade = feeder.ExpectedImages(first, 200);
  ASSERT_TRUE(remade.has_value());
  for (size_t s = 0; s < 2; ++s) {
    EXPECT_GT((*remade)[s].height, 0);
    EXPECT_EQ((*remade)[s].pixels, (*whileKept)[s].pixels) << "side " << s;
  }
  EXPECT_FALSE(feeder.ExpectedImages(5, 200).has_value());  // not fed
  EXPECT_FALSE(feeder.Feed(6, ColourMode::kGrey).has_value());
}

TEST(DocumentFeeder, PushedDocumentsAndDroppedRecordsAreNotMadeUp) {
  FeederOptions options;
  options.keptDocuments = 1;
  options.keptRecords = 2;
  DocumentFeeder feeder(documents::DocumentStack(2), std::make_shared<ContactSensorFormat>(), options);
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    documents::Document d = documents::MakeCheque(seed);
    d.cheque.reset();  // a document from elsewhere: no recipe
    feeder.Push(std::move(d));
  }
  for (uint8_t seq = 1; seq <= 3; ++seq) FeedAndFetch(feeder, seq);
  EXPECT_EQ(feeder.FedCount(), 3u);
  EXPECT_FALSE(feeder.RecordOf(0).has_value());        // beyond the record bound
  EXPECT_TRUE(feeder.RecordOf(1).has_value());
  EXPECT_FALSE(feeder.ExpectedImages(1, 200).has_value());  // faces gone, nothing to make them from
  EXPECT_TRUE(feeder.ExpectedImages(2, 200).has_value());
}

// A series with its own raw-line and sample format plugs in through FeedFormat.
class InvertedFormat : public ContactSensorFormat {
 public:
  std::vector<uint8_t> RawLines(const documents::SideScan& scan,
                                const documents::TransferRequest& request) const override {
    std::vector<uint8_t> lines = ContactSensorFormat::RawLines(scan, request);
    for (uint8_t& b : lines) b = static_cast<uint8_t>(~b);
    return lines;
  }
  std::vector<uint8_t> SampleBytes(const documents::Document&, ColourMode) const override { return {1, 2, 3}; }
};

TEST(DocumentFeeder, SeriesFormatDecidesRawLinesAndSamples) {
  documents::DocumentStack a(3), b(3);
  a.AddCheques(1);
  b.AddCheques(1);
  DocumentFeeder plain(std::move(a), std::make_shared<ContactSensorFormat>());
  DocumentFeeder inverted(std::move(b), std::make_shared<InvertedFormat>());
  auto t1 = plain.Feed(9, ColourMode::kGrey);
  auto t2 = inverted.Feed(9, ColourMode::kGrey);
  ASSERT_TRUE(t1 && t2);
  EXPECT_EQ(t2->sampleBytes, 3u);
  EXPECT_EQ(inverted.Samples(9), (std::vector<uint8_t>{1, 2, 3}));
  const documents::TransferRequest request{0, 40, 0, 128, false};
  const auto x = plain.Image(9, 0, request), y = inverted.Image(9, 0, request);
  ASSERT_EQ(x.size(), y.size());
  ASSERT_FALSE(x.empty());
  EXPECT_EQ(static_cast<uint8_t>(~x[100]), y[100]);
}

TEST(DocumentFeeder, ScheduledFaultsTravelWithTheirDocument) {
  documents::DocumentStack stack(6);
  stack.AddCheque();
  documents::DocumentFaults jam;
  jam.jam = true;
  stack.AddCheque(jam);
  DocumentFeeder feeder(std::move(stack), std::make_shared<ContactSensorFormat>());
  auto first = feeder.Feed(1, ColourMode::kGrey);
  auto second = feeder.Feed(2, ColourMode::kGrey);
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(first->faults.jam);
  EXPECT_GT(first->sampleBytes, 0u);
  EXPECT_TRUE(second->faults.jam);
  EXPECT_EQ(second->sampleBytes, 0u);
  EXPECT_TRUE(feeder.RecordOf(1)->faults.jam);
}

}  // namespace
}  // namespace sim
