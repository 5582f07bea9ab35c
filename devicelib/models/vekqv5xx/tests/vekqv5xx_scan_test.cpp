// The VEKQv500 scan cycle against the simulated RM 70 and RM 70 KF fed with synthetic cheques: events 6 and
// 3, then 4 and 5, then 2; the code line is the cheque's and both sides' DIBs equal the simulator's
// expected images in grey and colour and in both directions of travel; hold-back bits delay the events and
// a status change after the data were read raises no second set; scan mode 3 in the direction of the
// bit fetches no images; scan modes, gain and AGC, franker and faults reach the scanner as they should.
#include <gtest/gtest.h>

#include "driver/device_registry.h"
#include "qv6/vekqv5xx/vekqv5xx_status.h"
#include "vekqv5xx_fixture.h"

namespace qv6::testing {
namespace {

struct ScanCase {
  const char* name;
  sim::Model model;
  bool direction;
  bool colour;
};

class VEKQv500Scans : public VEKQv500ScanTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(VEKQv500Scans, DocumentGivesItsEventsCodeLineAndBothSides) {
  const ScanCase c = GetParam();
  Use(1, c.direction, c.colour, c.model);
  Configure(c.colour ? "FRONT_IMG Color=1\r\n" : "");

  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  const RecordedEvent* micr = Event(3);
  ASSERT_NE(micr, nullptr);
  EXPECT_EQ(micr->codeLine, CodeLine());
  auto expected = Expected();
  ASSERT_GT(expected[0].width, 0);
  ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(4)->value)), expected[0], "front");
  ExpectSameImage(ReadPackedDib(reinterpret_cast<void*>(Event(5)->value)), expected[1], "rear");
  EXPECT_EQ(model->GetFrontImageDIBPtr(), reinterpret_cast<void*>(Event(4)->value));
}

INSTANTIATE_TEST_SUITE_P(
    DirectionsAndColours, VEKQv500Scans,
    ::testing::Values(ScanCase{"Rm70GreyDirectionSet", sim::Model::kRm70, true, false},
                      ScanCase{"Rm70GreyDirectionClear", sim::Model::kRm70, false, false},
                      ScanCase{"Rm70ColourDirectionSet", sim::Model::kRm70, true, true},
                      ScanCase{"Rm70ColourDirectionClear", sim::Model::kRm70, false, true},
                      ScanCase{"Rm70KfGrey", sim::Model::kRm70Kf, true, false},
                      ScanCase{"Rm70KfColourDirectionClear", sim::Model::kRm70Kf, false, true}),
    [](const ::testing::TestParamInfo<ScanCase>& p) { return std::string(p.param.name); });

TEST_F(VEKQv500ScanTest, HoldBackBitsDelayTheEventsAndEachDocumentRaisesThemOnce) {
  Use(2);
  Configure("");
  device->SetHoldBack(sim::kVekHoldImages | sim::kVekHoldSamples);
  device->SetKeepReadyBits(true);
  EXPECT_EQ(FeedOne(), (std::vector<int>{2}));
  // The samples come free first, then the images.
  auto flags = device->Flags();
  device->SetFlags(flags[0], flags[1], static_cast<uint8_t>(flags[2] & ~sim::kVekHoldSamples));
  EXPECT_EQ(Poll(), (std::vector<int>{6, 3, 2}));
  device->ReleaseHoldBack();
  EXPECT_EQ(Poll(), (std::vector<int>{4, 5, 2}));
  // The change key moves while the ready bits stay: a status change, nothing fetched again.
  device->SetWord(5, 0x1234);
  EXPECT_EQ(Poll(), (std::vector<int>{2}));
  EXPECT_EQ(Received(kBlockImageTransfer).size(), 2u);
  // Nothing changed: no event at all.
  EXPECT_EQ(Poll(), (std::vector<int>{}));
  // The next document raises its own events.
  device->SetHoldBack(0);
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
}

TEST_F(VEKQv500ScanTest, ScanModeThreeInTheDirectionOfTheBitFetchesNoImages) {
  Use(1, true);
  Configure("");
  ASSERT_EQ(model->SetConfig_ScanMode(3), 1);
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 2}));
  EXPECT_TRUE(Received(kBlockImageTransfer).empty());
  // With event mode 0 no readiness is reported either.
  model->SetEventMode(0);
  int status = 0, errors = 0;
  device->SetFlags(sim::kVekDirection, 0, sim::kVekImagesReady | sim::kVekSamplesReady);
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status) & 0x700000u, 0u);
}

TEST_F(VEKQv500ScanTest, EnablingWhileEnabledSendsNoStartAndEarlyScansNeverReachTheSeries) {
  Use(1);
  Configure("");
  device->SetFlags(sim::kVekEnabled, 0, 0);
  EXPECT_EQ(model->EnableScan(1), 1);
  EXPECT_TRUE(Commands(1).empty());
  // Early scans and pockets never reach the series.
  EXPECT_EQ(model->EnableEarlyScan(), 1);
  EXPECT_EQ(model->SetDestinationPocket(1), 1);
  EXPECT_TRUE(Commands(10).empty());
}

