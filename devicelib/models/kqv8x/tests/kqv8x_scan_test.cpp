// The KQv8 scan cycle against the simulated scanner fed with synthetic cheques: one poll tick after the
// feed gives events 6, 3, 4, 5, 2; the code line is the cheque's; both sides' DIBs equal the simulator's
// expected images in every cell of the resampling table and in 16 levels; every transfer is bracketed by
// its begin and end block; too few samples give an empty code line; faults stop the scanner with their
// bits and events, and the next document comes through.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/device_registry.h"
#include "kqv8x_fixture.h"
#include "sim/documents/document.h"

namespace qv6::testing {
namespace {

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

struct ImageCase {
  const char* name;
  const char* keys;
  bool colourCheque;
  int dpi;
};

class KQv8ScanImages : public KQv8ScanTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(KQv8ScanImages, DocumentGivesEventsInOrderTheCodeLineAndBothSides) {
  const ImageCase c = GetParam();
  Use(1, c.colourCheque);
  LoadEeprom();
  Configure(c.keys);

  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  const uint8_t sequence = model->expectedSequence();
  auto fed = std::make_unique<sim::KQv8xDocumentFeeder::Fed>();
  ASSERT_TRUE(feeder->Find(sequence, fed.get()));
  EXPECT_EQ(fed->sampleRate, 50000);

  // Event 6 hands over the 8-bit samples widened to the top byte of 16-bit ones.
  const std::vector<uint8_t> wire = feeder->Samples(sequence);
  const RecordedEvent* samples = Event(6);
  ASSERT_NE(samples, nullptr);
  ASSERT_EQ(samples->bytes.size(), 2 * std::min<size_t>(wire.size(), 32668));
  for (size_t i = 0; i < samples->bytes.size() / 2; ++i) {
    ASSERT_EQ(samples->bytes[2 * i], 0) << i;
    ASSERT_EQ(samples->bytes[2 * i + 1], wire[i]) << i;
  }
  const RecordedEvent* micr = Event(3);
  ASSERT_NE(micr, nullptr);
  EXPECT_EQ(micr->codeLine, Trimmed(fed->document.codeLine));

  auto expected = Expected(sequence, c.dpi);
  ASSERT_GT(expected[0].width, 0);
  ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(4)->value)), expected[0], "front");
  ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(5)->value)), expected[1], "rear");
  EXPECT_EQ(model->GetFrontImageDIBPtr(), reinterpret_cast<void*>(Event(4)->value));
  // The images show the document, not the whole lit sensor.
  EXPECT_LT(expected[0].height, c.dpi * 2552 / 300);
}

INSTANTIATE_TEST_SUITE_P(
    ResamplingTable, KQv8ScanImages,
    ::testing::Values(ImageCase{"grey100", "FRONT_IMG Resolution=100\r\n", false, 100},
                      ImageCase{"grey200", "FRONT_IMG Resolution=200\r\n", false, 200},
                      ImageCase{"grey300", "", false, 300},
                      ImageCase{"colour100", "FRONT_IMG Color=2\r\nFRONT_IMG Resolution=100\r\n", true, 100},
                      ImageCase{"colour200", "FRONT_IMG Color=2\r\nFRONT_IMG Resolution=200\r\n", true, 200},
                      ImageCase{"colour300", "FRONT_IMG Color=2\r\n", true, 300},
                      // Any colour setting is colour mode 2.
                      ImageCase{"colourSetting1at100", "FRONT_IMG Color=1\r\nFRONT_IMG Resolution=100\r\n",
                                true, 100}),
    [](const ::testing::TestParamInfo<ImageCase>& p) { return std::string(p.param.name); });

TEST_F(KQv8ScanTest, SixteenLevelsKeepTheTopNibbleOfTheExpectedImage) {
  Use(1);
  LoadEeprom();
  Configure("FRONT_IMG Resolution=200\r\nFRONT_IMG GrayLevels=16\r\n");
  ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  auto expected = Expected(model->expectedSequence(), 200);
  for (int side = 0; side < 2; ++side) {
    SCOPED_TRACE(side);
    const HeldImage got = ReadPackedDib(reinterpret_cast<void*>(Event(side == 0 ? 4 : 5)->value));
    const sim::documents::ExpectedImage& want = expected[static_cast<size_t>(side)];
    ASSERT_EQ(got.bitCount, 4);
    ASSERT_EQ(got.width, want.width);
    ASSERT_GE(got.height, want.height);
    const size_t rowBytes = (static_cast<size_t>(got.width) + 1) / 2;  // two pixels a byte
    for (int y = 0; y < want.height; ++y) {
      for (int x = 0; x < want.width; ++x) {
        const uint8_t byte = got.pixels[static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x / 2)];
        const int nibble = x % 2 == 0 ? byte >> 4 : byte & 0xF;
        ASSERT_EQ(nibble, want.Row(y)[x] >> 4) << x << "," << y;
      }
    }
  }
}

