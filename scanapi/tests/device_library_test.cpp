// The device-library binding against the real library, a missing file, a library without the exports, and
// the scripted fake: events on its own thread, exports called from a callback, scripted failures.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "fake_qv6/fake_qv6_loader.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/dynlib.h"
#include "platform/thread.h"
#include "zarn/device_library.h"
#include "zarn/error_maps.h"
#include "zarn/status.h"
#include "zarn/trace.h"
#include "zarn/api_state.h"
#include "testkit/support/wait.h"

namespace zarn {
namespace {

TEST(DeviceLibraryBinding, ResolvesEveryExportOfTheRealLibrary) {
  DeviceLibrary lib;
  ASSERT_EQ(lib.Load(ZC_REAL_DEVICE_LIBRARY), 0) << lib.LastFailure();
  const Qv6Exports& x = lib.Exports();
  int resolved = 0;
#define ZARN_COUNT(name) resolved += x.name != nullptr ? 1 : 0;
  ZARN_QV6_EXPORTS(ZARN_COUNT)
#undef ZARN_COUNT
  EXPECT_EQ(resolved, kQv6ExportCount);
  int status = 7, error = 7;
  EXPECT_EQ(x.QV6GetStatus(0, &status, &error), 0);
  EXPECT_EQ(x.QV6GetLastError(), -2);
  lib.Unload();
  EXPECT_FALSE(lib.Loaded());
  EXPECT_EQ(lib.Exports().QV6GetStatus, nullptr);
}

TEST(DeviceLibraryBinding, MissingFileOrExportGivesScannerMissingAndATraceLine) {
  plat::DebugOutputCapture capture;
  DeviceLibrary lib;
  EXPECT_EQ(lib.Load("NoSuchQv6.dll"), kScannerMissing);
  EXPECT_NE(capture.Text().find("NoSuchQv6.dll"), std::string::npos);
  // The platform library is a real shared library without any device export.
  EXPECT_EQ(lib.Load(ZC_PLATFORM_LIBRARY), kScannerMissing);
  EXPECT_NE(capture.Text().find("lacks export QV6GetLastError"), std::string::npos);
  EXPECT_FALSE(lib.Loaded());
}

// Events seen by the callbacks, with the thread they arrived on.
struct EventLog {
  std::mutex m;
  std::vector<int> events;
  std::vector<std::string> fromCallback;
  std::atomic<uint32_t> thread{0};
  const Qv6Exports* exports = nullptr;
  int index = 0;
};
EventLog g_events;

void OnEvent(int event, intptr_t value) {
  g_events.thread = plat::GetCurrentThreadId();
  std::lock_guard<std::mutex> lock(g_events.m);
  g_events.events.push_back(event);
  const Qv6Exports& x = *g_events.exports;
  if (event == QV6_EVENT_FRONT_IMAGE) {
    // The exports are usable from a callback: the connection mutex is re-entrant.
    void* dib = x.QV6GetFrontImageDIBPtr(g_events.index);
    g_events.fromCallback.push_back(dib == reinterpret_cast<void*>(value) ? "same dib" : "other dib");
    int status = 0, error = 0;
    g_events.fromCallback.push_back(x.QV6GetStatus(g_events.index, &status, &error) ? "status" : "no status");
  }
  if (event == QV6_EVENT_MICR) g_events.fromCallback.push_back(reinterpret_cast<const char*>(value));
  if (event == QV6_EVENT_MICR_SAMPLES) {
    const auto* s = reinterpret_cast<const QV6MicrSamples*>(value);
    g_events.fromCallback.push_back("samples " + std::to_string(s->byteCount));
  }
}

class FakeDeviceLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lib_.Load(ZC_FAKE_DEVICE_LIBRARY), 0) << lib_.LastFailure();
    control_ = fake::LoadFakeControl(ZC_FAKE_DEVICE_LIBRARY, &module_);
    ASSERT_NE(control_, nullptr);
    control_->Reset();
    std::lock_guard<std::mutex> lock(g_events.m);
    g_events.events.clear();
    g_events.fromCallback.clear();
    g_events.exports = &lib_.Exports();
  }
  void TearDown() override {
    if (control_ != nullptr) control_->Reset();
    plat::FreeLibrary(module_);
  }
  int OpenWithEvents() {
    const Qv6Exports& x = lib_.Exports();
    const int index = x.QV6OpenConnection(1, 0, 0);
    g_events.index = index;
    for (int ev : {0, 1, 2, 3, 4, 5, 6}) x.QV6SetEventFunction(index, ev, &OnEvent);
    return index;
  }
  bool WaitFor(int documents) {
    return zc::testkit::WaitUntil([&] { return control_->DocumentsDelivered() >= documents; });
  }

  DeviceLibrary lib_;
  plat::ModuleHandle module_ = nullptr;
  fake::FakeQv6Control* control_ = nullptr;
};