struct ModeCase {
  const char* name;
  int mode;
  uint8_t start;
  uint8_t eject;  // kind 0
};

class VEKQv500ScanModes : public VEKQv500ScanTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(VEKQv500ScanModes, ModeGivesTheStartAndEjectParameters) {
  const ModeCase c = GetParam();
  Use(1);
  Configure("");
  ASSERT_EQ(model->SetConfig_ScanMode(c.mode), 1);
  FeedOne();
  ASSERT_EQ(model->EjectDocument(0), 1);
  ASSERT_EQ(model->EjectDocument(1), 1);
  ASSERT_EQ(model->EjectDocument(2), 1);
  EXPECT_EQ(device->StartParameters(), (std::vector<uint8_t>{c.start}));
  EXPECT_EQ(device->EjectParameters(), (std::vector<uint8_t>{c.eject, 0, 2}));
}

INSTANTIATE_TEST_SUITE_P(Modes, VEKQv500ScanModes,
                         ::testing::Values(ModeCase{"Mode0", 0, 1, 0}, ModeCase{"Mode1", 1, 3, 2},
                                           ModeCase{"Mode2", 2, 0, 2}, ModeCase{"Mode3", 3, 4, 0},
                                           ModeCase{"Mode7", 7, 1, 0}),
                         [](const ::testing::TestParamInfo<ModeCase>& p) { return std::string(p.param.name); });

TEST_F(VEKQv500ScanTest, GainReachesThePotentiometerAndTheAgcActsOnlyOnTheSameDocument) {
  Use(3);
  Configure("MICR AGC=1\r\n");
  EXPECT_TRUE(model->agc());
  EXPECT_EQ(device->Potentiometer(), 128);  // gain 1.00 with the default calibration
  FeedOne();
  // No clipping in a clean cheque: the AGC raises the gain to 255, used only by a repeated feed.
  EXPECT_EQ(model->currentGain(), 255u);
  device->SetSameDocument(true);
  FeedOne();
  EXPECT_EQ(device->Potentiometer(), vekqv5xx::Potentiometer(128, 255));
  // A new document starts from the base gain again.
  device->SetSameDocument(false);
  auto flags = device->Flags();
  device->SetFlags(flags[0], flags[1], 0);
  FeedOne();
  EXPECT_EQ(device->Potentiometer(), 128);
}

TEST_F(VEKQv500ScanTest, FrankAndSmartFrankingReachTheScanner) {
  Use(1);
  Configure("FrankerMode=2\r\nFrankerSmartModeBadQtyAllowed=0\r\n");
  ASSERT_EQ(model->Frank(0x1234), 1);
  FeedOne();
  // The clean code line passes the reject check: franked.
  EXPECT_EQ(device->Frankings(), (std::vector<uint16_t>{0x1234, 1}));
  auto frank = Commands(12);
  ASSERT_EQ(frank.size(), 2u);
  EXPECT_EQ(frank[0], (std::vector<uint8_t>{0, 12, 0, 0x12, 0x34, 0, 0}));
}

struct FaultCase {
  const char* name;
  sim::VekQv5xxDevice::Fault fault;
  uint32_t error;
};

class VEKQv500Faults : public VEKQv500ScanTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(VEKQv500Faults, FaultStopsWithItsBitsAndTheNextDocumentComesThrough) {
  const FaultCase c = GetParam();
  Use(2);
  Configure("");
  device->FailNextFeed(c.fault);
  EXPECT_EQ(FeedOne(), (std::vector<int>{2}));
  int status = 0, errors = 0;
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(errors), c.error | QV6_ERRORS_DEVICE);
  EXPECT_NE(static_cast<uint32_t>(status) & QV6_STATUS_ERROR, 0u);
  EXPECT_EQ(model->EnableScan(1), 0);
  ASSERT_EQ(model->ClearErrors(), 1);
  EXPECT_EQ(Commands(8).size(), 1u);
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
}

INSTANTIATE_TEST_SUITE_P(Faults, VEKQv500Faults,
                         ::testing::Values(FaultCase{"Jam", sim::VekQv5xxDevice::Fault::kJam, QV6_ERRORS_JAM},
                                           FaultCase{"InsertionError", sim::VekQv5xxDevice::Fault::kInsertError,
                                                     QV6_ERRORS_DOC_INSERT}),
                         [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

TEST_F(VEKQv500ScanTest, UnplugMidDocumentLosesTheLink) {
  Use(0);
  sim::documents::Document doc = sim::documents::MakeCheque(3, {});
  doc.faults.unplugMidDocument = true;
  feeder->Push(std::move(doc));
  Configure("");
  model->EnableScan(1);
  EXPECT_EQ(model->PollStatus(), 0);
}

TEST_F(VEKQv500ScanTest, SampleCountBeyondTheBufferReadsOnlyWhatFits) {
  Use(0);
  Configure("");
  device->SetWord(4, 40000);
  device->SetFlags(0, 0, sim::kVekSamplesReady);
  EXPECT_EQ(Poll(), (std::vector<int>{6, 3, 2}));
  EXPECT_EQ(model->micrSamples().byteCount, 65436);
}

}  // namespace
}  // namespace qv6::testing
