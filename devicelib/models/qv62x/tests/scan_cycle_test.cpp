// One document through a simulated QV602, QV620 and QV702: the events of a document, the code line and
// both sides' images against the simulator's expected images in every depth and resolution, and the
// rebuild of one side with new parameters.
#include <algorithm>

#include "qv62x_fixture.h"

namespace qv6::testing {
namespace {

struct ScanCase {
  const char* name;
  sim::Model model;
  const char* keys;
  int dpi;
  bool fourBit;
};

class Qv62xScanTest : public Qv62xTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(Qv62xScanTest, DocumentGivesItsEventsCodeLineAndBothSidesAsTheSimulatorSentThem) {
  const ScanCase& c = GetParam();
  Use(c.model);
  Configure(c.keys);
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));

  const auto record = feeder->feeder().RecordOf(0);
  ASSERT_TRUE(record.has_value());
  const char* line = model->GetMicrCodelinePtr();
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(std::string(line), record->codeLine);

  auto expected = feeder->feeder().ExpectedImages(0, c.dpi);
  ASSERT_TRUE(expected.has_value());
  for (int side = 0; side < 2; ++side) {
    void* dib = side == 0 ? model->GetFrontImageDIBPtr() : model->GetRearImageDIBPtr();
    ASSERT_NE(dib, nullptr) << "side " << side;
    sim::documents::ExpectedImage held = sim::documents::ReadPackedDib(dib);
    sim::documents::ExpectedImage want = (*expected)[static_cast<size_t>(side)];
    if (c.fourBit) want = To4Bit(want);
    ASSERT_EQ(held.width, want.width) << "side " << side;
    ASSERT_EQ(held.height, want.height) << "side " << side;
    ASSERT_EQ(held.bitCount, want.bitCount) << "side " << side;
    EXPECT_TRUE(held.pixels == want.pixels) << "side " << side;
  }

  // The next document works too, with its own events once.
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
}

INSTANTIATE_TEST_SUITE_P(
    Models, Qv62xScanTest,
    ::testing::Values(ScanCase{"Qv602Grey256", sim::Model::kQv602, "", 200, false},
                      ScanCase{"Qv620Grey256", sim::Model::kQv620, "", 200, false},
                      ScanCase{"Qv702Grey256", sim::Model::kQv702, "", 200, false},
                      ScanCase{"Qv620Grey16", sim::Model::kQv620, "FRONT_IMG GrayLevels=16\r\n", 200, true},
                      ScanCase{"Qv620Grey100Dpi", sim::Model::kQv620, "FRONT_IMG Resolution=100\r\n", 100,
                               false},
                      ScanCase{"Qv702Grey16At100Dpi", sim::Model::kQv702,
                               "FRONT_IMG Resolution=100\r\nFRONT_IMG GrayLevels=16\r\n", 100, true},
                      ScanCase{"Qv602Colour", sim::Model::kQv602, "FRONT_IMG Color=1\r\n", 200, false},
                      ScanCase{"Qv620Colour", sim::Model::kQv620, "FRONT_IMG Color=1\r\n", 200, false},
                      ScanCase{"Qv702Colour100Dpi", sim::Model::kQv702,
                               "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=100\r\n", 100, false}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST_F(Qv62xTest, RearRebuildMakesOnlyTheRearAgainAndRaisesOnlyItsEvent) {
  Use(sim::Model::kQv620);
  Configure("");
  ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  const auto front = sim::documents::ReadPackedDib(model->GetFrontImageDIBPtr());
  const int reads = device->RawReads();

  Qv62xEvents().clear();
  // Rear, 16 levels, at 100 dpi.
  ASSERT_EQ(model->ReadNewImage({1, 1, 0, 100, 0, 0, 0, 0}), 1);
  ASSERT_EQ(model->LinkCheck(), 1);
  ASSERT_EQ(Qv62xEvents().size(), 1u);
  EXPECT_EQ(Qv62xEvents()[0].event, 5);
  EXPECT_EQ(device->RawReads(), reads) << "the raw data is kept for rebuilds";
  const auto rear = sim::documents::ReadPackedDib(model->GetRearImageDIBPtr());
  EXPECT_EQ(rear.bitCount, 4);
  EXPECT_EQ(rear.height, 864 / 2) << "a rebuild is not cropped";
  EXPECT_TRUE(sim::documents::ReadPackedDib(model->GetFrontImageDIBPtr()).pixels == front.pixels);
}

TEST_F(Qv62xTest, HeightWindowKeepsItsFirstAndLastRowMeasuredOnTheGoodPixels) {
  Use(sim::Model::kQv620);
  // The front's first ten pixels are no sensor pixels: its images are ten rows shorter than the
  // module's 864 good pixels.
  std::vector<uint8_t> white(864, 0xFF);
  std::fill_n(white.begin(), 10, 0);
  ASSERT_EQ(model->SetCfgData(1, white.data(), static_cast<int>(white.size())), 1);
  Configure("CROP_IMAGE Enable=0\r\n");
  ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  const auto full = sim::documents::ReadPackedDib(model->GetFrontImageDIBPtr());
  ASSERT_EQ(full.height, 854);

  struct Case {
    int bottom, top;  // tenths of a millimetre at 200 dpi
    int first, last;  // rows kept
  } cases[] = {
      {100, 1000, 78, 788},  // 78.7 down to even, 787.4 up to even
      {-300, 0, 628, 853},   // 864 - 236 from the far end; top 0: to the last row
      {0, -200, 0, 708},     // 864 - 157, up to even
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bottom);
    ASSERT_EQ(model->ReadNewImage({0, 2, 0, 200, 0, 0, c.bottom, c.top}), 1);
    ASSERT_EQ(model->LinkCheck(), 1);
    const auto window = sim::documents::ReadPackedDib(model->GetFrontImageDIBPtr());
    ASSERT_EQ(window.width, full.width);
    EXPECT_EQ(window.height, c.last - c.first + 1);
    if (window.height != c.last - c.first + 1) continue;
    for (int y = 0; y < window.height; ++y) {
      ASSERT_TRUE(std::equal(window.Row(y), window.Row(y) + window.width, full.Row(c.first + y))) << y;
    }
  }
}

}  // namespace
}  // namespace qv6::testing
