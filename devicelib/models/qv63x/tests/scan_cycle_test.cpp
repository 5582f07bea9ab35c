// The QV63x scan cycle against the simulated scanner fed with synthetic cheques: one poll tick after the
// feed gives events 6, 3, 4, 5, 2; the code line is the cheque's; both sides' DIBs equal the images the
// scanner's raw lines make, cut to the larger document length, in every colour mode and resolution; faults
// stop the scanner with their bits, and the next document comes through.
#include <filesystem>
#include <fstream>

#include "qv6/image/shading_tables.h"
#include "qv6/later/later_blocks.h"
#include "qv6/later/status_words.h"
#include "qv6/qv64x/qv640_model.h"
#include "qv6/qv9120/qv9120_model.h"
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
  if (c.model == sim::Model::kQv840) {
    Use<Qv840>(c.model, cheques, 2, true);
  } else if (c.model == sim::Model::kQv9120) {
    Use<Qv9120>(c.model, cheques, 2, true);
  } else if (c.model == sim::Model::kQv640) {
    Use<Qv640>(c.model, cheques, 2);
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
    // Each series puts its own density and wire order on the samples; the simulator knows them.
    EXPECT_FALSE(samples->bytes.empty());
    EXPECT_EQ(samples->bytes, feeder->Samples(sequence));
    const RecordedEvent* micr = Event(3);
    ASSERT_NE(micr, nullptr);
    EXPECT_EQ(micr->codeLine, Trimmed(fed->document.codeLine));
    EXPECT_STREQ(model->GetMicrCodelinePtr(), micr->codeLine.c_str());

    auto expected = Expected(sequence, c.dpi);
    ASSERT_EQ(expected[0].dpi, c.dpi);
    ASSERT_GT(expected[0].width, 0);
    ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(4)->value)), expected[0], "front");
    ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(5)->value)), expected[1], "rear");
    EXPECT_EQ(model->GetFrontImageDIBPtr(), reinterpret_cast<void*>(Event(4)->value));
    EXPECT_EQ(model->GetRearImageDIBPtr(), reinterpret_cast<void*>(Event(5)->value));
    // The images show the document, not the whole sensor.
    EXPECT_LT(expected[0].height, c.dpi == 100 ? 416 : c.dpi == 300 ? 1296 : 832);
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
                  sim::Model::kQv840, true, 100, 94800},
        ImageCase{"qv9120grey200", "", sim::Model::kQv9120, false, 200, 63200},
        ImageCase{"qv9120grey100", "FRONT_IMG Resolution=100\r\n", sim::Model::kQv9120, false, 100, 63200},
        ImageCase{"qv9120colour1at200", "FRONT_IMG Color=1\r\n", sim::Model::kQv9120, true, 200, 63200},
        ImageCase{"qv9120colour2at200", "FRONT_IMG Color=2\r\n", sim::Model::kQv9120, true, 200, 94800},
        ImageCase{"qv640grey300", "", sim::Model::kQv640, false, 300, 70866},
        ImageCase{"qv640grey200", "FRONT_IMG Resolution=200\r\n", sim::Model::kQv640, false, 200, 70866},
        ImageCase{"qv640grey100", "FRONT_IMG Resolution=100\r\n", sim::Model::kQv640, false, 100, 70866},
        ImageCase{"qv640colour1at200", "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=200\r\n",
                  sim::Model::kQv640, true, 200, 70866},
        ImageCase{"qv640colour2at300", "FRONT_IMG Color=2\r\n", sim::Model::kQv640, true, 300, 70866}),
    [](const ::testing::TestParamInfo<ImageCase>& p) { return std::string(p.param.name); });

// The QV640's window is cut where the good pixels lie on the whole transferred line: from "StartPixel"
// on, here 16 on the front and 32 on the rear, whose pixels run top-down. The rear's correction tables run
// from the window's end down: the pixel nearest the track takes table 1 (white 160), table 0 (white 128)
// serves no pixel, and every other pixel is left as it came (white 255).
TEST_F(ScanTest, Qv640WindowStartsAtTheGoodPixelsAndTopDownTablesRunFromItsEnd) {
  Attach(sim::Model::kQv640);
  model = std::make_unique<Qv640>(transport);
  sim::Qv63xFeederOptions options = sim::Qv64xFeederOptions();
  options.front.startPixel = 16;
  options.rear.startPixel = 32;
  options.rear.topDown = true;
  sim::documents::ChequeOptions cheques;
  cheques.dpi = 300;
  sim::documents::DocumentStack stack(7, cheques);
  stack.AddCheques(1);
  Load(std::make_shared<sim::Qv63xDocumentFeeder>(std::move(stack), options,
                                                  std::make_shared<sim::Qv64xFeedFormat>(options)));
  RecordEvents();
  model->blocks().Set(kBlockImageModule, later::kImFrontStartPixel, 16);
  model->blocks().Set(kBlockImageModule, later::kImRearStartPixel, 32);
  model->blocks().Set(kBlockImageModule, later::kImRearSensor,
                      model->blocks().Get(kBlockImageModule, later::kImRearSensor) | 0x08);
  std::vector<uint8_t> white(1296, 255);
  white[0] = 128;
  white[1] = 160;
  ASSERT_EQ(model->SetCfgData(3, white.data(), static_cast<int>(white.size())), 1);  // rear white
  Configure("");

  ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  const auto expected = Expected(model->expectedSequence(), 300);
  ASSERT_GT(expected[0].width, 0);
  ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(4)->value)), expected[0], "front");
  const HeldImage rear = ReadPackedDib(reinterpret_cast<void*>(Event(5)->value));
  sim::documents::ExpectedImage want = expected[1];
  std::array<uint8_t, 256> gain{};
  shading::WhiteGain8(160, gain);
  for (int x = 0; x < want.width; ++x) want.pixels[static_cast<size_t>(x)] = gain[want.pixels[static_cast<size_t>(x)]];
  EXPECT_NE(want.pixels, expected[1].pixels);  // the row nearest the track shows the document
  ExpectSameImage(rear, want, "rear");
}

}  // namespace
}  // namespace qv6::testing
