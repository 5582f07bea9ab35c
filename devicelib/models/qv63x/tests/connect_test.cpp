// A simulated QV630 connecting through the exported interface: the polling thread finds it, raises
// event 0, and the status words the scanner reports reach QV6GetStatus; the scan configuration and
// mechanical configuration calls reach the scanner.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "device/qv6_device.h"
#include "exported_connect_fixture.h"
#include "sim/firmware_package_builder.h"
#include "qv6/qv6dll.h"
#include "sim/catalog.h"
#include "sim/qv63x_device.h"
#include "sim/qv63x_document_feeder.h"

namespace qv6 {
namespace {

using testing::g_connected;
using testing::OnConnect;
using testing::WaitFor;

std::atomic<int> g_disconnected{0};

void OnDisconnect(int, intptr_t) {
  ++g_disconnected;
}

std::mutex g_mutex;
std::vector<int> g_events;
std::string g_codeLine;

void OnDocumentEvent(int event, intptr_t value) {
  std::lock_guard lock(g_mutex);
  g_events.push_back(event);
  if (event == 3 && value != 0) g_codeLine = reinterpret_cast<const char*>(value);
}

class ConnectTest : public testing::ExportedConnectTest {
 protected:
  ConnectTest() : ExportedConnectTest("qv63x_connect") {}
  void SetUp() override {
    ExportedConnectTest::SetUp();
    if (HasFatalFailure()) return;
    device_ = std::static_pointer_cast<sim::Qv63xDevice>(sim::AttachScanner(sim::Model::kQv630));
    // The package holds the firmware the scanner runs, so connecting sends no download.
    sim::WritePackage(dir_ / "QV630Firmware.bin", sim::StandardPackage("VEK Corporation", "1.0.0.0"));
    g_disconnected = 0;
  }

  std::shared_ptr<sim::Qv63xDevice> device_;
};

TEST_F(ConnectTest, Qv630ConnectsReportsStatusAndTakesItsConfiguration) {
  int index = QV6OpenConnection(1, 0, 0);
  ASSERT_GT(index, 0);
  QV6SetEventFunction(index, 0, &OnConnect);
  QV6SetEventFunction(index, 1, &OnDisconnect);
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));

  // At connection the EEPROM image was read, the sections sent and the load reported (opcode 4).
  auto commands = device_->CommandsReceived();
  EXPECT_TRUE(std::any_of(commands.begin(), commands.end(),
                          [](const auto& c) { return c.size() == 2 && c[1] == 4; }));

  int status = 0, errors = 0;
  device_->SetWords(0x1 | 0x2 | 0x8, 0x2 | 0x80, 0);
  ASSERT_EQ(QV6GetStatus(index, &status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), QV6_STATUS_CONNECTED | QV6_STATUS_COMMAND_COMPLETE |
                                               QV6_STATUS_POWER_ON | QV6_STATUS_SCAN_ENABLE |
                                               QV6_STATUS_FEED_SENSOR | QV6_STATUS_COVER_OFF);
  device_->SetWords(0x4, 0, 0x4);
  ASSERT_EQ(QV6GetStatus(index, &status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), QV6_STATUS_CONNECTED | QV6_STATUS_ERROR | QV6_STATUS_EARLY_SCAN);
  EXPECT_EQ(static_cast<uint32_t>(errors), QV6_ERRORS_SELF_TEST);

  std::ofstream("scan.ini") << "[QV600 CONFIG]\nRS232 Parity=5\n";
  EXPECT_EQ(QV6InitDeviceFromFile(index, "scan.ini", nullptr), 1);
  EXPECT_EQ(QV6GetMechConfig(index, "mech.ini", 0), 1);
  EXPECT_EQ(QV6SetMechConfig(index, "mech.ini", 1), 1);
  EXPECT_EQ(device_->Eeprom()[72], 'Q');

  // Unplugged: the next poll tick fails and event 1 follows.
  drv::DeviceRegistry::Instance().Detach("\\\\.\\KScanDrv-0");
  EXPECT_TRUE(WaitFor([] { return g_disconnected.load() >= 1; }));
  EXPECT_EQ(QV6CloseConnection(index), 1);
}

