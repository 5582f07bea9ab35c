// The first series' bulk transport: command blocks, the empty-reply retries, reply cutting, bulk pieces,
// time-outs and exclusive opening, checked against the driver trace under injected faults.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "driver/device_io.h"
#include "driver/device_registry.h"
#include "pattern_device.h"
#include "platform/clock.h"
#include "transport/bulk_layer.h"
#include "transport/scanner_interface.h"

namespace qv6 {
namespace {

using drv::CallKind;
using drv::Fault;
using drv::FaultKind;
using testing::Calls;

class BulkTransportTest : public testing::PatternDeviceTest<BulkLayer, ScannerInterface> {
 protected:
  BulkTransportTest() : PatternDeviceTest(BulkLayer::kDeviceName) {}

  plat::ScopedClock clock{plat::ScopedClock::Virtual{0, true}};
};

TEST_F(BulkTransportTest, ShortCommandBlockIsRefusedBeforeAnyCall) {
  const uint8_t block[4] = {15, 1, 0, 0};
  EXPECT_EQ(scanner.SendCommand(block, 4), 0);
  EXPECT_EQ(scanner.error(), ScannerInterface::kErrorTransfer);
  EXPECT_EQ(BulkLayer::LastError(), drv::kErrorInsufficientBuffer);
  EXPECT_TRUE(Calls(CallKind::kControl).empty());

  const uint8_t full[7] = {9, 97, 0, 0, 2, 'h', 'i'};
  EXPECT_EQ(scanner.SendCommand(full, 7), 1);
  auto calls = Calls(CallKind::kControl);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].code, BulkLayer::kControlWithoutReply);
  EXPECT_EQ(calls[0].input, std::vector<uint8_t>(full, full + 7));
}

TEST_F(BulkTransportTest, EmptyRepliesAreAskedForAgainUpToThreeCalls) {
  const uint8_t command[5] = {8, 1, 0, 0, 0};
  uint8_t reply[64];
  int length = -1;
  struct Case {
    uint32_t emptyReplies;
    int result;
    size_t calls;
  } cases[] = {{2, 1, 3}, {3, 0, 3}};
  for (const auto& c : cases) {
    drv::DeviceRegistry::Instance().ClearTrace();
    AddFault(Fault{.kind = FaultKind::kZeroBytes, .count = c.emptyReplies});
    EXPECT_EQ(scanner.Transact(command, 5, reply, sizeof reply, &length), c.result);
    EXPECT_EQ(Calls(CallKind::kControl).size(), c.calls);
    for (const auto& call : Calls(CallKind::kControl)) {
      EXPECT_EQ(call.code, BulkLayer::kControlWithReply);
      EXPECT_EQ(call.capacity, ScannerInterface::kReplyBufferSize);
    }
  }
  EXPECT_EQ(scanner.error(), ScannerInterface::kErrorTransfer);

  // A failing call is not repeated.
  drv::DeviceRegistry::Instance().ClearTrace();
  AddFault(Fault{.kind = FaultKind::kFail, .error = drv::kErrorGenFailure});
  EXPECT_EQ(scanner.Transact(command, 5, reply, sizeof reply, &length), 0);
  EXPECT_EQ(Calls(CallKind::kControl).size(), 1u);
}

TEST_F(BulkTransportTest, ReplyIsCutToTheCallersCapacity) {
  device->reply.assign(600, 0x42);
  const uint8_t command[5] = {8, 1, 0, 0, 0};
  std::vector<uint8_t> reply(256 + 16, 0xEE);
  int length = 0;
  EXPECT_EQ(scanner.Transact(command, 5, reply.data(), 256, &length), 1);
  EXPECT_EQ(length, 256);
  EXPECT_EQ(reply[255], 0x42);
  EXPECT_EQ(reply[256], 0xEE);

  // A driver that reports more than the reply buffer holds is not believed.
  AddFault(Fault{.kind = FaultKind::kOversize, .bytes = 5000});
  EXPECT_EQ(scanner.Transact(command, 5, reply.data(), 256, &length), 0);
  EXPECT_EQ(reply[256], 0xEE);
}

