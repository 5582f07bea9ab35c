// Faults on the QV62x document path: the host's jam check (a sheet left under the sensors, a sheet that
// never reached them), a double feed and an unplug, each followed by a document that scans.
#include "app/log.h"
#include "platform/debug_output.h"
#include "qv62x_fixture.h"

namespace qv6::testing {
namespace {

constexpr uint32_t kApiError = 0x8;
constexpr uint32_t kApiDoubleFeed = 0x400;
constexpr uint32_t kApiImagesReady = 0x200000 | 0x400000;

sim::documents::Document Cheque(uint32_t seed, bool jam = false, bool doubleFeed = false,
                                bool unplug = false) {
  sim::documents::Document d = sim::documents::MakeCheque(seed);
  d.faults.jam = jam;
  d.faults.doubleFeed = doubleFeed;
  d.faults.unplugMidDocument = unplug;
  return d;
}

struct JamCase {
  const char* name;
  sim::Model model;
  bool entry;  // no paper from line 60 (else: paper left in the trailing lines)
  const char* log;
};

class Qv62xJamTest : public Qv62xTest, public ::testing::WithParamInterface<JamCase> {};

TEST_P(Qv62xJamTest, JamIsReportedWithoutImagesAndTheNextDocumentScans) {
  const JamCase& c = GetParam();
  Use(c.model, 0);
  Configure("");
  ASSERT_TRUE(model->jamCheckActive()) << "the scanner confirms its document-end allowance";
  feeder->Push(Cheque(31, !c.entry));
  feeder->Push(Cheque(32));
  if (c.entry) device->InjectEntryJam();

  g_Log.SetThreshold(0);
  plat::DebugOutputCapture capture;
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 2})) << "no image events for a jammed document";
  g_Log.SetThreshold(CLog::kSilent);
  EXPECT_NE(capture.Text().find(c.log), std::string::npos) << capture.Text();

  int status = 0, errors = 0;
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status) & (kApiError | kApiImagesReady), kApiError);
  EXPECT_EQ(static_cast<uint32_t>(errors) & 0x80u, 0x80u);
  EXPECT_EQ(model->blocks().Get(kBlockStatus, qv62x::kStImageState), qv62x::kImageJammed);
  EXPECT_EQ(model->GetFrontImageDIBPtr(), nullptr);

  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status) & kApiError, 0u);
  EXPECT_NE(model->GetFrontImageDIBPtr(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, Qv62xJamTest,
                         ::testing::Values(JamCase{"Qv620SheetLeftInside", sim::Model::kQv620, false,
                                                   "JAM ERROR: document not exited from CIS\n"},
                                           JamCase{"Qv702SheetNeverEntered", sim::Model::kQv702, true,
                                                   "JAM ERROR: document not entered in CIS\n"}),
                         [](const ::testing::TestParamInfo<JamCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(Qv62xTest, Qv602WithoutDocumentEndAllowanceLeavesJamsToTheScanner) {
  Use(sim::Model::kQv602, 0);
  Configure("");
  EXPECT_FALSE(model->jamCheckActive());
}

TEST_F(Qv62xTest, DoubleFeedShowsItsBitAndAfterClearingErrorsTheNextDocumentScans) {
  Use(sim::Model::kQv702, 0);
  Configure("");
  feeder->Push(Cheque(41, false, true));
  feeder->Push(Cheque(42));
  EXPECT_EQ(FeedOne(), (std::vector<int>{2}));
  int status = 0, errors = 0;
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status) & (kApiError | kApiDoubleFeed), kApiError | kApiDoubleFeed);
  ASSERT_EQ(model->ClearErrors(), 1);
  EXPECT_EQ(Qv62xCommandsOf(*device, 8).size(), 1u);
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status) & (kApiError | kApiDoubleFeed), 0u);
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
}

TEST_F(Qv62xTest, UnplugMidDocumentLosesTheLinkAndTheReconnectedScannerScans) {
  Use(sim::Model::kQv620, 0);
  Configure("");
  feeder->Push(Cheque(51, false, false, true));
  feeder->Push(Cheque(52));
  ASSERT_EQ(model->EnableScan(1), 1);
  EXPECT_EQ(model->PollStatus(), 0) << "the status read finds the scanner gone";
  const std::string name = "\\\\.\\KScanDrv-0";
  EXPECT_FALSE(drv::DeviceRegistry::Instance().IsAttached(name));

  // Plugged in again, the connection builds a new model over a reopened transport.
  model.reset();
  transport.Close();
  drv::DeviceRegistry::Instance().Attach(name, device);
  ASSERT_EQ(transport.Open(), 1);
  model = MakeQv62x(sim::Model::kQv620, transport);
  ASSERT_EQ(model->GetMechConfig(nullptr, 1), 1);
  model->BindEvents(&events);
  model->SetEventMode(1);
  Configure("");
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  EXPECT_EQ(feeder->feeder().RecordOf(1)->codeLine, std::string(model->GetMicrCodelinePtr()));
}

}  // namespace
}  // namespace qv6::testing
