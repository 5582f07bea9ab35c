// The polling thread: connecting in the background, events on the polling thread, disconnect and
// reconnect, thread messages of event mode 2, and closing while a tick runs.
#include "device/polling_thread.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "device/event_log.h"
#include "device/qv6_device.h"
#include "device/recording_model.h"
#include "platform/paths.h"
#include "qv6/qv6dll.h"
#include "testkit/support/scratch_dir.h"

namespace qv6 {
namespace {

namespace fs = std::filesystem;
using testing::EventLog;
using testing::Events;
using testing::ProbesFor;
using testing::ProbeState;
using testing::WaitFor;

constexpr int kWaitMs = static_cast<int>(zc::testkit::kThreadWait.count());

class PollingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetFolder(plat::Folder::kWindows, dir_.string());
    std::ofstream(dir_ / "Qv6ExtendedSetup.ini") << "[TIMER POLLING]\nT.Check(msec)=20\nT.Poll(msec)=5\n";
    Events().Clear();
  }
  void TearDown() override {
    Release();
    plat::ResetFolders();
  }
  // Drops the test's reference and waits until a tick that still held the device has let it go too.
  void Release() {
    std::weak_ptr<Qv6Device> weak = device_;
    device_.reset();
    EXPECT_TRUE(WaitFor([&] { return weak.expired(); }, kWaitMs));
    ReapParkedPollingThreads();
  }
  std::shared_ptr<Qv6Device> Open(int mode) {
    device_ = std::make_shared<Qv6Device>(ProbesFor(state_));
    for (int e = 0; e <= 6; ++e) device_->SetEventFunction(e, EventLog::Record);
    EXPECT_EQ(device_->OpenConnection(mode, 0x4321, 0, "QV6Descriptors.ini", "DEFAULT"), 1);
    return device_;
  }

  zc::testkit::ScratchDir scratch_{"qv6poll"};
  fs::path dir_ = scratch_.Path();
  std::shared_ptr<ProbeState> state_ = std::make_shared<ProbeState>();
  std::shared_ptr<Qv6Device> device_;
};

TEST(PollingIntervals, OutOfRangeValuesBecome200) {
  struct Case {
    int value;
    uint32_t interval;
  } cases[] = {{3, 200}, {4, 200}, {5, 5}, {50, 50}, {5000, 5000}, {5001, 200}, {6000, 200}, {-1, 200}};
  for (const auto& c : cases) EXPECT_EQ(PollingIntervals::Clamp(c.value), c.interval) << c.value;
}

TEST_F(PollingTest, ConnectsInTheBackgroundAndRecoversFromUnplug) {
  state_->attached = false;
  Open(QV6_EVENT_MODE_CALLBACKS);
  ASSERT_TRUE(WaitFor([&] { return state_->probes.load() >= 2; }, kWaitMs));  // probing at the check interval
  EXPECT_FALSE(device_->connected());
  state_->attached = true;
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 1; }, kWaitMs));
  EXPECT_TRUE(device_->connected());
  plat::ThreadId firstThread = Events().Seen().front().thread;
  EXPECT_NE(firstThread, plat::GetCurrentThreadId());

  // Unplugged: the link check fails once, event 1 comes once, a new thread probes.
  state_->attached = false;
  state_->script->linkCheck = 0;
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_DISCONNECTED) == 1; }, kWaitMs));
  EXPECT_FALSE(device_->connected());
  int probesAfterUnplug = state_->probes.load();
  ASSERT_TRUE(WaitFor([&] { return state_->probes.load() > probesAfterUnplug + 1; }, kWaitMs));
  EXPECT_EQ(Events().CountOf(QV6_EVENT_DISCONNECTED), 1);

  state_->script->linkCheck = 1;
  state_->attached = true;
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 2; }, kWaitMs));
  EXPECT_NE(Events().Seen().back().thread, firstThread);  // the replacement thread connected
}

TEST_F(PollingTest, ModelEventsUseTheLiveTable) {
  Open(QV6_EVENT_MODE_CALLBACKS);
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 1; }, kWaitMs));
  auto* model = state_->lastModel.load();
  ASSERT_NE(model, nullptr);
  {
    std::lock_guard lock(device_->mutex());
    model->Raise(QV6_EVENT_STATUS, 0);
    device_->SetEventFunction(QV6_EVENT_STATUS, nullptr);  // cleared: stops at once
    model->Raise(QV6_EVENT_STATUS, 0);
  }
  EXPECT_EQ(Events().CountOf(QV6_EVENT_STATUS), 1);
}