// Each side's lookup tables equal those built afresh from its calibration lines for the document's colour
// mode: built once per configuration, yet rebuilt when the colour mode or the calibration lines change.
TEST_F(KQv8ScanTest, LookupTablesFollowEachConfigurationChange) {
  Use(4, true);
  LoadEeprom();
  // White lines of channel 1 (the colour planes' first) unlike channel 0's, so grey and colour tables differ.
  auto ramp = [](int from) {
    std::vector<uint8_t> line(CScanLines::kMaxPixels);
    for (size_t p = 0; p < line.size(); ++p) line[p] = static_cast<uint8_t>(from + p % 64);
    return line;
  };
  for (int type : {13, 19}) {
    const std::vector<uint8_t> white = ramp(160);
    ASSERT_EQ(model->SetCfgData(type, white.data(), static_cast<int>(white.size())), 1);
  }
  struct Step {
    const char* name;
    const char* keys;
    bool colour;
    bool newWhite;  // a new white line for the front's grey channel before the configuration is read
  };
  const Step steps[] = {{"grey", "FRONT_IMG Resolution=200\r\n", false, false},
                        {"colour", "FRONT_IMG Color=2\r\n", true, false},
                        {"grey again", "FRONT_IMG Resolution=200\r\n", false, false},
                        {"new calibration", "FRONT_IMG Resolution=200\r\n", false, true}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    if (step.newWhite) {
      const std::vector<uint8_t> white = ramp(128);
      ASSERT_EQ(model->SetCfgData(1, white.data(), static_cast<int>(white.size())), 1);
    }
    Configure(step.keys);
    ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
    for (int side = 0; side < 2; ++side) {
      SCOPED_TRACE(side);
      const CScanLines& held = model->scanLines(side);
      CLoadScanLines fresh;
      fresh.SetCalibratedPixels(held.GetCalibratedPixels());
      for (unsigned kind = 0; kind < 2 * CScanLines::kChannels; ++kind)
        fresh.SetCalibrationLine(held.GetCalibrationLine(kind), kind);
      fresh.SetScanType(step.colour ? 3 : 2);
      ASSERT_EQ(fresh.BuildLookupTables(step.colour ? 1 : 0, 33, 34, 33), 1);
      ASSERT_GT(held.GetCalibratedPixels(), 0);
      for (int plane = 0; plane < (step.colour ? CScanLines::kPlanes : 1); ++plane) {
        for (int p = 0; p < held.GetCalibratedPixels(); ++p) {
          const auto want = fresh.GetLookupTable(plane, p);
          ASSERT_TRUE(std::ranges::equal(held.GetLookupTable(plane, p), want)) << plane << "," << p;
        }
      }
    }
  }
}

TEST_F(KQv8ScanTest, EveryTransferIsBracketedByItsBeginAndEndBlock) {
  Use(1);
  LoadEeprom();
  Configure("FRONT_IMG Resolution=200\r\n");
  device->ClearTranscript();
  ASSERT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  const uint8_t sequence = model->expectedSequence();
  const auto samples = model->micrSamples().byteCount / 2;
  const auto width = static_cast<int>(model->lastWindow(0)->endPixel);
  const int lines = model->lastWindow(0)->Lines();
  auto rounded = [](int bytes) { return std::to_string((bytes + 511) / 512 * 512); };
  const std::string seq = std::to_string(sequence);
  EXPECT_EQ(device->Transcript(),
            (std::vector<std::string>{"39:1", "w3:8192", "39:0", "38:1", "r2:" + rounded(samples), "38:0",
                                      "37:" + seq, "r0:" + rounded(width * lines), "37:0", "37:" + seq,
                                      "r1:" + rounded(width * lines), "37:0"}));
  // The closing image block repeats the opening one but for its first byte.
  auto transfers = Received(kBlockImageTransfer);
  ASSERT_EQ(transfers.size(), 4u);
  EXPECT_TRUE(std::equal(transfers[0].begin() + 1, transfers[0].end(), transfers[1].begin() + 1));
  EXPECT_EQ(transfers[0][2], 0);                              // never half size
  EXPECT_EQ(transfers[0][10] << 8 | transfers[0][11], 2594);  // the whole line, rounded down to even
}

