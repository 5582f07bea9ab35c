// End to end through the exports, the polling thread and the simulated scanner: opening with nothing
// attached, event 0 when a scanner is attached, event 1 once when it is unplugged and event 0 again when
// it comes back, thread messages in event mode 2, retries at the check interval while the scanner does
// not answer, and closing while a tick runs. The platform clock runs 25 times faster than real time, so
// the default check (1000 ms) and poll (50 ms) intervals pass quickly.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/dll_app.h"
#include "connect/sim_model.h"
#include "device/event_log.h"
#include "driver/device_registry.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "qv6/qv6dll.h"
#include "sim/catalog.h"
#include "testkit/support/scratch_dir.h"
#include "transport/bulk_layer.h"
#include "transport/driver_layer.h"

namespace qv6 {
namespace {

namespace fs = std::filesystem;
using testing::EventLog;
using testing::Events;
using testing::SimScript;
using testing::WaitFor;

constexpr int kWaitMs = static_cast<int>(zc::testkit::kThreadWait.count());  // real time

const std::string kQv63xName = sim::DefaultDeviceName(sim::Series::kQv63x);

class ConnectPollingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    plat::SetFolder(plat::Folder::kWindows, dir_.string());  // no INI: the default intervals
    drv::DeviceRegistry::Instance().Reset();
    BulkLayer::Reset();
    DriverLayer::Reset();
    SimScript().Reset();
    Events().Clear();
  }
  void TearDown() override {
    if (index_ != 0) QV6CloseConnection(index_);
    drv::DeviceRegistry::Instance().Reset();
    plat::ResetFolders();
  }
  void Open(int mode, int messageId = 0) {
    index_ = QV6OpenConnection(mode, messageId, 0);
    ASSERT_NE(index_, 0);
    EXPECT_EQ(QV6GetLastError(), 0);
    ASSERT_EQ(QV6SetEventFunction(index_, QV6_EVENT_CONNECTED, EventLog::Record), 1);
    ASSERT_EQ(QV6SetEventFunction(index_, QV6_EVENT_DISCONNECTED, EventLog::Record), 1);
  }
  int Status() {
    int status = -1;
    int errors = -1;
    EXPECT_EQ(QV6GetStatus(index_, &status, &errors), 1);
    EXPECT_EQ(errors, 0);
    return status;
  }

  plat::ScopedClock clock_{25.0};
  testing::SimModelClasses classes_;
  zc::testkit::ScratchDir scratch_{"qv6connpoll"};
  fs::path dir_ = scratch_.Path();
  int index_ = 0;
};

TEST_F(ConnectPollingTest, AttachDetachAndAttachAgain) {
  Open(QV6_EVENT_MODE_CALLBACKS);
  EXPECT_EQ(Status(), 0);

  sim::AttachScanner(sim::Model::kQv630);
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 1; }, kWaitMs));
  plat::ThreadId poller = Events().Seen()[0].thread;
  EXPECT_NE(poller, plat::GetCurrentThreadId());
  EXPECT_EQ(static_cast<uint32_t>(Status()) & QV6_STATUS_CONNECTED, QV6_STATUS_CONNECTED);

  ASSERT_TRUE(drv::DeviceRegistry::Instance().Detach(kQv63xName));
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_DISCONNECTED) == 1; }, kWaitMs));
  plat::Sleep(3000);  // three check ticks of the new polling thread
  EXPECT_EQ(Events().CountOf(QV6_EVENT_DISCONNECTED), 1);
  EXPECT_EQ(Events().CountOf(QV6_EVENT_CONNECTED), 1);
  EXPECT_EQ(Status(), 0);

  sim::AttachScanner(sim::Model::kQv630);
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 2; }, kWaitMs));
  EXPECT_EQ(Events().CountOf(QV6_EVENT_DISCONNECTED), 1);
  auto seen = Events().Seen();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].thread, poller);  // the failing tick raised event 1 on the old thread
  EXPECT_NE(seen[2].thread, poller);  // the new thread connected again
  EXPECT_NE(seen[2].thread, plat::GetCurrentThreadId());
  EXPECT_EQ(SimScript().live.load(), 1);
}

TEST_F(ConnectPollingTest, EventModeTwoPostsToTheOpenersQueue) {
  constexpr int kMessage = 0x4321;
  plat::EnsureMessageQueue();
  Open(QV6_EVENT_MODE_MESSAGES, kMessage);
  sim::AttachScanner(sim::Model::kKQv8, {}, sim::Firmware::kBootLoader);
  auto next = [] {
    plat::Message msg;
    while (plat::WaitMessage(&msg, 10000)) {
      if (msg.message == kMessage) return static_cast<int>(msg.wParam);
    }
    return -1;
  };
  EXPECT_EQ(next(), QV6_EVENT_CONNECTED);
  EXPECT_EQ(Events().CountOf(QV6_EVENT_CONNECTED), 1);  // the function is called as well
  ASSERT_TRUE(drv::DeviceRegistry::Instance().Detach(sim::DefaultDeviceName(sim::Series::kKQv8x)));
  EXPECT_EQ(next(), QV6_EVENT_DISCONNECTED);
  EXPECT_EQ(SimScript().Starts().at(0).state, "NO FW");
  plat::EndMessageQueue();
}

TEST_F(ConnectPollingTest, ScannerThatDoesNotAnswerYetIsRetriedAtTheCheckInterval) {
  // The first four identity block reads fail. A failing attempt reads two (in the QV63x and the QV9120
  // steps, over the same transport): the attempt at the start fails, and so does the first check tick; the
  // second tick connects.
  drv::DeviceRegistry::Instance().AddFault(
      kQv63xName, drv::Fault{.kind = drv::FaultKind::kFail, .code = 0x222059, .count = 4});
  auto scanner = sim::AttachScanner(sim::Model::kQv630);
  Open(QV6_EVENT_MODE_CALLBACKS);
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 1; }, kWaitMs));
  EXPECT_EQ(Events().CountOf(QV6_EVENT_CONNECTED), 1);
  // Each failed attempt opens the scanner in all six later steps; the last in the QV62x and QV63x steps.
  EXPECT_EQ(scanner->sessionsOpened(), 2 * 6 + 2);
  EXPECT_EQ(scanner->sessionsOpened(), scanner->sessionsClosed() + 1);
}

TEST_F(ConnectPollingTest, CloseDuringATickWaitsForItAndNothingRunsAfterwards) {
  Open(QV6_EVENT_MODE_CALLBACKS);
  sim::AttachScanner(sim::Model::kQv630);
  ASSERT_TRUE(WaitFor([] { return Events().CountOf(QV6_EVENT_CONNECTED) == 1; }, kWaitMs));
  SimScript().tickDelayMs = 2000;
  ASSERT_TRUE(WaitFor([] { return SimScript().inTick.load(); }, kWaitMs));
  EXPECT_EQ(QV6CloseConnection(index_), 1);
  index_ = 0;
  EXPECT_FALSE(SimScript().inTick.load());
  EXPECT_EQ(SimScript().live.load(), 0);  // the model is gone with the device
  size_t seen = Events().Seen().size();
  plat::Sleep(3000);
  EXPECT_EQ(Events().Seen().size(), seen);
  EXPECT_EQ(Events().CountOf(QV6_EVENT_DISCONNECTED), 0);  // the event mode was cleared before the disconnect
}

}  // namespace
}  // namespace qv6