TEST_F(PollingTest, Mode2PostsToTheOpenersQueueAndMode1DoesNot) {
  plat::EnsureMessageQueue();
  plat::Message msg;
  while (plat::PeekMessage(&msg, true)) {
  }
  Open(QV6_EVENT_MODE_MESSAGES);
  ASSERT_TRUE(plat::WaitMessage(&msg, 3000));
  EXPECT_EQ(msg.message, 0x4321u);
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_EQ(msg.lParam, 0);
  device_->CloseConnection();  // as the close export does: no event 1 on the way out
  Release();

  state_ = std::make_shared<ProbeState>();
  Open(QV6_EVENT_MODE_CALLBACKS);
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 2; }, kWaitMs));
  EXPECT_FALSE(plat::WaitMessage(&msg, 50));
  plat::EndMessageQueue();
}

TEST_F(PollingTest, CloseWaitsForARunningTickAndStopsEvents) {
  Open(QV6_EVENT_MODE_CALLBACKS);
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 1; }, kWaitMs));
  state_->script->pollDelayMs = 150;
  ASSERT_TRUE(WaitFor([&] { return state_->script->inLongPoll.load(); }, kWaitMs));
  device_->CloseConnection();
  // Ticks keep entering the long poll until the close; one still inside it means the close did not wait.
  // (A timed bound here failed on a loaded machine, where the test thread can wake after the tick ended.)
  EXPECT_FALSE(state_->script->inLongPoll.load());
  state_->script->linkCheck = 0;  // a tick now would disconnect and raise event 1
  Release();                      // joins the polling thread
  EXPECT_EQ(Events().CountOf(QV6_EVENT_DISCONNECTED), 0);
}

std::shared_ptr<Qv6Device> g_closeFromCallback;

void CloseOnConnect(int event, intptr_t) {
  if (event != QV6_EVENT_CONNECTED || !g_closeFromCallback) return;
  g_closeFromCallback->CloseConnection();  // on the polling thread, inside its own tick
  g_closeFromCallback.reset();
}

TEST_F(PollingTest, CloseFromInsideACallbackEndsTheConnection) {
  // As an export does, the opener works on its own reference; the callback drops the table's.
  auto device = std::make_shared<Qv6Device>(ProbesFor(state_));
  std::weak_ptr<Qv6Device> weak = device;
  device->SetEventFunction(QV6_EVENT_CONNECTED, CloseOnConnect);
  device->SetEventFunction(QV6_EVENT_DISCONNECTED, EventLog::Record);
  g_closeFromCallback = device;
  ASSERT_EQ(device->OpenConnection(QV6_EVENT_MODE_CALLBACKS, 0, 0, "d.ini", "DEFAULT"), 1);
  device.reset();
  // The device goes once the tick lets go of it, possibly on its own polling thread.
  ASSERT_TRUE(WaitFor([&] { return weak.expired(); }, kWaitMs));
  // The last reference may drop on the polling thread, whose destructor is then still closing.
  EXPECT_TRUE(WaitFor([&] { return state_->closes.load() == 1; }, kWaitMs));  // closed on the way out
  ReapParkedPollingThreads();
  EXPECT_EQ(Events().CountOf(QV6_EVENT_DISCONNECTED), 0);
  EXPECT_EQ(state_->closes.load(), 1);
}

std::shared_ptr<ProbeState> g_catalogState;
std::unique_ptr<SeriesProbe> MakeCatalogProbe() {
  return std::make_unique<testing::RecordingProbe>(g_catalogState);
}
std::atomic<int> g_indexToClose{0};
std::atomic<int> g_closeResult{-100};
std::atomic<plat::ThreadId> g_closeThread{0};

void CloseThroughExportOnConnect(int event, intptr_t) {
  if (event != QV6_EVENT_CONNECTED) return;
  g_closeThread = plat::GetCurrentThreadId();
  g_closeResult = QV6CloseConnection(g_indexToClose);
}

TEST_F(PollingTest, CloseExportInsideACallbackOnThePollingThread) {
  g_catalogState = state_;
  state_->attached = false;
  SeriesCatalog::Register(static_cast<int>(SeriesOrder::kQv63x), MakeCatalogProbe);
  int index = QV6OpenConnection(QV6_EVENT_MODE_CALLBACKS, 0, 0);
  ASSERT_NE(index, 0);
  g_indexToClose = index;
  ASSERT_EQ(QV6SetEventFunction(index, QV6_EVENT_CONNECTED, CloseThroughExportOnConnect), 1);
  state_->attached = true;  // the next check tick connects and raises event 0 on the polling thread
  ASSERT_TRUE(WaitFor([] { return g_closeResult.load() != -100; }, kWaitMs));
  EXPECT_EQ(g_closeResult.load(), 1);
  EXPECT_NE(g_closeThread.load(), plat::GetCurrentThreadId());
  int status = 0;
  EXPECT_EQ(QV6GetStatus(index, &status, nullptr), 0);  // the slot is free
  EXPECT_EQ(QV6GetLastError(), -5);
  SeriesCatalog::Unregister(MakeCatalogProbe);
}

}  // namespace
}  // namespace qv6
