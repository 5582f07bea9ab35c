// The first series through the exported interface, fed from a stack of synthetic cheques: a document
// cycle, a scanner unplugged with a document inside (event 1, then event 0 once it is back), and the
// mechanical configuration stored and recalled with QV6SetMechConfig and QV6GetMechConfig.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/device_registry.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "qv6/qv6dll.h"
#include "sim/catalog.h"
#include "sim/documents/document_stack.h"
#include "sim/qv60x_device.h"
#include "sim/qv60x_feed_format.h"
#include "testkit/support/scratch_dir.h"
#include "testkit/support/wait.h"
#include "transport/bulk_layer.h"

namespace qv6 {
namespace {

namespace fs = std::filesystem;

const char* const kDeviceName = "\\\\.\\usbbulk0";

std::mutex g_mutex;
std::vector<int> g_events;
std::string g_codeLine;

void OnEvent(int event, intptr_t value) {
  std::lock_guard lock(g_mutex);
  g_events.push_back(event);
  if (event == 3) g_codeLine = value != 0 ? reinterpret_cast<const char*>(value) : "";
}

std::vector<int> Events() {
  std::lock_guard lock(g_mutex);
  return g_events;
}

void ClearEvents() {
  std::lock_guard lock(g_mutex);
  g_events.clear();
  g_codeLine.clear();
}

bool Saw(int event) {
  const std::vector<int> e = Events();
  return std::find(e.begin(), e.end(), event) != e.end();
}

class FirstSeriesExports : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    fs::current_path(dir_);
    plat::SetFolder(plat::Folder::kWindows, dir_.string());
    plat::SetFolder(plat::Folder::kTemp, dir_.string());
    std::ofstream(dir_ / "Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    drv::DeviceRegistry::Instance().Reset();
    BulkLayer::Reset();
    ClearEvents();
  }
  void TearDown() override {
    if (index_ > 0) QV6CloseConnection(index_);
    drv::DeviceRegistry::Instance().Reset();
    BulkLayer::Reset();
    plat::SetFolder(plat::Folder::kWindows, "");
    plat::SetFolder(plat::Folder::kTemp, "");
    fs::current_path(old_);
  }

  // Attaches the model with a stack of cheques (`faults` per position) and connects to it.
  void Connect(sim::Model model, const std::vector<sim::documents::DocumentFaults>& faults) {
    device_ = std::static_pointer_cast<sim::Qv60xDevice>(sim::AttachScanner(model));
    sim::documents::DocumentStack stack(23);
    for (const auto& f : faults) stack.AddCheque(f);
    sim::FeederOptions options;
    options.deviceName = kDeviceName;
    feeder_ = std::make_shared<sim::Qv60xDocumentFeeder>(std::move(stack),
                                                        sim::Qv60xLayout{model == sim::Model::kQv605}, options);
    device_->SetDocumentSource(feeder_);
    index_ = QV6OpenConnection(1, 0, 0);
    ASSERT_GT(index_, 0);
    for (int e = 0; e <= 6; ++e) QV6SetEventFunction(index_, e, &OnEvent);
    ASSERT_TRUE(zc::testkit::WaitUntil([] { return Saw(0); })) << "connected";
  }
  void Configure(const std::string& keys) {
    std::ofstream("scan.ini") << "[QV600 CONFIG]\r\n" << keys;
    ASSERT_EQ(QV6InitDeviceFromFile(index_, "scan.ini", nullptr), 1);
  }
  // Feeds the next document; the events up to its status change.
  std::vector<int> FeedOne() {
    ClearEvents();
    EXPECT_EQ(QV6EnableScan(index_), 1);
    EXPECT_TRUE(zc::testkit::WaitUntil([] { return Saw(2); }));
    std::vector<int> e = Events();
    e.erase(std::find(e.begin(), e.end(), 2) + 1, e.end());
    return e;
  }
  std::string CodeLine() {
    std::lock_guard lock(g_mutex);
    return g_codeLine;
  }