TEST_F(KQv8ScanTest, FortySamplesGiveAnEmptyCodeLineNotAMissingOne) {
  Use(0);
  LoadEeprom();
  Configure("FRONT_IMG Resolution=200\r\n");
  // A document whose record reports 40 samples.
  feeder->Push(sim::documents::MakeCheque(5));
  ASSERT_EQ(model->EnableScan(1), 1);
  sim::DocumentRecord record = device->Record(0);
  record.samples = 40;
  device->SetRecord(0, record);
  Recorded().clear();
  ASSERT_EQ(model->PollStatus(), 1);
  const RecordedEvent* micr = Event(3);
  ASSERT_NE(micr, nullptr);
  ASSERT_NE(micr->value, 0);
  EXPECT_EQ(micr->codeLine, "");
  ASSERT_NE(model->GetMicrCodelinePtr(), nullptr);
  EXPECT_STREQ(model->GetMicrCodelinePtr(), "");
}

sim::documents::Document Cheque(uint32_t seed, bool jam, bool doubleFeed, bool unplug) {
  sim::documents::Document d = sim::documents::MakeCheque(seed);
  d.faults.jam = jam;
  d.faults.doubleFeed = doubleFeed;
  d.faults.unplugMidDocument = unplug;
  return d;
}

TEST_F(KQv8ScanTest, JamAndDoubleFeedStopWithTheirBitsAndTheNextDocumentWorks) {
  struct Case {
    const char* what;
    bool jam;
    uint32_t status;  // besides Connected and Error
    uint32_t error;
  } cases[] = {{"jam", true, QV6_STATUS_EXIT_JAM, QV6_ERRORS_JAM},
               {"double feed", false, QV6_STATUS_DOUBLE_FEED, QV6_ERRORS_DOUBLE_FEED}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Use(0);
    LoadEeprom();
    Configure("FRONT_IMG Resolution=100\r\n");
    feeder->Push(Cheque(11, c.jam, !c.jam, false));
    feeder->Push(Cheque(12, false, false, false));

    EXPECT_EQ(FeedOne(), std::vector<int>{2});
    int status = 0, errors = 0;
    ASSERT_EQ(model->GetStatus(&status, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(status) & (QV6_STATUS_ERROR | c.status), QV6_STATUS_ERROR | c.status);
    EXPECT_EQ(static_cast<uint32_t>(errors), c.error);
    EXPECT_EQ(model->GetFrontImageDIBPtr(), nullptr);

    ASSERT_EQ(model->ClearErrors(), 1);
    ASSERT_EQ(model->GetStatus(&status, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(status) & (QV6_STATUS_ERROR | c.status), 0u);
    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
    EXPECT_NE(Event(3)->codeLine, "");
    EXPECT_NE(model->GetFrontImageDIBPtr(), nullptr);
  }
}

TEST_F(KQv8ScanTest, UnplugMidDocumentLosesTheLinkAndTheReconnectedScannerScans) {
  Use(0);
  LoadEeprom();
  Configure("FRONT_IMG Resolution=100\r\n");
  feeder->Push(Cheque(21, false, false, true));
  feeder->Push(Cheque(22, false, false, false));
  ASSERT_EQ(model->EnableScan(1), 1);
  EXPECT_EQ(model->PollStatus(), 0);
  EXPECT_FALSE(drv::DeviceRegistry::Instance().IsAttached(feeder->options().deviceName));

  model.reset();
  transport.Close();
  drv::DeviceRegistry::Instance().Attach(feeder->options().deviceName, device);
  ASSERT_EQ(transport.Open(), 1);
  model = std::make_unique<KQv8>(transport);
  model->BindEvents(&events);
  model->SetEventMode(1);
  LoadEeprom();
  Configure("FRONT_IMG Resolution=100\r\n");
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  auto fed = std::make_unique<sim::KQv8xDocumentFeeder::Fed>();
  ASSERT_TRUE(feeder->Find(model->expectedSequence(), fed.get()));
  EXPECT_EQ(fed->document.seed, 22u);
}

}  // namespace
}  // namespace qv6::testing
