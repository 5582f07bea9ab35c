// Faults on the later series' document path (QV630, QV9120, QV640): a jam, a double feed, an unplug in the
// middle of a document and a failing image fetch give the status and error bits and events they should,
// and the next document comes through whole.
#include "driver/device_registry.h"
#include "qv6/later/status_words.h"
#include "qv6/qv64x/qv640_model.h"
#include "qv6/qv9120/qv9120_model.h"
#include "scan_fixture.h"
#include "sim/documents/document.h"

namespace qv6::testing {
namespace {

sim::documents::Document Cheque(uint32_t seed, bool jam, bool doubleFeed, bool unplug) {
  sim::documents::Document d = sim::documents::MakeCheque(seed);
  d.faults.jam = jam;
  d.faults.doubleFeed = doubleFeed;
  d.faults.unplugMidDocument = unplug;
  return d;
}

class ScanFaults : public ScanTest {
 protected:
  // A scanner of the series with an empty hopper.
  void UseSeries(sim::Model which) {
    if (which == sim::Model::kQv9120) {
      Use<Qv9120>(which, {}, 0, true);
    } else if (which == sim::Model::kQv640) {
      Use<Qv640>(which, {}, 0);
    } else {
      Use<Qv630>(which, {}, 0);
    }
  }
};

TEST_F(ScanFaults, JamAndDoubleFeedStopWithTheirBitsAndTheNextDocumentWorks) {
  struct Case {
    sim::Model model;
    bool jam;
    uint32_t status;  // besides Connected and Error
    uint32_t error;
  } cases[] = {
      {sim::Model::kQv630, true, QV6_STATUS_EXIT_JAM, 0x80},  {sim::Model::kQv630, false, QV6_STATUS_DOUBLE_FEED, 0x40},
      {sim::Model::kQv9120, true, QV6_STATUS_EXIT_JAM, 0x80}, {sim::Model::kQv9120, false, QV6_STATUS_DOUBLE_FEED, 0x40},
      {sim::Model::kQv640, true, QV6_STATUS_EXIT_JAM, 0x80},  {sim::Model::kQv640, false, QV6_STATUS_DOUBLE_FEED, 0x40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(sim::Info(c.model).modelText);
    UseSeries(c.model);
    Configure("");
    feeder->Push(Cheque(11, c.jam, !c.jam, false));
    feeder->Push(Cheque(12, false, false, false));

    EXPECT_EQ(FeedOne(), std::vector<int>{2}) << "jam " << c.jam;
    int status = 0, errors = 0;
    ASSERT_EQ(model->GetStatus(&status, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(status) & (QV6_STATUS_ERROR | c.status), QV6_STATUS_ERROR | c.status);
    EXPECT_EQ(static_cast<uint32_t>(errors), c.error);
    EXPECT_EQ(model->GetFrontImageDIBPtr(), nullptr);

    ASSERT_EQ(model->ClearErrors(), 1);
    ASSERT_EQ(model->GetStatus(&status, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(status) & (QV6_STATUS_ERROR | c.status), 0u);
    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2})) << "jam " << c.jam;
    EXPECT_NE(Event(3)->codeLine, "");
    EXPECT_NE(model->GetFrontImageDIBPtr(), nullptr);
  }
}

// A front whose fetch the driver fails is missing from the document: the caller gets the rear's event
// but must see the document is incomplete, as a device error, until it enables the next one.
TEST_F(ScanFaults, FailedFrontFetchIsADeviceErrorUntilTheNextEnable) {
  struct Case {
    sim::Model model;
    const char* keys;
  } cases[] = {{sim::Model::kQv630, ""},
               {sim::Model::kQv630, "CROP_IMAGE Enable=0\r\n"},
               {sim::Model::kQv9120, ""},
               {sim::Model::kQv640, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(sim::Info(c.model).modelText) + " " + c.keys);
    UseSeries(c.model);
    Configure(c.keys);
    sim::documents::Document failing = sim::documents::MakeCheque(31);
    failing.faults.frontTransferFails = true;
    feeder->Push(std::move(failing));
    feeder->Push(Cheque(32, false, false, false));

    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 5, 2}));
    int status = 0, errors = 0;
    ASSERT_EQ(model->GetStatus(&status, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(status) & QV6_STATUS_ERROR, QV6_STATUS_ERROR);
    EXPECT_EQ(static_cast<uint32_t>(errors), QV6_ERRORS_DEVICE);
    EXPECT_EQ(model->GetFrontImageDIBPtr(), nullptr);
    EXPECT_NE(model->GetRearImageDIBPtr(), nullptr);

    // The next enable is not refused for it, and the next document is whole and without error.
    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
    ASSERT_EQ(model->GetStatus(&status, &errors), 1);
    EXPECT_EQ(static_cast<uint32_t>(status) & QV6_STATUS_ERROR, 0u);
    EXPECT_EQ(errors, 0);
    EXPECT_NE(model->GetFrontImageDIBPtr(), nullptr);
  }
}

TEST_F(ScanFaults, UnplugMidDocumentLosesTheLinkAndTheReconnectedScannerScans) {
  for (sim::Model which : {sim::Model::kQv630, sim::Model::kQv9120, sim::Model::kQv640}) {
    SCOPED_TRACE(sim::Info(which).modelText);
    UseSeries(which);
    Configure("");
    feeder->Push(Cheque(21, false, false, true));
    feeder->Push(Cheque(22, false, false, false));
    ASSERT_EQ(model->EnableScan(1), 1);
    // The poll tick's status read finds the scanner gone: the connection ends.
    EXPECT_EQ(model->PollStatus(), 0);
    EXPECT_FALSE(drv::DeviceRegistry::Instance().IsAttached(feeder->options().deviceName));

    // Plugged in again, the connection builds a new model over a reopened transport.
    model.reset();
    transport.Close();
    drv::DeviceRegistry::Instance().Attach(feeder->options().deviceName, device);
    ASSERT_EQ(transport.Open(), 1);
    if (which == sim::Model::kQv9120) {
      model = std::make_unique<Qv9120>(transport);
    } else if (which == sim::Model::kQv640) {
      model = std::make_unique<Qv640>(transport);
    } else {
      model = std::make_unique<Qv630>(transport);
    }
    model->BindEvents(&events);
    model->SetEventMode(1);
    Configure("");
    EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
    auto fed = std::make_unique<sim::Qv63xDocumentFeeder::Fed>();
    ASSERT_TRUE(feeder->Find(model->expectedSequence(), fed.get()));
    EXPECT_EQ(fed->document.seed, 22u);
  }
}

}  // namespace
}  // namespace qv6::testing
