// Connection object without a polling thread: dispatch to the model, "no such operation" answers,
// connecting through the series probes, and the event-0 rules.
#include "device/qv6_device.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/log.h"
#include "device/recording_model.h"
#include "platform/debug_output.h"

namespace qv6 {
namespace {

using testing::ProbesFor;
using testing::ProbeState;
using testing::RecordingModel;

class Qv6DeviceTest : public ::testing::Test {
 protected:
  std::shared_ptr<ProbeState> state_ = std::make_shared<ProbeState>();
  std::shared_ptr<Qv6Device> device_ = std::make_shared<Qv6Device>(ProbesFor(state_));
};

// Operation -> what the connected model records, and the device's answer.
TEST_F(Qv6DeviceTest, DispatchesEachOperationToTheModel) {
  ASSERT_EQ(device_->Connect(), 1);
  state_->script->Clear();
  struct Case {
    std::function<int(Qv6Device&)> op;
    std::vector<std::string> calls;
  } cases[] = {
      {[](Qv6Device& d) { return d.InitDeviceFromFile("scan.ini", "QV630"); },
       {"InitDeviceFromFile(scan.ini,QV630)"}},
      {[](Qv6Device& d) { return d.SetMechConfig("m.ini", 3); }, {"SetMechConfig(m.ini,3)"}},
      {[](Qv6Device& d) { return d.GetMechConfig("m.ini", 4); }, {"GetMechConfig(m.ini,4)"}},
      {[](Qv6Device& d) { return d.SetCfgData(5, "", 0); }, {"SetCfgData(5,0)"}},
      {[](Qv6Device& d) {
         return d.ReadNewImage({1, 2, 3, 4, 5, 6, 7, 8});
       },
       {"ReadNewImage(1,2,3,4,5,6,7,8,)"}},
      {[](Qv6Device& d) { return d.EnableScan(1); }, {"EnableScan(1)"}},
      {[](Qv6Device& d) { return d.EnablePartialScan(1, 0x55); }, {"EnableScan(1)"}},  // value dropped
      {[](Qv6Device& d) { return d.EjectDocument(9); }, {"EnableScan(0)", "EjectDocument(9)"}},
      {[](Qv6Device& d) { return d.ClearPowerOnFlag(); }, {"ClearPowerOnFlag"}},
      {[](Qv6Device& d) { return d.ClearErrors(); }, {"ClearErrors"}},
      {[](Qv6Device& d) { return d.SetBmpToPrintEX("b", 8, 2, 3, 4, 5); }, {"SetBmpToPrint(8,2,3,4,5)"}},
      {[](Qv6Device& d) { return d.StringToPrintEX("AB", 2, 3, 4, 5); }, {"StringToPrint(AB,3,4,5)"}},
      // Operations the series lacks answer 1 without a model call.
      {[](Qv6Device& d) { return d.EnableEarlyScan(); }, {}},
      {[](Qv6Device& d) { return d.SetDestinationPocket(2); }, {}},
      {[](Qv6Device& d) { return d.SelfCalib(1); }, {}},
      {[](Qv6Device& d) { return d.MaintenanceMode(1); }, {}},
      {[](Qv6Device& d) { return d.SetConfigMicrGain(1, 2); }, {}},
      {[](Qv6Device& d) { return d.SetConfigMicrAgc(1, 2); }, {}},
      {[](Qv6Device& d) { return d.SetConfigScanMode(1); }, {}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    state_->script->Clear();
    EXPECT_EQ(cases[i].op(*device_), 1) << i;
    EXPECT_EQ(state_->script->Calls(), cases[i].calls) << i;
  }
  int mode = 7;
  EXPECT_EQ(device_->GetOperatingMode(&mode), 1);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(device_->Frank(1), kNoFranker);
  state_->script->hasFranker = true;
  EXPECT_EQ(device_->Frank(1), 1);
}

TEST_F(Qv6DeviceTest, WithoutAModelEveryOperationFails) {
  state_->attached = false;
  ASSERT_EQ(device_->Connect(), 0);
  int status = 5, errors = 6, mode = 7;
  EXPECT_EQ(device_->GetStatus(&status, &errors), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(device_->EnableEarlyScan(), 0);  // (1) only where a model is connected
  EXPECT_EQ(device_->GetOperatingMode(&mode), 0);
  EXPECT_EQ(device_->GetOperatingMode(nullptr), 0);
  EXPECT_EQ(device_->ReadNewImage({}), 0);
  EXPECT_EQ(device_->GetFrontImageDIBPtr(), nullptr);
  EXPECT_EQ(device_->GetMicrCodelinePtr(), nullptr);
  uint8_t buffer[8];
  EXPECT_EQ(device_->GetInfo(buffer, sizeof buffer), 0);
  EXPECT_EQ(device_->Frank(1), kNoFranker);
  EXPECT_TRUE(state_->script->Calls().empty());
}

TEST_F(Qv6DeviceTest, ConnectLogsAndClosesTransportsOnFailure) {
  plat::DebugOutputCapture capture;
  CLog& log = g_Log;
  unsigned saved = log.threshold();
  log.SetThreshold(0);
  state_->attached = false;
  EXPECT_EQ(device_->Connect(), 0);
  EXPECT_FALSE(device_->connected());
  EXPECT_EQ(state_->closes.load(), 1);
  state_->attached = true;
  EXPECT_EQ(device_->Connect(), 1);
  EXPECT_TRUE(device_->connected());
  // Mode 0: "Connected" is logged, no function is called, the model learns mode 0.
  EXPECT_EQ(capture.Text(), "Connected: No\nConnected\nConnected: Yes\n");
  EXPECT_EQ(state_->script->Calls(), std::vector<std::string>{"SetEventMode(0)"});
  log.SetThreshold(saved);

  EXPECT_EQ(device_->Disconnect(), 1);
  EXPECT_FALSE(device_->connected());
  EXPECT_EQ(state_->closes.load(), 2);
}

int g_event0Calls = 0;
int g_event0Other = 0;
void CountEvent0(int event, intptr_t value) {
  g_event0Calls += event == 0 && value == 0 ? 1 : 100;
}
void OtherEvent0(int, intptr_t) {
  ++g_event0Other;
}

TEST_F(Qv6DeviceTest, FirstEvent0FunctionIsCalledAtOnceWhenConnected) {
  g_event0Calls = g_event0Other = 0;
  EXPECT_EQ(device_->SetEventFunction(0, CountEvent0), 1);  // not connected: no call
  EXPECT_EQ(g_event0Calls, 0);
  EXPECT_EQ(device_->SetEventFunction(0, nullptr), 1);
  ASSERT_EQ(device_->Connect(), 1);
  EXPECT_EQ(device_->SetEventFunction(0, CountEvent0), 1);
  EXPECT_EQ(device_->SetEventFunction(0, OtherEvent0), 1);  // an earlier function was set
  EXPECT_EQ(g_event0Calls, 1);
  EXPECT_EQ(g_event0Other, 0);
  EXPECT_EQ(device_->SetEventFunction(7, CountEvent0), 0);
  EXPECT_EQ(device_->SetEventFunction(-1, CountEvent0), 0);
}

TEST_F(Qv6DeviceTest, RawReceiveAndIdentityStayWithinTheCallersBuffer) {
  state_->script->identity = std::string("Maker\0Model\0", 12);
  ASSERT_EQ(device_->Connect(), 1);
  uint8_t identity[8] = {};
  EXPECT_EQ(device_->GetInfo(identity, sizeof identity), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(identity), 8), std::string("Maker\0Mo", 8));
}

}  // namespace
}  // namespace qv6