TEST_F(FakeDeviceLibraryTest, DeliversScriptedDocumentsOnItsOwnThreadInOrder) {
  fake::FakeDocument doc;
  doc.codeLine = "T123T";
  doc.samples = {1, 2, 3};
  doc.frontDib = {40, 0, 0, 0};
  doc.rearDib = {40, 0, 0, 0};
  doc.statusWords = {{0x10, 0}, {0x20, 0x4}};
  control_->QueueDocument(doc);
  const int index = OpenWithEvents();
  ASSERT_EQ(index, 1);
  const Qv6Exports& x = lib_.Exports();
  ASSERT_EQ(x.QV6EnableScan(index), 1);
  ASSERT_TRUE(WaitFor(1));
  {
    std::lock_guard<std::mutex> lock(g_events.m);
    EXPECT_EQ(g_events.events, (std::vector<int>{0, 6, 3, 4, 5, 2, 2}));
    EXPECT_EQ(g_events.fromCallback, (std::vector<std::string>{"samples 6", "T123T", "same dib", "status"}));
  }
  EXPECT_NE(g_events.thread.load(), plat::GetCurrentThreadId());
  int status = 0, error = 0;
  ASSERT_EQ(x.QV6GetStatus(index, &status, &error), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), 0x20u | QV6_STATUS_CONNECTED);
  EXPECT_EQ(error, 4);
  EXPECT_STREQ(x.QV6GetMicrCodelinePtr(index), "T123T");
  EXPECT_EQ(x.QV6GetRearImageDIBPtr(index) != nullptr, true);
  ASSERT_EQ(x.QV6CloseConnection(index), 1);
  EXPECT_EQ(x.QV6GetStatus(index, &status, &error), 0);
  EXPECT_EQ(x.QV6GetLastError(), -5);
}

TEST_F(FakeDeviceLibraryTest, ScriptedFailuresSetTheChosenLastError) {
  const Qv6Exports& x = lib_.Exports();
  const int index = x.QV6OpenConnection(1, 0, 0);
  control_->FailExport("QV6EnableScan", 5);
  EXPECT_EQ(x.QV6EnableScan(index), 0);
  EXPECT_EQ(x.QV6GetLastError(), 5);
  Api().scannerFamily = kFamilyQv600;
  EXPECT_EQ(funcQV6ConvertKRStatus(x.QV6GetLastError()), -622);
  Api().scannerFamily = -1;
  control_->ClearFailures();
  EXPECT_EQ(x.QV6EnableScan(index), 1);
  EXPECT_EQ(x.QV6GetLastError(), 0);
  control_->SetOpenFailure(-3);
  EXPECT_EQ(x.QV6OpenConnection(1, 0, 0), 0);
  EXPECT_EQ(x.QV6GetLastError(), -3);
  const std::vector<std::string> log = control_->CallLog();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "QV6OpenConnection(1,0,0)");
  EXPECT_EQ(log[1], "QV6EnableScan(1)");
}

TEST_F(FakeDeviceLibraryTest, NoDocumentsWhileScanningIsOffAndNoConnectWhenScripted) {
  control_->SetConnectDelay(-1);
  control_->QueueDocument(fake::FakeDocument{"T1T", {}, {}, {}, {}, 0});
  const int index = OpenWithEvents();
  const Qv6Exports& x = lib_.Exports();
  plat::Sleep(20);
  int status = 0, error = 0;
  ASSERT_EQ(x.QV6GetStatus(index, &status, &error), 1);  // an open slot answers before connecting
  EXPECT_EQ(status, 0);
  x.QV6EnableScan(index);
  plat::Sleep(20);
  EXPECT_EQ(control_->DocumentsDelivered(), 0);
  std::lock_guard<std::mutex> lock(g_events.m);
  EXPECT_TRUE(g_events.events.empty());
}

TEST_F(FakeDeviceLibraryTest, DisconnectRaisesEventOne) {
  const int index = OpenWithEvents();
  for (int i = 0; i < 500; ++i) {
    int status = 0, error = 0;
    lib_.Exports().QV6GetStatus(index, &status, &error);
    if (static_cast<uint32_t>(status) & QV6_STATUS_CONNECTED) break;
    plat::Sleep(1);
  }
  control_->Disconnect();
  std::lock_guard<std::mutex> lock(g_events.m);
  EXPECT_EQ(g_events.events, (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace zarn
