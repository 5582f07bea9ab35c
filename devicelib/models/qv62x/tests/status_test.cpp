// The QV62x status words, polling and serial port against the simulated scanner, and the models' pocket
// and print-position choices.
#include <numeric>

#include "qv62x_fixture.h"

namespace qv6::testing {
namespace {

TEST_F(Qv62xTest, StatusWordsMapTheDeviceBitsAndTheSerialRing) {
  Attach(sim::Model::kQv620);
  int status = 0, errors = 0;
  device->SetWords(0x8000, 0);
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), 0x84000000u);
  EXPECT_EQ(errors, 0);
  // Bits 0..11 one to one, 12..14 not reported; the error word as it is.
  device->SetWords(0x7FFF, 0x1234);
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), 0x80000FFFu);
  EXPECT_EQ(errors, 0x1234);
  const std::vector<uint8_t> bytes = {1, 2, 3};
  device->SetWords(0x8000, 0);
  device->QueueSerialIn(bytes);
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  EXPECT_EQ(static_cast<uint32_t>(status), 0x84800000u);
}

TEST_F(Qv62xTest, RepeatedStatusRaisesNoEventAndAChangeRaisesOne) {
  Use(sim::Model::kQv602, 0);
  ASSERT_EQ(model->PollStatus(), 1);
  Qv62xEvents().clear();
  ASSERT_EQ(model->PollStatus(), 1);
  EXPECT_TRUE(Qv62xEvents().empty());
  device->SetWords(0x2 | 0x10, 0);
  ASSERT_EQ(model->PollStatus(), 1);
  ASSERT_EQ(Qv62xEvents().size(), 1u);
  EXPECT_EQ(Qv62xEvents()[0].event, 2);
  // A short status reply leaves the uncovered fields 0; a lost scanner fails the tick.
  device->SetStatusLength(2);
  EXPECT_EQ(model->PollStatus(), 1);
  drv::DeviceRegistry::Instance().Detach("\\\\.\\KScanDrv-0");
  EXPECT_EQ(model->PollStatus(), 0);
}

TEST_F(Qv62xTest, SerialPortSendsAtMost100AndKeepsTheNewestReceivedBytes) {
  Attach(sim::Model::kQv620);
  std::vector<uint8_t> out(150);
  std::iota(out.begin(), out.end(), 0);
  ASSERT_EQ(model->Rs232Tx(out.data(), 150), 1);
  EXPECT_EQ(device->SerialOut(), std::vector<uint8_t>(out.begin(), out.begin() + 100));

  std::vector<uint8_t> in(1030);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7);
  device->QueueSerialIn(in);
  int status = 0, errors = 0;
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  std::vector<uint8_t> got(2000);
  int count = static_cast<int>(got.size());
  ASSERT_EQ(model->Rs232Rx(got.data(), &count), 1);
  ASSERT_EQ(count, 1023);
  got.resize(1023);
  EXPECT_EQ(got, std::vector<uint8_t>(in.end() - 1023, in.end()));

  device->QueueSerialIn(std::vector<uint8_t>(in.begin(), in.begin() + 20));
  ASSERT_EQ(model->GetStatus(&status, &errors), 1);
  std::vector<uint8_t> ten(10);
  count = 10;
  ASSERT_EQ(model->Rs232Rx(ten.data(), &count), 1);
  EXPECT_EQ(ten, std::vector<uint8_t>(in.begin(), in.begin() + 10));
}

TEST_F(Qv62xTest, PocketAndPrintPositionByModel) {
  Attach(sim::Model::kQv620);
  EXPECT_EQ(model->SetDestinationPocket(1), 1);
  EXPECT_TRUE(Qv62xCommandsOf(*device, 10).empty());
  Attach(sim::Model::kQv702);
  EXPECT_EQ(model->SetDestinationPocket(5), 1);
  const auto pocket = Qv62xCommandsOf(*device, 10);
  ASSERT_EQ(pocket.size(), 1u);
  EXPECT_EQ(pocket[0], (std::vector<uint8_t>{0, 10, 1, 0}));
}

}  // namespace
}  // namespace qv6::testing
