// The API against the real device library and a simulated QV630 with documents.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>

#include "api_fixture.h"
#include "driver/device_registry.h"
#include "platform/clock.h"
#include "sim/catalog.h"
#include "sim/firmware_package_builder.h"
#include "sim/qv63x_device.h"
#include "sim/qv63x_document_feeder.h"
#include "zarn/lifecycle.h"
#include "zarn/optical_codeline.h"
#include "zarn/qv600.h"
#include "zarn/statistics.h"
#include "zarn/status.h"

namespace zarn {
namespace {

std::atomic<int> g_ready{0};
void OnImagesReady(uint32_t) { g_ready.fetch_add(1); }

class Qv600SimTest : public testing::ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    std::ofstream(dir_.Path() + "/Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    drv::DeviceRegistry::Instance().Reset();
    device_ = std::static_pointer_cast<sim::Qv63xDevice>(sim::AttachScanner(sim::Model::kQv630));
    std::filesystem::create_directories(dir_.Path() + "/drivers");
    // The package holds the firmware the scanner runs, so connecting sends no download.
    sim::WritePackage(dir_.Path() + "/drivers/QV630Firmware.bin", sim::StandardPackage("VEK Corporation", "1.0.0.0"));
    ResetQv600ForTests();
    ResetDriverFileForTests();
    ResetLifecycleForTests();
    SetQv6LibraryFile(ZC_REAL_DEVICE_LIBRARY);
    SetCodeLineFormatter(&funcAssembleMICR);
    funcTableSetParamString(135, "NOINI");
    funcTableSetParamString(158, "200");
    g_ready = 0;
  }
  void TearDown() override {
    if (Api().zarnInitialised) ZARNExit();
    SetCodeLineFormatter(nullptr);
    UnloadQv6Library();
    ResetQv600ForTests();
    drv::DeviceRegistry::Instance().Reset();
    ApiTest::TearDown();
  }
  std::shared_ptr<sim::Qv63xDevice> device_;
};

TEST_F(Qv600SimTest, InitIdentifiesTheQv630AndExitClosesOnce) {
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(funcGetScannerTypeCode(), 200);
  EXPECT_EQ(Api().scannerModel, 230);
  EXPECT_EQ(ZARNInit(), kAlreadyInitialised);
  SetApiTraceLevel(0);
  SetApiLogToFile(1);
  EXPECT_EQ(ZARNExit(), 1);
  EXPECT_EQ(ZARNExit(), kInitScannerError);
  EXPECT_NE(dir_.Read("zarnapi.log").find("EXIT"), std::string::npos);
}

TEST_F(Qv600SimTest, StatisticsOnKeepsOneRunPerInitAndExit) {
  std::ofstream(dir_.Path() + "/zarnstat.ini") << "[ACQ. SETUP]\nStatistics=1\n";
  funcTableSetParamString(135, "zarnstat.ini");
  ASSERT_EQ(ZARNInit(), 1);
  EXPECT_EQ(funcTableGetParam(134), 1);
  const std::string path = plat::ToPosixPath(StatisticsService().Path());
  ASSERT_FALSE(path.empty());
  funcStatisticsImage(1);
  funcStatisticsError(-217);
  EXPECT_EQ(ZARNExit(), 1);
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
  ASSERT_EQ(bytes.size(), static_cast<size_t>(kStatBlockSize));
  const StatHeader h = DecodeStatHeader(bytes.data());
  EXPECT_EQ(h.scannerType, 200);
  EXPECT_NE(h.serialNumber[0], '\0');
  const StatRecord totals = DecodeStatRecord(bytes.data() + kStatHeaderSize);
  const StatRecord run = DecodeStatRecord(bytes.data() + kStatHeaderSize + kStatRecordSize);
  EXPECT_EQ(totals.gray1Images, 1);
  EXPECT_EQ(totals.doubleFeedErrors, 1);
  EXPECT_NE(run.initTime[0], '\0');
  EXPECT_NE(run.exitTime[0], '\0');
}

TEST_F(Qv600SimTest, FirstDocumentsEventsReachTheCallbacks) {
  ASSERT_EQ(ZARNInit(), 1);
  sim::documents::DocumentStack stack(9);
  stack.AddCheques(1);
  device_->SetDocumentSource(std::make_shared<sim::Qv63xDocumentFeeder>(std::move(stack)));
  // Registering an image callback enables scanning.
  ASSERT_EQ(funcSetUpCallBack(kStFrontReady | kStRearReady, OnImagesReady), 1);
  uint32_t bits = 0;
  for (int i = 0; i < 5000 && (bits & (kDocCodeLine | kDocFront | kDocRear)) != 7; ++i) {
    bits = Qv600().documentStatus.load(std::memory_order_acquire);
    plat::Sleep(1);
  }
  EXPECT_EQ(bits & 7u, 7u);
  EXPECT_NE(Qv600().dibFront.load(), nullptr);
  EXPECT_NE(Qv600().dibBack.load(), nullptr);
}

}  // namespace
}  // namespace zarn
