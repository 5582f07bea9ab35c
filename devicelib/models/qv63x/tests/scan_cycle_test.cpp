// The QV63x scan cycle against the simulated scanner fed with synthetic cheques: one poll tick after the
// feed gives events 6, 3, 4, 5, 2; the code line is the cheque's; both sides' DIBs equal the images the
// scanner's raw lines make, cut to the larger document length, in every colour mode and resolution; faults
// stop the scanner with their bits, and the next document comes through.
#include <filesystem>
#include <fstream>

#include "qv6/later/later_blocks.h"
#include "qv6/later/status_words.h"
#include "scan_fixture.h"

namespace qv6::testing {
namespace {

using sim::documents::ChequeOptions;

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

struct ImageCase {
  const char* name;
  const char* keys;  // scan configuration
  sim::Model model;
  bool colourCheque;
  int dpi;
  int sampleRate;
};

class ScanImages : public ScanTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ScanImages, DocumentGivesEventsInOrderTheCodeLineAndBothSides) {
  const ImageCase c = GetParam();
  ChequeOptions cheques;
  cheques.colour = c.colourCheque;
  const bool mirrored = c.model == sim::Model::kQv840;
  if (c.model == sim::Model::kQv840) {
    Use<Qv840>(c.model, cheques, 2, true);
  } else if (c.model == sim::Model::kKwl603) {
    Use<Qv603>(c.model, cheques, 2);
  } else {
    Use<Qv630>(c.model, cheques, 2);
  }
  Configure(c.keys);

  for (int document = 0; document < 2; ++document) {
    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2})) << "document " << document;
    const uint8_t sequence = model->expectedSequence();
    auto fed = std::make_unique<sim::Qv63xDocumentFeeder::Fed>();
    ASSERT_TRUE(feeder->Find(sequence, fed.get()));
    EXPECT_EQ(fed->sampleRate, c.sampleRate);

    // Event 6 hands over the samples as they came; the code line is the cheque's.
    const RecordedEvent* samples = Event(6);
    ASSERT_NE(samples, nullptr);
    EXPECT_EQ(samples->bytes, fed->document.MagneticBytes(c.sampleRate, mirrored));
    const RecordedEvent* micr = Event(3);
    ASSERT_NE(micr, nullptr);
    EXPECT_EQ(micr->codeLine, Trimmed(fed->document.codeLine));
    EXPECT_STREQ(model->GetMicrCodelinePtr(), micr->codeLine.c_str());

    auto expected = Expected(sequence, c.dpi);
    ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(4)->value)), expected[0], "front");
    ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(5)->value)), expected[1], "rear");
    EXPECT_EQ(model->GetFrontImageDIBPtr(), reinterpret_cast<void*>(Event(4)->value));
    EXPECT_EQ(model->GetRearImageDIBPtr(), reinterpret_cast<void*>(Event(5)->value));
    // The images show the document, not the whole sensor.
    EXPECT_LT(expected[0].height, c.dpi == 100 ? 416 : 832);
  }
}

INSTANTIATE_TEST_SUITE_P(
    ColourModesAndResolutions, ScanImages,
    ::testing::Values(
        ImageCase{"grey200", "", sim::Model::kQv630, false, 200, 63200},
        ImageCase{"grey100", "FRONT_IMG Resolution=100\r\n", sim::Model::kQv630, false, 100, 63200},
        ImageCase{"colour1at200", "FRONT_IMG Color=1\r\n", sim::Model::kQv630, true, 200, 63200},
        ImageCase{"colour1at100", "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=100\r\n", sim::Model::kQv630,
                  true, 100, 63200},
        ImageCase{"colour2at200", "FRONT_IMG Color=2\r\n", sim::Model::kQv630, true, 200, 94800},
        ImageCase{"qv603colour", "FRONT_IMG Color=1\r\n", sim::Model::kKwl603, true, 200, 94800},
        ImageCase{"qv840grey200", "", sim::Model::kQv840, false, 200, 63200},
        ImageCase{"qv840colour2at100", "FRONT_IMG Color=2\r\nFRONT_IMG Resolution=100\r\n",
                  sim::Model::kQv840, true, 100, 94800}),
    [](const ::testing::TestParamInfo<ImageCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace qv6::testing