  zc::testkit::ScratchDir scratch_{"qv60x_exports"};
  fs::path dir_ = scratch_.Path();
  fs::path old_;
  int index_ = 0;
  std::shared_ptr<sim::Qv60xDevice> device_;
  std::shared_ptr<sim::Qv60xDocumentFeeder> feeder_;
};

TEST_F(FirstSeriesExports, UnplugMidDocumentRaisesEventOneThenEventZeroWhenBack) {
  sim::documents::DocumentFaults unplug;
  unplug.unplugMidDocument = true;
  Connect(sim::Model::kQv600, {unplug, {}});
  Configure("");
  ClearEvents();
  ASSERT_EQ(QV6EnableScan(index_), 1);
  ASSERT_TRUE(zc::testkit::WaitUntil([] { return Saw(1); })) << "the link is lost";
  EXPECT_FALSE(drv::DeviceRegistry::Instance().IsAttached(kDeviceName));
  EXPECT_FALSE(Saw(4)) << "no image of the document inside";

  ClearEvents();
  drv::DeviceRegistry::Instance().Attach(kDeviceName, device_);
  ASSERT_TRUE(zc::testkit::WaitUntil([] { return Saw(0); })) << "connected again";
  Configure("");
  EXPECT_EQ(FeedOne(), (std::vector<int>{6, 3, 4, 5, 2}));
  const auto fed = feeder_->feeder().RecordOf(1);
  ASSERT_TRUE(fed.has_value());
  EXPECT_EQ(CodeLine(), fed->codeLine);
}

TEST_F(FirstSeriesExports, Qv605StoresBlocksAndTwelveTablesAndRecallsThem) {
  Connect(sim::Model::kQv605, {});
  std::ofstream("mech.ini") << "[FRONT IMG SENSOR]\r\nType=2\r\nFirst pixel #=4\r\n"
                               "[REAR IMG SENSOR]\r\nType=2\r\n[ADC FRONT]\r\nGrayscale Offset=-5\r\n"
                               "[LIGHT]\r\nFront R coeff.=17\r\nRear G coeff.=40\r\n"
                               "[MICR HEAD]\r\nPosition=101\r\n";
  // One table of the host's set, changed before the store.
  std::vector<uint8_t> table(832);
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint8_t>(i * 7);
  ASSERT_EQ(QV6SetCfgData(index_, 19, table.data(), static_cast<int>(table.size())), 1);
  ASSERT_EQ(QV6SetMechConfig(index_, "mech.ini", 1), 1);
  EXPECT_EQ(device_->tableLoads(), 1);
  for (uint8_t b = sim::Qv60xDevice::kFirstMechBlock; b <= sim::Qv60xDevice::kLastMechBlock; ++b) {
    EXPECT_EQ(device_->StoredBlock(b), device_->Block(b)) << "block " << int{b};
  }
  for (uint8_t b = 76; b <= 87; ++b) EXPECT_FALSE(device_->StoredBlock(b).empty()) << "table block " << int{b};
  EXPECT_EQ(device_->StoredBlock(82), table);
  EXPECT_EQ(device_->StoredBlock(88)[0], 17);

  // The working copies change; a recall brings back the stored ones and writes them out.
  device_->SetBlock(82, std::vector<uint8_t>(832, 1));
  device_->SetBlock(88, std::vector<uint8_t>(6, 99));
  ASSERT_EQ(QV6GetMechConfig(index_, "out.ini", 1), 1);
  EXPECT_EQ(device_->Block(82), table);
  const std::string out = (dir_ / "out.ini").string();
  EXPECT_EQ(plat::GetPrivateProfileIntA("LIGHT", "Front R coeff.", 0, out.c_str()), 17);
  EXPECT_EQ(plat::GetPrivateProfileIntA("LIGHT", "Rear G coeff.", 0, out.c_str()), 40);
  EXPECT_EQ(plat::GetPrivateProfileIntA("FRONT IMG SENSOR", "Type", 0, out.c_str()), 2);
  EXPECT_EQ(plat::GetPrivateProfileIntA("ADC FRONT", "Grayscale Offset", 0, out.c_str()), -5);
  EXPECT_EQ(plat::GetPrivateProfileIntA("MICR HEAD", "Position", 0, out.c_str()), 101);
  std::vector<uint8_t> back(832);
  ASSERT_EQ(QV6GetCfgData(index_, 19, back.data(), static_cast<int>(back.size())), 1);
  EXPECT_EQ(back, table);
}

TEST_F(FirstSeriesExports, Qv600StoresItsBlocksAndRecallsThem) {
  Connect(sim::Model::kQv600, {});
  std::ofstream("mech.ini") << "[ADC REAR]\r\nOffset=12\r\nGain=20\r\n[PRINTER]\r\nPosition=310\r\n";
  ASSERT_EQ(QV6SetMechConfig(index_, "mech.ini", 1), 1);
  EXPECT_EQ(device_->tableLoads(), 0);
  const std::vector<uint8_t> adc = device_->StoredBlock(67);
  EXPECT_EQ(adc, device_->Block(67));
  device_->SetBlock(67, std::vector<uint8_t>(adc.size(), 0));
  ASSERT_EQ(QV6GetMechConfig(index_, "out.ini", 1), 1);
  EXPECT_EQ(device_->Block(67), adc);
  const std::string out = (dir_ / "out.ini").string();
  EXPECT_EQ(plat::GetPrivateProfileIntA("ADC REAR", "Offset", 0, out.c_str()), 12);
  EXPECT_EQ(plat::GetPrivateProfileIntA("ADC REAR", "Gain", 0, out.c_str()), 20);
  EXPECT_EQ(plat::GetPrivateProfileIntA("PRINTER", "Position", 0, out.c_str()), 310);
}

}  // namespace
}  // namespace qv6