TEST_F(BulkTransportTest, OpeningIsExclusiveAndIdempotent) {
  EXPECT_EQ(scanner.Open(), 1);
  EXPECT_TRUE(Calls(CallKind::kOpen).empty());
  ScannerInterface second;
  EXPECT_EQ(second.Open(), 0);
  EXPECT_EQ(second.error(), ScannerInterface::kErrorOpen);
  const uint8_t command[5] = {15, 3, 0, 0, 0};
  EXPECT_EQ(second.SendCommand(command, 5), 0);
  EXPECT_EQ(second.error(), ScannerInterface::kErrorNotOpen);
  scanner.Close();
  EXPECT_EQ(second.Open(), 1);
}

TEST_F(BulkTransportTest, BulkDataMovesInPiecesOf4096) {
  std::vector<uint8_t> data(8192 + 100, 0x11);
  int written = 0;
  EXPECT_EQ(scanner.Write(data.data(), 8192, &written), 1);
  EXPECT_EQ(written, 8192);
  auto writes = Calls(CallKind::kWrite);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].capacity, 4096u);
  EXPECT_EQ(writes[1].capacity, 4096u);
  EXPECT_EQ(plat::NowMs(), ScannerInterface::kPauseBeforeWriteMs);

  // A short read piece shortens the total; the call pattern stays one call per 4096 bytes.
  AddFault(Fault{.kind = FaultKind::kShort, .on = CallKind::kRead, .skip = 1, .bytes = 1000});
  std::vector<uint8_t> buffer(9000 + 16, 0xEE);
  int read = 0;
  EXPECT_EQ(scanner.Read(buffer.data(), 9000, &read), 1);
  EXPECT_EQ(read, 4096 + 1000 + 808);
  auto reads = Calls(CallKind::kRead);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[2].capacity, 808u);
  EXPECT_EQ(buffer[9000], 0xEE);
}

TEST_F(BulkTransportTest, TransferFaultsFailTheOperation) {
  std::vector<uint8_t> data(5000, 0x11);
  int count = 7;
  // A write piece that moves less than asked would drop data silently.
  AddFault(Fault{.kind = FaultKind::kShort, .on = CallKind::kWrite, .bytes = 10});
  EXPECT_EQ(scanner.Write(data.data(), 5000, &count), 0);
  EXPECT_EQ(scanner.error(), ScannerInterface::kErrorWrite);

  // A stalled piece times out after 10000 ms of platform time.
  AddFault(Fault{.kind = FaultKind::kNoAnswer, .on = CallKind::kRead, .skip = 1});
  uint64_t start = plat::NowMs();
  EXPECT_EQ(scanner.Read(data.data(), 5000, &count), 0);
  EXPECT_EQ(scanner.error(), static_cast<int>(drv::kErrorTimeout));
  EXPECT_EQ(plat::NowMs() - start, 10000u);

  // A delayed piece inside the time-out is waited for.
  AddFault(Fault{.kind = FaultKind::kDelay, .on = CallKind::kRead, .delayMs = 9000});
  EXPECT_EQ(scanner.Read(data.data(), 5000, &count), 1);
  EXPECT_EQ(count, 5000);

  // A read piece reporting more than asked, and an unplug between pieces.
  AddFault(Fault{.kind = FaultKind::kOversize, .on = CallKind::kRead, .bytes = 1});
  EXPECT_EQ(scanner.Read(data.data(), 5000, &count), 0);
  AddFault(Fault{.kind = FaultKind::kUnplug, .on = CallKind::kRead, .skip = 1});
  EXPECT_EQ(scanner.Read(data.data(), 5000, &count), 0);
  EXPECT_EQ(scanner.error(), static_cast<int>(drv::kErrorDeviceNotConnected));
}

TEST_F(BulkTransportTest, OverlappedCommandTimeOutIsAFailure) {
  AddFault(Fault{.kind = FaultKind::kNoAnswer});
  const uint8_t command[5] = {15, 2, 0, 0, 0};
  uint32_t returned = 9;
  drv::Overlapped overlapped{};
  EXPECT_EQ(
      BulkLayer::DeviceControl(scanner.handle(), 1, command, 5, nullptr, 0, &returned, &overlapped, 500), 0);
  EXPECT_EQ(BulkLayer::LastError(), drv::kErrorTimeout);
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(BulkLayer::DeviceControl(scanner.handle(), 2, command, 5, nullptr, 0, &returned, nullptr, -1), 0);
  EXPECT_EQ(BulkLayer::LastError(), drv::kErrorInvalidFunction);
}

}  // namespace
}  // namespace qv6