// The road through the exported interface: QV6EnableScan, then the polling thread's tick reads the
// samples and the code line, fetches both sides and reports the status change, in that order.
TEST_F(ConnectTest, DocumentThroughTheExportsRaisesItsEventsInOrder) {
  int index = QV6OpenConnection(1, 0, 0);
  ASSERT_GT(index, 0);
  QV6SetEventFunction(index, 0, &OnConnect);
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));
  sim::documents::DocumentStack stack(9);
  stack.AddCheques(1);
  auto feeder = std::make_shared<sim::Qv63xDocumentFeeder>(std::move(stack));
  device_->SetDocumentSource(feeder);
  {
    std::lock_guard lock(g_mutex);
    g_events.clear();
    g_codeLine.clear();
  }
  for (int e = 3; e <= 6; ++e) QV6SetEventFunction(index, e, &OnDocumentEvent);
  std::ofstream("scan.ini") << "[QV600 CONFIG]\n";
  ASSERT_EQ(QV6InitDeviceFromFile(index, "scan.ini", nullptr), 1);
  QV6SetEventFunction(index, 2, &OnDocumentEvent);
  ASSERT_EQ(QV6EnableScan(index), 1);
  ASSERT_TRUE(WaitFor([] {
    std::lock_guard lock(g_mutex);
    return g_events.size() >= 5;
  }));
  std::vector<int> events;
  std::string line;
  {
    std::lock_guard lock(g_mutex);
    events.assign(g_events.begin(), g_events.begin() + 5);
    line = g_codeLine;
  }
  EXPECT_EQ(events, (std::vector<int>{6, 3, 4, 5, 2}));
  EXPECT_FALSE(line.empty());
  EXPECT_STREQ(QV6GetMicrCodelinePtr(index), line.c_str());
  EXPECT_NE(QV6GetFrontImageDIBPtr(index), nullptr);
  EXPECT_NE(QV6GetRearImageDIBPtr(index), nullptr);
  EXPECT_EQ(QV6CloseConnection(index), 1);
}

// The diagnostics dialog of a connected QV630 lists the firmware decision under "Firmware", and its
// Clean, Eject and Clear buttons are enabled only while the scanner is connected and reach it.
TEST_F(ConnectTest, DiagnosticsListTheFirmwareAndTheServiceButtonsReachTheScanner) {
  auto device = std::make_shared<Qv6Device>();
  CDiagnosticPopup& diag = device->diagnostics();
  for (int id : {kDiagClean, kDiagEject, kDiagClear}) EXPECT_FALSE(diag.ButtonEnabled(id)) << id;
  device->SetEventFunction(0, &OnConnect);
  ASSERT_EQ(device->OpenConnection(1, 0, 0, "QV6Descriptors.ini", "DEFAULT"), 1);
  ASSERT_TRUE(WaitFor([] { return g_connected.load() == 1; }));

  const auto rows = diag.Rows();
  const auto firmware = std::find(rows.begin(), rows.end(), std::pair<int, std::string>{0, "Firmware"});
  ASSERT_NE(firmware, rows.end());
  ASSERT_NE(firmware + 1, rows.end());
  EXPECT_EQ(firmware[1].first, 1);
  EXPECT_NE(firmware[1].second.find(" File: QV630Firmware.bin."), std::string::npos) << firmware[1].second;
  EXPECT_NE(firmware[1].second.find(" Already loaded."), std::string::npos) << firmware[1].second;

  const auto sent = [&](uint8_t opcode) {
    auto commands = device_->CommandsReceived();
    return std::count_if(commands.begin(), commands.end(),
                         [opcode](const auto& c) { return c.size() >= 2 && c[1] == opcode; });
  };
  struct Button {
    int id;
    std::vector<uint8_t> opcodes;  // maintenance 11, eject 2, clear power-on 3 and errors 8
  };
  for (const Button& b : {Button{kDiagClean, {11}}, Button{kDiagEject, {2}}, Button{kDiagClear, {3, 8}}}) {
    SCOPED_TRACE(b.id);
    EXPECT_TRUE(diag.ButtonEnabled(b.id));
    std::vector<long> before;
    for (uint8_t op : b.opcodes) before.push_back(sent(op));
    diag.Press(b.id);
    for (size_t i = 0; i < b.opcodes.size(); ++i) EXPECT_EQ(sent(b.opcodes[i]), before[i] + 1);
  }
  device->Shutdown();
}

}  // namespace
}  // namespace qv6
